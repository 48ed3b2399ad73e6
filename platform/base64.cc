#include "platform/base64.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string Base64Encode(std::string_view data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        uint32_t v = (uint32_t(uint8_t(data[i])) << 16) | (uint32_t(uint8_t(data[i + 1])) << 8) |
                     uint8_t(data[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (size_t rest = data.size() - i; rest > 0) {
        uint32_t v = uint32_t(uint8_t(data[i])) << 16;
        if (rest == 2) v |= uint32_t(uint8_t(data[i + 1])) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    size_t fill = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c == '=') {
            ++fill;
            continue;
        }
        if (fill > 0) return std::nullopt;  // data after the fill
        int v = ValueOf(c);
        if (v < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (fill > 2 || count == 1) return std::nullopt;
    if (count == 2) out += static_cast<char>((bits >> 4) & 0xFF);
    if (count == 3) {
        out += static_cast<char>((bits >> 10) & 0xFF);
        out += static_cast<char>((bits >> 2) & 0xFF);
    }
    return out;
}

std::string EncodeCredentials(std::string_view user, std::string_view password) {
    std::string joined(user);
    joined += ':';
    joined += password;
    return Base64Encode(joined);
}

void DecodeCredentials(std::string_view credentials, std::string* user, std::string* password) {
    user->clear();
    password->clear();
    auto decoded = Base64Decode(credentials);
    if (!decoded) return;
    size_t colon = decoded->find(':');
    if (colon == std::string::npos) return;
    *user = decoded->substr(0, colon);
    *password = decoded->substr(colon + 1);
}

}  // namespace platform
