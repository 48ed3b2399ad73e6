// Small operations on link values that the extracting and rewriting passes
// share: resolving a value against its page, and writing a URL or a stored
// file's path back into a page so that it still reads as one reference.
#pragma once

#include <string>
#include <string_view>

#include "engine/content/parsed_url.h"

namespace fw {

// Resolves `value` against `base` into `*out` (CopyFrom, then
// ParseRelative). False when the result has no text, or when the value
// names a scheme the URL model does not know (data:, tel:, about:,
// javascript:, ...): the model would take such a value for a relative path
// and invent a web address from it. False too for a value longer than a URL
// can hold (ParsedUrl::kTextCapacity), which would be cut into another
// address. A scheme word in capitals is taken in lower case.
bool ResolveLink(const ParsedUrl& base, std::string_view value, ParsedUrl* out);

// The URL's fragment ("#..."), or an empty view.
std::string_view FragmentOf(const ParsedUrl& url);

// Http, Https or Ftp: the schemes a grab fetches.
bool IsWebScheme(UrlScheme scheme);

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

// A stored file's relative path as a link: the characters that would end an
// attribute value or a url() reference, or that a browser would read as
// something other than part of the name ("%", "#", "?"), are
// percent-escaped.
std::string EscapeLocalPath(std::string_view path);

// Reverses EscapeLocalPath (any "%XX" becomes its byte), for looking a link
// that a rewriting pass wrote back up as a stored path.
std::string UnescapeLocalPath(std::string_view path);

// An absolute URL as a link: blanks, double quotes, "<", ">" and control
// characters are percent-escaped so the URL stays one attribute value; the
// URL means the same.
std::string EscapeUrlForPage(std::string_view url);

// A URL or stored path as a style sheet reference: as EscapeUrlForPage, and
// also parentheses, quotes and backslashes are percent-escaped, so it stays
// one url(...) value or quoted name, also inside an attribute's quotes.
// Text escaped once is left as it is by a second pass.
std::string EscapeUrlForStyle(std::string_view url);

}  // namespace fw
