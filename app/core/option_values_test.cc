#include "app/core/option_values.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/core/engine_fixture.h"
#include "platform/program_home.h"

namespace corvalin {
namespace {

// The engine's preferences live in the test binary's private program home,
// shared by every test of the binary: the settings file is removed before
// and after each test, so a proxy or a limit stored here never reaches
// another test's grab.
class OptionValuesTest : public EngineFixture {
  protected:
    void SetUp() override {
        std::filesystem::remove(platform::SettingsFilePath());
        EngineFixture::SetUp();
    }
    void TearDown() override {
        EngineFixture::TearDown();
        std::filesystem::remove(platform::SettingsFilePath());
    }

    fw::ComPtr<fw::IDizozizPrefs> Prefs() {
        fw::ComPtr<fw::IDizozizPrefs> prefs;
        EXPECT_EQ(engine_->Preferences(prefs.Receive()), fw::S_OK);
        return prefs;
    }

    GrabbingOptions ReadGrabbing() {
        GrabbingOptions options;
        EXPECT_EQ(ReadGrabbingOptions(Prefs().get(), &options), fw::S_OK);
        return options;
    }

    AppSettings settings_{(dir_ / "corvalin.ini")};
};

TEST_F(OptionValuesTest, GrabbingLimitsAreStoredOnlyWhenOnAndTheFieldsShowThem) {
    {
        fw::ComPtr<fw::IDizozizPrefs> prefs = Prefs();
        prefs->put_LimitHours(1);
        prefs->put_LimitMinutes(0);
        prefs->put_LimitKiloBytes(0);
        prefs->put_FileFlags(4);
    }
    GrabbingOptions options = ReadGrabbing();
    EXPECT_EQ(options.hours, "1");  // one part above 0: both shown
    EXPECT_EQ(options.minutes, "0");
    EXPECT_EQ(options.kilobytes, "");
    EXPECT_EQ(options.file_flags, kDomainDirectory);

    // Byte limit on with 100 KB, time limit off: hours and minutes stay.
    options.max_threads = 6;
    options.max_threads_per_server = 3;
    options.retries = 1;
    options.use_byte_limit = true;
    options.kilobytes = "100";
    options.use_time_limit = false;
    options.hours = "9";
    options.file_flags = kShortFileNames | kSiteStructure | 8 | 64;  // foreign bits
    options.user_agent = "Corvalin-Test/1";
    ASSERT_EQ(WriteGrabbingOptions(Prefs().get(), options), fw::S_OK);
    const GrabbingOptions stored = ReadGrabbing();
    EXPECT_EQ(stored.max_threads, 6);
    EXPECT_EQ(stored.max_threads_per_server, 3);
    EXPECT_EQ(stored.retries, 1);
    EXPECT_TRUE(stored.use_byte_limit);
    EXPECT_EQ(stored.kilobytes, "100");
    EXPECT_FALSE(stored.use_time_limit);
    EXPECT_EQ(stored.hours, "1");
    EXPECT_EQ(stored.minutes, "0");
    EXPECT_EQ(stored.user_agent, "Corvalin-Test/1");
    int32_t flags = 0;
    Prefs()->get_FileFlags(&flags);
    EXPECT_EQ(flags, kShortFileNames | kSiteStructure);

    // The time limit on: one hour and no minutes is a limit that can be kept.
    options.use_time_limit = true;
    options.hours = "2";
    options.minutes = "";
    ASSERT_EQ(WriteGrabbingOptions(Prefs().get(), options), fw::S_OK);
    int32_t hours = 0, minutes = -1, use = 0;
    fw::ComPtr<fw::IDizozizPrefs> prefs = Prefs();
    prefs->get_UseTimeLimit(&use);
    prefs->get_LimitHours(&hours);
    prefs->get_LimitMinutes(&minutes);
    EXPECT_EQ(use, 1);
    EXPECT_EQ(hours, 2);
    EXPECT_EQ(minutes, 0);
}

TEST(OptionValuesRulesTest, TheGrabbingPageIsLeftOnlyWithUsableLimits) {
    struct Case {
        bool bytes;
        const char* kilobytes;
        bool time;
        const char* hours;
        const char* minutes;
        bool can_leave;
    } cases[] = {
        {false, "", false, "", "", true},
        {true, "", false, "", "", false},  // byte limit on, nothing typed
        {true, "0", false, "", "", false},
        {true, "-4", false, "", "", false},
        {true, "100", false, "", "", true},
        {true, "abc", false, "", "", false},
        {false, "", true, "", "", false},  // no time at all
        {false, "", true, "0", "0", false},
        {false, "", true, "0", "", false},
        {false, "", true, "1", "0", true},  // one part may be 0
        {false, "", true, "", "30", true},
        {false, "", true, "1", "30", true},
        {false, "", true, "-1", "30", false},
        {false, "", true, "1", "x", false},
        {false, "junk", false, "junk", "", true},  // fields of a limit that is off
    };
    for (const Case& c : cases) {
        GrabbingOptions options;
        options.use_byte_limit = c.bytes;
        options.kilobytes = c.kilobytes;
        options.use_time_limit = c.time;
        options.hours = c.hours;
        options.minutes = c.minutes;
        EXPECT_EQ(GrabbingOptionsCanLeave(options), c.can_leave)
            << c.kilobytes << " " << c.hours << ":" << c.minutes;
    }
}

TEST_F(OptionValuesTest, ProxyKindsStoreTheirPositionAndProtocol) {
    constexpr int32_t kProtocols[] = {1, 2, 3, 1, 2, 1, 3};
    for (int kind = 0; kind < kProxyKindCount; ++kind) {
        ProxyOptions options;
        options.kind = kind;
        options.use_proxy = true;
        options.server = "proxy.example";
        options.port = 3128;
        options.user = "ann";
        options.password = "pw";
        ASSERT_EQ(WriteProxyOptions(settings_, Prefs().get(), options), fw::S_OK);
        EXPECT_EQ(settings_.ProxyServer(), kind + 1);
        int32_t type = 0;
        Prefs()->get_ProxyType(&type);
        EXPECT_EQ(type, kProtocols[kind]) << kind;
        ProxyOptions read;
        ASSERT_EQ(ReadProxyOptions(settings_, Prefs().get(), &read), fw::S_OK);
        EXPECT_EQ(read.kind, kind);
        EXPECT_TRUE(read.use_proxy);
        EXPECT_EQ(read.server, "proxy.example");
        EXPECT_EQ(read.port, 3128);
        EXPECT_EQ(read.user, "ann");
        EXPECT_EQ(read.password, "pw");
    }
    EXPECT_STREQ(kProxyKinds[4].name, "Microsoft SOCKS Proxy Server");

    // No stored kind, or one outside the list, shows the first kind; the
    // engine's own protocol is not consulted.
    for (int stored : {0, 9, -1}) {
        settings_.SetProxyServer(stored);
        ProxyOptions read;
        ASSERT_EQ(ReadProxyOptions(settings_, Prefs().get(), &read), fw::S_OK);
        EXPECT_EQ(read.kind, 0) << stored;
    }
}

TEST(OptionValuesRulesTest, ProxyControlsFollowTheSwitchesAndTheProtocol) {
    struct Case {
        bool browsers, use;
        int kind;
        ProxyControlStates states;
    } cases[] = {
        {true, true, 0, {false, false, false, false}},
        {false, false, 0, {true, false, false, false}},
        {false, true, 0, {true, true, true, true}},   // HTTP
        {false, true, 1, {true, true, true, false}},  // SOCKS v4: no password
        {false, true, 2, {true, true, true, true}},   // SOCKS v5
        {false, true, 4, {true, true, true, false}},  // Microsoft SOCKS (v4)
        {false, true, 6, {true, true, true, true}},
    };
    for (const Case& c : cases) {
        const ProxyControlStates s = ProxyControlStatesFor(c.browsers, c.use, c.kind);
        EXPECT_EQ(s.enable_proxy, c.states.enable_proxy) << c.kind;
        EXPECT_EQ(s.server, c.states.server) << c.kind;
        EXPECT_EQ(s.user, c.states.user) << c.kind;
        EXPECT_EQ(s.password, c.states.password) << c.kind;
    }
}

TEST_F(OptionValuesTest, GeneralOptionsFallBackToTheDefaultBrowserWithoutOne) {
    struct Case {
        bool use_default;
        const char* browser;
        bool stored_default;
    } cases[] = {{false, "", true}, {false, "firefox", false}, {true, "firefox", true}};
    for (const Case& c : cases) {
        GeneralOptions options;
        options.use_default_browser = c.use_default;
        options.browser = c.browser;
        options.html_editor = "gedit";
        ASSERT_TRUE(WriteGeneralOptions(settings_, options));
        const GeneralOptions read = ReadGeneralOptions(settings_);
        EXPECT_EQ(read.use_default_browser, c.stored_default) << c.browser;
        EXPECT_EQ(read.browser, c.browser);
        EXPECT_EQ(read.html_editor, "gedit");
    }
}

}  // namespace
}  // namespace corvalin
