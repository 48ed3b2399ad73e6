// The path and query of a request as they may stand on a request line.
// Stored URLs keep what pages wrote (UTF-8 names, a stray quote); servers
// expect RFC 3986 text, so what it does not allow is percent-encoded as a
// browser sends it, the bytes of UTF-8 text included. Escapes already there
// are kept as they are.
#pragma once

#include <string>
#include <string_view>

namespace fw {

// `path` (path and query, as stored) with every byte that RFC 3986 does not
// allow there percent-encoded: controls, blanks, bytes above 0x7E, and
// '"', '<', '>', '\', '^', '`', '{', '|', '}', and a '%' that does not start
// an escape. "/" when `path` is empty.
std::string RequestTarget(std::string_view path);

}  // namespace fw
