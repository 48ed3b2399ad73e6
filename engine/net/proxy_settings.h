// The proxy for plain HTTP fetches, kept in the settings file's "Proxy"
// section:
//
//   Proxy=1                      enabled when not 0 (default 0)
//   ProxyType=1                  1 HTTP, 2 SOCKS4, 3 SOCKS5 (default 1)
//   Server=proxy.example         host name or dotted quad (default empty)
//   Port=8080                    (default 80)
//   ProxyAuthentication=...      Base64 of "user:password", or that text in plain
//
// A grab reads one at its start and shares it read-only with all its fetches;
// the preferences object keeps one for its proxy properties and writes it
// back once, when it goes away, and only if a setter was called.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

enum ProxyProtocol : int32_t { kProxyHttp = 1, kProxySocks4 = 2, kProxySocks5 = 3 };

class ProxySettings {
public:
    // Defaults (disabled, HTTP, no server, port 80, no credentials) and no
    // settings file: nothing is loaded or saved.
    ProxySettings();
    // Defaults, then Load from `settings_path`.
    explicit ProxySettings(std::string settings_path);
    // Save (which writes only when dirty).
    ~ProxySettings();
    ProxySettings(const ProxySettings&) = delete;
    ProxySettings& operator=(const ProxySettings&) = delete;

    // Reads the five keys; a missing file or key gives its default. A
    // "ProxyAuthentication" with ":" is user, ":" and password in plain;
    // without, it is decoded as Base64 and split at its first ":". Leaves the
    // object clean.
    void Load();
    // Writes all five keys (credentials in Base64 form) when dirty, then
    // clears dirty.
    void Save();

    const std::string& settings_path() const { return settings_path_; }
    bool dirty() const { return dirty_; }
    bool enabled() const { return enabled_; }
    int32_t protocol() const { return protocol_; }
    const std::string& server() const { return server_; }
    int32_t port() const { return port_; }
    // Base64 of user name, ":" and password; empty when there is no user name.
    const std::string& credentials() const { return credentials_; }
    const std::string& user_name() const { return user_name_; }
    const std::string& password() const { return password_; }
    // Why these settings cannot carry a request (a type or port out of
    // range, say "Proxy type 9 is out of range 1 to 3"); empty when they can.
    std::string Fault() const;

    // Every setter sets dirty. Setting the user name or the password rebuilds
    // the credentials from both (none while the user name is empty).
    void set_enabled(bool enabled);
    void set_protocol(int32_t protocol);
    void set_server(std::string server);
    void set_port(int32_t port);
    void set_user_name(std::string user_name);
    void set_password(std::string password);

private:
    void RebuildCredentials();

    std::string settings_path_;
    bool dirty_ = false;
    bool enabled_ = false;
    int32_t protocol_ = kProxyHttp;
    std::string server_;
    int32_t port_ = 80;
    std::string credentials_;
    std::string user_name_;
    std::string password_;
};

}  // namespace fw
