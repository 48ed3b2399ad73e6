// Text and links the programs write into the HTML pages they make (the
// contents page, an export's index page): escaped so that a title with "<" or
// a file name with '"' or "#" stays what it is and cannot add markup.
#pragma once

#include <string>
#include <string_view>

namespace corvalin {

// Text for an element's content: "<", ">" and '"' become entities; "&" does
// too, unless it already starts a character reference ("&amp;", "&#38;"),
// because page titles are kept as the page wrote them.
std::string HtmlText(std::string_view text);

// A stored file's path (relative, "/"-separated) as a link target inside a
// double-quoted attribute: every byte a URL path may not hold as it is
// (blanks, quotes, "%", "#", "?", ":", "\", bytes above 127, ...) is
// percent-escaped, then "&" becomes "&amp;".
std::string FileLinkTarget(std::string_view path);

// An absolute URL as a link target inside a double-quoted attribute: blanks,
// control characters, quotes, "<", ">", "\", "^", "`", "{", "|", "}" and bytes
// above 127 are percent-escaped (what is escaped already stays as it is), then
// "&" becomes "&amp;".
std::string UrlLinkTarget(std::string_view url);

}  // namespace corvalin
