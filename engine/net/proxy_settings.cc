#include "engine/net/proxy_settings.h"

#include <climits>

#include "engine/interface/fetchwell.h"
#include "platform/base64.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace fw {
namespace {

constexpr char kSection[] = "Proxy";
std::string ReadText(const platform::ProfileFile& file, const char* key) {
    return file.ReadText(kSection, key, "");
}

int32_t ReadInt32(const platform::ProfileFile& file, const char* key, int32_t fallback) {
    return file.ReadInt32(kSection, key, fallback);
}

}  // namespace

ProxySettings::ProxySettings() = default;

ProxySettings::ProxySettings(std::string settings_path) : settings_path_(std::move(settings_path)) {
    Load();
}

ProxySettings::~ProxySettings() { Save(); }

void ProxySettings::Load() {
    if (settings_path_.empty()) return;
    platform::ProfileFile file(settings_path_);
    enabled_ = ReadInt32(file, "Proxy", 0) != 0;
    protocol_ = ReadInt32(file, "ProxyType", kProxyHttp);
    server_ = ReadText(file, "Server");
    port_ = ReadInt32(file, "Port", 80);
    user_name_.clear();
    password_.clear();
    std::string authentication = ReadText(file, "ProxyAuthentication");
    if (!authentication.empty()) {
        // Base64 never holds ":", so a ":" marks the plain form.
        if (size_t colon = authentication.find(':'); colon != std::string::npos) {
            user_name_ = authentication.substr(0, colon);
            password_ = authentication.substr(colon + 1);
        } else {
            platform::DecodeCredentials(authentication, &user_name_, &password_);
        }
    }
    RebuildCredentials();
    dirty_ = false;
}

void ProxySettings::Save() {
    if (!dirty_ || settings_path_.empty()) return;
    platform::ProfileFile file(settings_path_);
    file.WriteString(kSection, "Proxy", std::string(enabled_ ? "1" : "0"));
    file.WriteString(kSection, "ProxyType", std::to_string(protocol_));
    file.WriteString(kSection, "Server", server_);
    file.WriteString(kSection, "Port", std::to_string(port_));
    file.WriteString(kSection, "ProxyAuthentication", credentials_);
    dirty_ = false;
}

void ProxySettings::set_enabled(bool enabled) {
    enabled_ = enabled;
    dirty_ = true;
}

void ProxySettings::set_protocol(int32_t protocol) {
    protocol_ = protocol;
    dirty_ = true;
}

void ProxySettings::set_server(std::string server) {
    server_ = std::move(server);
    dirty_ = true;
}

void ProxySettings::set_port(int32_t port) {
    port_ = port;
    dirty_ = true;
}

void ProxySettings::set_user_name(std::string user_name) {
    user_name_ = std::move(user_name);
    RebuildCredentials();
    dirty_ = true;
}

void ProxySettings::set_password(std::string password) {
    password_ = std::move(password);
    RebuildCredentials();
    dirty_ = true;
}

void ProxySettings::RebuildCredentials() {
    credentials_ = user_name_.empty() ? std::string()
                                      : platform::EncodeCredentials(user_name_, password_);
}

std::string ProxySettings::Fault() const {
    const auto out_of = [](const char* what, int32_t value, PreferenceRange range) {
        return std::string("Proxy ") + what + " " + std::to_string(value) + " is out of range " +
               std::to_string(range.min) + " to " + std::to_string(range.max);
    };
    if (!kProxyTypeRange.Holds(protocol_)) return out_of("type", protocol_, kProxyTypeRange);
    if (!kProxyPortRange.Holds(port_)) return out_of("port", port_, kProxyPortRange);
    return std::string();
}

}  // namespace fw
