#include "engine/search/position_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>

#include "platform/file_ops.h"

namespace fw {

namespace {

constexpr size_t kWriteBuffer = 1 << 20;
constexpr size_t kFooterBytes = 5 * sizeof(uint64_t);
constexpr size_t kShardRecordBytes = 4 * sizeof(uint64_t);
constexpr size_t kMaxShards = 1024;

// Appends the work file `path` of `size` bytes to `out`.
bool CopyInto(const std::string& path, uint64_t size, int out) {
    platform::UniqueFd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.ok()) return false;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kWriteBuffer);
    uint64_t copied = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.get(), kWriteBuffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        if (!platform::WriteAll(out, buffer.get(), static_cast<size_t>(n))) return false;
        copied += static_cast<uint64_t>(n);
    }
    return copied == size;
}

uint32_t HashOf(std::string_view word) {
    return static_cast<uint32_t>(std::hash<std::string_view>()(word));
}

// Appends the dictionary of one shard, in the file's format, to *out. False
// when its words are too many to address.
bool AppendDictionary(const std::vector<std::string>& words, std::string* out) {
    std::vector<std::pair<std::string_view, uint32_t>> sorted;
    sorted.reserve(words.size());
    for (uint32_t id = 0; id < words.size(); ++id) sorted.emplace_back(words[id], id);
    std::sort(sorted.begin(), sorted.end());
    std::string offsets, id_column, pool;
    for (const auto& [word, id] : sorted) {
        AppendRaw(static_cast<uint32_t>(pool.size()), &offsets);
        AppendRaw(id, &id_column);
        pool.append(word);
        if (pool.size() > UINT32_MAX) return false;
    }
    AppendRaw(static_cast<uint32_t>(pool.size()), &offsets);
    out->append(offsets).append(id_column).append(pool);
    return true;
}

}  // namespace

bool PositionShardWriter::Open(const std::string& path) {
    path_ = path;
    fd_ = platform::UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    written_ = 0;
    offsets_.clear();
    buffer_.clear();
    return fd_.ok();
}

void PositionShardWriter::Add(const std::string& word, uint32_t position, uint32_t weight) {
    builder_.Add(IdOf(word), position, weight);
}

uint32_t PositionShardWriter::IdOf(const std::string& word) {
    const uint64_t hash = HashOf(word);
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask) {
        const auto id = static_cast<uint32_t>(slots_[i]) - 1;
        if (slots_[i] >> 32 == hash && words_[id] == word) return id;
    }
    // New: it goes into the free slot the search ended at.
    const auto id = static_cast<uint32_t>(words_.size());
    words_.push_back(word);
    slots_[i] = hash << 32 | (id + 1);
    if (words_.size() * 2 > slots_.size()) Grow();
    return id;
}

void PositionShardWriter::Grow() {
    slots_.assign(slots_.size() * 2, 0);
    const size_t mask = slots_.size() - 1;
    for (uint32_t id = 0; id < words_.size(); ++id) {
        const uint64_t hash = HashOf(words_[id]);
        size_t i = hash & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = hash << 32 | (id + 1);
    }
}

bool PositionShardWriter::EndDocument() {
    offsets_.push_back(written_ + buffer_.size());
    builder_.Finish(&term_ids_, &frequencies_, &buffer_);
    return buffer_.size() < kWriteBuffer || Flush();
}

bool PositionShardWriter::Flush() {
    if (!platform::WriteAll(fd_.get(), buffer_.data(), buffer_.size())) return false;
    written_ += buffer_.size();
    buffer_.clear();
    return true;
}

// Writes the whole store to `out`.
bool WriteStore(int out, std::string_view header,
                const std::vector<const PositionShardWriter*>& shards, std::string* error) {
    std::string tables;
    uint64_t at = header.size();
    for (const PositionShardWriter* shard : shards) {
        if (!shard->buffer_.empty()) {
            *error = "a shard was not flushed";
            return false;
        }
        for (uint64_t offset : shard->offsets_) AppendRaw(at + offset, &tables);
        at += shard->written_;
    }
    AppendRaw(at, &tables);
    if (!platform::WriteAll(out, header.data(), header.size())) {
        *error = "cannot write";
        return false;
    }
    for (const PositionShardWriter* shard : shards) {
        if (!CopyInto(shard->path_, shard->written_, out)) {
            *error = "cannot copy " + shard->path_;
            return false;
        }
    }
    const uint64_t offsets_at = at;
    uint64_t documents = 0;
    std::string shard_table;
    for (const PositionShardWriter* shard : shards) {
        AppendRaw(documents + 1, &shard_table);
        AppendRaw(static_cast<uint64_t>(shard->documents()), &shard_table);
        AppendRaw(offsets_at + tables.size(), &shard_table);
        AppendRaw(static_cast<uint64_t>(shard->words_.size()), &shard_table);
        documents += shard->documents();
        if (!AppendDictionary(shard->words_, &tables)) {
            *error = "too many words";
            return false;
        }
    }
    const uint64_t shards_at = offsets_at + tables.size();
    tables += shard_table;
    AppendRaw(offsets_at, &tables);
    AppendRaw(documents, &tables);
    AppendRaw(shards_at, &tables);
    AppendRaw(static_cast<uint64_t>(shards.size()), &tables);
    AppendRaw(kPositionStoreMagic, &tables);
    if (!platform::WriteAll(out, tables.data(), tables.size())) {
        *error = "cannot write";
        return false;
    }
    return true;
}

