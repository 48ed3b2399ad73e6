#include "engine/content/scanner_runs.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace fw {

namespace {

// 0: no word starts with `c`; 1: one starts at `at` or might (the buffer
// ends first); -1: words start with `c`, none at `at`.
int WordAt(const char* at, const char* buffer_end, std::span<const std::string_view> words) {
    const char c = platform::ToLowerAscii(*at);
    int found = 0;
    for (std::string_view word : words) {
        if (word.front() != c) continue;
        const size_t have = std::min(word.size(), static_cast<size_t>(buffer_end - at));
        if (platform::EqualsIgnoreCase(std::string_view(at, have), word.substr(0, have))) return 1;
        found = -1;
    }
    return found;
}

}  // namespace

const char* RunEnd(const char* from, const char* buffer_end, const char* scan_set,
                   std::span<const std::string_view> words) {
    const char* at = from;
    for (;;) {
        at += std::strcspn(at, scan_set);
        if (at >= buffer_end) return buffer_end;
        if (*at == '\0') {
            while (at < buffer_end && *at == '\0') ++at;
            continue;
        }
        if (words.empty() || WordAt(at, buffer_end, words) >= 0) return at;
        ++at;
    }
}

}  // namespace fw
