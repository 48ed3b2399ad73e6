// Reading back a directory listing that an FTP fetch saved: the names it
// lists, for the grab to queue as children of the listing's URL.
#pragma once

#include <string>
#include <vector>

namespace fw {

// Lines longer than this are no listing line a name can be taken from.
inline constexpr size_t kMaxListingLine = 511;

// The names of the listing saved at `path`, in file order. Per line (a line
// feed ends it; a carriage return before it is dropped): an empty line, one
// starting "total " (any case) and one longer than kMaxListingLine give
// nothing; otherwise the name is the text after the line's last space, as
// written (a name containing spaces keeps only its last word; a line without
// a space is a name as a whole). "." and ".." are never names. Empty when the
// file cannot be read.
std::vector<std::string> ReadListingNames(const std::string& path);

}  // namespace fw
