#include "platform/profile_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"

namespace platform {
namespace {

// Files larger than this are not settings files; reading stops there.
constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

std::mutex& LockFor(const std::string& path) {
    static std::mutex registry_lock;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::lock_guard<std::mutex> guard(registry_lock);
    auto& slot = locks[path];
    if (!slot) slot = std::make_unique<std::mutex>();
    return *slot;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string content;
    if (!ReadFilePrefix(path, kMaxFileBytes, &content)) return lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines) {
    std::string content;
    for (const auto& line : lines) {
        content += line;
        content += '\n';
    }
    // Settings can hold passwords (proxy, dial-up): a new file is private,
    // and a rewrite keeps whatever mode the user gave the file.
    return ReplaceFileContents(path, content, ModeForReplacing(path, 0600));
}

// "[name]" with optional blanks around; returns the name or nullopt.
std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view t = TrimView(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimView(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    std::string_view t = TrimView(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{TrimView(t.substr(0, eq)), TrimView(t.substr(eq + 1))};
}

// Index range [begin, end) of the lines of a section's body; begin is the
// header line. nullopt when the section does not exist.
struct SectionSpan {
    size_t header;
    size_t end;
};

std::optional<SectionSpan> FindSection(const std::vector<std::string>& lines,
                                       std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = SectionName(lines[i]);
        if (!name || !EqualsIgnoreCase(*name, section)) continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end])) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<std::string>& lines, const SectionSpan& span,
                              std::string_view key) {
    for (size_t i = span.header + 1; i < span.end; ++i) {
        auto kv = ParseKeyLine(lines[i]);
        if (kv && EqualsIgnoreCase(kv->key, key)) return i;
    }
    return std::nullopt;
}

std::string Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    std::lock_guard<std::mutex> guard(LockFor(path_));
    auto lines = ReadLines(path_);
    auto span = FindSection(lines, section);
    if (!span) return std::string(fallback);
    auto at = FindKey(lines, *span, key);
    if (!at) return std::string(fallback);
    return Unquote(ParseKeyLine(lines[*at])->value);
}

long ProfileFile::ReadInt(std::string_view section, std::string_view key, long fallback) const {
    static constexpr char kMissing[] = "\x01missing";
    std::string text = ReadString(section, key, kMissing);
    if (text == kMissing) return fallback;
    return LeadingInteger(text);
}

int32_t ProfileFile::ReadInt32(std::string_view section, std::string_view key,
                               int32_t fallback) const {
    const long value = ReadInt(section, key, fallback);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

std::string ProfileFile::ReadText(std::string_view section, std::string_view key,
                                  std::string_view fallback) const {
    return std::string(CutUtf8(ReadString(section, key, fallback), kMaxSettingText));
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              const std::optional<std::string>& value) const {
    std::lock_guard<std::mutex> guard(LockFor(path_));
    auto lines = ReadLines(path_);
    auto span = FindSection(lines, section);
    if (!value) {
        if (!span) return true;
        auto at = FindKey(lines, *span, key);
        if (!at) return true;
        lines.erase(lines.begin() + static_cast<long>(*at));
        return WriteLinesAtomically(path_, lines);
    }
    std::string line = std::string(key) + "=" + *value;
    if (!span) {
        if (!lines.empty() && !TrimView(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(std::move(line));
        return WriteLinesAtomically(path_, lines);
    }
    if (auto at = FindKey(lines, *span, key)) {
        lines[*at] = std::move(line);
    } else {
        // After the section's last non-blank line, so blank separators stay
        // between sections.
        size_t insert = span->end;
        while (insert > span->header + 1 && TrimView(lines[insert - 1]).empty()) --insert;
        lines.insert(lines.begin() + static_cast<long>(insert), std::move(line));
    }
    return WriteLinesAtomically(path_, lines);
}

bool ProfileFile::WriteInt(std::string_view section, std::string_view key, long value) const {
    return WriteString(section, key, std::to_string(value));
}

bool ProfileFile::DeleteSection(std::string_view section) const {
    std::lock_guard<std::mutex> guard(LockFor(path_));
    auto lines = ReadLines(path_);
    auto span = FindSection(lines, section);
    if (!span) return true;
    lines.erase(lines.begin() + static_cast<long>(span->header),
                lines.begin() + static_cast<long>(span->end));
    return WriteLinesAtomically(path_, lines);
}

}  // namespace platform
