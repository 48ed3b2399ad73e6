// libFuzzer target for the URL model and the address finder of imports.
//
// The input is a base and a link, split at its first NUL (no NUL: the whole
// input is both). Besides crashes and sanitizer reports it checks what must
// hold for any input: every component and the text stay within their
// capacity, a record with a text has a scheme, the text has no fragment,
// and every address found in prose is a piece of the prose that starts with
// a web scheme.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "engine/content/parsed_url.h"
#include "engine/content/web_address.h"
#include "platform/text.h"

namespace {

void CheckRecord(const fw::ParsedUrl& url) {
    using fw::ParsedUrl;
    if (std::strlen(url.path()) > ParsedUrl::kPathCapacity) std::abort();
    if (url.host() && std::strlen(url.host()) > ParsedUrl::kHostCapacity) std::abort();
    if (url.query() && std::strlen(url.query()) > ParsedUrl::kQueryCapacity) std::abort();
    if (url.fragment() && std::strlen(url.fragment()) > ParsedUrl::kFragmentCapacity) std::abort();
    if (url.user() && std::strlen(url.user()) > ParsedUrl::kUserCapacity) std::abort();
    const char* text = url.Text();
    if (text == nullptr) return;
    if (std::strlen(text) > ParsedUrl::kTextCapacity) std::abort();
    if (url.scheme() == fw::UrlScheme::None) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\0');
    const std::string_view base = input.substr(0, cut);
    const std::string_view link = cut == std::string_view::npos ? input : input.substr(cut + 1);

    fw::ParsedUrl url;
    url.Parse(base);
    CheckRecord(url);
    fw::ParsedUrl resolved;
    resolved.CopyFrom(url);
    resolved.ParseRelative(link);
    CheckRecord(resolved);

    for (std::string_view address : fw::AddressesInText(input)) {
        if (address.data() < input.data() || address.data() + address.size() > input.data() + size)
            std::abort();
        if (platform::FindIgnoreCase(address, "://") == std::string_view::npos) std::abort();
        fw::StoredAddress(address);
    }
    return 0;
}
