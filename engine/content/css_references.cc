#include "engine/content/css_references.h"

#include <array>

#include "engine/content/html_text.h"
#include "platform/text.h"

namespace fw {

namespace {

constexpr std::string_view kUrl = "url(";
constexpr std::string_view kImport = "@import";
constexpr std::array<std::string_view, 4> kEntityQuotes = {"&quot;", "&#34;", "&#39;", "&apos;"};

bool At(std::string_view text, size_t pos, std::string_view word) {
    return text.size() - pos >= word.size() &&
           platform::EqualsIgnoreCase(text.substr(pos, word.size()), word);
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsCssBlank(text[pos])) ++pos;
    return pos;
}

std::string_view Trimmed(std::string_view value) {
    while (!value.empty() && IsCssBlank(value.front())) value.remove_prefix(1);
    while (!value.empty() && IsCssBlank(value.back())) value.remove_suffix(1);
    return value;
}

// Drops one quote (or quote entity) at each end, independently: a value cut
// short keeps what it has.
std::string_view WithoutQuotes(std::string_view value) {
    if (value.starts_with('"') || value.starts_with('\'')) {
        value.remove_prefix(1);
    } else {
        for (std::string_view entity : kEntityQuotes) {
            if (value.starts_with(entity)) {
                value.remove_prefix(entity.size());
                break;
            }
        }
    }
    if (value.ends_with('"') || value.ends_with('\'')) {
        value.remove_suffix(1);
    } else {
        for (std::string_view entity : kEntityQuotes) {
            if (value.ends_with(entity)) {
                value.remove_suffix(entity.size());
                break;
            }
        }
    }
    return Trimmed(value);
}

}  // namespace

bool IsCssLinkValue(std::string_view value) {
    return !value.empty() && !value.starts_with('#');
}

size_t CssReferences::Find(char c, size_t from) {
    Search& search = searches_[c == ')' ? 0 : c == '"' ? 1 : 2];
    if (!search.done || from < search.from ||
        (search.at != std::string_view::npos && from > search.at)) {
        search.done = true;
        search.from = from;
        search.at = text_.find(c, from);
    }
    return search.at;
}

// A url(...) whose "(" ends at `open`.
bool CssReferences::ReadUrl(size_t open, CssReference* ref) {
    const size_t start = SkipBlanks(text_, open);
    if (start < text_.size() && (text_[start] == '"' || text_[start] == '\'')) {
        const size_t quote = Find(text_[start], start + 1);
        if (quote != std::string_view::npos) {
            const size_t close = Find(')', quote + 1);
            if (close == std::string_view::npos) return false;
            ref->begin = open;
            ref->end = close;
            ref->value = Trimmed(text_.substr(start + 1, quote - start - 1));
            return true;
        }
    }
    const size_t close = Find(')', open);
    if (close == std::string_view::npos) return false;
    ref->begin = open;
    ref->end = close;
    ref->value = WithoutQuotes(Trimmed(text_.substr(open, close - open)));
    return true;
}

// An @import whose word ends at `after`: only a quoted name is read here.
bool CssReferences::ReadImport(size_t after, CssReference* ref) {
    const size_t start = SkipBlanks(text_, after);
    if (start >= text_.size() || (text_[start] != '"' && text_[start] != '\'')) return false;
    const size_t quote = Find(text_[start], start + 1);
    if (quote == std::string_view::npos) return false;
    ref->begin = start + 1;
    ref->end = quote;
    ref->value = Trimmed(text_.substr(start + 1, quote - start - 1));
    return true;
}

bool CssReferences::Next(CssReference* ref) {
    for (size_t pos = text_.find_first_of("uU@", pos_); pos != std::string_view::npos;
         pos = text_.find_first_of("uU@", pos + 1)) {
        const bool found = text_[pos] == '@'
                               ? At(text_, pos, kImport) && ReadImport(pos + kImport.size(), ref)
                               : At(text_, pos, kUrl) && ReadUrl(pos + kUrl.size(), ref);
        if (found) {
            pos_ = ref->end + 1;
            return true;
        }
    }
    pos_ = text_.size();
    return false;
}

}  // namespace fw
