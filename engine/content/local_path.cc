#include "engine/content/local_path.h"

#include <idn2.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

namespace {

constexpr size_t kMaxNameLength = 260;
constexpr size_t kShortBase = 8;
constexpr size_t kShortExtension = 4;
// The remembered counters are a hint (the disk decides), so the table is
// simply emptied when it grows this large.
constexpr size_t kMaxRememberedNames = 65536;
constexpr size_t kFallbackHostLength = 64;

std::mutex& NameMutex() {
    static std::mutex mutex;
    return mutex;
}

// Next counter to try per (directory, base, extension); guarded by NameMutex.
std::unordered_map<std::string, unsigned long>& NextCounters() {
    static std::unordered_map<std::string, unsigned long> counters;
    return counters;
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20;
}

// Characters a stored file name may not hold (kept so a copy can go to any
// file system), and control characters.
bool IsForbiddenInName(char c) {
    return IsControl(c) || std::string_view("\\/:*?\"<>|=&").find(c) != std::string_view::npos;
}

// Where a directory taken from the URL is cut.
bool EndsDirectory(char c) {
    return IsControl(c) || std::string_view(":*?\"<>|=&").find(c) != std::string_view::npos;
}

bool IsDotSegment(std::string_view s) {
    return s == "." || s == "..";
}

// The host of a URL's authority: without user information (which must never
// show in a file name) and without the port.
std::string_view HostOfAuthority(std::string_view authority) {
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    return authority.substr(0, authority.find(':'));
}

std::string SafeSegment(std::string_view s) {
    if (s.empty() || IsDotSegment(s)) return "_";
    return std::string(s);
}

// The first `max` bytes of `s` other than "." and space, not splitting a
// UTF-8 sequence.
std::string ShortSegment(std::string_view s, size_t max) {
    std::string kept;
    for (char c : s) {
        if (c != '.' && c != ' ') kept.push_back(c);
    }
    return std::string(platform::CutUtf8(kept, max));
}

// The length of the escaped UTF-8 character ("%C3%A9") that starts `text`,
// with its bytes appended to `out`; 0 (and `out` unchanged) when `text` does
// not start with one, or with one of the C1 controls.
size_t EscapedUtf8Char(std::string_view text, std::string* out) {
    auto byte_at = [&](size_t i) -> int {
        if (i + 3 > text.size() || text[i] != '%') return -1;
        const int high = platform::HexDigitValue(text[i + 1]);
        const int low = platform::HexDigitValue(text[i + 2]);
        return high < 0 || low < 0 ? -1 : high * 16 + low;
    };
    const int lead = byte_at(0);
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0) return 0;
    char bytes[4] = {static_cast<char>(lead)};
    for (size_t k = 1; k < length; ++k) {
        const int next = byte_at(3 * k);
        if (next < 0x80 || next > 0xBF) return 0;
        bytes[k] = static_cast<char>(next);
    }
    const auto second = static_cast<unsigned char>(bytes[1]);
    // Overlong forms, surrogates, beyond U+10FFFF and the C1 controls.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F) ||
        (lead == 0xC2 && second < 0xA0)) {
        return 0;
    }
    out->append(bytes, length);
    return 3 * length;
}

std::string FileNameOf(std::string_view file, bool ftp) {
    if (file.empty() || IsDotSegment(file)) return ftp ? "index.txt" : "index.html";
    if (file.size() > kMaxNameLength) return "index.html";
    for (char c : file) {
        if (IsForbiddenInName(c)) return "index.html";
    }
    std::string name;
    name.reserve(file.size());
    for (size_t i = 0; i < file.size(); ++i) {
        // An escaped UTF-8 letter is a readable name in its own right.
        if (const size_t used = EscapedUtf8Char(file.substr(i), &name)) {
            i += used - 1;
        } else if (file[i] == '%' && i + 2 < file.size() &&
                   platform::HexDigitValue(file[i + 1]) >= 0 &&
                   platform::HexDigitValue(file[i + 2]) >= 0) {
            name.push_back(file.substr(i + 1, 2) == "20" ? ' ' : '_');
            i += 2;
        } else {
            name.push_back(file[i]);
        }
    }
    return name;
}

// The URL's directories as path segments, each followed by "/".
std::string DirectoriesOf(std::string_view directory, bool short_names) {
    size_t cut = 0;
    while (cut < directory.size() && !EndsDirectory(directory[cut])) ++cut;
    directory = directory.substr(0, cut);
    std::string out;
    while (!directory.empty()) {
        size_t end = directory.find_first_of("/\\");
        std::string_view segment = directory.substr(0, end);
        directory.remove_prefix(end == std::string_view::npos ? directory.size() : end + 1);
        std::string name = short_names ? ShortSegment(segment, kShortBase) : std::string(segment);
        if (name.empty()) continue;
        out += SafeSegment(name);
        out += '/';
    }
    return out;
}

enum class Probe { kFree, kTaken, kError };

