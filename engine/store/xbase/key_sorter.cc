#include "engine/store/xbase/key_sorter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <queue>

#include "engine/store/xbase/btree.h"
#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/file_io.h"

namespace fw::xbase {

namespace {

constexpr size_t kReadBuffer = 64 * 1024;

std::string_view EntryKey(const uint8_t* e) { return {reinterpret_cast<const char*>(e + 5), e[4]}; }

bool EntryLess(const uint8_t* a, const uint8_t* b) {
    int c = CompareKeys(EntryKey(a), EntryKey(b));
    if (c != 0) return c < 0;
    return LoadLE32(a) < LoadLE32(b);
}

}  // namespace

// Streams the entries of one run back from the file.
class KeySorter::RunReader {
public:
    RunReader(int fd, Run run) : fd_(fd), next_(run.offset), end_(run.offset + run.size) {}

    // Points *entry at the next entry; false at the end of the run.
    Result Next(const uint8_t** entry, bool* ok) {
        *ok = false;
        if (pos_ + 5 > buffer_.size() || pos_ + 5 + buffer_[pos_ + 4] > buffer_.size()) {
            Result r = Refill();
            if (r != Result::kSuccess) return r;
            if (pos_ + 5 > buffer_.size()) return Result::kSuccess;
            if (pos_ + 5 + buffer_[pos_ + 4] > buffer_.size()) return Result::kErrorRead;
        }
        *entry = &buffer_[pos_];
        pos_ += 5 + buffer_[pos_ + 4];
        *ok = true;
        return Result::kSuccess;
    }

private:
    Result Refill() {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(pos_));
        pos_ = 0;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadBuffer, end_ - next_));
        if (want == 0) return Result::kSuccess;
        const size_t have = buffer_.size();
        buffer_.resize(have + want);
        if (!PReadAll(fd_, buffer_.data() + have, want, next_)) return Result::kErrorRead;
        next_ += want;
        return Result::kSuccess;
    }

    int fd_;
    uint64_t next_;
    uint64_t end_;
    std::vector<uint8_t> buffer_;
    size_t pos_ = 0;
};

KeySorter::KeySorter(std::string directory, size_t budget) : directory_(std::move(directory)), budget_(budget) {}

KeySorter::~KeySorter() {
    if (fd_ >= 0) ::close(fd_);
}

Result KeySorter::Add(std::string_view full_key, uint32_t row) {
    const std::string_view key = TrimKey(full_key);
    const size_t need = 5 + key.size();
    if (!entries_.empty() && arena_.size() + need + 4 * (entries_.size() + 1) > budget_) {
        Result r = Spill();
        if (r != Result::kSuccess) return r;
    }
    const size_t at = arena_.size();
    arena_.resize(at + need);
    StoreLE32(&arena_[at], row);
    arena_[at + 4] = static_cast<uint8_t>(key.size());
    if (!key.empty()) std::memcpy(&arena_[at + 5], key.data(), key.size());
    entries_.push_back(static_cast<uint32_t>(at));
    return Result::kSuccess;
}

void KeySorter::SortBatch() {
    const uint8_t* base = arena_.data();
    std::stable_sort(entries_.begin(), entries_.end(),
                     [base](uint32_t a, uint32_t b) { return EntryLess(base + a, base + b); });
}

Result KeySorter::Spill() {
    if (fd_ < 0) {
        fd_ = ::open(directory_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            std::string name = directory_ + "/.keysortXXXXXX";
            fd_ = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd_ < 0) return Result::kErrorCreate;
            ::unlink(name.c_str());
        }
    }
    SortBatch();
    std::vector<uint8_t> out;
    out.reserve(arena_.size());
    for (uint32_t at : entries_) {
        const uint8_t* e = &arena_[at];
        out.insert(out.end(), e, e + 5 + e[4]);
    }
    if (!PWriteAll(fd_, out.data(), out.size(), file_size_)) return Result::kErrorWrite;
    runs_.push_back({file_size_, out.size()});
    file_size_ += out.size();
    arena_.clear();
    entries_.clear();
    return Result::kSuccess;
}

Result KeySorter::Finish(const std::function<Result(std::string_view key, uint32_t row)>& take) {
    if (runs_.empty()) {
        SortBatch();
        for (uint32_t at : entries_) {
            const uint8_t* e = &arena_[at];
            Result r = take(EntryKey(e), LoadLE32(e));
            if (r != Result::kSuccess) return r;
        }
        return Result::kSuccess;
    }
    if (!entries_.empty()) {
        Result r = Spill();
        if (r != Result::kSuccess) return r;
    }
    arena_ = {};
    entries_ = {};
    std::vector<RunReader> readers;
    readers.reserve(runs_.size());
    std::vector<const uint8_t*> heads(runs_.size(), nullptr);
    for (const Run& run : runs_) readers.emplace_back(fd_, run);
    // Earlier runs hold lower rows, so equal keys come out in row order as
    // long as ties go to the lower run.
    auto later = [&heads](size_t a, size_t b) {
        if (EntryLess(heads[a], heads[b])) return false;
        if (EntryLess(heads[b], heads[a])) return true;
        return a > b;
    };
    std::priority_queue<size_t, std::vector<size_t>, decltype(later)> queue(later);
    for (size_t i = 0; i < readers.size(); ++i) {
        bool ok;
        Result r = readers[i].Next(&heads[i], &ok);
        if (r != Result::kSuccess) return r;
        if (ok) queue.push(i);
    }
    while (!queue.empty()) {
        const size_t i = queue.top();
        queue.pop();
        Result r = take(EntryKey(heads[i]), LoadLE32(heads[i]));
        if (r != Result::kSuccess) return r;
        bool ok;
        r = readers[i].Next(&heads[i], &ok);
        if (r != Result::kSuccess) return r;
        if (ok) queue.push(i);
    }
    return Result::kSuccess;
}

}  // namespace fw::xbase
