// The word positions of one indexed document, as one block of bytes.
//
// Format (numbers are unsigned LEB128 varints unless said otherwise):
//   count                     distinct words in the document
//   skips                     entries in the skip table
//   header bytes              the size of the header
//   skip table                for every kSkipEvery-th word of the header
//                             (the first, the 17th, ...): three u32 in the
//                             machine's byte order: the id of the word
//                             before it (0 for the first), where its entry
//                             starts in the header and where its list
//                             starts among the lists
//   header                    count x {id gap, bytes}: the words' ids in
//                             ascending order, each as the gap from the id
//                             before (the first from 0), and the size of
//                             its position list
//   count position lists      in the same order: each word's positions in
//                             ascending order, each as the gap from the
//                             position before (the first from 0)
// A reader looking for a few words jumps through the skip table into the
// header and decodes only their lists.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

inline constexpr uint32_t kSkipEvery = 16;

// Fixed-width numbers in the machine's byte order, as the skip table and the
// position store's tables hold them.
template <typename T>
void AppendRaw(T value, std::string* out) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out->append(bytes, sizeof value);
}

// REQUIRES: sizeof(T) bytes at `at`.
template <typename T>
T LoadRaw(std::string_view bytes, uint64_t at) {
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

void AppendVarint(uint32_t value, std::string* out);

// ReadVarint's general case.
bool ReadLongVarint(std::string_view bytes, size_t* pos, uint32_t* value);

// Reads a varint at *pos (advanced past it); false when the bytes end first
// or the value does not fit in 32 bits.
inline bool ReadVarint(std::string_view bytes, size_t* pos, uint32_t* value) {
    // Most numbers here take one byte.
    if (*pos < bytes.size() && static_cast<uint8_t>(bytes[*pos]) < 0x80) {
        *value = static_cast<uint8_t>(bytes[(*pos)++]);
        return true;
    }
    return ReadLongVarint(bytes, pos, value);
}

// Collects the words of one document and encodes them as a block.
class PositionBlockBuilder {
public:
    // Adds word `id` at `position`, counting `weight` towards its
    // frequency. REQUIRES: positions ascend across calls, from 1 (one
    // position holds one word); ids are numbered densely from 0, as a
    // dictionary numbers its words (the builder keeps tables as long as the
    // largest id).
    void Add(uint32_t id, uint32_t position, uint32_t weight = 1);

    // Appends the block of the words added since the last Finish to *out and
    // starts over. Sets *ids to the distinct ids in ascending order and
    // *frequencies to the sum of each one's weights.
    void Finish(std::vector<uint32_t>* ids, std::vector<uint32_t>* frequencies, std::string* out);

private:
    struct Occurrence {
        uint32_t id;
        uint32_t position;
    };
    std::vector<Occurrence> occurrences_;
    // Indexed by id, zero between documents: occurrences, then where the
    // word's positions go in grouped_.
    std::vector<uint32_t> counts_;
    std::vector<uint32_t> weights_;  // indexed by id, zero between documents
    std::vector<uint32_t> grouped_;  // positions grouped by word
    std::string skips_;
    std::string header_;
    std::string lists_;
};

// Finds the position lists of `ids` (ascending) in `block`: (*lists)[i] gets
// the list of ids[i], empty when the document lacks that word. False when
// the block is damaged.
bool FindPositionLists(std::string_view block, const std::vector<uint32_t>& ids,
                       std::vector<std::string_view>* lists);

// Appends the positions of one list to *positions; false when damaged.
bool DecodePositions(std::string_view list, std::vector<uint32_t>* positions);

}  // namespace fw