// With `reserve`, a free name is also taken at once: created empty and kept
// open there. When it cannot be created the probe still answers, and the
// caller's own attempt at the file meets the same failure as without it.
Probe ProbeName(const std::string& path, platform::UniqueFd* reserve) {
    if (reserve) {
        platform::UniqueFd created = platform::CreateNewFile(path);
        const int error = errno;  // before anything held in *reserve is closed
        *reserve = std::move(created);
        if (reserve->ok()) return Probe::kFree;
        if (error == EEXIST) return Probe::kTaken;
    }
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return Probe::kTaken;
    return (errno == ENOENT || errno == ENOTDIR) ? Probe::kFree : Probe::kError;
}

struct NameParts {
    std::string base;       // long names: before the last "."; short: the cut base
    std::string extension;  // from the last "." on, or empty
};

NameParts SplitName(const std::string& name, bool short_names) {
    size_t dot = name.rfind('.');
    if (!short_names) {
        if (dot == std::string::npos) return {name, {}};
        return {name.substr(0, dot), name.substr(dot)};
    }
    NameParts parts;
    if (dot == std::string::npos || dot == 0) {
        parts.base = ShortSegment(name, kShortBase);
    } else {
        parts.base = ShortSegment(std::string_view(name).substr(0, dot), kShortBase);
        parts.extension = platform::CutUtf8(std::string_view(name).substr(dot), kShortExtension);
    }
    if (parts.base.empty()) parts.base = "_";
    return parts;
}

std::string CountedName(const NameParts& parts, unsigned long n, bool short_names) {
    std::string digits = std::to_string(n);
    std::string_view base = parts.base;
    if (short_names) base = platform::CutUtf8(base, kShortBase - digits.size());
    return std::string(base) + digits + parts.extension;
}

// Picks a free name for `name` in directory `dir` (ending in "/"); the caller
// holds NameMutex. False when the disk cannot be examined or the counters run
// out. `reserve` as for ProbeName.
bool UniqueName(const std::string& dir, const std::string& name, bool short_names,
                std::string* path, platform::UniqueFd* reserve) {
    NameParts parts = SplitName(name, short_names);
    std::string first = dir + (short_names ? parts.base + parts.extension : name);
    switch (ProbeName(first, reserve)) {
        case Probe::kFree:
            *path = std::move(first);
            return true;
        case Probe::kError:
            return false;
        case Probe::kTaken:
            break;
    }
    std::string key = dir;
    key += '\0';
    key += parts.base;
    key += '\0';
    key += parts.extension;
    key += short_names ? 's' : 'l';
    auto& counters = NextCounters();
    auto known = counters.find(key);
    unsigned long n = known == counters.end() ? 2 : known->second;
    for (;; ++n) {
        // Short names have room for at most eight digits; long ones stop at
        // the counter's end rather than wrap onto a taken name.
        if ((short_names && n > 99999999UL) || n == 0) return false;
        std::string candidate = dir + CountedName(parts, n, short_names);
        Probe probe = ProbeName(candidate, reserve);
        if (probe == Probe::kError) return false;
        if (probe == Probe::kFree) {
            if (counters.size() >= kMaxRememberedNames) counters.clear();
            counters[key] = n + 1;
            *path = std::move(candidate);
            return true;
        }
    }
}

std::string DataRoot(std::string_view data_dir) {
    std::string root(data_dir);
    if (!root.empty() && root.back() != '/') root += '/';
    return root;
}

bool WithinLimit(const std::string& path, size_t root) {
    return path.size() - root <= kMaxStoredPath;
}

// UniqueName, for a path that must stay within kMaxStoredPath of the data
// directory (`root` is its length); a file reserved beyond that is removed.
bool UniqueNameWithin(const std::string& dir, const std::string& name, bool short_names,
                      size_t root, std::string* path, platform::UniqueFd* reserve) {
    std::string chosen;
    if (!UniqueName(dir, name, short_names, &chosen, reserve)) return false;
    if (!WithinLimit(chosen, root)) {
        if (reserve && reserve->ok()) {
            *reserve = platform::UniqueFd();
            platform::RemoveFile(chosen);
        }
        return false;
    }
    *path = std::move(chosen);
    return true;
}

uint64_t Fnv1a(std::string_view text) {
    uint64_t hash = 14695981039346656037ULL;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

// A short extension of the URL's last segment worth keeping in a fallback
// name (letters and digits only), with its dot; empty when there is none.
std::string FallbackExtension(std::string_view url) {
    size_t slash = url.rfind('/');
    std::string_view last = slash == std::string_view::npos ? url : url.substr(slash + 1);
    size_t dot = last.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string_view ext = last.substr(dot + 1);
    if (ext.empty() || ext.size() > 8) return {};
    for (char c : ext) {
        bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return {};
    }
    return "." + std::string(ext);
}

bool FallbackPath(std::string_view url, std::string_view data_dir, unsigned flags,
                  std::string* path, platform::UniqueFd* reserve) {
    bool short_names = flags & kShortNames;
    std::string dir = DataRoot(data_dir);
    size_t root = dir.size();
    size_t scheme_end = url.find("://");
    if ((flags & (kHostDirectory | kHostDirectoryAlt)) && scheme_end != std::string_view::npos) {
        std::string_view rest = url.substr(scheme_end + 3);
        std::string name = HostDirectoryName(HostOfAuthority(rest.substr(0, rest.find('/'))));
        name = std::string(platform::CutUtf8(name, short_names ? kShortBase : kFallbackHostLength));
        for (char& c : name) {
            if (IsForbiddenInName(c)) c = '_';
        }
        dir += SafeSegment(name) + "/";
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(url)));
    std::string name = short_names ? std::string(hex, kShortBase) : "u" + std::string(hex);
    name += FallbackExtension(url);
    return UniqueNameWithin(dir, name, short_names, root, path, reserve);
}

}  // namespace

