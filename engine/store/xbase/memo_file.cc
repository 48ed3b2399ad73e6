#include "engine/store/xbase/memo_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/file_io.h"

namespace fw::xbase {

namespace {

constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kDefaultBlockSize = 64;
constexpr uint32_t kTextType = 1;

uint64_t BlocksFor(uint64_t bytes, uint32_t block_size) { return (bytes + block_size - 1) / block_size; }

}  // namespace

MemoFile::~MemoFile() {
    if (fd_ >= 0) ::close(fd_);
}

Result MemoFile::Open(const std::string& path, std::unique_ptr<MemoFile>* out) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return Result::kErrorOpen;
    std::unique_ptr<MemoFile> file(new MemoFile());
    file->path_ = path;
    file->fd_ = fd;
    Result r = file->ReadHeader();
    if (r != Result::kSuccess) return r;
    *out = std::move(file);
    return Result::kSuccess;
}

Result MemoFile::Create(const std::string& path, std::unique_ptr<MemoFile>* out) {
    // Private like its table; an existing file keeps its mode.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return Result::kErrorCreate;
    std::unique_ptr<MemoFile> file(new MemoFile());
    file->path_ = path;
    file->fd_ = fd;
    Result r = file->Reset();
    if (r != Result::kSuccess) return r == Result::kErrorWrite ? Result::kErrorCreate : r;
    *out = std::move(file);
    return Result::kSuccess;
}

Result MemoFile::ReadHeader() {
    uint8_t header[8];
    if (!PReadAll(fd_, header, sizeof header, 0)) return Result::kErrorData;
    const uint32_t block_size = LoadBE16(header + 6);
    const uint32_t next_free = LoadBE32(header);
    if (block_size == 0 || next_free < BlocksFor(kHeaderSize, block_size)) return Result::kErrorData;
    block_size_ = block_size;
    next_free_ = next_free;
    return Refresh();
}

Result MemoFile::Refresh() {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Result::kErrorRead;
    if (static_cast<uint64_t>(st.st_size) < kHeaderSize) return Result::kErrorData;
    // Never hand out blocks that hold data, whatever the header says (it is
    // written last and may be behind after a crash or another writer).
    const uint64_t used = BlocksFor(static_cast<uint64_t>(st.st_size), block_size_);
    if (used >= UINT32_MAX) return Result::kErrorData;
    if (used > next_free_) {
        next_free_ = static_cast<uint32_t>(used);
        dirty_ = true;
    }
    return Result::kSuccess;
}

Result MemoFile::Read(uint32_t block, std::string* text) const {
    text->clear();
    if (block == 0) return Result::kSuccess;
    const uint64_t offset = uint64_t{block} * block_size_;
    uint8_t head[8];
    if (block < BlocksFor(kHeaderSize, block_size_) || !PReadAll(fd_, head, sizeof head, offset)) {
        return Result::kErrorData;
    }
    const uint32_t length = LoadBE32(head + 4);
    if (length > kMaxMemoLength) return Result::kErrorData;
    text->resize(length);
    if (length > 0 && !PReadAll(fd_, text->data(), length, offset + 8)) {
        text->clear();
        return Result::kErrorData;
    }
    return Result::kSuccess;
}

Result MemoFile::Write(uint32_t old_block, std::string_view text, uint32_t* block) {
    *block = 0;
    if (text.empty()) return Result::kSuccess;
    if (text.size() > kMaxMemoLength) return Result::kErrorField;
    const uint64_t needed = BlocksFor(8 + text.size(), block_size_);
    uint32_t target = 0;
    if (old_block >= BlocksFor(kHeaderSize, block_size_) && old_block < next_free_) {
        uint8_t head[8];
        if (PReadAll(fd_, head, sizeof head, uint64_t{old_block} * block_size_)) {
            const uint32_t old_length = LoadBE32(head + 4);
            if (old_length <= kMaxMemoLength && BlocksFor(8 + uint64_t{old_length}, block_size_) >= needed &&
                old_block + needed <= next_free_) {
                target = old_block;
            }
        }
    }
    if (target == 0) {
        if (next_free_ + needed >= UINT32_MAX) return Result::kErrorWrite;
        target = next_free_;
        next_free_ += static_cast<uint32_t>(needed);
        dirty_ = true;
    }
    std::vector<uint8_t> image(needed * block_size_, 0);
    StoreBE32(image.data(), kTextType);
    StoreBE32(image.data() + 4, static_cast<uint32_t>(text.size()));
    std::copy(text.begin(), text.end(), image.begin() + 8);
    if (!PWriteAll(fd_, image.data(), image.size(), uint64_t{target} * block_size_)) return Result::kErrorWrite;
    *block = target;
    return Result::kSuccess;
}

Result MemoFile::Reset() {
    if (::ftruncate(fd_, 0) != 0) return Result::kErrorWrite;
    block_size_ = kDefaultBlockSize;
    next_free_ = static_cast<uint32_t>(BlocksFor(kHeaderSize, block_size_));
    std::vector<uint8_t> header(kHeaderSize, 0);
    StoreBE32(header.data(), next_free_);
    StoreBE16(header.data() + 6, static_cast<uint16_t>(block_size_));
    if (!PWriteAll(fd_, header.data(), header.size(), 0)) return Result::kErrorWrite;
    dirty_ = false;
    return Result::kSuccess;
}

Result MemoFile::Flush() {
    if (!dirty_) return Result::kSuccess;
    uint8_t next[4];
    StoreBE32(next, next_free_);
    if (!PWriteAll(fd_, next, sizeof next, 0)) return Result::kErrorWrite;
    dirty_ = false;
    return Result::kSuccess;
}

}  // namespace fw::xbase
