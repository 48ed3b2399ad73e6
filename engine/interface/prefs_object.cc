#include "engine/interface/prefs_object.h"

#include "engine/support/engine_preferences.h"

namespace fw {
namespace {

std::string ProxyPathOf(EnginePreferences* prefs) {
    return prefs ? prefs->settings_path() : std::string();
}

}  // namespace

PrefsObject::PrefsObject(EnginePreferences* prefs) : prefs_(prefs), proxy_(ProxyPathOf(prefs)) {}

template <class T, class Read>
HRESULT PrefsObject::Get(T* out, Read read) {
    if (prefs_ == nullptr || out == nullptr) return E_POINTER;
    *out = read();
    return S_OK;
}

template <class Write>
HRESULT PrefsObject::Put(Write write) {
    if (prefs_ == nullptr) return E_POINTER;
    write();
    return S_OK;
}

HRESULT PrefsObject::get_UseDialUp(int32_t* v) {
    return Get(v, [&] { return prefs_->UseDialUp() ? 1 : 0; });
}
HRESULT PrefsObject::put_UseDialUp(int32_t v) {
    return Put([&] { prefs_->SetUseDialUp(v != 0); });
}
HRESULT PrefsObject::get_DialUpEntry(std::string* v) {
    return Get(v, [&] { return prefs_->DialUpEntry(); });
}
HRESULT PrefsObject::put_DialUpEntry(const std::string& v) {
    return Put([&] { prefs_->SetDialUpEntry(v); });
}
HRESULT PrefsObject::get_DialUpUserName(std::string* v) {
    return Get(v, [&] { return prefs_->DialUpUserName(); });
}
HRESULT PrefsObject::put_DialUpUserName(const std::string& v) {
    return Put([&] { prefs_->SetDialUpUserName(v); });
}
HRESULT PrefsObject::get_DialUpPassword(std::string* v) {
    return Get(v, [&] { return prefs_->DialUpPassword(); });
}
HRESULT PrefsObject::put_DialUpPassword(const std::string& v) {
    return Put([&] { prefs_->SetDialUpPassword(v); });
}
HRESULT PrefsObject::get_DialUpDomain(std::string* v) {
    return Get(v, [&] { return prefs_->DialUpDomain(); });
}
HRESULT PrefsObject::put_DialUpDomain(const std::string& v) {
    return Put([&] { prefs_->SetDialUpDomain(v); });
}
HRESULT PrefsObject::get_UserAgent(std::string* v) {
    return Get(v, [&] { return prefs_->UserAgent(); });
}
HRESULT PrefsObject::put_UserAgent(const std::string& v) {
    return Put([&] { prefs_->SetUserAgent(v); });
}
HRESULT PrefsObject::get_MaxThreads(int32_t* v) {
    return Get(v, [&] { return prefs_->MaxThreads(); });
}
HRESULT PrefsObject::put_MaxThreads(int32_t v) {
    return Put([&] { prefs_->SetMaxThreads(v); });
}
HRESULT PrefsObject::get_MaxThreadsPerServer(int32_t* v) {
    return Get(v, [&] { return prefs_->MaxThreadsPerServer(); });
}
HRESULT PrefsObject::put_MaxThreadsPerServer(int32_t v) {
    return Put([&] { prefs_->SetMaxThreadsPerServer(v); });
}
HRESULT PrefsObject::get_PercentMaxThreads(int32_t* v) {
    return Get(v, [&] { return prefs_->PercentMaxThreads(); });
}
HRESULT PrefsObject::put_PercentMaxThreads(int32_t v) {
    return Put([&] { prefs_->SetPercentMaxThreads(v); });
}
HRESULT PrefsObject::get_Retries(int32_t* v) {
    return Get(v, [&] { return prefs_->Retries(); });
}
HRESULT PrefsObject::put_Retries(int32_t v) {
    return Put([&] { prefs_->SetRetries(v); });
}

HRESULT PrefsObject::get_UseProxy(int32_t* v) {
    return Get(v, [&] { return proxy_.enabled() ? 1 : 0; });
}
HRESULT PrefsObject::put_UseProxy(int32_t v) {
    return Put([&] { proxy_.set_enabled(v != 0); });
}
HRESULT PrefsObject::get_ProxyType(int32_t* v) {
    return Get(v, [&] { return proxy_.protocol(); });
}
HRESULT PrefsObject::put_ProxyType(int32_t v) {
    return Put([&] { proxy_.set_protocol(v); });
}
HRESULT PrefsObject::get_ProxyServer(std::string* v) {
    return Get(v, [&] { return proxy_.server(); });
}
HRESULT PrefsObject::put_ProxyServer(const std::string& v) {
    return Put([&] { proxy_.set_server(v); });
}
HRESULT PrefsObject::get_ProxyPort(int32_t* v) {
    return Get(v, [&] { return proxy_.port(); });
}
HRESULT PrefsObject::put_ProxyPort(int32_t v) {
    return Put([&] { proxy_.set_port(v); });
}
HRESULT PrefsObject::get_ProxyUsername(std::string* v) {
    return Get(v, [&] { return proxy_.user_name(); });
}
HRESULT PrefsObject::put_ProxyUsername(const std::string& v) {
    return Put([&] { proxy_.set_user_name(v); });
}
HRESULT PrefsObject::get_ProxyPassword(std::string* v) {
    return Get(v, [&] { return proxy_.password(); });
}
HRESULT PrefsObject::put_ProxyPassword(const std::string& v) {
    return Put([&] { proxy_.set_password(v); });
}

HRESULT PrefsObject::get_UseTimeLimit(int32_t* v) {
    return Get(v, [&] { return prefs_->UseTimeLimit() ? 1 : 0; });
}
HRESULT PrefsObject::put_UseTimeLimit(int32_t v) {
    return Put([&] { prefs_->SetUseTimeLimit(v != 0); });
}
HRESULT PrefsObject::get_LimitMinutes(int32_t* v) {
    return Get(v, [&] { return prefs_->LimitMinutes(); });
}
HRESULT PrefsObject::put_LimitMinutes(int32_t v) {
    return Put([&] { prefs_->SetLimitMinutes(v); });
}
HRESULT PrefsObject::get_LimitHours(int32_t* v) {
    return Get(v, [&] { return prefs_->LimitHours(); });
}
HRESULT PrefsObject::put_LimitHours(int32_t v) {
    return Put([&] { prefs_->SetLimitHours(v); });
}
HRESULT PrefsObject::get_UseByteLimit(int32_t* v) {
    return Get(v, [&] { return prefs_->UseByteLimit() ? 1 : 0; });
}
HRESULT PrefsObject::put_UseByteLimit(int32_t v) {
    return Put([&] { prefs_->SetUseByteLimit(v != 0); });
}
HRESULT PrefsObject::get_LimitKiloBytes(int32_t* v) {
    return Get(v, [&] { return prefs_->LimitKiloBytes(); });
}
HRESULT PrefsObject::put_LimitKiloBytes(int32_t v) {
    return Put([&] { prefs_->SetLimitKiloBytes(v); });
}
HRESULT PrefsObject::get_LimitResponseKiloBytes(int32_t* v) {
    return Get(v, [&] { return prefs_->LimitResponseKiloBytes(); });
}
HRESULT PrefsObject::put_LimitResponseKiloBytes(int32_t v) {
    return Put([&] { prefs_->SetLimitResponseKiloBytes(v); });
}
HRESULT PrefsObject::get_AllowUntrustedCertificates(int32_t* v) {
    return Get(v, [&] { return prefs_->AllowUntrustedCertificates() ? 1 : 0; });
}
HRESULT PrefsObject::put_AllowUntrustedCertificates(int32_t v) {
    return Put([&] { prefs_->SetAllowUntrustedCertificates(v != 0); });
}
HRESULT PrefsObject::get_FileFlags(int32_t* v) {
    return Get(v, [&] { return prefs_->FileFlags(); });
}
HRESULT PrefsObject::put_FileFlags(int32_t v) {
    return Put([&] { prefs_->SetFileFlags(v); });
}

}  // namespace fw
