// Text operations shared by the HTML passes: the small, exact rewrites they
// apply to attribute values and tags. Trimming is platform::Trim/TrimView.
// "Whitespace" here is space, tab, carriage return and line feed.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace fw {

// Every "&amp;" becomes "&", then every "&nbsp;" becomes a space. No other
// entity is decoded.
std::string DecodeEntities(std::string_view text);

// Every space becomes "%20".
std::string SpacesToEscapes(std::string_view text);

// A link attribute's value as the link passes read it: entities decoded,
// trimmed, spaces escaped. The same as SpacesToEscapes(Trim(DecodeEntities)),
// built without the two strings between them when there is nothing to
// decode.
std::string LinkAttributeText(std::string_view value);

// Every run of whitespace becomes one space.
std::string CollapseWhitespace(std::string_view text);

bool HasWhitespace(std::string_view text);

// Space, tab, carriage return, line feed and form feed: what separates the
// parts of a srcset or a style sheet.
inline bool IsCssBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The three pieces of a meta refresh tag, as written (case kept).
struct MetaRefresh {
    std::string_view head;  // everything through "url="
    std::string_view url;   // up to the next double quote, else the tag's ">"
    std::string_view tail;  // the rest of the tag
};

// Splits a meta tag that holds http-equiv="refresh" (the word in double
// quotes, any case) and "url=". Nothing for any other tag. The pieces point
// into `tag`.
std::optional<MetaRefresh> RefreshParts(std::string_view tag);

// The value that follows the first `word` (e.g. "type=" or "href=", matched
// in any case) in `tag`, lower-cased: after blanks and ">", a quoted value
// runs to the same quote, any other to the next whitespace or ">", and
// without an end to the end of the tag. Empty when the word is absent.
std::string TagValue(std::string_view tag, std::string_view word);

// The same value as written in `tag` (case kept); it points into `tag`.
std::string_view TagValueAsWritten(std::string_view tag, std::string_view word);

// Decides whether a string found in a script or attribute names a file worth
// following, by its extension, against two lists: the extensions of any
// linked file and those of pages. Items are trimmed and matched in any case,
// empty items are ignored. Thread-safe for reading once built.
class ScriptLinkTest {
  public:
    using Items = std::set<std::string>;
    ScriptLinkTest(const Items& extensions, const Items& page_extensions);
    // From comma-separated lists.
    ScriptLinkTest(std::string_view extensions, std::string_view page_extensions);

    // The text after the last "." names a listed extension (the page list
    // when `page`); otherwise, when the text holds a "?", the text between
    // the last "." before the first "?" and that "?" is tested the same way.
    bool IsLink(std::string_view text, bool page) const;

  private:
    static Items Split(std::string_view list);
    static Items Normalised(const Items& items);
    bool Listed(std::string_view extension, bool page) const;

    Items extensions_;       // trimmed, lower-case
    Items page_extensions_;  // trimmed, lower-case
};

}  // namespace fw
