#include "engine/content/parsed_url.h"

#include <idn2.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "engine/content/url_scanner.h"
#include "platform/text.h"

namespace fw {
namespace {

bool IsHierarchical(UrlScheme scheme) {
    return scheme == UrlScheme::Http || scheme == UrlScheme::Https || scheme == UrlScheme::Ftp;
}

const char* SchemePrefix(UrlScheme scheme) {
    switch (scheme) {
        case UrlScheme::Http: return "http://";
        case UrlScheme::Https: return "https://";
        case UrlScheme::Ftp: return "ftp://";
        case UrlScheme::Mailto: return "mailto:";
        case UrlScheme::Wais: return "wais:";
        case UrlScheme::Gopher: return "gopher:";
        case UrlScheme::Telnet: return "telnet:";
        case UrlScheme::News: return "news:";
        case UrlScheme::File: return "file:";
        case UrlScheme::None: break;
    }
    return "";
}

// Links such as javascript:window.open('p.htm') name their target in the
// first quoted string; with no quote at all the text is scanned as it is.
std::string_view ScriptTarget(std::string_view text) {
    if (!text.starts_with("javascript:")) return text;
    char quote = '\'';
    size_t open = text.find(quote);
    if (open == std::string_view::npos) {
        quote = '"';
        open = text.find(quote);
        if (open == std::string_view::npos) return text;
    }
    size_t close = text.find(quote, open + 1);
    if (close == std::string_view::npos) close = text.size();
    return text.substr(open + 1, close - open - 1);
}

// One scanner per thread keeps its buffers, so parsing does not allocate.
UrlScanner& ThreadScanner() {
    thread_local UrlScanner scanner;
    return scanner;
}

}  // namespace

template <size_t kCapacity>
void ParsedUrl::Component<kCapacity>::Assign(std::string_view value) {
    value = platform::CutUtf8(value, kCapacity);
    if (!value.empty()) std::memmove(text, value.data(), value.size());
    len = static_cast<uint32_t>(value.size());
    text[len] = '\0';
}

template <size_t kCapacity>
void ParsedUrl::Component<kCapacity>::Append(std::string_view value) {
    value = platform::CutUtf8(value, kCapacity - len);
    if (!value.empty()) std::memcpy(text + len, value.data(), value.size());
    len += static_cast<uint32_t>(value.size());
    text[len] = '\0';
}

void ParsedUrl::Reset() {
    scheme_ = UrlScheme::None;
    port_ = -1;
    user_.Clear();
    password_.Clear();
    host_.Clear();
    path_.Clear();
    query_.Clear();
    fragment_.Clear();
    text_state_ = TextState::Stale;
    text_.Clear();
}

void ParsedUrl::Parse(std::string_view text) {
    Reset();
    ScanInto(text);
}

void ParsedUrl::ParseRelative(std::string_view text) { ScanInto(text); }

void ParsedUrl::ScanInto(std::string_view text) {
    text = ScriptTarget(text.substr(0, kTextCapacity));
    ThreadScanner().Scan(text, this);
    if ((scheme_ == UrlScheme::Http || scheme_ == UrlScheme::Https) && host_.len == 0) {
        scheme_ = UrlScheme::None;
        text_state_ = TextState::Stale;
    }
}

void ParsedUrl::CopyFrom(const ParsedUrl& other) {
    if (&other == this) return;
    if (other.scheme_ == UrlScheme::None) {
        Reset();
        return;
    }
    scheme_ = other.scheme_;
    SetUser(other.user_.view());
    SetPassword(other.password_.view());
    SetHost(other.host_.view());
    port_ = other.port_;  // after SetHost, which forgets the port
    // An empty path stays empty: merging it would invent a "/".
    if (other.path_.len) SetPath(other.path_.view());
    SetQuery(other.query_.view());
    SetFragment(other.fragment_.view());
}

const char* ParsedUrl::Text() const {
    if (text_state_ == TextState::Stale) BuildText();
    return text_state_ == TextState::Built ? text_.text : nullptr;
}

void ParsedUrl::BuildText() const {
    text_.Clear();
    text_state_ = TextState::Absent;
    if (scheme_ == UrlScheme::None) return;
    if (IsHierarchical(scheme_)) {
        if (host_.len == 0) return;
        // User and password stay out: the text goes into tables, logs,
        // listings, file names and rewritten links, none of which may show
        // them.
        text_.Append(SchemePrefix(scheme_));
        text_.Append(host_.view());
        if (port_ != -1) {
            char digits[16];
            digits[0] = ':';
            auto end = std::to_chars(digits + 1, digits + sizeof digits, port_).ptr;
            text_.Append(std::string_view(digits, end - digits));
        }
        text_.Append(path_.len ? path_.view() : std::string_view("/"));
        text_.Append(query_.view());
    } else {
        if (path_.len == 0) return;
        text_.Append(SchemePrefix(scheme_));
        text_.Append(path_.view());
    }
    text_state_ = TextState::Built;
}

void ParsedUrl::SetScheme(UrlScheme scheme) {
    if (scheme_ != UrlScheme::Http && scheme_ != UrlScheme::Https) Reset();
    scheme_ = scheme;
    text_state_ = TextState::Stale;
}

void ParsedUrl::SetUserPassword(std::string_view token) {
    size_t colon = token.find(':');
    std::string_view user = token.substr(0, colon);
    std::string_view password;
    if (colon != std::string_view::npos) {
        password = token.substr(colon + 1);
        password = password.substr(0, password.find('@'));
    } else {
        user = user.substr(0, user.find('@'));
    }
    SetUser(user);
    SetPassword(password);
}

void ParsedUrl::SetUser(std::string_view user) {
    user_.Assign(user);
    password_.Clear();
    host_.Clear();
    path_.Clear();
    query_.Clear();
    fragment_.Clear();
    text_state_ = TextState::Stale;
}

void ParsedUrl::SetPassword(std::string_view password) {
    password_.Assign(password);
    host_.Clear();
    path_.Clear();
    query_.Clear();
    fragment_.Clear();
    text_state_ = TextState::Stale;
}

void ParsedUrl::SetHost(std::string_view host) {
    host_.Assign(host);
    CanonicalHost();
    port_ = -1;
    path_.Clear();
    query_.Clear();
    fragment_.Clear();
    text_state_ = TextState::Stale;
}

// Host names are case-insensitive, and a name in UTF-8 letters is looked up
// by its ASCII form: both are stored the one way, so they compare equal and
// go out as DNS, TLS and the Host header expect. A name with no ASCII form
// is no host.
void ParsedUrl::CanonicalHost() {
    bool ascii = true;
    for (uint32_t i = 0; i < host_.len; ++i) {
        const auto c = static_cast<unsigned char>(host_.text[i]);
        if (c >= 'A' && c <= 'Z') host_.text[i] = static_cast<char>(c - 'A' + 'a');
        if (c >= 0x80) ascii = false;
    }
    if (ascii) return;
    char* converted = nullptr;
    int result = idn2_to_ascii_8z(host_.text, &converted, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    if (result != IDN2_OK) {
        idn2_free(converted);
        converted = nullptr;
        result = idn2_to_ascii_8z(host_.text, &converted, IDN2_NFC_INPUT | IDN2_TRANSITIONAL);
    }
    if (result == IDN2_OK && converted != nullptr && std::strlen(converted) <= kHostCapacity) {
        host_.Assign(converted);
    } else {
        host_.Clear();
    }
    idn2_free(converted);
}

void ParsedUrl::SetPort(std::string_view digits) {
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) {
            value = INT32_MAX;
            break;
        }
    }
    port_ = static_cast<int32_t>(value);
    text_state_ = TextState::Stale;
}

