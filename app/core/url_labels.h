// How the views name and picture a URL.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvalin {

// The five pictures of a URL: not grabbed, grabbed, an image, a text or style
// sheet, any other file.
enum class UrlImage { kNotGrabbed = 0, kGrabbed = 1, kImage = 2, kText = 3, kOther = 4 };

// The list's picture follows Html: 2 (text) and 7 (style sheet) a text, 3 an
// image, 4 another file; anything else grabbed or not grabbed.
UrlImage ListImageOf(int32_t html, int32_t status, int32_t error);
// The tree shows pages only: grabbed or not.
UrlImage TreeImageOf(int32_t status, int32_t error);

// A start URL in the tree: its display title (from Notes), else its Title,
// else its URL.
std::string StartUrlLabel(std::string_view notes, std::string_view title, std::string_view url);
// Any other URL: its Title, else its URL.
std::string UrlLabel(std::string_view title, std::string_view url);
// A file of a file-type start URL: the part of its URL after the last "/".
std::string FileLabel(std::string_view url);

}  // namespace corvalin
