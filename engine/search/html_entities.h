// Character references of HTML text: "&name;", "&#decimal;" and "&#xhex;".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

// Decodes the character reference that starts at text[*pos] (an "&"),
// appending its character as UTF-8 to *out and moving *pos past it. Returns
// false, changing nothing, when no reference starts there (the "&" is then
// literal text). Named references are those of HTML 4; a few common ones
// ("amp", "lt", "gt", "quot", "nbsp") are also taken without the ";".
// Numeric references name Unicode characters, except that 128 to 159 are read
// as windows-1252 and impossible values give U+FFFD.
bool DecodeCharacterReference(std::string_view text, size_t* pos, std::string* out);

}  // namespace fw
