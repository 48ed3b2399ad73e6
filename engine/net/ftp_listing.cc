#include "engine/net/ftp_listing.h"

#include <fstream>

#include "platform/text.h"

namespace fw {
namespace {

// The name a listing line gives, or empty.
std::string NameOf(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.size() > kMaxListingLine) return std::string();
    if (platform::FindIgnoreCase(line, "total ") == 0) return std::string();
    size_t space = line.rfind(' ');
    std::string_view name = space == std::string_view::npos ? line : line.substr(space + 1);
    // The directory itself and its parent would lead the grab in circles.
    if (name == "." || name == "..") return std::string();
    return std::string(name);
}

}  // namespace

std::vector<std::string> ReadListingNames(const std::string& path) {
    std::vector<std::string> names;
    std::ifstream in(path, std::ios::binary);
    if (!in) return names;
    // Lines are gathered only up to a little past the longest useful one, so
    // a file without line feeds costs no more memory than a short line.
    constexpr size_t kKeep = kMaxListingLine + 2;
    std::string line;
    bool too_long = false;
    char block[64 * 1024];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        const std::string_view data(block, static_cast<size_t>(in.gcount()));
        size_t start = 0;
        while (start < data.size()) {
            size_t end = data.find('\n', start);
            std::string_view piece = data.substr(start, end == std::string_view::npos ? data.npos : end - start);
            if (!too_long) {
                line.append(piece.substr(0, kKeep - std::min(kKeep, line.size())));
                too_long = line.size() >= kKeep;
            }
            if (end == std::string_view::npos) break;
            if (!too_long) {
                std::string name = NameOf(line);
                if (!name.empty()) names.push_back(std::move(name));
            }
            line.clear();
            too_long = false;
            start = end + 1;
        }
    }
    if (!too_long) {
        std::string name = NameOf(line);
        if (!name.empty()) names.push_back(std::move(name));
    }
    return names;
}

}  // namespace fw
