#include "app/core/start_url.h"

#include <algorithm>

#include "app/core/filter_set_editor.h"
#include "platform/text.h"

namespace corvalin {
namespace {

bool IsDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Gives the URL exactly the filters the options ask for: the type list or
// the excluded media classes, and the stay flags. What the URL had already
// (an address added a second time) is loaded first and changed in place.
fw::HRESULT SaveFilters(fw::IDizoziz* engine, int32_t id, const StartUrlOptions& options) {
    FilterSetEditor editor;
    fw::HRESULT hr = editor.Load(engine, id);
    if (fw::Failed(hr)) return hr;
    editor.stay_on_site = options.stay_on_site;
    editor.stay_in_dir = options.stay_in_dir;
    editor.SetTypeList(options.only_types);
    for (const char* media : kMediaClasses) {
        const bool excluded =
            options.only_types.empty() &&
            std::find(options.excluded_classes.begin(), options.excluded_classes.end(), media) !=
                options.excluded_classes.end();
        editor.SetMediaClassExcluded(media, excluded);
    }
    return editor.Save(engine);
}

}  // namespace

std::optional<std::string> CheckStartUrl(std::string_view text, std::string* why,
                                         std::string* user, std::string* password) {
    auto refuse = [why](const char* reason) -> std::optional<std::string> {
        if (why) *why = reason;
        return std::nullopt;
    };
    for (unsigned char c : text) {
        if (c <= ' ' || c == 0x7F) return refuse("it holds blanks or control characters");
    }
    const size_t colon = text.find("://");
    if (colon == std::string_view::npos) {
        return refuse("it is not absolute (it must start with http://, https:// or ftp://)");
    }
    const std::string scheme = platform::ToLowerAscii(text.substr(0, colon));
    if (scheme != "http" && scheme != "https" && scheme != "ftp") {
        return refuse("only http, https and ftp addresses can be grabbed");
    }
    const size_t authority_start = colon + 3;
    size_t authority_end = text.find_first_of("/?#", authority_start);
    if (authority_end == std::string_view::npos) authority_end = text.size();
    std::string_view authority = text.substr(authority_start, authority_end - authority_start);
    std::string_view user_info;
    if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
        user_info = authority.substr(0, at);
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    // A port follows the last ":" unless that ":" is inside an IPv6 literal.
    const size_t port_colon = host.rfind(':');
    if (port_colon != std::string_view::npos &&
        host.find(']', port_colon) == std::string_view::npos) {
        const std::string_view port = host.substr(port_colon + 1);
        if (!port.empty() &&
            (!IsDigits(port) || port.size() > 5 || std::stol(std::string(port)) > 65535)) {
            return refuse("its port is not a number from 0 to 65535");
        }
        host = host.substr(0, port_colon);
    }
    if (host.empty()) return refuse("it names no host");

    const size_t password_colon = user_info.find(':');
    if (user) *user = platform::PercentDecoded(user_info.substr(0, password_colon));
    if (password) {
        *password = password_colon == std::string_view::npos
                        ? std::string()
                        : platform::PercentDecoded(user_info.substr(password_colon + 1));
    }
    // Scheme and host names are case-insensitive: stored the one way.
    std::string url = scheme + "://" + platform::ToLowerAscii(authority);
    const std::string_view rest = text.substr(authority_end);
    if (rest.empty() || rest.front() != '/') url += '/';
    url.append(rest);
    return url;
}

std::string NormaliseTypeList(std::string_view text) {
    std::string list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        const std::string_view piece = platform::TrimView(text.substr(start, comma - start));
        if (!piece.empty()) {
            if (!list.empty()) list += ',';
            list.append(piece);
        }
        start = comma + 1;
    }
    return list;
}

bool IsMediaClass(std::string_view word) {
    for (const char* media : kMediaClasses) {
        if (word == media) return true;
    }
    return false;
}

fw::HRESULT AddStartUrl(fw::IDizoziz* engine, const StartUrlOptions& options, int32_t* id) {
    if (!engine || !id) return fw::E_POINTER;
    fw::ComPtr<fw::IDizozizUrl> url;
    fw::HRESULT hr = engine->NewUrl(url.Receive());
    if (fw::Succeeded(hr) && options.link_check) hr = url->put_Html(fw::kKindLinkCheck);
    if (fw::Succeeded(hr)) hr = url->put_url(options.url);
    if (fw::Succeeded(hr)) hr = url->put_GrabLevels(options.levels);
    if (fw::Succeeded(hr) && !options.notes.empty()) hr = url->put_Notes(options.notes);
    const bool own_credentials = !options.user.empty() || !options.password.empty();
    const std::string& user = own_credentials ? options.user : options.url_user;
    const std::string& password = own_credentials ? options.password : options.url_password;
    if (fw::Succeeded(hr) && !user.empty()) hr = url->put_Username(user);
    if (fw::Succeeded(hr) && !password.empty()) hr = url->put_Password(password);
    if (fw::Succeeded(hr)) hr = url->Update();
    if (fw::Succeeded(hr)) hr = url->get_id(id);
    if (fw::Succeeded(hr) && *id <= 0) hr = fw::E_FAIL;
    // A link check's filters are the engine's own.
    if (fw::Succeeded(hr) && !options.link_check) hr = SaveFilters(engine, *id, options);
    return hr;
}

}  // namespace corvalin
