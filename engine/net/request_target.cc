#include "engine/net/request_target.h"

namespace fw {
namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool NeedsEscape(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return true;
    switch (c) {
        case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string RequestTarget(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (path.empty()) return "/";
    std::string out;
    out.reserve(path.size() + 16);
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        const bool stray_percent =
            c == '%' && (i + 2 >= path.size() || !IsHex(path[i + 1]) || !IsHex(path[i + 2]));
        if (NeedsEscape(c) || stray_percent) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace fw
