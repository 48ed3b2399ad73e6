#include "engine/filter/filter_set.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/filter/site.h"
#include "platform/text.h"

namespace fw {
namespace {

bool HasUpperAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Lower-cases the ASCII letters of eight bytes at once; other bytes stay.
uint64_t LowerEight(uint64_t x) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    const uint64_t low7 = x & ~kHigh;
    const uint64_t at_least_a = low7 + kOnes * (0x80 - 'A');
    const uint64_t beyond_z = low7 + kOnes * (0x80 - 'Z' - 1);
    const uint64_t upper = at_least_a & ~beyond_z & ~x & kHigh;
    return x | (upper >> 2);
}

void CopyLowered(std::string_view in, char* out) {
    size_t i = 0;
    for (; i + 8 <= in.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, in.data() + i, 8);
        word = LowerEight(word);
        std::memcpy(out + i, &word, 8);
    }
    for (; i < in.size(); ++i) out[i] = platform::ToLowerAscii(in[i]);
}

// The subject in lower case, made on first use and at most once per call.
class FoldedSubject {
public:
    explicit FoldedSubject(std::string_view subject) : subject_(subject) {}
    FoldedSubject(const FoldedSubject&) = delete;
    FoldedSubject& operator=(const FoldedSubject&) = delete;

    std::string_view Get() {
        if (!ready_) {
            char* out = inline_;
            if (subject_.size() > sizeof inline_) {
                heap_.resize(subject_.size());
                out = heap_.data();
            }
            CopyLowered(subject_, out);
            folded_ = std::string_view(out, subject_.size());
            ready_ = true;
        }
        return folded_;
    }

private:
    std::string_view subject_;
    bool ready_ = false;
    std::string_view folded_;
    char inline_[2048];
    std::string heap_;  // only for longer subjects
};

bool TextMatches(std::string_view subject, std::string_view data, MatchKind match) {
    switch (match) {
        case MatchKind::Equals: return subject == data;
        case MatchKind::BeginsWith: return subject.starts_with(data);
        case MatchKind::EndsWith:
            if (data.starts_with('*')) data.remove_prefix(1);
            return subject.ends_with(data);
        case MatchKind::Contains: break;
    }
    return subject.find(data) != std::string_view::npos;
}

bool EndsWithAnyItem(std::string_view subject, std::string_view list) {
    while (!list.empty()) {
        size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        if (!item.empty() && subject.ends_with(item)) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

bool IsStay(const Filter& filter) { return filter.stay_on_site || filter.stay_in_dir; }

FilterType EffectiveType(const Filter& filter) {
    return IsStay(filter) ? FilterType::Url : filter.type;
}

// Whether the filter's test holds for the subject, before any inversion.
bool FilterMatches(const Filter& filter, std::string_view subject, FoldedSubject& folded) {
    const bool fold = !filter.case_sensitive || IsStay(filter);
    std::string_view data = filter.data;
    std::string folded_data;  // stored data is already lower case; bound data may not be
    if (fold) {
        subject = folded.Get();
        if (HasUpperAscii(data)) {
            folded_data = platform::ToLowerAscii(data);
            data = folded_data;
        }
    }
    if (filter.stay_in_dir) return InSiteDirectory(subject, data);
    if (filter.stay_on_site) return subject.find(data) != std::string_view::npos;
    if (filter.type == FilterType::Extensions) return EndsWithAnyItem(subject, data);
    return TextMatches(subject, data, filter.match);
}

}  // namespace

bool Accepts(const FilterSet& set, FilterType type, std::string_view subject) {
    FoldedSubject folded(subject);
    bool has_include = false;
    bool included = false;
    for (const Filter& filter : set.filters) {
        if (filter.deleted || EffectiveType(filter) != type) continue;
        if (filter.include || IsStay(filter)) {
            has_include = true;
            if (!included) included = FilterMatches(filter, subject, folded);
            continue;
        }
        bool matches = FilterMatches(filter, subject, folded);
        // An exclude Z filter is not inverted: it vetoes what it does not match.
        bool vetoes = filter.type == FilterType::Extensions ? !matches : matches;
        if (vetoes) return false;
    }
    return !has_include || included;
}

bool AcceptsLength(const FilterSet& set, int64_t length) {
    const std::optional<int64_t> longest = LongestAcceptedLength(set);
    return !longest || length <= *longest;
}

std::optional<int64_t> LongestAcceptedLength(const FilterSet& set) {
    std::optional<int64_t> longest;
    for (const Filter& filter : set.filters) {
        if (filter.deleted || IsStay(filter) || filter.type != FilterType::Size) continue;
        if (!longest || filter.size_limit < *longest) longest = filter.size_limit;
    }
    return longest;
}

void BindStayFilters(FilterSet* set, std::string_view start_url) {
    std::string site = SiteOf(start_url);
    if (site.empty()) site = start_url;
    std::string directory = SiteAndDirectoryOf(start_url);
    if (directory.empty()) directory = start_url;
    for (Filter& filter : set->filters) {
        if (filter.stay_on_site) {
            filter.data = site;
        } else if (filter.stay_in_dir) {
            filter.data = directory;
        }
    }
}

void DropStayOnSiteWhenInDirectory(FilterSet* set) {
    auto& filters = set->filters;
    auto live = [](bool Filter::*flag) {
        return [flag](const Filter& f) { return !f.deleted && f.*flag; };
    };
    if (std::none_of(filters.begin(), filters.end(), live(&Filter::stay_in_dir))) return;
    auto site = std::find_if(filters.begin(), filters.end(), live(&Filter::stay_on_site));
    if (site != filters.end()) filters.erase(site);
}

bool CompleteForLinkCheck(FilterSet* set) {
    auto& filters = set->filters;
    const bool has_site = std::any_of(filters.begin(), filters.end(),
                                      [](const Filter& f) { return f.stay_on_site; });
    const bool has_text = std::any_of(filters.begin(), filters.end(), [](const Filter& f) {
        return f.type == FilterType::ContentType && f.match == MatchKind::BeginsWith &&
               f.data == "text";
    });
    if (!has_site) {
        Filter site;
        site.stay_on_site = true;
        filters.push_back(site);
    }
    if (!has_text) {
        Filter text;
        text.type = FilterType::ContentType;
        text.match = MatchKind::BeginsWith;
        text.data = "text";
        filters.push_back(text);
    }
    return !has_site || !has_text;
}

}  // namespace fw