std::string PositionStoreAsidePath(const std::string& path) {
    return path + ".new";
}

bool WritePositionStore(const std::string& path, std::string_view header,
                        const std::vector<const PositionShardWriter*>& shards,
                        std::string* error) {
    error->clear();
    // Written aside and renamed into place: a reader may still map the file
    // it replaces, and a mapped file must never shrink under it.
    const std::string temp = PositionStoreAsidePath(path);
    platform::UniqueFd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out.ok()) {
        *error = "cannot create " + temp;
        return false;
    }
    if (!WriteStore(out.get(), header, shards, error) || !out.Close() ||
        ::rename(temp.c_str(), path.c_str()) != 0) {
        if (error->empty()) *error = "cannot write";
        *error += " (" + path + ")";
        platform::RemoveFile(temp);
        return false;
    }
    return true;
}

bool PositionStore::Open(const std::string& path, std::string_view header) {
    shards_.clear();
    documents_ = 0;
    // One descriptor for the tables' mapping and the blocks' reads, so both
    // come from the same file even when a new store is renamed into place.
    fd_ = platform::UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd_.ok() || !file_.Map(fd_.get())) return false;
    bytes_ = file_.bytes();
    const uint64_t size = bytes_.size();
    if (size < header.size() + kFooterBytes || !bytes_.starts_with(header)) return false;
    const uint64_t footer = size - kFooterBytes;
    const auto offsets_at = LoadRaw<uint64_t>(bytes_, footer);
    const auto documents = LoadRaw<uint64_t>(bytes_, footer + 8);
    const auto shards_at = LoadRaw<uint64_t>(bytes_, footer + 16);
    const auto shard_count = LoadRaw<uint64_t>(bytes_, footer + 24);
    if (LoadRaw<uint64_t>(bytes_, footer + 32) != kPositionStoreMagic ||
        offsets_at < header.size() || offsets_at > footer ||
        documents >= (footer - offsets_at) / 8 || shards_at < offsets_at + (documents + 1) * 8 ||
        shards_at > footer || shard_count > kMaxShards ||
        shard_count * kShardRecordBytes != footer - shards_at) {
        return false;
    }
    uint64_t next_document = 1;
    uint64_t dictionary_at = offsets_at + (documents + 1) * 8;
    for (uint64_t i = 0; i < shard_count; ++i) {
        const uint64_t record = shards_at + i * kShardRecordBytes;
        Shard shard;
        shard.first = LoadRaw<uint64_t>(bytes_, record);
        shard.documents = LoadRaw<uint64_t>(bytes_, record + 8);
        const auto at = LoadRaw<uint64_t>(bytes_, record + 16);
        shard.words = LoadRaw<uint64_t>(bytes_, record + 24);
        // The two columns and the pool's end: 8 x words + 4 bytes.
        if (shard.first != next_document || shard.documents > documents ||
            at != dictionary_at || shards_at - at < 4 || shard.words > (shards_at - at - 4) / 8) {
            return false;
        }
        next_document += shard.documents;
        shard.word_offsets = bytes_.substr(at, (shard.words + 1) * 4);
        shard.word_ids = bytes_.substr(at + (shard.words + 1) * 4, shard.words * 4);
        const uint64_t pool_at = at + (shard.words * 2 + 1) * 4;
        const auto pool_size = LoadRaw<uint32_t>(shard.word_offsets, shard.words * 4);
        if (pool_size > shards_at - pool_at) return false;
        shard.pool = bytes_.substr(pool_at, pool_size);
        dictionary_at = pool_at + pool_size;
        shards_.push_back(shard);
    }
    if (next_document != documents + 1 || dictionary_at != shards_at) {
        shards_.clear();
        return false;
    }
    blocks_at_ = header.size();
    offsets_at_ = offsets_at;
    documents_ = documents;
    return true;
}

size_t PositionStore::ShardOf(uint64_t docid) const {
    for (size_t i = 0; i < shards_.size(); ++i) {
        if (docid >= shards_[i].first && docid - shards_[i].first < shards_[i].documents) return i;
    }
    return shards_.size();
}

uint32_t PositionStore::WordId(size_t shard, std::string_view word) const {
    if (shard >= shards_.size()) return kNoWord;
    const Shard& s = shards_[shard];
    uint64_t low = 0, high = s.words;
    while (low < high) {
        const uint64_t mid = low + (high - low) / 2;
        const auto begin = LoadRaw<uint32_t>(s.word_offsets, mid * 4);
        const auto end = LoadRaw<uint32_t>(s.word_offsets, mid * 4 + 4);
        if (begin > end || end > s.pool.size()) return kNoWord;  // damaged
        const int order = s.pool.substr(begin, end - begin).compare(word);
        if (order == 0) return LoadRaw<uint32_t>(s.word_ids, mid * 4);
        if (order < 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return kNoWord;
}

bool PositionStore::ReadBlock(uint64_t docid, std::string* block) const {
    if (docid == 0 || docid > documents_) return false;
    const auto begin = LoadRaw<uint64_t>(bytes_, offsets_at_ + (docid - 1) * 8);
    const auto end = LoadRaw<uint64_t>(bytes_, offsets_at_ + docid * 8);
    if (begin < blocks_at_ || begin > end || end > offsets_at_) return false;
    block->resize(end - begin);
    return platform::PReadAll(fd_.get(), block->data(), block->size(), begin);
}

}  // namespace fw
