// The IDizozizPrefs object: the engine's settings as 22 properties. It reads
// and writes through the engine's EnginePreferences (each setter writes its
// key at once), except for the six proxy properties, which change the
// object's own ProxySettings in memory; those reach the settings file once,
// when the last reference is released, and only if one of them was set.
//
// An object made without preferences is unbound: every member returns
// E_POINTER and changes nothing.
#pragma once

#include <string>

#include "engine/interface/ref_counted.h"
#include "engine/net/proxy_settings.h"

namespace fw {

class EnginePreferences;

class PrefsObject : public RefCounted<IDizozizPrefs> {
public:
    // Binds to `prefs` (not owned; REQUIRES: outlives this object) and loads
    // the proxy settings from its settings file. Null makes an unbound object.
    explicit PrefsObject(EnginePreferences* prefs);

    HRESULT get_UseDialUp(int32_t* v) override;
    HRESULT put_UseDialUp(int32_t v) override;
    HRESULT get_DialUpEntry(std::string* v) override;
    HRESULT put_DialUpEntry(const std::string& v) override;
    HRESULT get_DialUpUserName(std::string* v) override;
    HRESULT put_DialUpUserName(const std::string& v) override;
    HRESULT get_DialUpPassword(std::string* v) override;
    HRESULT put_DialUpPassword(const std::string& v) override;
    HRESULT get_DialUpDomain(std::string* v) override;
    HRESULT put_DialUpDomain(const std::string& v) override;
    HRESULT get_UserAgent(std::string* v) override;
    HRESULT put_UserAgent(const std::string& v) override;
    HRESULT get_MaxThreads(int32_t* v) override;
    HRESULT put_MaxThreads(int32_t v) override;
    HRESULT get_MaxThreadsPerServer(int32_t* v) override;
    HRESULT put_MaxThreadsPerServer(int32_t v) override;
    HRESULT get_PercentMaxThreads(int32_t* v) override;
    HRESULT put_PercentMaxThreads(int32_t v) override;
    HRESULT get_Retries(int32_t* v) override;
    HRESULT put_Retries(int32_t v) override;
    HRESULT get_UseProxy(int32_t* v) override;
    HRESULT put_UseProxy(int32_t v) override;
    HRESULT get_ProxyType(int32_t* v) override;
    HRESULT put_ProxyType(int32_t v) override;
    HRESULT get_ProxyServer(std::string* v) override;
    HRESULT put_ProxyServer(const std::string& v) override;
    HRESULT get_ProxyPort(int32_t* v) override;
    HRESULT put_ProxyPort(int32_t v) override;
    HRESULT get_ProxyUsername(std::string* v) override;
    HRESULT put_ProxyUsername(const std::string& v) override;
    HRESULT get_ProxyPassword(std::string* v) override;
    HRESULT put_ProxyPassword(const std::string& v) override;
    HRESULT get_UseTimeLimit(int32_t* v) override;
    HRESULT put_UseTimeLimit(int32_t v) override;
    HRESULT get_LimitMinutes(int32_t* v) override;
    HRESULT put_LimitMinutes(int32_t v) override;
    HRESULT get_LimitHours(int32_t* v) override;
    HRESULT put_LimitHours(int32_t v) override;
    HRESULT get_UseByteLimit(int32_t* v) override;
    HRESULT put_UseByteLimit(int32_t v) override;
    HRESULT get_LimitKiloBytes(int32_t* v) override;
    HRESULT put_LimitKiloBytes(int32_t v) override;
    HRESULT get_LimitResponseKiloBytes(int32_t* v) override;
    HRESULT put_LimitResponseKiloBytes(int32_t v) override;
    HRESULT get_AllowUntrustedCertificates(int32_t* v) override;
    HRESULT put_AllowUntrustedCertificates(int32_t v) override;
    HRESULT get_FileFlags(int32_t* v) override;
    HRESULT put_FileFlags(int32_t v) override;

protected:
    ~PrefsObject() override = default;  // the proxy settings save themselves when dirty

private:
    template <class T, class Read>
    HRESULT Get(T* out, Read read);
    template <class Write>
    HRESULT Put(Write write);

    EnginePreferences* prefs_;  // not owned; null when unbound
    ProxySettings proxy_;
};

}  // namespace fw
