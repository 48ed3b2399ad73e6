#include "engine/search/html_entities.h"

#include <cstdint>
#include <unordered_map>

#include "engine/search/charset.h"
#include "engine/search/word_breaker.h"

namespace fw {

namespace {

using EntityMap = std::unordered_map<std::string_view, char32_t>;

const EntityMap& Entities() {
    static const EntityMap map = [] {
        EntityMap m;
        // Latin-1: the names of 160 to 255, in order.
        static const char* const latin1[] = {
            "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",
            "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",
            "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot",
            "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest",
            "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
            "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",
            "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
            "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
            "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
            "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
            "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
            "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
        };
        char32_t code = 160;
        for (const char* name : latin1) m.emplace(name, code++);
        // Greek capitals run from 913 with a gap at 930, small letters from 945.
        static const char* const greek[] = {
            "Alpha", "Beta", "Gamma", "Delta",   "Epsilon", "Zeta", "Eta",     "Theta", "Iota",
            "Kappa", "Lambda", "Mu",  "Nu",      "Xi",      "Omicron", "Pi",   "Rho",   "",
            "Sigma", "Tau",  "Upsilon", "Phi",   "Chi",     "Psi",  "Omega",
        };
        code = 913;
        for (const char* name : greek) {
            if (*name) m.emplace(name, code);
            ++code;
        }
        static const char* const small_greek[] = {
            "alpha", "beta", "gamma", "delta",  "epsilon", "zeta", "eta",     "theta", "iota",
            "kappa", "lambda", "mu",  "nu",     "xi",      "omicron", "pi",   "rho",   "sigmaf",
            "sigma", "tau",  "upsilon", "phi",  "chi",     "psi",  "omega",
        };
        code = 945;
        for (const char* name : small_greek) m.emplace(name, code++);
        static const std::pair<const char*, char32_t> others[] = {
            {"quot", 34},      {"amp", 38},       {"apos", 39},      {"lt", 60},
            {"gt", 62},        {"OElig", 338},    {"oelig", 339},    {"Scaron", 352},
            {"scaron", 353},   {"Yuml", 376},     {"fnof", 402},     {"circ", 710},
            {"tilde", 732},    {"thetasym", 977}, {"upsih", 978},    {"piv", 982},
            {"ensp", 8194},    {"emsp", 8195},    {"thinsp", 8201},  {"zwnj", 8204},
            {"zwj", 8205},     {"lrm", 8206},     {"rlm", 8207},     {"ndash", 8211},
            {"mdash", 8212},   {"lsquo", 8216},   {"rsquo", 8217},   {"sbquo", 8218},
            {"ldquo", 8220},   {"rdquo", 8221},   {"bdquo", 8222},   {"dagger", 8224},
            {"Dagger", 8225},  {"bull", 8226},    {"hellip", 8230},  {"permil", 8240},
            {"prime", 8242},   {"Prime", 8243},   {"lsaquo", 8249},  {"rsaquo", 8250},
            {"oline", 8254},   {"frasl", 8260},   {"euro", 8364},    {"image", 8465},
            {"weierp", 8472},  {"real", 8476},    {"trade", 8482},   {"alefsym", 8501},
            {"larr", 8592},    {"uarr", 8593},    {"rarr", 8594},    {"darr", 8595},
            {"harr", 8596},    {"crarr", 8629},   {"lArr", 8656},    {"uArr", 8657},
            {"rArr", 8658},    {"dArr", 8659},    {"hArr", 8660},    {"forall", 8704},
            {"part", 8706},    {"exist", 8707},   {"empty", 8709},   {"nabla", 8711},
            {"isin", 8712},    {"notin", 8713},   {"ni", 8715},      {"prod", 8719},
            {"sum", 8721},     {"minus", 8722},   {"lowast", 8727},  {"radic", 8730},
            {"prop", 8733},    {"infin", 8734},   {"ang", 8736},     {"and", 8743},
            {"or", 8744},      {"cap", 8745},     {"cup", 8746},     {"int", 8747},
            {"there4", 8756},  {"sim", 8764},     {"cong", 8773},    {"asymp", 8776},
            {"ne", 8800},      {"equiv", 8801},   {"le", 8804},      {"ge", 8805},
            {"sub", 8834},     {"sup", 8835},     {"nsub", 8836},    {"sube", 8838},
            {"supe", 8839},    {"oplus", 8853},   {"otimes", 8855},  {"perp", 8869},
            {"sdot", 8901},    {"lceil", 8968},   {"rceil", 8969},   {"lfloor", 8970},
            {"rfloor", 8971},  {"lang", 9001},    {"rang", 9002},    {"loz", 9674},
            {"spades", 9824},  {"clubs", 9827},   {"hearts", 9829},  {"diams", 9830},
        };
        for (const auto& [name, value] : others) m.emplace(name, value);
        return m;
    }();
    return map;
}

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char32_t NumericCharacter(uint32_t value) {
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
    if (value >= 0x80 && value < 0xA0) {
        return Windows1252ToUnicode(static_cast<unsigned char>(value));
    }
    return value;
}

}  // namespace

bool DecodeCharacterReference(std::string_view text, size_t* pos, std::string* out) {
    size_t p = *pos + 1;
    if (p < text.size() && text[p] == '#') {
        ++p;
        const bool hex = p < text.size() && (text[p] == 'x' || text[p] == 'X');
        if (hex) ++p;
        const size_t digits = p;
        uint32_t value = 0;
        for (int d; p < text.size() && (d = DigitValue(text[p], hex)) >= 0; ++p) {
            value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + static_cast<uint32_t>(d);
        }
        if (p == digits) return false;
        if (p < text.size() && text[p] == ';') ++p;
        AppendUtf8(NumericCharacter(value), out);
        *pos = p;
        return true;
    }
    const size_t start = p;
    while (p < text.size() && p - start <= 10 && IsAsciiAlnum(text[p])) ++p;
    const std::string_view name = text.substr(start, p - start);
    if (name.empty()) return false;
    const bool terminated = p < text.size() && text[p] == ';';
    if (!terminated && name != "amp" && name != "lt" && name != "gt" && name != "quot" &&
        name != "nbsp") {
        return false;
    }
    const auto found = Entities().find(name);
    if (found == Entities().end()) return false;
    AppendUtf8(found->second, out);
    *pos = terminated ? p + 1 : p;
    return true;
}

}  // namespace fw
