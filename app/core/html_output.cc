#include "app/core/html_output.h"

namespace corvalin {
namespace {

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// "&name;", "&#123;" or "&#x1F;" at `pos`.
bool StartsCharacterReference(std::string_view text, size_t pos) {
    size_t i = pos + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) ++i;
    }
    const size_t name_start = i;
    while (i < text.size() && IsAsciiAlnum(text[i])) ++i;
    return i > name_start && i < text.size() && text[i] == ';';
}

void AppendEscapedByte(unsigned char c, std::string* out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out->push_back('%');
    out->push_back(kHex[c >> 4]);
    out->push_back(kHex[c & 15]);
}

// Percent-escapes the bytes `keep` refuses, writing "&" as "&amp;".
template <class Keep>
std::string LinkTarget(std::string_view text, Keep keep) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '&') {
            out += "&amp;";
        } else if (keep(ch) && c > 0x20 && c < 0x7F) {
            out.push_back(ch);
        } else {
            AppendEscapedByte(c, &out);
        }
    }
    return out;
}

}  // namespace

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '&':
                out += StartsCharacterReference(text, i) ? "&" : "&amp;";
                break;
            default:
                out.push_back(text[i]);
        }
    }
    return out;
}

std::string FileLinkTarget(std::string_view path) {
    // What a path segment may hold (RFC 3986), less ":", which would make
    // the first segment read as a scheme.
    return LinkTarget(path, [](char c) {
        return IsAsciiAlnum(c) ||
               std::string_view("-._~!$&'()*+,;=@/").find(c) != std::string_view::npos;
    });
}

std::string UrlLinkTarget(std::string_view url) {
    return LinkTarget(url, [](char c) {
        return std::string_view("\"<>\\^`{|}").find(c) == std::string_view::npos;
    });
}

}  // namespace corvalin
