#include "engine/content/css_references.h"

#include <array>

#include "platform/text.h"

namespace fw {

namespace {

constexpr std::string_view kUrl = "url(";
constexpr std::string_view kImport = "@import";
constexpr std::array<std::string_view, 4> kEntityQuotes = {"&quot;", "&#34;", "&#39;", "&apos;"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool At(std::string_view text, size_t pos, std::string_view word) {
    return text.size() - pos >= word.size() &&
           platform::EqualsIgnoreCase(text.substr(pos, word.size()), word);
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos;
}

std::string_view Trimmed(std::string_view value) {
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
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

// Finds closing characters, remembering each answer, so that a text with
// many openings and no closing one is still walked once.
class Closer {
  public:
    explicit Closer(std::string_view text) : text_(text) {}

    size_t Find(char c, size_t from) {
        Memo& memo = memo_[Slot(c)];
        if (!memo.valid || from < memo.from || (memo.at != std::string_view::npos && from > memo.at)) {
            memo.from = from;
            memo.at = text_.find(c, from);
            memo.valid = true;
        }
        return memo.at;
    }

  private:
    struct Memo {
        bool valid = false;
        size_t from = 0;  // the answer holds for searches from here up to `at`
        size_t at = 0;
    };
    static size_t Slot(char c) { return c == ')' ? 0 : c == '"' ? 1 : 2; }

    std::string_view text_;
    std::array<Memo, 3> memo_;
};

// A url(...) whose "(" ends at `open`.
bool ReadUrl(std::string_view text, size_t open, Closer& closer, CssReference* ref) {
    const size_t start = SkipBlanks(text, open);
    if (start < text.size() && (text[start] == '"' || text[start] == '\'')) {
        const size_t quote = closer.Find(text[start], start + 1);
        if (quote != std::string_view::npos) {
            const size_t close = closer.Find(')', quote + 1);
            if (close == std::string_view::npos) return false;
            ref->begin = open;
            ref->end = close;
            ref->value = Trimmed(text.substr(start + 1, quote - start - 1));
            return true;
        }
    }
    const size_t close = closer.Find(')', open);
    if (close == std::string_view::npos) return false;
    ref->begin = open;
    ref->end = close;
    ref->value = WithoutQuotes(Trimmed(text.substr(open, close - open)));
    return true;
}

// An @import whose word ends at `after`: only a quoted name is read here.
bool ReadImport(std::string_view text, size_t after, Closer& closer, CssReference* ref) {
    const size_t start = SkipBlanks(text, after);
    if (start >= text.size() || (text[start] != '"' && text[start] != '\'')) return false;
    const size_t quote = closer.Find(text[start], start + 1);
    if (quote == std::string_view::npos) return false;
    ref->begin = start + 1;
    ref->end = quote;
    ref->value = Trimmed(text.substr(start + 1, quote - start - 1));
    return true;
}

}  // namespace

bool IsCssLinkValue(std::string_view value) {
    return !value.empty() && !value.starts_with('#');
}

bool NextCssReference(std::string_view text, size_t from, CssReference* ref) {
    Closer closer(text);
    for (size_t pos = text.find_first_of("uU@", from); pos != std::string_view::npos;
         pos = text.find_first_of("uU@", pos + 1)) {
        if (text[pos] == '@') {
            if (At(text, pos, kImport) && ReadImport(text, pos + kImport.size(), closer, ref)) {
                return true;
            }
        } else if (At(text, pos, kUrl) && ReadUrl(text, pos + kUrl.size(), closer, ref)) {
            return true;
        }
    }
    return false;
}

}  // namespace fw
