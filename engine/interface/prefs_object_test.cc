#include "engine/interface/prefs_object.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/support/engine_preferences.h"
#include "platform/base64.h"
#include "platform/profile_file.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;

using Member = std::function<HRESULT(IDizozizPrefs&)>;

// Every member once, in interface order.
std::vector<Member> AllMembers() {
    static int32_t n;
    static std::string s;
    return {
        [](IDizozizPrefs& p) { return p.get_UseDialUp(&n); },
        [](IDizozizPrefs& p) { return p.put_UseDialUp(1); },
        [](IDizozizPrefs& p) { return p.get_DialUpEntry(&s); },
        [](IDizozizPrefs& p) { return p.put_DialUpEntry("e"); },
        [](IDizozizPrefs& p) { return p.get_DialUpUserName(&s); },
        [](IDizozizPrefs& p) { return p.put_DialUpUserName("u"); },
        [](IDizozizPrefs& p) { return p.get_DialUpPassword(&s); },
        [](IDizozizPrefs& p) { return p.put_DialUpPassword("p"); },
        [](IDizozizPrefs& p) { return p.get_DialUpDomain(&s); },
        [](IDizozizPrefs& p) { return p.put_DialUpDomain("d"); },
        [](IDizozizPrefs& p) { return p.get_UserAgent(&s); },
        [](IDizozizPrefs& p) { return p.put_UserAgent("a"); },
        [](IDizozizPrefs& p) { return p.get_MaxThreads(&n); },
        [](IDizozizPrefs& p) { return p.put_MaxThreads(1); },
        [](IDizozizPrefs& p) { return p.get_MaxThreadsPerServer(&n); },
        [](IDizozizPrefs& p) { return p.put_MaxThreadsPerServer(1); },
        [](IDizozizPrefs& p) { return p.get_PercentMaxThreads(&n); },
        [](IDizozizPrefs& p) { return p.put_PercentMaxThreads(1); },
        [](IDizozizPrefs& p) { return p.get_Retries(&n); },
        [](IDizozizPrefs& p) { return p.put_Retries(1); },
        [](IDizozizPrefs& p) { return p.get_UseProxy(&n); },
        [](IDizozizPrefs& p) { return p.put_UseProxy(1); },
        [](IDizozizPrefs& p) { return p.get_ProxyType(&n); },
        [](IDizozizPrefs& p) { return p.put_ProxyType(1); },
        [](IDizozizPrefs& p) { return p.get_ProxyServer(&s); },
        [](IDizozizPrefs& p) { return p.put_ProxyServer("s"); },
        [](IDizozizPrefs& p) { return p.get_ProxyPort(&n); },
        [](IDizozizPrefs& p) { return p.put_ProxyPort(1); },
        [](IDizozizPrefs& p) { return p.get_ProxyUsername(&s); },
        [](IDizozizPrefs& p) { return p.put_ProxyUsername("u"); },
        [](IDizozizPrefs& p) { return p.get_ProxyPassword(&s); },
        [](IDizozizPrefs& p) { return p.put_ProxyPassword("p"); },
        [](IDizozizPrefs& p) { return p.get_UseTimeLimit(&n); },
        [](IDizozizPrefs& p) { return p.put_UseTimeLimit(1); },
        [](IDizozizPrefs& p) { return p.get_LimitMinutes(&n); },
        [](IDizozizPrefs& p) { return p.put_LimitMinutes(1); },
        [](IDizozizPrefs& p) { return p.get_LimitHours(&n); },
        [](IDizozizPrefs& p) { return p.put_LimitHours(1); },
        [](IDizozizPrefs& p) { return p.get_UseByteLimit(&n); },
        [](IDizozizPrefs& p) { return p.put_UseByteLimit(1); },
        [](IDizozizPrefs& p) { return p.get_LimitKiloBytes(&n); },
        [](IDizozizPrefs& p) { return p.put_LimitKiloBytes(1); },
        [](IDizozizPrefs& p) { return p.get_FileFlags(&n); },
        [](IDizozizPrefs& p) { return p.put_FileFlags(1); },
        [](IDizozizPrefs& p) { return p.get_LimitResponseKiloBytes(&n); },
        [](IDizozizPrefs& p) { return p.put_LimitResponseKiloBytes(1); },
        [](IDizozizPrefs& p) { return p.get_AllowUntrustedCertificates(&n); },
        [](IDizozizPrefs& p) { return p.put_AllowUntrustedCertificates(1); },
    };
}

class PrefsObjectTest : public ::testing::Test {
protected:
    std::string Read(const char* section, const char* key) {
        return file_.ReadString(section, key, "<absent>");
    }

    TempDir dir_;
    std::string path_ = dir_ / "corvalin.ini";
    EnginePreferences engine_prefs_{path_};
    platform::ProfileFile file_{path_};
};

