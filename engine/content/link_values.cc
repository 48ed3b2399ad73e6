#include "engine/content/link_values.h"

#include <array>
#include <cctype>

#include "platform/text.h"

namespace fw {

namespace {

constexpr std::array<std::string_view, 9> kKnownSchemes = {
    "http", "https", "ftp", "mailto", "file", "news", "gopher", "telnet", "wais"};

// The scheme word of a value that starts with one ("word:"), else empty.
std::string_view SchemeWord(std::string_view value) {
    value = platform::TrimView(value);
    if (value.empty() || !std::isalpha(static_cast<unsigned char>(value[0]))) return {};
    for (size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == ':') return value.substr(0, i);
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return {};
        }
    }
    return {};
}

char HexDigit(unsigned v) {
    return "0123456789ABCDEF"[v & 0xF];
}

void AppendEscaped(std::string* out, unsigned char c) {
    out->push_back('%');
    out->push_back(HexDigit(c >> 4));
    out->push_back(HexDigit(c));
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

}  // namespace

bool ResolveLink(const ParsedUrl& base, std::string_view value, ParsedUrl* out) {
    if (value.size() > ParsedUrl::kTextCapacity) return false;
    const std::string_view scheme = SchemeWord(value);
    if (!scheme.empty()) {
        bool known = false;
        for (std::string_view word : kKnownSchemes)
            known |= platform::EqualsIgnoreCase(word, scheme);
        if (!known) return false;
    }
    out->CopyFrom(base);
    out->ParseRelative(value);
    return out->Text() != nullptr;
}

std::string_view FragmentOf(const ParsedUrl& url) {
    const char* fragment = url.fragment();
    return fragment ? std::string_view(fragment) : std::string_view();
}

bool IsWebScheme(UrlScheme scheme) {
    return scheme == UrlScheme::Http || scheme == UrlScheme::Https || scheme == UrlScheme::Ftp;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

namespace {

// `text` with every character of `escaped` and every control character
// written as %XX.
std::string EscapeCharacters(std::string_view text, std::string_view escaped) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsControl(c) || escaped.find(ch) != std::string_view::npos) {
            AppendEscaped(&out, c);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

}  // namespace

std::string EscapeLocalPath(std::string_view path) {
    return EscapeCharacters(path, " \"'<>%#?()\\");
}

std::string UnescapeLocalPath(std::string_view path) { return platform::PercentDecoded(path); }

std::string EscapeUrlForPage(std::string_view url) { return EscapeCharacters(url, " \"<>"); }

std::string EscapeUrlForStyle(std::string_view url) { return EscapeCharacters(url, " \"'<>()\\"); }

}  // namespace fw
