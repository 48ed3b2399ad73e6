#include "engine/store/xbase/dbf_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/file_io.h"
#include "engine/store/xbase/file_lock.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "platform/unique_fd.h"

namespace fw::xbase {

namespace {

constexpr uint8_t kTerminator = 0x0D;
constexpr uint8_t kEndMark = 0x1A;
constexpr size_t kCopyBatch = 1024 * 1024;   // bytes per read while compacting

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() > 10) return false;
    char first = platform::ToUpperAscii(name[0]);
    if (first < 'A' || first > 'Z') return false;
    for (char c : name) {
        char u = platform::ToUpperAscii(c);
        if (!((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_')) return false;
    }
    return true;
}

bool ValidField(const FieldDef& f) {
    if (!ValidName(f.name)) return false;
    switch (f.type) {
        case 'C': return f.width >= 1 && f.width <= 254;
        case 'N': return f.width >= 1 && f.width <= 20;
        case 'M': return f.width == 10;
        default: return false;
    }
}

void StampDate(uint8_t* header) {
    const std::tm local = platform::LocalTime(std::time(nullptr));
    header[1] = static_cast<uint8_t>(local.tm_year % 256);
    header[2] = static_cast<uint8_t>(local.tm_mon + 1);
    header[3] = static_cast<uint8_t>(local.tm_mday);
}

}  // namespace

DbfFile::~DbfFile() {
    if (fd_ >= 0) ::close(fd_);
}

Result DbfFile::Open(const std::string& path, bool exclusive, size_t cache_bytes, std::unique_ptr<DbfFile>* out) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return Result::kErrorOpen;
    std::unique_ptr<DbfFile> file(new DbfFile());
    file->path_ = path;
    file->fd_ = fd;
    file->exclusive_ = exclusive;
    file->cache_bytes_ = cache_bytes;
    if (!TryFlock(fd, exclusive)) return Result::kErrorLocked;
    if (!exclusive && !file->LockRange(false)) return Result::kErrorOpen;
    Result r = file->ParseHeader();
    if (!exclusive) file->UnlockRange();
    if (r != Result::kSuccess) return r;
    *out = std::move(file);
    return Result::kSuccess;
}

Result DbfFile::CheckFields(const std::vector<FieldDef>& fields, uint32_t* record_length,
                            bool* memo) {
    if (fields.empty() || fields.size() > 255) return Result::kErrorField;
    *record_length = 1;
    *memo = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!ValidField(fields[i])) return Result::kErrorField;
        for (size_t j = 0; j < i; ++j) {
            if (platform::EqualsIgnoreCase(fields[i].name, fields[j].name)) return Result::kErrorField;
        }
        *record_length += static_cast<uint32_t>(fields[i].width);
        *memo = *memo || fields[i].type == 'M';
    }
    return *record_length > 65535 ? Result::kErrorField : Result::kSuccess;
}

Result DbfFile::CheckReplaceable(const std::string& path) {
    platform::UniqueFd existing(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    return existing.ok() && !TryFlock(existing.get(), true) ? Result::kErrorLocked
                                                            : Result::kSuccess;
}

Result DbfFile::Create(const std::string& path, const std::vector<FieldDef>& fields, bool exclusive,
                       size_t cache_bytes, std::unique_ptr<DbfFile>* out) {
    uint32_t record_length = 0;
    bool memo = false;
    Result checked = CheckFields(fields, &record_length, &memo);
    if (checked == Result::kSuccess) checked = CheckReplaceable(path);
    if (checked != Result::kSuccess) return checked;

    const uint32_t header_length = 32 + 32 * static_cast<uint32_t>(fields.size()) + 1;
    std::vector<uint8_t> image(header_length + 1, 0);
    image[0] = memo ? 0xF5 : 0x03;
    StampDate(image.data());
    StoreLE16(&image[8], static_cast<uint16_t>(header_length));
    StoreLE16(&image[10], static_cast<uint16_t>(record_length));
    uint32_t offset = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        uint8_t* d = &image[32 + 32 * i];
        for (size_t k = 0; k < fields[i].name.size(); ++k) d[k] = platform::ToUpperAscii(fields[i].name[k]);
        d[11] = static_cast<uint8_t>(fields[i].type);
        StoreLE32(d + 12, offset);
        d[16] = static_cast<uint8_t>(fields[i].width);
        offset += static_cast<uint32_t>(fields[i].width);
    }
    image[header_length - 1] = kTerminator;
    image[header_length] = kEndMark;

    // The new table is made whole under another name and then takes the
    // name, so a process killed meanwhile leaves no half-made table behind.
    const std::string temp = path + ".new";
    int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Result::kErrorCreate;
    std::unique_ptr<DbfFile> file(new DbfFile());
    file->path_ = path;
    file->fd_ = fd;
    file->exclusive_ = exclusive;
    file->cache_bytes_ = cache_bytes;
    if (!TryFlock(fd, true) || !PWriteAll(fd, image.data(), image.size(), 0) ||
        ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return Result::kErrorCreate;
    }
    if (!exclusive && !TryFlock(fd, false)) return Result::kErrorLocked;
    Result r = file->ParseHeader();
    if (r != Result::kSuccess) return r;
    *out = std::move(file);
    return Result::kSuccess;
}