TEST_F(PrefsObjectTest, UnboundObjectAnswersEPointerToEveryMember) {
    ComPtr<PrefsObject> unbound = MakeObject<PrefsObject>(nullptr);
    std::vector<Member> members = AllMembers();
    // 22 properties, the response cap and the certificate choice, read and written
    ASSERT_EQ(members.size(), 48u);
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(members[i](*unbound), E_POINTER) << "member " << i;
    }
    unbound.Reset();
    EXPECT_EQ(Read("Proxy", "Server"), "<absent>");  // nothing written, not even on release
}

TEST_F(PrefsObjectTest, BoundObjectAnswersEveryMember) {
    ComPtr<PrefsObject> prefs = MakeObject<PrefsObject>(&engine_prefs_);
    for (const Member& member : AllMembers()) EXPECT_EQ(member(*prefs), S_OK);
    EXPECT_EQ(prefs->get_MaxThreads(nullptr), E_POINTER);
    EXPECT_EQ(prefs->get_UserAgent(nullptr), E_POINTER);
}

TEST_F(PrefsObjectTest, DefaultsWithoutASettingsFile) {
    ComPtr<PrefsObject> prefs = MakeObject<PrefsObject>(&engine_prefs_);
    int32_t n = -1;
    std::string s = "x";
    prefs->get_MaxThreads(&n);
    EXPECT_EQ(n, 8);
    prefs->get_MaxThreadsPerServer(&n);
    EXPECT_EQ(n, 2);
    prefs->get_UseTimeLimit(&n);
    EXPECT_EQ(n, 0);
    prefs->get_UseByteLimit(&n);
    EXPECT_EQ(n, 0);
    prefs->get_UseProxy(&n);
    EXPECT_EQ(n, 0);
    prefs->get_ProxyType(&n);
    EXPECT_EQ(n, 1);
    prefs->get_ProxyPort(&n);
    EXPECT_EQ(n, 80);
    prefs->get_FileFlags(&n);
    EXPECT_EQ(n, 4);
    prefs->get_UserAgent(&s);
    EXPECT_EQ(s, "");
    prefs->get_DialUpDomain(&s);
    EXPECT_EQ(s, "*");
}

TEST_F(PrefsObjectTest, SettersWriteAtOnceAndBooleansAsOneOrZero) {
    ComPtr<PrefsObject> prefs = MakeObject<PrefsObject>(&engine_prefs_);
    EXPECT_EQ(prefs->put_UseDialUp(5), S_OK);
    EXPECT_EQ(Read("DialUp", "Use"), "1");
    int32_t n = 0;
    prefs->get_UseDialUp(&n);
    EXPECT_EQ(n, 1);
    prefs->put_UseByteLimit(0);
    EXPECT_EQ(Read("Limits", "ByteLimit"), "0");
    prefs->put_LimitKiloBytes(100);
    EXPECT_EQ(Read("Limits", "Bytes"), "100");
    EXPECT_EQ(engine_prefs_.LimitKiloBytes(), 100);
    prefs->put_UserAgent("Corvalin/1.0 (Linux)");
    EXPECT_EQ(Read("Browser", "UserAgent"), "Corvalin/1.0 (Linux)");
    std::string s;
    prefs->get_UserAgent(&s);
    EXPECT_EQ(s, "Corvalin/1.0 (Linux)");
}

TEST_F(PrefsObjectTest, ProxyReachesTheFileOnlyOnFinalReleaseAndOnlyWhenSet) {
    ComPtr<PrefsObject> prefs = MakeObject<PrefsObject>(&engine_prefs_);
    ComPtr<PrefsObject> second_reference = prefs;
    prefs->put_ProxyServer("gate.example");
    prefs->put_ProxyUsername("ann");
    prefs->put_ProxyPassword("pw");
    EXPECT_EQ(Read("Proxy", "Server"), "<absent>");
    prefs.Reset();
    EXPECT_EQ(Read("Proxy", "Server"), "<absent>");  // still referenced
    second_reference.Reset();
    EXPECT_EQ(Read("Proxy", "Proxy"), "0");
    EXPECT_EQ(Read("Proxy", "ProxyType"), "1");
    EXPECT_EQ(Read("Proxy", "Server"), "gate.example");
    EXPECT_EQ(Read("Proxy", "Port"), "80");
    EXPECT_EQ(Read("Proxy", "ProxyAuthentication"), platform::Base64Encode("ann:pw"));

    // A new object reads them back; releasing it unchanged writes nothing.
    file_.WriteString("Proxy", "Server", std::string("changed.example"));
    {
        ComPtr<PrefsObject> reader = MakeObject<PrefsObject>(&engine_prefs_);
        std::string user;
        reader->get_ProxyUsername(&user);
        EXPECT_EQ(user, "ann");
        int32_t other = 0;
        reader->get_MaxThreads(&other);  // non-proxy reads do not dirty it
    }
    EXPECT_EQ(Read("Proxy", "Server"), "changed.example");
}

}  // namespace
}  // namespace fw
