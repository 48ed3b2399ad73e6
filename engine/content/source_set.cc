#include "engine/content/source_set.h"

#include "engine/content/html_text.h"

namespace fw {

std::vector<std::string_view> SourceSetUrls(std::string_view value) {
    std::vector<std::string_view> urls;
    size_t pos = 0;
    while (true) {
        while (pos < value.size() && (IsCssBlank(value[pos]) || value[pos] == ',')) ++pos;
        if (pos >= value.size()) break;
        const size_t start = pos;
        while (pos < value.size() && !IsCssBlank(value[pos])) ++pos;
        std::string_view url = value.substr(start, pos - start);
        if (url.ends_with(',')) {
            // No descriptors: the commas end the candidate.
            while (url.ends_with(',')) url.remove_suffix(1);
        } else {
            int depth = 0;
            for (; pos < value.size(); ++pos) {
                const char c = value[pos];
                if (c == '(') ++depth;
                if (c == ')' && depth > 0) --depth;
                if (c == ',' && depth == 0) break;
            }
        }
        if (!url.empty()) urls.push_back(url);
    }
    return urls;
}

std::string SourceSetSafe(std::string link) {
    if (link.ends_with(',')) link.replace(link.size() - 1, 1, "%2C");
    if (link.starts_with(',')) link.replace(0, 1, "%2C");
    return link;
}

}  // namespace fw
