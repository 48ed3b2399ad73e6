#include "app/core/grab_display.h"

#include <cstdio>

namespace corvalin {

std::string ByteSizeText(int64_t bytes) {
    char text[48];
    if (bytes <= 10240) {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(bytes));
    } else if (bytes <= 1048576) {
        std::snprintf(text, sizeof text, "%.3fKB", static_cast<double>(bytes) / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.3fMB", static_cast<double>(bytes) / 1048576);
    }
    return text;
}

std::string FetchStateText(int32_t state) {
    static constexpr const char* kStates[] = {"Pending", "Lookup", "Connect", "Send",
                                              "Receive", "Done",   "Error",   "Fixing"};
    if (state < 0 || state >= static_cast<int32_t>(std::size(kStates))) return std::string();
    return kStates[state];
}

}  // namespace corvalin
