#include "engine/content/web_address.h"

#include <algorithm>

#include "engine/content/link_values.h"
#include "engine/content/parsed_url.h"
#include "platform/base64.h"
#include "platform/text.h"

namespace fw {
namespace {

bool EndsAddress(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || byte == 0x7F || c == '<' || c == '>' || c == '"';
}

// The address without what closes the sentence around it.
std::string_view WithoutTrailingMarks(std::string_view address) {
    while (!address.empty()) {
        const char last = address.back();
        const bool mark = std::string_view(".,;:!?'").find(last) != std::string_view::npos;
        const bool unopened =
            last == ')' && std::count(address.begin(), address.end(), '(') <
                               std::count(address.begin(), address.end(), ')');
        if (!mark && !unopened) break;
        address.remove_suffix(1);
    }
    return address;
}

}  // namespace

std::optional<WebAddress> StoredAddress(std::string_view text) {
    ParsedUrl parsed;
    parsed.Parse(text);
    if (!IsWebScheme(parsed.scheme()) || parsed.Text() == nullptr) return std::nullopt;
    WebAddress address;
    address.url = parsed.Text();
    if (parsed.user() != nullptr) address.user = platform::PercentDecoded(parsed.user());
    if (parsed.password() != nullptr) address.password = platform::PercentDecoded(parsed.password());
    return address;
}

std::vector<std::string_view> AddressesInText(std::string_view text) {
    static constexpr std::string_view kStarts[] = {"http://", "https://", "ftp://"};
    std::vector<std::string_view> found;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = std::string_view::npos;
        for (auto prefix : kStarts) start = std::min(start, platform::FindIgnoreCase(text, prefix, pos));
        if (start == std::string_view::npos) break;
        size_t end = start;
        while (end < text.size() && !EndsAddress(text[end])) ++end;
        const std::string_view address = WithoutTrailingMarks(text.substr(start, end - start));
        if (address.find("://") + 3 < address.size()) found.push_back(address);
        pos = end;
    }
    return found;
}

ProjectStore::Added AddImportedAddress(ProjectStore& store, std::string_view text) {
    const std::optional<WebAddress> address = StoredAddress(text);
    if (!address) return {};
    const ProjectStore::Added added = store.AddUrl(0, 0, 0, address->url);
    if (added.created && !address->user.empty()) {
        store.SetCredentials(added.id,
                             platform::EncodeCredentials(address->user, address->password));
    }
    return added;
}

}  // namespace fw
