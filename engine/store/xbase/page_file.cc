#include "engine/store/xbase/page_file.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/file_io.h"

namespace fw::xbase {

namespace {

constexpr size_t kMinFrames = 64;  // enough for every page one operation pins
constexpr uint8_t kFreeKind = 3;   // byte 4 of a freed page; bytes 8-11 link the list
#if defined(FW_SANITIZED)
constexpr size_t kChunkFrames = 1;  // every page an allocation of its own, so overruns are caught
#else
constexpr size_t kChunkFrames = 256;  // 1 MiB of pages per mapping
#endif

}  // namespace

PageFile::Chunk::Chunk(size_t bytes) : data_(nullptr), bytes_(bytes) {
#if defined(FW_SANITIZED)
    heap_ = std::make_unique<uint8_t[]>(bytes);
    data_ = heap_.get();
#else
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) data_ = static_cast<uint8_t*>(p);
#endif
}

PageFile::Chunk::~Chunk() {
    if (data_ && !heap_) ::munmap(data_, bytes_);
}

bool PageFile::AddFrame() {
    if (chunks_.empty() || chunk_used_ == kChunkFrames) {
        auto chunk = std::make_unique<Chunk>(kChunkFrames * kPageSize);
        if (!chunk->data()) return false;
        chunks_.push_back(std::move(chunk));
        chunk_used_ = 0;
    }
    frames_.emplace_back();
    frames_.back().data = chunks_.back()->data() + chunk_used_++ * kPageSize;
    return true;
}

PageFile::PageFile(int fd, size_t cache_bytes, Validator validator)
    : fd_(fd), max_frames_(std::max(kMinFrames, cache_bytes / kPageSize)), validator_(validator) {}

void PageFile::SetAllocation(uint32_t page_count, uint32_t free_head) {
    page_count_ = std::max(page_count, kFirstDataPage);
    free_head_ = free_head;
}

void PageFile::Seal(uint8_t* page) { StoreLE32(page, Checksum(page + 4, kPageSize - 4)); }

bool PageFile::SealIntact(const uint8_t* page) { return LoadLE32(page) == Checksum(page + 4, kPageSize - 4); }

Result PageFile::WriteFrame(Frame& frame) {
    Seal(frame.data);
    if (!PWriteAll(fd_, frame.data, kPageSize, uint64_t{frame.number} * kPageSize)) {
        return Result::kErrorWrite;
    }
    frame.dirty = false;
    return Result::kSuccess;
}

Result PageFile::FrameFor(uint32_t number, uint32_t* index) {
    if (frames_.size() < max_frames_ && AddFrame()) {
        *index = static_cast<uint32_t>(frames_.size() - 1);
    } else if (frames_.empty()) {
        return Result::kErrorRead;  // no memory for even one page
    } else {
        // Two sweeps clear every reference bit; a third finding nothing means
        // everything is pinned, and the cache grows past its bound for now.
        size_t steps = 0;
        const size_t limit = frames_.size() * 3;
        for (; steps < limit; ++steps) {
            Frame& f = frames_[hand_];
            size_t here = hand_;
            hand_ = (hand_ + 1) % frames_.size();
            if (f.pins > 0) continue;
            if (f.referenced) {
                f.referenced = false;
                continue;
            }
            if (f.dirty) {
                Result r = WriteFrame(f);
                if (r != Result::kSuccess) return r;
            }
            if (f.used) map_[f.number] = 0;
            f.used = false;
            *index = static_cast<uint32_t>(here);
            break;
        }
        if (steps == limit) {
            if (!AddFrame()) return Result::kErrorRead;
            *index = static_cast<uint32_t>(frames_.size() - 1);
        }
    }
    Frame& f = frames_[*index];
    f.number = number;
    f.pins = 0;
    f.dirty = false;
    f.referenced = true;
    f.used = true;
    if (map_.size() <= number) map_.resize(std::max<size_t>(number + 1, map_.size() * 2), 0);
    map_[number] = *index + 1;
    return Result::kSuccess;
}

Result PageFile::Get(uint32_t number, Ref* out) {
    out->Reset();
    if (number < map_.size() && map_[number] != 0) {
        const uint32_t index = map_[number] - 1;
        Frame& f = frames_[index];
        f.referenced = true;
        ++f.pins;
        *out = Ref(this, index);
        return Result::kSuccess;
    }
    if (number < kFirstDataPage || number >= page_count_) return Result::kErrorData;
    uint32_t index;
    Result r = FrameFor(number, &index);
    if (r != Result::kSuccess) return r;
    Frame& f = frames_[index];
    if (!PReadAll(fd_, f.data, kPageSize, uint64_t{number} * kPageSize)) {
        map_[number] = 0;
        f.used = false;
        return Result::kErrorRead;
    }
    if (!SealIntact(f.data) || !validator_(f.data)) {
        map_[number] = 0;
        f.used = false;
        return Result::kErrorData;
    }
    ++f.pins;
    *out = Ref(this, index);
    return Result::kSuccess;
}

Result PageFile::Allocate(Ref* out) {
    out->Reset();
    uint32_t number;
    if (free_head_ != 0) {
        // The freed page's link is read through the cache so a page freed
        // and reused within one session never needs the disk.
        Ref freed;
        Result r = Get(free_head_, &freed);
        if (r != Result::kSuccess) return r;
        if (freed.data()[4] != kFreeKind) return Result::kErrorData;
        number = free_head_;
        free_head_ = LoadLE32(freed.data() + 8);
        std::memset(freed.data(), 0, kPageSize);
        freed.MarkDirty();
        *out = std::move(freed);
        return Result::kSuccess;
    }
    if (page_count_ == UINT32_MAX) return Result::kErrorWrite;
    number = page_count_++;
    uint32_t index;
    Result r = FrameFor(number, &index);
    if (r != Result::kSuccess) {
        --page_count_;
        return r;
    }
    Frame& f = frames_[index];
    std::memset(f.data, 0, kPageSize);
    f.dirty = true;
    ++f.pins;
    *out = Ref(this, index);
    return Result::kSuccess;
}

Result PageFile::Free(uint32_t number) {
    Ref page;
    Result r = Get(number, &page);
    if (r != Result::kSuccess) return r;
    std::memset(page.data(), 0, kPageSize);
    page.data()[4] = kFreeKind;
    StoreLE32(page.data() + 8, free_head_);
    page.MarkDirty();
    free_head_ = number;
    return Result::kSuccess;
}

Result PageFile::WriteDirty() {
    std::vector<uint32_t> dirty;
    for (uint32_t i = 0; i < frames_.size(); ++i) {
        if (frames_[i].used && frames_[i].dirty) dirty.push_back(i);
    }
    std::sort(dirty.begin(), dirty.end(),
              [this](uint32_t a, uint32_t b) { return frames_[a].number < frames_[b].number; });
    for (uint32_t i : dirty) {
        Result r = WriteFrame(frames_[i]);
        if (r != Result::kSuccess) return r;
    }
    return Result::kSuccess;
}

void PageFile::Drop() {
    map_.clear();
    map_.shrink_to_fit();
    for (Frame& f : frames_) {
        f.used = false;
        f.dirty = false;
        f.referenced = false;
    }
}

}  // namespace fw::xbase
