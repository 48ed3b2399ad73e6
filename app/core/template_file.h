// The HTML templates of the program directory (head.htm, foot.htm,
// export.htm), read line by line and filled in by markers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvalin {

// The lines of the template at `path`, without their line ends (a carriage
// return before a line feed is part of the line end). With `max_line` above
// 0 a longer line is cut to that many bytes (never inside a UTF-8 character)
// and ends the template. Only the first MiB of a template is read. nullopt
// when the file cannot be read.
std::optional<std::vector<std::string>> ReadTemplateLines(const std::string& path, size_t max_line);

// `text` with every `marker` replaced by `value`.
std::string FillMarker(std::string text, std::string_view marker, std::string_view value);

}  // namespace corvalin
