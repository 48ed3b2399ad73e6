// Web addresses as the project stores its start URLs, and where addresses
// stand in prose.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/project_store.h"

namespace fw {

// An absolute http, https or ftp address in its stored form, and the user
// and password it named.
struct WebAddress {
    std::string url;       // ParsedUrl's text: scheme and host in lower case, no user or password
    std::string user;      // percent-escapes decoded; empty when it named none
    std::string password;
};

// `text` as a stored web address, or nullopt when it is no absolute http,
// https or ftp address.
std::optional<WebAddress> StoredAddress(std::string_view text);

// Every absolute address in a text written for people (a mail, a list, a
// page of prose): each begins with "http://", "https://" or "ftp://" in any
// letter case and ends before a blank, a control character, '<', '>' or '"';
// marks that close the sentence or the delimiters around the address
// (".", ",", ";", ":", "!", "?", "'", and a ")" that opens nowhere in the
// address) are not part of it, as mail programs read them.
std::vector<std::string_view> AddressesInText(std::string_view text);

// Adds the address `text` as a start URL in its stored form; the user and
// password it named become the credentials of a URL it creates. An id of 0
// when `text` is no web address or the row could not be stored. REQUIRES:
// the store lock is held.
ProjectStore::Added AddImportedAddress(ProjectStore& store, std::string_view text);

}  // namespace fw
