// The word positions of a full-text index's documents, kept in a file of our
// own beside the database. The database then holds no positions: it finds
// the documents that have every word of a phrase, and this store tells
// whether the words stand in order and close enough. Writing positions into
// the database's trees was most of the cost of indexing.
//
// Documents are written by shards (one per indexing thread), each with a
// dictionary of its own that numbers its words; a shard's documents have
// consecutive document ids, the shards following each other.
//
// File format: the text header the index chooses, then
//   blocks        one position block (position_block.h) for each document,
//                 in document id order
//   offsets       (documents + 1) x u64: where each block starts, from the
//                 start of the file, and where the last one ends
//   dictionaries  for each shard: (words + 1) x u32 offsets of its words in
//                 the pool, sorted by word, and the end of the pool;
//                 words x u32 the id of each; the pool of word bytes
//   shard table   for each shard: u64 first document id, u64 documents,
//                 u64 where its dictionary starts, u64 words
//   footer        u64 where the offsets start, u64 documents, u64 where the
//                 shard table starts, u64 shards, u64 kPositionStoreMagic
// Numbers are in the machine's byte order: the file is a cache that is
// rebuilt whenever it cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/search/position_block.h"
#include "platform/mapped_file.h"
#include "platform/unique_fd.h"

namespace fw {

inline constexpr uint64_t kPositionStoreMagic = 0x31736f7076726f63;  // "corvpos1"

// Writes the blocks of one shard's documents to a work file as they come.
// Belongs to one thread.
class PositionShardWriter {
public:
    PositionShardWriter() = default;
    PositionShardWriter(const PositionShardWriter&) = delete;
    PositionShardWriter& operator=(const PositionShardWriter&) = delete;

    // Starts the work file `path` (created or emptied); false on failure.
    bool Open(const std::string& path);

    // Adds `word` at `position` to the document being written; positions
    // ascend from 1. `weight` counts towards the word's frequency.
    void Add(const std::string& word, uint32_t position, uint32_t weight = 1);

    // Ends the document: its block is written and the document gets the
    // next document id of the shard. False when the work file cannot be
    // written.
    bool EndDocument();

    // The distinct words of the document just ended and their frequencies
    // (sums of weights), valid until the next Add.
    size_t term_count() const { return term_ids_.size(); }
    const std::string& term(size_t i) const { return words_[term_ids_[i]]; }
    uint32_t frequency(size_t i) const { return frequencies_[i]; }

    uint32_t documents() const { return static_cast<uint32_t>(offsets_.size()); }

    // Writes out what is buffered; false on failure.
    bool Flush();

private:
    friend bool WriteStore(int out, std::string_view header,
                           const std::vector<const PositionShardWriter*>& shards,
                           std::string* error);

    std::string path_;
    platform::UniqueFd fd_;
    // The id of a word. Looked up for every word indexed, so an open-address
    // table of (hash, id + 1), half empty at most, with the words by id.
    uint32_t IdOf(const std::string& word);
    void Grow();
    std::vector<std::string> words_;
    std::vector<uint64_t> slots_ = std::vector<uint64_t>(1024);
    PositionBlockBuilder builder_;
    std::vector<uint32_t> term_ids_;
    std::vector<uint32_t> frequencies_;
    std::string buffer_;            // blocks not yet written
    uint64_t written_ = 0;          // bytes in the work file
    std::vector<uint64_t> offsets_;  // where each document's block starts
};

// Where the store `path` is written before it is renamed into place; a file
// left there by a write that was cut short can go.
std::string PositionStoreAsidePath(const std::string& path);

// Writes the store file `path`: `header`, then the shards' documents in the
// order given. REQUIRES: each shard flushed, its document ids following the
// shard before. False, with *error set, on failure.
bool WritePositionStore(const std::string& path, std::string_view header,
                        const std::vector<const PositionShardWriter*>& shards,
                        std::string* error);

// Reads a store file. Every offset in it is checked before use.
class PositionStore {
public:
    static constexpr uint32_t kNoWord = UINT32_MAX;

    // Maps the store `path`, which must start with `header`. False when it
    // cannot be read or its tables do not hold together.
    bool Open(const std::string& path, std::string_view header);

    uint64_t documents() const { return documents_; }
    size_t shards() const { return shards_.size(); }

    // The shard holding document `docid`, or shards() when none does.
    size_t ShardOf(uint64_t docid) const;

    // The id of `word` in the dictionary of `shard`, or kNoWord.
    uint32_t WordId(size_t shard, std::string_view word) const;

    // Reads the position block of `docid` into *block; false when there is
    // none, the offsets are damaged or the file cannot be read.
    bool ReadBlock(uint64_t docid, std::string* block) const;

private:
    struct Shard {
        uint64_t first = 0;      // first document id
        uint64_t documents = 0;
        std::string_view word_offsets;  // (words + 1) x u32
        std::string_view word_ids;      // words x u32
        std::string_view pool;
        uint64_t words = 0;
    };

    // The blocks are read (a few out of many, far apart); the tables, which
    // are searched, are mapped.
    platform::UniqueFd fd_;
    platform::MappedFile file_;
    std::string_view bytes_;
    uint64_t blocks_at_ = 0;
    uint64_t offsets_at_ = 0;
    uint64_t documents_ = 0;
    std::vector<Shard> shards_;
};

}  // namespace fw
