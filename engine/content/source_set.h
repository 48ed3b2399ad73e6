// The candidates of a srcset value ("a.jpg 1x, b.jpg 2x", "s.jpg 480w,
// l.jpg 800w"): where each candidate's URL stands in the value, so that the
// passes can take the URLs and rewrite them while the descriptors, commas and
// blanks around them stay exactly as written.
//
// Read as browsers read it: blanks and commas before a candidate are
// skipped; the URL runs to the next blank (so a comma inside it, as in a
// data: URL, belongs to it) and loses commas at its end; descriptors run to
// the next comma outside parentheses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fw {

// The URLs of the candidates, in order, each pointing into `value`.
std::vector<std::string_view> SourceSetUrls(std::string_view value);

// A link written as a candidate URL: a comma at its start or end would be
// read as a separator, so it is percent-escaped.
std::string SourceSetSafe(std::string link);

}  // namespace fw