FileNameLock::FileNameLock() : lock_(NameMutex()) {}
FileNameLock::~FileNameLock() = default;

std::string HostDirectoryName(std::string_view host) {
    if (host.starts_with("www.")) host.remove_prefix(4);
    // A name in its ASCII (IDNA) form is stored as the letters it stands for.
    if (host.starts_with("xn--") || host.find(".xn--") != std::string_view::npos) {
        char* letters = nullptr;
        const std::string ascii(host);
        if (idn2_to_unicode_8z8z(ascii.c_str(), &letters, 0) == IDN2_OK && letters != nullptr) {
            std::string name = SafeSegment(letters);
            idn2_free(letters);
            return name;
        }
        idn2_free(letters);
    }
    return SafeSegment(host);
}

bool MakeLocalPath(const FileNameLock&, std::string_view url, std::string_view data_dir,
                   unsigned flags, std::string* path, platform::UniqueFd* reserve) {
    size_t scheme_end = url.find("://");
    std::string_view rest =
        scheme_end == std::string_view::npos ? std::string_view() : url.substr(scheme_end + 3);
    size_t first = rest.find('/');
    if (first == std::string_view::npos || first == 0) {
        path->clear();
        return true;
    }
    size_t last = rest.rfind('/');
    const std::string_view host = HostOfAuthority(rest.substr(0, first));
    std::string_view file = rest.substr(last + 1);
    std::string_view directory =
        first == last ? std::string_view() : rest.substr(first + 1, last - first - 1);
    bool short_names = flags & kShortNames;
    bool ftp = url.size() >= 3 && platform::EqualsIgnoreCase(url.substr(0, 3), "ftp");

    std::string dir = DataRoot(data_dir);
    size_t root = dir.size();
    if (flags & (kHostDirectory | kHostDirectoryAlt)) {
        std::string name = HostDirectoryName(host);
        if (short_names) name = SafeSegment(platform::CutUtf8(name, kShortBase));
        for (char& c : name) {
            if (IsControl(c)) c = '_';
        }
        dir += name;
        dir += '/';
    }
    if (flags & kKeepDirectories) dir += DirectoriesOf(directory, short_names);

    std::string name = FileNameOf(file, ftp);
    // Too long already: no counter can make it fit, and the disk need not be asked.
    if (!WithinLimit(dir + name, root)) return false;
    return UniqueNameWithin(dir, name, short_names, root, path, reserve);
}

bool ChooseLocalPath(const FileNameLock& held, std::string_view url, std::string_view data_dir,
                     unsigned flags, std::string* path, platform::UniqueFd* reserve) {
    std::string chosen;
    if (MakeLocalPath(held, url, data_dir, flags, &chosen, reserve) && !chosen.empty()) {
        *path = std::move(chosen);
        return true;
    }
    size_t scheme_end = url.find("://");
    if (scheme_end != std::string_view::npos && scheme_end + 3 < url.size() &&
        url.find('/', scheme_end + 3) == std::string_view::npos) {
        std::string root_page = std::string(url) + "/";
        if (MakeLocalPath(held, root_page, data_dir, flags, &chosen, reserve) && !chosen.empty()) {
            *path = std::move(chosen);
            return true;
        }
    }
    return FallbackPath(url, data_dir, flags, path, reserve);
}

std::string_view ExtensionFix(bool html, std::string_view content_type, std::string_view path) {
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    std::string extension;
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
        extension = platform::ToLowerAscii(path.substr(dot));
    }
    if (html)
        return std::string_view(extension).substr(0, 4) == ".htm" ? std::string_view() : ".htm";
    if (platform::EqualsIgnoreCase(content_type, "application/pdf") && extension != ".pdf")
        return ".pdf";
    return {};
}

bool RelativePath(std::string_view from, std::string* target, size_t capacity, char separator) {
    const std::string& to = *target;
    size_t shared = 0;
    for (size_t i = 0; i < from.size() && i < to.size() && from[i] == to[i]; ++i) {
        if (from[i] == separator) shared = i + 1;
    }
    std::string result;
    for (size_t i = shared; i < from.size(); ++i) {
        if (from[i] == separator) {
            result += "..";
            result += separator;
        }
    }
    result.append(to, shared, std::string::npos);
    if (result.size() >= capacity) return false;
    *target = std::move(result);
    return true;
}

}  // namespace fw
