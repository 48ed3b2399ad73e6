#include "engine/net/proxy_settings.h"

#include <gtest/gtest.h>

#include "platform/base64.h"
#include "platform/file_ops.h"
#include "platform/profile_file.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;

class ProxySettingsTest : public ::testing::Test {
protected:
    std::string Read(const char* key) { return file_.ReadString("Proxy", key, "<absent>"); }
    void Write(const char* key, const std::string& value) { file_.WriteString("Proxy", key, value); }

    TempDir dir_;
    std::string path_ = dir_ / "corvalin.ini";
    platform::ProfileFile file_{path_};
};

TEST_F(ProxySettingsTest, DefaultsWithoutASettingsFile) {
    {
        ProxySettings proxy(path_);
        EXPECT_FALSE(proxy.enabled());
        EXPECT_EQ(proxy.protocol(), kProxyHttp);
        EXPECT_EQ(proxy.server(), "");
        EXPECT_EQ(proxy.port(), 80);
        EXPECT_EQ(proxy.credentials(), "");
        EXPECT_FALSE(proxy.dirty());
    }
    EXPECT_FALSE(platform::FileExists(path_));  // nothing was set, nothing written
}

TEST_F(ProxySettingsTest, LoadsEveryKey) {
    Write("Proxy", "1");
    Write("ProxyType", "3");
    Write("Server", "proxy.example");
    Write("Port", "1080");
    ProxySettings proxy(path_);
    EXPECT_TRUE(proxy.enabled());
    EXPECT_EQ(proxy.protocol(), kProxySocks5);
    EXPECT_EQ(proxy.server(), "proxy.example");
    EXPECT_EQ(proxy.port(), 1080);
    EXPECT_FALSE(proxy.dirty());
}

TEST_F(ProxySettingsTest, CredentialsInPlainOrBase64Form) {
    struct Case {
        std::string stored;
        std::string user;
        std::string password;
        std::string credentials;
    } cases[] = {
        {"alice:s3cret", "alice", "s3cret", platform::Base64Encode("alice:s3cret")},
        {"alice:with:colons", "alice", "with:colons", platform::Base64Encode("alice:with:colons")},
        {platform::Base64Encode("bob:pw"), "bob", "pw", platform::Base64Encode("bob:pw")},
        {platform::Base64Encode("bob:"), "bob", "", platform::Base64Encode("bob:")},
        {":", "", "", ""},                                   // both empty: no credentials
        {":pw", "", "pw", ""},  // no user: none sent, as when set through the setters
        {platform::Base64Encode(":pw"), "", "pw", ""},
        {platform::Base64Encode("no colon"), "", "", ""},    // nothing to split
        {"not base64 at all!", "", "", ""},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        Write("ProxyAuthentication", c.stored);
        ProxySettings proxy(path_);
        EXPECT_EQ(proxy.user_name(), c.user) << c.stored;
        EXPECT_EQ(proxy.password(), c.password) << c.stored;
        EXPECT_EQ(proxy.credentials(), c.credentials) << c.stored;
    }
}

TEST_F(ProxySettingsTest, PlainCredentialsAreWrittenBackInBase64OnTheNextSave) {
    Write("ProxyAuthentication", "alice:s3cret");
    {
        ProxySettings proxy(path_);
        proxy.set_port(8080);
    }
    EXPECT_EQ(Read("ProxyAuthentication"), platform::Base64Encode("alice:s3cret"));
    EXPECT_EQ(Read("Port"), "8080");
}

TEST_F(ProxySettingsTest, SavesAllFiveKeysOnlyWhenDirty) {
    {
        ProxySettings proxy(path_);
        proxy.set_server("gate.example");
        EXPECT_TRUE(proxy.dirty());
        proxy.Save();
        EXPECT_FALSE(proxy.dirty());
    }
    EXPECT_EQ(Read("Proxy"), "0");
    EXPECT_EQ(Read("ProxyType"), "1");
    EXPECT_EQ(Read("Server"), "gate.example");
    EXPECT_EQ(Read("Port"), "80");
    EXPECT_EQ(Read("ProxyAuthentication"), "");

    // Someone else changes the file; a clean object must not write it back.
    Write("Server", "other.example");
    { ProxySettings untouched(path_); }
    EXPECT_EQ(Read("Server"), "other.example");
}

TEST_F(ProxySettingsTest, UserNameAndPasswordRebuildTheCredentials) {
    ProxySettings proxy;
    proxy.set_password("pw");
    EXPECT_EQ(proxy.credentials(), "");  // no user name yet
    proxy.set_user_name("carol");
    EXPECT_EQ(proxy.credentials(), platform::Base64Encode("carol:pw"));
    proxy.set_password("new");
    EXPECT_EQ(proxy.credentials(), platform::Base64Encode("carol:new"));
    proxy.set_user_name("");
    EXPECT_EQ(proxy.credentials(), "");
    EXPECT_EQ(proxy.password(), "new");
    EXPECT_EQ(proxy.settings_path(), "");  // in memory only: nothing is ever saved
}

TEST_F(ProxySettingsTest, LongTextsAreCut) {
    Write("Server", std::string(2000, 's'));
    ProxySettings proxy(path_);
    EXPECT_EQ(proxy.server(), std::string(1022, 's'));
}

}  // namespace
}  // namespace fw
