// Fixed-size pages of the index file with a bounded cache in front.
//
// Every page starts with a u32 checksum of its remaining bytes; PageFile
// writes it and checks it (and the page validator) whenever a page comes from
// disk, so code above sees only pages that passed both. Pages 0 and 1 belong
// to the index header and are never handed out here.
//
// The cache holds at most `cache_bytes` of pages (plus those pinned at that
// moment) and evicts with the clock algorithm; a dirty page is written when
// it is evicted or on WriteDirty(). Freed pages form a list threaded through
// the pages themselves. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/store/xbase/definitions.h"

namespace fw::xbase {

inline constexpr uint32_t kPageSize = 4096;
inline constexpr uint32_t kFirstDataPage = 2;

class PageFile {
public:
    // True when a page image read from disk is structurally sound.
    using Validator = bool (*)(const uint8_t* page);

    class Ref;

    PageFile(int fd, size_t cache_bytes, Validator validator);
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // Allocation state kept in the index header.
    uint32_t page_count() const { return page_count_; }
    uint32_t free_head() const { return free_head_; }
    void SetAllocation(uint32_t page_count, uint32_t free_head);

    // Pins page `number` into *out. kErrorData for a number outside the
    // file or a page failing its checksum or the validator; kErrorRead when
    // the read fails.
    Result Get(uint32_t number, Ref* out);
    // A zeroed, dirty page: a freed one when there is one, else a new one at
    // the end.
    Result Allocate(Ref* out);
    // Puts a page on the free list. REQUIRES: not pinned by anyone else.
    Result Free(uint32_t number);

    // Writes every dirty page (in page order).
    Result WriteDirty();
    // Forgets every cached page (after another process changed the file).
    // REQUIRES: nothing pinned, nothing dirty.
    void Drop();

    size_t cached_pages() const { return frames_.size(); }

    // Computes and stores the checksum of a page image.
    static void Seal(uint8_t* page);
    static bool SealIntact(const uint8_t* page);

private:
    // Frames come from mappings of their own, so the memory of a closed
    // index goes back to the system at once (a rebuild that follows needs
    // its own).
    class Chunk {
    public:
        explicit Chunk(size_t bytes);
        ~Chunk();
        Chunk(const Chunk&) = delete;
        Chunk& operator=(const Chunk&) = delete;
        uint8_t* data() const { return data_; }

    private:
        uint8_t* data_;
        size_t bytes_;
        std::unique_ptr<uint8_t[]> heap_;  // sanitizer builds: one page each, with red zones
    };

    struct Frame {
        uint8_t* data = nullptr;
        uint32_t number = 0;
        uint32_t pins = 0;
        bool dirty = false;
        bool referenced = false;
        bool used = false;
    };

    Result FrameFor(uint32_t number, uint32_t* frame);  // a free or evicted frame
    bool AddFrame();
    Result WriteFrame(Frame& frame);
    void Unpin(uint32_t frame) { --frames_[frame].pins; }

    int fd_;
    size_t max_frames_;
    Validator validator_;
    std::vector<std::unique_ptr<Chunk>> chunks_;
    size_t chunk_used_ = 0;  // frames taken from the last chunk
    std::vector<Frame> frames_;
    // Page number -> frame + 1 (0: not cached). A flat table costs 4 bytes
    // per page of the file and finds a page with one memory access.
    std::vector<uint32_t> map_;
    size_t hand_ = 0;
    uint32_t page_count_ = kFirstDataPage;
    uint32_t free_head_ = 0;
};

// A pinned page. Move-only; unpins when it goes away.
class PageFile::Ref {
public:
    Ref() = default;
    Ref(Ref&& other) noexcept { *this = std::move(other); }
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            Reset();
            file_ = other.file_;
            frame_ = other.frame_;
            other.file_ = nullptr;
        }
        return *this;
    }
    ~Ref() { Reset(); }

    explicit operator bool() const { return file_ != nullptr; }
    uint8_t* data() const { return file_->frames_[frame_].data; }
    uint32_t number() const { return file_->frames_[frame_].number; }
    void MarkDirty() const { file_->frames_[frame_].dirty = true; }
    void Reset() {
        if (file_) file_->Unpin(frame_);
        file_ = nullptr;
    }

private:
    friend class PageFile;
    Ref(PageFile* file, uint32_t frame) : file_(file), frame_(frame) {}
    PageFile* file_ = nullptr;
    uint32_t frame_ = 0;
};

}  // namespace fw::xbase
