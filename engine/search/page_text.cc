#include "engine/search/page_text.h"

#include <algorithm>

#include "engine/search/charset.h"
#include "engine/search/html_entities.h"
#include "platform/text.h"

namespace fw {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Elements a browser shows inside a line of text: their tags do not break
// a word ("gla<b>ss</b>" reads "glass").
bool IsInline(std::string_view name) {
    static const char* const kInline[] = {
        "a",    "abbr", "acronym", "b",    "bdi",  "bdo",    "big",   "cite", "code",
        "data", "dfn",  "em",      "font", "i",    "ins",    "del",   "kbd",  "mark",
        "q",    "s",    "samp",    "small", "span", "strike", "strong", "sub", "sup",
        "time", "tt",   "u",       "var",
    };
    for (const char* tag : kInline) {
        if (name == tag) return true;
    }
    return false;
}

// Reads one HTML document; `out` receives the text of the element being
// read (the body or the title).
class HtmlReader {
public:
    explicit HtmlReader(std::string_view html) : html_(html) {}

    PageText Read() {
        std::string* out = &text_.body;
        while (pos_ < html_.size()) {
            const char c = html_[pos_];
            if (c == '<') {
                out = Markup(out);
            } else if (c == '&') {
                if (!DecodeCharacterReference(html_, &pos_, out)) {
                    out->push_back('&');
                    ++pos_;
                }
            } else {
                // A plain loop: find_first_of looks each byte up in the set
                // with a library call.
                size_t end = pos_ + 1;
                while (end < html_.size() && html_[end] != '<' && html_[end] != '&') ++end;
                out->append(html_.substr(pos_, end - pos_));
                pos_ = end;
            }
        }
        return std::move(text_);
    }

private:
    // Reads the markup at pos_ ("<"); returns where text goes next.
    std::string* Markup(std::string* out) {
        const std::string_view rest = html_.substr(pos_);
        if (rest.substr(0, 4) == "<!--") {
            SkipPast("-->", pos_ + 4);
            return out;
        }
        const bool closing = rest.size() > 1 && rest[1] == '/';
        const size_t name_at = closing ? 2 : 1;
        if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?')) {
            SkipPast(">", pos_ + 2);
            return out;
        }
        if (name_at >= rest.size() || !IsAsciiLetter(rest[name_at])) {
            out->push_back('<');  // a "<" that starts no tag is text
            ++pos_;
            return out;
        }
        size_t name_end = name_at;
        while (name_end < rest.size() && (IsAsciiLetter(rest[name_end]) ||
                                          (rest[name_end] >= '0' && rest[name_end] <= '9'))) {
            ++name_end;
        }
        const std::string name = platform::ToLowerAscii(rest.substr(name_at, name_end - name_at));
        SkipTag(pos_ + name_end);
        if (closing) {
            if (name == "title" && out == &text_.title) {
                out = &text_.body;
            }
        } else if (name == "script" || name == "style") {
            SkipRawText(name);
        } else if (name == "title" && !seen_title_) {
            seen_title_ = true;
            out = &text_.title;
        }
        if (!IsInline(name)) out->push_back(' ');
        return out;
    }

    // Moves pos_ past the first `end` at or after `from`, or to the end.
    void SkipPast(std::string_view end, size_t from) {
        const size_t found = html_.find(end, std::min(from, html_.size()));
        pos_ = found == std::string_view::npos ? html_.size() : found + end.size();
    }

    // Moves pos_ past the ">" that ends the tag whose attributes start at
    // `from`; a ">" inside a quoted attribute value does not end it.
    void SkipTag(size_t from) {
        size_t p = from;
        while (p < html_.size() && html_[p] != '>') {
            if (html_[p] == '=') {
                ++p;
                while (p < html_.size() && platform::IsLineWhite(html_[p])) ++p;
                if (p < html_.size() && (html_[p] == '"' || html_[p] == '\'')) {
                    const size_t close = html_.find(html_[p], p + 1);
                    if (close == std::string_view::npos) {
                        p = html_.size();
                        break;
                    }
                    p = close + 1;
                }
                continue;
            }
            ++p;
        }
        pos_ = p < html_.size() ? p + 1 : html_.size();
    }

    // Skips the contents and the end tag of a script or style element.
    void SkipRawText(const std::string& name) {
        const std::string end = "</" + name;
        size_t found = pos_;
        while ((found = platform::FindIgnoreCase(html_, end, found)) != std::string_view::npos) {
            const size_t after = found + end.size();
            if (after >= html_.size() || !IsAsciiLetter(html_[after])) {
                SkipTag(after);
                return;
            }
            found = after;
        }
        pos_ = html_.size();
    }

    std::string_view html_;
    size_t pos_ = 0;
    PageText text_;
    bool seen_title_ = false;
};

}  // namespace

PageText HtmlText(std::string_view html) { return HtmlReader(html).Read(); }

PageText StoredPageText(std::string_view bytes, bool html) {
    std::string text = TextAsUtf8(bytes, html);
    if (html) return HtmlText(text);
    PageText page;
    page.body = std::move(text);
    return page;
}

}  // namespace fw