Result DbfFile::ParseHeader() {
    uint8_t fixed[32];
    if (!PReadAll(fd_, fixed, sizeof fixed, 0)) return Result::kErrorData;
    const uint32_t header_length = LoadLE16(fixed + 8);
    const uint32_t record_length = LoadLE16(fixed + 10);
    if (header_length < 32 + 32 + 1 || record_length < 2) return Result::kErrorData;
    std::vector<uint8_t> header(header_length);
    if (!PReadAll(fd_, header.data(), header.size(), 0)) return Result::kErrorData;

    std::vector<ColumnLayout> columns;
    uint32_t offset = 1;
    uint32_t pos = 32;
    bool memo = false;
    for (; pos + 32 <= header_length && header[pos] != kTerminator; pos += 32) {
        const uint8_t* d = &header[pos];
        std::string name;
        for (int k = 0; k < 11 && d[k] != 0; ++k) {
            if (d[k] < 0x21 || d[k] > 0x7E) return Result::kErrorData;
            name.push_back(platform::ToUpperAscii(static_cast<char>(d[k])));
        }
        const int width = d[16];
        if (name.empty() || width == 0) return Result::kErrorData;
        char type = static_cast<char>(d[11]);
        if (type == 'N' || type == 'F') {
            type = 'N';
        } else if (type == 'M') {
            if (width != 10) return Result::kErrorData;
            memo = true;
        } else {
            type = 'C';  // other types are read and written as their text
        }
        columns.push_back({name, type, static_cast<int>(offset), width});
        offset += static_cast<uint32_t>(width);
    }
    if (columns.empty() || pos >= header_length || header[pos] != kTerminator) return Result::kErrorData;
    if (offset != record_length) return Result::kErrorData;

    struct stat st;
    if (::fstat(fd_, &st) != 0) return Result::kErrorRead;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size < header_length) return Result::kErrorData;
    const uint64_t rows = (size - header_length) / record_length;
    if (rows >= UINT32_MAX) return Result::kErrorData;

    header_ = std::move(header);
    columns_ = std::move(columns);
    has_memo_ = memo;
    header_length_ = header_length;
    record_length_ = record_length;
    count_ = written_ = static_cast<uint32_t>(rows);
    ForgetChanges();
    cache_ = std::make_unique<RowCache>(record_length_, cache_bytes_);
    // A header or end mark that disagrees with the rows is mended by the
    // next write (only writers may touch the file).
    dirty_ = LoadLE32(fixed + 4) != count_ || size != header_length + rows * record_length + 1;
    return Result::kSuccess;
}

Result DbfFile::Read(uint32_t recno, uint8_t* record) const { return ReadRange(recno, 1, record); }

void DbfFile::PatchRewritten(uint32_t first, uint32_t n, uint8_t* records) const {
    if (overlay_.empty()) return;
    for (uint32_t i = 0; i < n; ++i) {
        auto found = overlay_.find(first + i);
        if (found == overlay_.end()) continue;
        std::memcpy(records + size_t{i} * record_length_,
                    &rewritten_[size_t{found->second} * record_length_], record_length_);
    }
}

Result DbfFile::ReadCached(uint32_t recno, uint8_t* record) const {
    // The cache holds every rewritten row it holds as rewritten (Write keeps
    // it so), and a block read from the file gets them patched in.
    if (cache_->Get(recno, record)) return Result::kSuccess;
    // The whole block, even for a row read alone: rows added about the same
    // time are used together (a page, its links and its children), so a
    // file larger than the cache still finds most of what it reads here.
    const uint32_t first = cache_->BlockStart(recno);
    const uint32_t rows = std::min(cache_->block_rows(), written_ - first + 1);
    uint8_t* block = cache_->Fill(first);
    const uint64_t offset = header_length_ + uint64_t{first - 1} * record_length_;
    if (!PReadAll(fd_, block, size_t{rows} * record_length_, offset)) {
        cache_->Commit(first, 0);
        return Result::kErrorRead;
    }
    PatchRewritten(first, rows, block);
    cache_->Commit(first, rows);
    std::memcpy(record, block + size_t{recno - first} * record_length_, record_length_);
    return Result::kSuccess;
}

