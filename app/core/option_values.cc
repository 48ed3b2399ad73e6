#include "app/core/option_values.h"

#include <algorithm>

#include "app/core/url_fields.h"

namespace corvalin {
namespace {

std::string PositiveText(int32_t value) { return value > 0 ? std::to_string(value) : ""; }

// A field holding a whole number from 0, empty being 0.
std::optional<int32_t> NonNegativeField(const std::string& text) {
    const std::optional<int32_t> value = FieldNumber(text);
    if (!value || *value < 0) return std::nullopt;
    return value;
}

}  // namespace

GeneralOptions ReadGeneralOptions(const AppSettings& settings) {
    GeneralOptions options;
    options.html_editor = settings.HtmlEditor();
    options.use_default_browser = settings.UseDefaultBrowser();
    options.browser = settings.Browser();
    return options;
}

bool WriteGeneralOptions(const AppSettings& settings, const GeneralOptions& options) {
    const bool use_default = options.use_default_browser || options.browser.empty();
    bool written = settings.SetHtmlEditor(options.html_editor);
    written = settings.SetUseDefaultBrowser(use_default) && written;
    written = settings.SetBrowser(options.browser) && written;
    return written;
}

fw::HRESULT ReadGrabbingOptions(fw::IDizozizPrefs* prefs, GrabbingOptions* options) {
    if (!prefs || !options) return fw::E_POINTER;
    int32_t use_bytes = 0, kilobytes = 0, use_time = 0, hours = 0, minutes = 0;
    fw::HRESULT hr = prefs->get_MaxThreads(&options->max_threads);
    if (fw::Succeeded(hr)) hr = prefs->get_MaxThreadsPerServer(&options->max_threads_per_server);
    if (fw::Succeeded(hr)) hr = prefs->get_Retries(&options->retries);
    if (fw::Succeeded(hr)) hr = prefs->get_UseByteLimit(&use_bytes);
    if (fw::Succeeded(hr)) hr = prefs->get_LimitKiloBytes(&kilobytes);
    if (fw::Succeeded(hr)) hr = prefs->get_LimitHours(&hours);
    if (fw::Succeeded(hr)) hr = prefs->get_LimitMinutes(&minutes);
    if (fw::Succeeded(hr)) hr = prefs->get_UseTimeLimit(&use_time);
    if (fw::Succeeded(hr)) hr = prefs->get_FileFlags(&options->file_flags);
    if (fw::Succeeded(hr)) hr = prefs->get_UserAgent(&options->user_agent);
    options->use_byte_limit = use_bytes != 0;
    options->kilobytes = PositiveText(kilobytes);
    options->use_time_limit = use_time != 0;
    const bool any_time = hours > 0 || minutes > 0;
    options->hours = any_time ? std::to_string(hours) : "";
    options->minutes = any_time ? std::to_string(minutes) : "";
    options->file_flags &= kShortFileNames | kSiteStructure | kDomainDirectory;
    return hr;
}

bool GrabbingOptionsCanLeave(const GrabbingOptions& options) {
    if (options.use_byte_limit) {
        const std::optional<int32_t> kilobytes = FieldNumber(options.kilobytes);
        if (!kilobytes || *kilobytes <= 0) return false;
    }
    if (options.use_time_limit) {
        const std::optional<int32_t> hours = NonNegativeField(options.hours);
        const std::optional<int32_t> minutes = NonNegativeField(options.minutes);
        if (!hours || !minutes || (*hours == 0 && *minutes == 0)) return false;
    }
    return true;
}

fw::HRESULT WriteGrabbingOptions(fw::IDizozizPrefs* prefs, const GrabbingOptions& options) {
    if (!prefs) return fw::E_POINTER;
    if (!GrabbingOptionsCanLeave(options)) return fw::E_INVALIDARG;
    fw::HRESULT hr = prefs->put_MaxThreads(options.max_threads);
    if (fw::Succeeded(hr)) hr = prefs->put_MaxThreadsPerServer(options.max_threads_per_server);
    if (fw::Succeeded(hr)) hr = prefs->put_Retries(options.retries);
    if (fw::Succeeded(hr)) hr = prefs->put_UseByteLimit(options.use_byte_limit ? 1 : 0);
    if (fw::Succeeded(hr) && options.use_byte_limit) {
        hr = prefs->put_LimitKiloBytes(*FieldNumber(options.kilobytes));
    }
    if (fw::Succeeded(hr)) hr = prefs->put_UseTimeLimit(options.use_time_limit ? 1 : 0);
    if (fw::Succeeded(hr) && options.use_time_limit) {
        hr = prefs->put_LimitHours(*FieldNumber(options.hours));
        if (fw::Succeeded(hr)) hr = prefs->put_LimitMinutes(*FieldNumber(options.minutes));
    }
    if (fw::Succeeded(hr)) {
        hr = prefs->put_FileFlags(options.file_flags &
                                  (kShortFileNames | kSiteStructure | kDomainDirectory));
    }
    if (fw::Succeeded(hr)) hr = prefs->put_UserAgent(options.user_agent);
    return hr;
}

fw::HRESULT ReadProxyOptions(const AppSettings& settings, fw::IDizozizPrefs* prefs,
                             ProxyOptions* options) {
    if (!prefs || !options) return fw::E_POINTER;
    options->use_browsers = settings.UseBrowsers();
    const int stored = settings.ProxyServer();
    options->kind = stored >= 1 && stored <= kProxyKindCount ? stored - 1 : 0;
    int32_t use_proxy = 0;
    fw::HRESULT hr = prefs->get_UseProxy(&use_proxy);
    if (fw::Succeeded(hr)) hr = prefs->get_ProxyServer(&options->server);
    if (fw::Succeeded(hr)) hr = prefs->get_ProxyUsername(&options->user);
    if (fw::Succeeded(hr)) hr = prefs->get_ProxyPassword(&options->password);
    if (fw::Succeeded(hr)) hr = prefs->get_ProxyPort(&options->port);
    options->use_proxy = use_proxy != 0;
    return hr;
}

fw::HRESULT WriteProxyOptions(const AppSettings& settings, fw::IDizozizPrefs* prefs,
                              const ProxyOptions& options) {
    if (!prefs) return fw::E_POINTER;
    const int kind = std::clamp(options.kind, 0, kProxyKindCount - 1);
    settings.SetProxyServer(kind + 1);
    settings.SetUseBrowsers(options.use_browsers);
    fw::HRESULT hr = prefs->put_UseProxy(options.use_proxy ? 1 : 0);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyType(kProxyKinds[kind].protocol);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyServer(options.server);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyPort(options.port);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyUsername(options.user);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyPassword(options.password);
    return hr;
}

ProxyControlStates ProxyControlStatesFor(bool use_browsers, bool use_proxy, int kind) {
    ProxyControlStates states;
    if (use_browsers) return states;
    states.enable_proxy = true;
    if (!use_proxy) return states;
    const int32_t protocol = kProxyKinds[std::clamp(kind, 0, kProxyKindCount - 1)].protocol;
    states.server = true;
    states.user = protocol >= 1 && protocol <= 3;
    states.password = protocol == 1 || protocol == 3;
    return states;
}

}  // namespace corvalin
