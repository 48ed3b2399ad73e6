#include "app/core/template_file.h"

#include "platform/file_ops.h"
#include "platform/text.h"

namespace corvalin {
namespace {

// Templates are small hand-edited files.
constexpr size_t kMaxTemplateBytes = size_t{1} << 20;

}  // namespace

std::optional<std::vector<std::string>> ReadTemplateLines(const std::string& path,
                                                          size_t max_line) {
    std::string text;
    if (platform::DirectoryExists(path) ||
        !platform::ReadFilePrefix(path, kMaxTemplateBytes, &text)) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        if (line.ends_with('\r')) line.remove_suffix(1);
        const bool too_long = max_line > 0 && line.size() > max_line;
        if (too_long) line = platform::CutUtf8(line, max_line);
        lines.emplace_back(line);
        if (too_long) break;
        pos = next;
    }
    return lines;
}

std::string FillMarker(std::string text, std::string_view marker, std::string_view value) {
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + value.size())) {
        text.replace(at, marker.size(), value);
    }
    return text;
}

}  // namespace corvalin