Result DbfFile::ReadRange(uint32_t first, uint32_t n, uint8_t* records) const {
    if (first == 0 || n > count_ || first - 1 > count_ - n) return Result::kErrorRecord;
    if (n == 1 && first <= written_) return ReadCached(first, records);
    // Rows still collected in memory come from there.
    uint32_t from_file = first <= written_ ? std::min(n, written_ - first + 1) : 0;
    if (from_file > 0) {
        const uint64_t offset = header_length_ + uint64_t{first - 1} * record_length_;
        if (!PReadAll(fd_, records, size_t{from_file} * record_length_, offset)) return Result::kErrorRead;
        PatchRewritten(first, from_file, records);
    }
    if (from_file < n) {
        const uint32_t start = first + from_file - written_ - 1;
        std::memcpy(records + size_t{from_file} * record_length_, &pending_[size_t{start} * record_length_],
                    size_t{n - from_file} * record_length_);
    }
    return Result::kSuccess;
}

Result DbfFile::Write(uint32_t recno, const uint8_t* record) {
    if (recno == 0 || recno > count_) return Result::kErrorRecord;
    dirty_ = true;  // the header's date
    if (recno > written_) {
        std::memcpy(&pending_[size_t{recno - written_ - 1} * record_length_], record, record_length_);
        return Result::kSuccess;
    }
    auto [slot, added] = overlay_.try_emplace(recno, static_cast<uint32_t>(overlay_.size()));
    if (added) rewritten_.resize(rewritten_.size() + record_length_);
    std::memcpy(&rewritten_[size_t{slot->second} * record_length_], record, record_length_);
    cache_->Update(recno, record);
    return Result::kSuccess;
}

Result DbfFile::Append(const uint8_t* record) {
    if (count_ >= UINT32_MAX - 1) return Result::kErrorWrite;
    pending_.insert(pending_.end(), record, record + record_length_);
    ++count_;
    dirty_ = true;
    return Result::kSuccess;
}

void DbfFile::ForgetChanges() {
    pending_.clear();
    overlay_.clear();
    rewritten_.clear();
}

Result DbfFile::Truncate() {
    cache_->Clear();
    ForgetChanges();
    count_ = written_ = 0;
    dirty_ = true;
    return ::ftruncate(fd_, header_length_) == 0 ? Result::kSuccess : Result::kErrorWrite;
}

// Rewritten rows in row order, neighbours in one write; then the appended
// rows, the end mark, the length and the header.
void DbfFile::CollectEdits(FileEdits* edits) const {
    edits->path = path_;
    if (!overlay_.empty()) {
        std::vector<std::pair<uint32_t, uint32_t>> rows(overlay_.begin(), overlay_.end());
        std::sort(rows.begin(), rows.end());
        for (size_t i = 0; i < rows.size();) {
            const uint32_t first = rows[i].first;
            std::string run;
            do {
                const uint8_t* row = &rewritten_[size_t{rows[i].second} * record_length_];
                run.append(reinterpret_cast<const char*>(row), record_length_);
                ++i;
            } while (i < rows.size() && rows[i].first == rows[i - 1].first + 1);
            edits->writes.emplace_back(header_length_ + uint64_t{first - 1} * record_length_,
                                       std::move(run));
        }
    }
    if (!pending_.empty()) {
        edits->writes.emplace_back(header_length_ + uint64_t{written_} * record_length_,
                                   std::string(pending_.begin(), pending_.end()));
    }
    if (!dirty_) return;
    const uint64_t end = header_length_ + uint64_t{count_} * record_length_;
    edits->writes.emplace_back(end, std::string(1, static_cast<char>(kEndMark)));
    edits->length = static_cast<int64_t>(end + 1);
    std::string header(header_.begin(), header_.begin() + 32);
    StampDate(reinterpret_cast<uint8_t*>(header.data()));
    StoreLE32(reinterpret_cast<uint8_t*>(&header[4]), count_);
    edits->writes.emplace_back(0, std::move(header));
}

void DbfFile::PendingEdits(std::vector<FileEdits>* out) const {
    if (!dirty()) return;
    FileEdits edits;
    CollectEdits(&edits);
    out->push_back(std::move(edits));
}