void ParsedUrl::SetPath(std::string_view path) {
    query_.Clear();
    fragment_.Clear();
    text_state_ = TextState::Stale;
    if (scheme_ == UrlScheme::Mailto || scheme_ == UrlScheme::News ||
        (!path.empty() && path[0] == '/')) {
        path_.Assign(path);
    } else if (path_.len) {
        size_t slash = path_.view().rfind('/');
        if (slash == std::string_view::npos) {
            // Nothing to keep of a path without "/" (a relative File path).
            path_.Assign(path);
        } else {
            path_.len = static_cast<uint32_t>(slash + 1);
            path_.text[path_.len] = '\0';
            path_.Append(path);
        }
    } else if (scheme_ == UrlScheme::File) {
        path_.Assign(path);
    } else {
        path_.Assign("/");
        path_.Append(path);
    }
    if (IsHierarchical(scheme_) || scheme_ == UrlScheme::File) {
        path_.len = static_cast<uint32_t>(NormaliseDots(path_.text, path_.len));
        path_.text[path_.len] = '\0';
    }
}

void ParsedUrl::SetQuery(std::string_view query) {
    query_.Assign(query);
    text_state_ = TextState::Stale;
}

void ParsedUrl::SetFragment(std::string_view fragment) {
    fragment_.Assign(fragment);
    text_state_ = TextState::Stale;
}

size_t NormaliseDots(char* path, size_t len) {
    size_t out = 0;
    char prev = '\0';
    size_t dots = 0;  // dots of the current segment while it holds only dots
    for (size_t i = 0; i < len; ++i) {
        const char c = path[i];
        if (c == '/') {
            if (prev == '.' && dots > 0) {
                // A segment of n dots goes, with the n - 1 segments before it.
                for (; dots > 0 && out > 0; --dots) {
                    while (out > 0 && path[out - 1] != '/') --out;
                    if (out > 0) --out;
                }
                dots = 0;
                path[out++] = '/';
            } else if (prev != '/') {
                path[out++] = '/';
            }
        } else {
            if (c == '.' && prev == '/') {
                dots = 1;
            } else if (c == '.' && prev == '.' && dots > 0) {
                ++dots;
            } else {
                dots = 0;
            }
            path[out++] = c;
        }
        prev = c;
    }
    return out;
}

}  // namespace fw
