// Texts of the grab window: byte sizes and the states of URLs being fetched.
#pragma once

#include <cstdint>
#include <string>

namespace corvalin {

// n bytes: up to 10240 in decimal ("10240"), then kilobytes with three
// decimals up to 1048576 ("10.001KB", "1024.000KB"), then megabytes
// ("1.000MB").
std::string ByteSizeText(int64_t bytes);

// The word for a fetch state: "Pending", "Lookup", "Connect", "Send",
// "Receive", "Done", "Error", "Fixing"; "" for any other value.
std::string FetchStateText(int32_t state);

}  // namespace corvalin