Result DbfFile::Flush() {
    if (!dirty()) return Result::kSuccess;
    FileEdits edits;
    CollectEdits(&edits);
    if (ApplyEdits(fd_, edits) != Result::kSuccess) {
        cache_->Clear();  // rows on disk may be half written
        return Result::kErrorWrite;
    }
    std::memcpy(header_.data(), edits.writes.back().second.data(), 32);
    ForgetChanges();
    written_ = count_;
    dirty_ = false;
    return Result::kSuccess;
}

Result DbfFile::Compact(const std::function<bool(const uint8_t* record)>& keep) {
    Result r = Flush();
    if (r != Result::kSuccess) return r;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Result::kErrorRead;
    const std::string temp = path_ + ".pack";
    int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
    if (fd < 0) return Result::kErrorCreate;
    auto fail = [&](Result failure) {
        ::close(fd);
        ::unlink(temp.c_str());
        return failure;
    };
    // The new file carries our locks before anyone can open it by name.
    if (!TryFlock(fd, exclusive_)) return fail(Result::kErrorLocked);
    if (range_locked_ && !xbase::LockRange(fd, true)) return fail(Result::kErrorWrite);

    std::vector<uint8_t> in(std::max<size_t>(kCopyBatch / record_length_, 1) * record_length_);
    std::vector<uint8_t> out;
    out.reserve(in.size());
    uint64_t offset = header_length_;
    uint32_t kept = 0;
    const uint32_t batch = static_cast<uint32_t>(in.size() / record_length_);
    for (uint32_t first = 1; first <= count_; first += batch) {
        const uint32_t n = std::min(batch, count_ - first + 1);
        r = ReadRange(first, n, in.data());
        if (r != Result::kSuccess) return fail(r);
        out.clear();
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* record = &in[size_t{i} * record_length_];
            if (!keep(record)) continue;
            out.insert(out.end(), record, record + record_length_);
            ++kept;
        }
        if (!PWriteAll(fd, out.data(), out.size(), offset)) return fail(Result::kErrorWrite);
        offset += out.size();
    }
    std::vector<uint8_t> header(header_);
    StampDate(header.data());
    StoreLE32(&header[4], kept);
    if (!PWriteAll(fd, &kEndMark, 1, offset) || !PWriteAll(fd, header.data(), header.size(), 0) ||
        ::fdatasync(fd) != 0) {
        return fail(Result::kErrorWrite);
    }
    if (::rename(temp.c_str(), path_.c_str()) != 0) return fail(Result::kErrorWrite);
    ::close(fd_);
    fd_ = fd;
    header_ = std::move(header);
    count_ = written_ = kept;
    dirty_ = false;
    cache_->Clear();
    return Result::kSuccess;
}

bool DbfFile::LockRange(bool write) {
    range_write_ = write;
    range_locked_ = xbase::LockRange(fd_, write);
    return range_locked_;
}

void DbfFile::UnlockRange() {
    if (range_locked_) xbase::UnlockRange(fd_);
    range_locked_ = false;
}

Result DbfFile::Refresh(bool* replaced) {
    *replaced = false;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Result::kErrorRead;
    if (st.st_nlink > 0) {
        const uint64_t size = static_cast<uint64_t>(st.st_size);
        if (size < header_length_) return Result::kErrorData;
        ForgetChanges();
        const uint32_t rows = static_cast<uint32_t>(
            std::min<uint64_t>((size - header_length_) / record_length_, UINT32_MAX - 1));
        if (rows != written_) cache_->Clear();
        count_ = written_ = rows;
        return Result::kSuccess;
    }
    // Another opener compacted the table: follow the name to the new file.
    *replaced = true;
    int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return Result::kErrorOpen;
    if (!TryFlock(fd, exclusive_)) {
        ::close(fd);
        return Result::kErrorLocked;
    }
    ::close(fd_);  // also drops our range lock on the old file
    fd_ = fd;
    const std::vector<ColumnLayout> before = columns_;
    const uint32_t record_length = record_length_;
    if (range_locked_ && !xbase::LockRange(fd_, range_write_)) return Result::kErrorRead;
    Result r = ParseHeader();
    if (r != Result::kSuccess) return r;
    if (record_length != record_length_ || before.size() != columns_.size()) return Result::kErrorData;
    return Result::kSuccess;
}

Result DbfFile::Stamp(FileStamp* out) const {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Result::kErrorRead;
    out->size = static_cast<uint64_t>(st.st_size);
    out->mtime_ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    return Result::kSuccess;
}

}  // namespace fw::xbase
