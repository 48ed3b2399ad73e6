// Character sets of stored pages: finding the one a file is written in and
// converting its bytes to UTF-8 for indexing.
#pragma once

#include <string>
#include <string_view>

namespace fw {

// The character set of `bytes`, as a lower-case name ConvertToUtf8 accepts:
// a byte-order mark first ("utf-8", "utf-16le", "utf-16be"); then, for
// HTML, a charset named by a meta tag near the start of the page; otherwise
// "utf-8" when the bytes are valid UTF-8, else "windows-1252". A declared
// name that cannot be converted is ignored. Latin-1 and ASCII declarations
// read as windows-1252, as browsers read them.
std::string DetectCharset(std::string_view bytes, bool html);

// `bytes` converted from `charset` to UTF-8, without a byte-order mark.
// Sequences that are invalid in the charset become U+FFFD; an unknown charset
// is read as windows-1252.
std::string ConvertToUtf8(std::string_view bytes, std::string_view charset);

// ConvertToUtf8(bytes, DetectCharset(bytes, html)), with bytes that detection
// found valid UTF-8 taken as they are instead of checked a second time.
std::string TextAsUtf8(std::string_view bytes, bool html);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The charset named by a <meta charset=...> or <meta http-equiv
// content="...; charset=..."> tag within the first `limit` bytes of the
// page, lower-cased; empty when none is.
std::string DeclaredCharset(std::string_view html, size_t limit = 4096);

// The Unicode character of one windows-1252 byte.
char32_t Windows1252ToUnicode(unsigned char byte);

}  // namespace fw
