#include "engine/store/xbase/commit_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/file_io.h"
#include "platform/unique_fd.h"

namespace fw::xbase {

namespace {

constexpr char kMagic[] = "FWJRNL01";
constexpr char kEndMagic[] = "FWJRNEND";
constexpr size_t kMagicSize = 8;
// A journal holds about one second of a grab's table changes; anything far
// larger is not one of ours.
constexpr uint64_t kMaxJournalBytes = uint64_t{1} << 31;
constexpr size_t kMaxName = 255;

uint64_t Fnv1a(const char* data, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= static_cast<uint8_t>(data[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}

void PutU16(std::string* out, uint16_t v) {
    uint8_t b[2];
    StoreLE16(b, v);
    out->append(reinterpret_cast<const char*>(b), 2);
}
void PutU32(std::string* out, uint32_t v) {
    uint8_t b[4];
    StoreLE32(b, v);
    out->append(reinterpret_cast<const char*>(b), 4);
}
void PutU64(std::string* out, uint64_t v) {
    PutU32(out, static_cast<uint32_t>(v));
    PutU32(out, static_cast<uint32_t>(v >> 32));
}

// Reads the journal's fields front to back; any read past the end fails
// and stays failed.
class Reader {
  public:
    Reader(const std::string& bytes, size_t end) : bytes_(bytes), end_(end) {}
    bool ok() const { return ok_; }
    bool Take(size_t n, const char** out) {
        if (!ok_ || end_ - pos_ < n) return ok_ = false;
        *out = bytes_.data() + pos_;
        pos_ += n;
        return true;
    }
    uint64_t U(size_t n) {
        const char* p = nullptr;
        if (!Take(n, &p)) return 0;
        uint64_t v = 0;
        for (size_t i = n; i-- > 0;) v = (v << 8) | static_cast<uint8_t>(p[i]);
        return v;
    }
    size_t pos() const { return pos_; }

  private:
    const std::string& bytes_;
    size_t end_;
    size_t pos_ = 0;
    bool ok_ = true;
};

bool ValidName(const char* name, size_t size) {
    if (size == 0 || size > kMaxName) return false;
    const std::string_view text(name, size);
    return text.find('/') == std::string_view::npos && text.find('\0') == std::string_view::npos &&
           text != "." && text != "..";
}

bool ReadWhole(const std::string& path, std::string* out, bool* present) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    *present = fd.ok() || errno != ENOENT;
    if (!fd.ok()) return false;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (static_cast<uint64_t>(st.st_size) > kMaxJournalBytes) return false;
    out->resize(static_cast<size_t>(st.st_size));
    return PReadAll(fd.get(), out->data(), out->size(), 0);
}

}  // namespace

Result WriteJournal(const std::string& journal_path, const std::string& prefix,
                    const std::vector<FileEdits>& edits, bool sync) {
    std::string image(kMagic, kMagicSize);
    PutU32(&image, static_cast<uint32_t>(edits.size()));
    for (const FileEdits& file : edits) {
        if (file.path.compare(0, prefix.size(), prefix) != 0) return Result::kErrorWrite;
        const std::string name = file.path.substr(prefix.size());
        if (!ValidName(name.data(), name.size())) return Result::kErrorWrite;
        PutU16(&image, static_cast<uint16_t>(name.size()));
        image += name;
        PutU64(&image, static_cast<uint64_t>(file.length));
        PutU32(&image, static_cast<uint32_t>(file.writes.size()));
        for (const auto& [offset, bytes] : file.writes) {
            PutU64(&image, offset);
            PutU32(&image, static_cast<uint32_t>(bytes.size()));
            image += bytes;
        }
    }
    PutU64(&image, Fnv1a(image.data(), image.size()));
    image.append(kEndMagic, kMagicSize);

    platform::UniqueFd fd(
        ::open(journal_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.ok()) return Result::kErrorCreate;
    if (!PWriteAll(fd.get(), image.data(), image.size(), 0)) return Result::kErrorWrite;
    if (sync && ::fdatasync(fd.get()) != 0) return Result::kErrorWrite;
    return Result::kSuccess;
}

void RemoveJournal(const std::string& journal_path) {
    ::unlink(journal_path.c_str());
}

ReplayOutcome ReplayJournal(const std::string& journal_path, const std::string& prefix) {
    std::string bytes;
    bool present = false;
    if (!ReadWhole(journal_path, &bytes, &present)) {
        if (!present) return ReplayOutcome::kNone;
        RemoveJournal(journal_path);
        return ReplayOutcome::kDiscarded;
    }
    const size_t trailer = 8 + kMagicSize;
    bool complete =
        bytes.size() >= kMagicSize + 4 + trailer &&
        bytes.compare(0, kMagicSize, kMagic, kMagicSize) == 0 &&
        bytes.compare(bytes.size() - kMagicSize, kMagicSize, kEndMagic, kMagicSize) == 0;
    const size_t body = complete ? bytes.size() - trailer : 0;
    if (complete) {
        Reader hash(bytes, bytes.size());
        const char* skip = nullptr;
        hash.Take(body, &skip);
        complete = hash.U(8) == Fnv1a(bytes.data(), body);
    }
    std::vector<FileEdits> files;
    if (complete) {
        Reader in(bytes, body);
        const char* magic = nullptr;
        in.Take(kMagicSize, &magic);
        const uint32_t count = static_cast<uint32_t>(in.U(4));
        for (uint32_t i = 0; i < count && in.ok(); ++i) {
            FileEdits file;
            const size_t name_size = in.U(2);
            const char* name = nullptr;
            if (!in.Take(name_size, &name) || !ValidName(name, name_size)) {
                complete = false;
                break;
            }
            file.path = prefix + std::string(name, name_size);
            file.length = static_cast<int64_t>(in.U(8));
            const uint32_t writes = static_cast<uint32_t>(in.U(4));
            for (uint32_t w = 0; w < writes && in.ok(); ++w) {
                const uint64_t offset = in.U(8);
                const size_t size = in.U(4);
                const char* data = nullptr;
                if (in.Take(size, &data)) file.writes.emplace_back(offset, std::string(data, size));
            }
            files.push_back(std::move(file));
        }
        complete = complete && in.ok() && in.pos() == body;
    }
    if (!complete) {
        RemoveJournal(journal_path);
        return ReplayOutcome::kDiscarded;
    }
    for (const FileEdits& file : files) {
        platform::UniqueFd fd(::open(file.path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.ok() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return ReplayOutcome::kFailed;
        if (ApplyEdits(fd.get(), file) != Result::kSuccess) return ReplayOutcome::kFailed;
    }
    RemoveJournal(journal_path);
    return ReplayOutcome::kReplayed;
}

}  // namespace fw::xbase
