#include "engine/filter/filter.h"

#include "platform/text.h"

namespace fw {

std::vector<std::string_view> Filter::Extensions() const {
    std::vector<std::string_view> items;
    std::string_view rest = data;
    while (!rest.empty()) {
        size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        if (!item.empty()) items.push_back(item);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return items;
}

Filter DecodeFilter(char type_letter, std::string_view text) {
    Filter filter;
    filter.type = static_cast<FilterType>(type_letter);
    if (filter.type == FilterType::Size) {
        // Read whatever its length: a one-digit limit is still a limit.
        filter.size_limit = platform::LeadingInteger(text);
        return filter;
    }
    // A stay filter is read even without data: the default set keeps its
    // stay filters with empty data, and they must come back as stay filters.
    if (!text.empty() && (text[0] == 'S' || text[0] == 'D')) {
        filter.type = FilterType::Url;
        filter.stay_on_site = text[0] == 'S';
        filter.stay_in_dir = text[0] == 'D';
        filter.data = platform::ToLowerAscii(text.substr(1));
        return filter;
    }
    if (text.size() <= 1) return filter;
    filter.include = text[0] != 'E';
    filter.case_sensitive = text[1] == 'S';
    const char match = text.size() > 2 ? text[2] : '\0';
    filter.match = match == 'F'   ? MatchKind::Equals
                   : match == 'B' ? MatchKind::BeginsWith
                   : match == 'E' ? MatchKind::EndsWith
                                  : MatchKind::Contains;
    std::string_view data = text.size() > 3 ? text.substr(3) : std::string_view();
    filter.data = filter.case_sensitive ? std::string(data) : platform::ToLowerAscii(data);
    return filter;
}

void EncodeFilter(const Filter& filter, char* type_letter, std::string* text) {
    if (filter.stay_on_site || filter.stay_in_dir) {
        *type_letter = static_cast<char>(FilterType::Url);
        *text = filter.stay_on_site ? "S" : "D";
        *text += filter.data;
        return;
    }
    *type_letter = static_cast<char>(filter.type);
    if (filter.type == FilterType::Size) {
        *text = std::to_string(filter.size_limit);
        return;
    }
    char match = 'P';
    switch (filter.match) {
        case MatchKind::Equals: match = 'F'; break;
        case MatchKind::BeginsWith: match = 'B'; break;
        case MatchKind::EndsWith: match = 'E'; break;
        case MatchKind::Contains: break;
    }
    text->clear();
    text->push_back(filter.include ? 'I' : 'E');
    text->push_back(filter.case_sensitive ? 'S' : 'I');
    text->push_back(match);
    *text += filter.data;
}

}  // namespace fw
