// Base64 of RFC 2045: the standard alphabet, "=" fill, no line breaks. Used
// for credentials ("user:password") of sites and proxies.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::string Base64Encode(std::string_view data);

// Decodes; blanks and line ends are skipped. nullopt for any other character
// outside the alphabet or a malformed end.
std::optional<std::string> Base64Decode(std::string_view text);

// Credentials text: Base64 of user, ":" and password.
std::string EncodeCredentials(std::string_view user, std::string_view password);
// Splits decoded credentials at the first ":"; text without ":" (or that is
// not Base64) gives two empty texts.
void DecodeCredentials(std::string_view credentials, std::string* user, std::string* password);

}  // namespace platform
