// The text of a stored page as the index reads it.
#pragma once

#include <string>
#include <string_view>

namespace fw {

struct PageText {
    std::string title;  // UTF-8; empty for plain text and pages without one
    std::string body;   // UTF-8
};

// The readable text of an HTML page already converted to UTF-8: tags,
// comments, declarations and the contents of script and style elements are
// dropped (the tags of elements that break a line of text, such as "p" or
// "td", separate words; those of inline elements, such as "b", do not),
// character references are decoded, and
// the first title element's text is returned apart from the body.
PageText HtmlText(std::string_view html);

// The text of a stored file's bytes: converted to UTF-8 from the charset
// DetectCharset finds, then read as HTML when `html`, else taken as it is.
PageText StoredPageText(std::string_view bytes, bool html);

}  // namespace fw
