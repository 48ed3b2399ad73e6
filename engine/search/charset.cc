#include "engine/search/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "engine/search/word_breaker.h"
#include "platform/text.h"

namespace fw {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// iconv descriptors are not shared between threads: one per conversion.
class Converter {
public:
    explicit Converter(const std::string& from) : cd_(::iconv_open("UTF-8", from.c_str())) {}
    ~Converter() {
        if (ok()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; a sequence the charset does not allow becomes
    // U+FFFD and conversion goes on `unit` bytes later.
    std::string Run(std::string_view in, size_t unit) {
        std::string out;
        out.reserve(in.size() + in.size() / 2);
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        char buffer[16384];
        while (left > 0) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            const size_t result = ::iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
            AppendUtf8(kReplacement, &out);
            if (errno != EILSEQ) break;  // EINVAL: the text ends inside a sequence
            const size_t skip = std::min(unit, left);
            src += skip;
            left -= skip;
            ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        size_t room = sizeof buffer;
        ::iconv(cd_, nullptr, nullptr, &dst, &room);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        return out;
    }

private:
    iconv_t cd_;
};

bool Convertible(const std::string& charset) { return Converter(charset).ok(); }

// The name DetectCharset and ConvertToUtf8 use for a declared label; empty
// for one that cannot be converted.
std::string NormalizedCharset(std::string_view label) {
    const std::string name = platform::ToLowerAscii(platform::TrimView(label));
    if (name.empty()) return std::string();
    for (const char* utf8 : {"utf-8", "utf8", "unicode-1-1-utf-8"}) {
        if (name == utf8) return "utf-8";
    }
    // A page whose meta tag can be read as ASCII is not UTF-16, whatever it
    // says.
    if (StartsWith(name, "utf-16") || name == "unicode") return "utf-8";
    for (const char* latin : {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1",
                              "iso_8859-1", "iso88591", "latin1", "l1", "us-ascii", "ascii",
                              "ansi_x3.4-1968", "iso-ir-100", "ibm819", "cp819", "csisolatin1"}) {
        if (name == latin) return "windows-1252";
    }
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '_' || c == '.' || c == ':';
        if (!allowed) return std::string();
    }
    return Convertible(name) ? name : std::string();
}

std::string SanitizedUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 16);
    size_t pos = 0;
    while (pos < bytes.size()) AppendUtf8(NextCodePoint(bytes, &pos), &out);
    return out;
}

std::string FromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) AppendUtf8(Windows1252ToUnicode(static_cast<unsigned char>(c)), &out);
    return out;
}

}  // namespace

char32_t Windows1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
    return byte;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const size_t at = pos;
        if (NextCodePoint(bytes, &pos) == kReplacement && pos == at + 1) return false;
    }
    return true;
}

std::string DeclaredCharset(std::string_view html, size_t limit) {
    const std::string_view head = html.substr(0, limit);
    size_t at = 0;
    while ((at = platform::FindIgnoreCase(head, "<meta", at)) != std::string_view::npos) {
        size_t end = head.find('>', at);
        if (end == std::string_view::npos) end = head.size();
        const std::string_view tag = head.substr(at, end - at);
        at = end;
        size_t word = 0;
        while ((word = platform::FindIgnoreCase(tag, "charset", word)) != std::string_view::npos) {
            size_t p = word + 7;
            word = p;
            while (p < tag.size() && platform::IsLineWhite(tag[p])) ++p;
            if (p >= tag.size() || tag[p] != '=') continue;
            ++p;
            while (p < tag.size() && (platform::IsLineWhite(tag[p]) || tag[p] == '"' ||
                                      tag[p] == '\'')) {
                ++p;
            }
            size_t stop = p;
            while (stop < tag.size() && !platform::IsLineWhite(tag[stop]) && tag[stop] != '"' &&
                   tag[stop] != '\'' && tag[stop] != ';' && tag[stop] != '/') {
                ++stop;
            }
            if (stop > p) return platform::ToLowerAscii(tag.substr(p, stop - p));
        }
    }
    return std::string();
}

namespace {

// DetectCharset; *valid_utf8 says the bytes were found to be valid UTF-8 as
// they are (the fallback's test), so they need no conversion.
std::string Detect(std::string_view bytes, bool html, bool* valid_utf8) {
    *valid_utf8 = false;
    if (StartsWith(bytes, "\xEF\xBB\xBF")) return "utf-8";
    if (StartsWith(bytes, "\xFF\xFE")) return "utf-16le";
    if (StartsWith(bytes, "\xFE\xFF")) return "utf-16be";
    if (html) {
        std::string declared = NormalizedCharset(DeclaredCharset(bytes));
        if (!declared.empty()) return declared;
    }
    *valid_utf8 = IsValidUtf8(bytes);
    return *valid_utf8 ? "utf-8" : "windows-1252";
}

}  // namespace

std::string DetectCharset(std::string_view bytes, bool html) {
    bool valid_utf8 = false;
    return Detect(bytes, html, &valid_utf8);
}

std::string TextAsUtf8(std::string_view bytes, bool html) {
    bool valid_utf8 = false;
    const std::string charset = Detect(bytes, html, &valid_utf8);
    return valid_utf8 ? std::string(bytes) : ConvertToUtf8(bytes, charset);
}

std::string ConvertToUtf8(std::string_view bytes, std::string_view charset) {
    const std::string name = platform::ToLowerAscii(charset);
    if (name == "utf-8") {
        if (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
        return SanitizedUtf8(bytes);
    }
    if (name == "windows-1252") return FromWindows1252(bytes);
    size_t unit = 1;
    if (name == "utf-16le" || name == "utf-16be") {
        unit = 2;
        if (StartsWith(bytes, name == "utf-16le" ? "\xFF\xFE" : "\xFE\xFF")) bytes.remove_prefix(2);
    }
    Converter converter(name);
    if (!converter.ok()) return FromWindows1252(bytes);
    // What a converter makes of a broken sequence is its own business: the
    // result is checked like any other UTF-8.
    return SanitizedUtf8(converter.Run(bytes, unit));
}

}  // namespace fw
