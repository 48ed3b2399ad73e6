#include "engine/support/engine_preferences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "platform/file_ops.h"
#include "platform/profile_file.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;

class EnginePreferencesTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::string path_ = dir_ / "corvalin.ini";
    EnginePreferences prefs_{path_};
    platform::ProfileFile file_{path_};
};

TEST_F(EnginePreferencesTest, DefaultsWithoutASettingsFile) {
    EXPECT_FALSE(prefs_.UseDialUp());
    EXPECT_EQ(prefs_.DialUpEntry(), "");
    EXPECT_EQ(prefs_.DialUpUserName(), "");
    EXPECT_EQ(prefs_.DialUpPassword(), "");
    EXPECT_EQ(prefs_.DialUpDomain(), "*");
    EXPECT_EQ(prefs_.DialUpRetries(), 2);
    EXPECT_EQ(prefs_.UserAgent(), "");
    EXPECT_EQ(prefs_.MaxThreads(), 8);
    EXPECT_EQ(prefs_.MaxThreadsPerServer(), 2);
    EXPECT_EQ(prefs_.Retries(), 2);
    EXPECT_EQ(prefs_.PercentMaxThreads(), 50);
    EXPECT_FALSE(prefs_.AllowUntrustedCertificates());
    EXPECT_FALSE(prefs_.UseTimeLimit());
    EXPECT_EQ(prefs_.LimitMinutes(), 0);
    EXPECT_EQ(prefs_.LimitHours(), 0);
    EXPECT_FALSE(prefs_.UseByteLimit());
    EXPECT_EQ(prefs_.LimitKiloBytes(), 0);
    EXPECT_EQ(prefs_.LimitResponseKiloBytes(), 1048576);  // 1 GiB
    EXPECT_EQ(prefs_.FileFlags(), 4);
    std::set<std::string> scripts, pages;
    prefs_.ReadScriptExtensions(&scripts);
    prefs_.ReadScriptExtensionsHtml(&pages);
    EXPECT_EQ(scripts, (std::set<std::string>{"gif", "jpg", "htm", "html", "js", "swf", "class",
                                              "xml", "jar", "asp", "pl", "cfm", "css"}));
    EXPECT_EQ(pages, (std::set<std::string>{"htm", "html", "asp", "pl", "cfm"}));
    EXPECT_FALSE(platform::FileExists(path_));  // reading never creates the file
}

TEST_F(EnginePreferencesTest, EverySetterWritesItsOwnKey) {
    struct Case {
        const char* section;
        const char* key;
        std::function<void()> set;
        std::string stored;
    } cases[] = {
        {"DialUp", "Use", [&] { prefs_.SetUseDialUp(true); }, "1"},
        {"DialUp", "Entry", [&] { prefs_.SetDialUpEntry("Office"); }, "Office"},
        {"DialUp", "UserName", [&] { prefs_.SetDialUpUserName("dan"); }, "dan"},
        {"DialUp", "Password", [&] { prefs_.SetDialUpPassword("pw"); }, "pw"},
        {"DialUp", "Domain", [&] { prefs_.SetDialUpDomain("CORP"); }, "CORP"},
        {"DialUp", "Retries", [&] { prefs_.SetDialUpRetries(5); }, "5"},
        {"Browser", "UserAgent", [&] { prefs_.SetUserAgent("Agent/2"); }, "Agent/2"},
        {"Network", "MaxThreads", [&] { prefs_.SetMaxThreads(16); }, "16"},
        {"Network", "MaxThreadsPerServer", [&] { prefs_.SetMaxThreadsPerServer(3); }, "3"},
        {"Network", "Retries", [&] { prefs_.SetRetries(0); }, "0"},
        {"Network", "PercentMaxThreads", [&] { prefs_.SetPercentMaxThreads(75); }, "75"},
        {"Network", "AllowUntrustedCertificates",
         [&] { prefs_.SetAllowUntrustedCertificates(true); }, "1"},
        {"Limits", "TimeLimit", [&] { prefs_.SetUseTimeLimit(true); }, "1"},
        {"Limits", "Minutes", [&] { prefs_.SetLimitMinutes(30); }, "30"},
        {"Limits", "Hours", [&] { prefs_.SetLimitHours(-1); }, "-1"},
        {"Limits", "ByteLimit", [&] { prefs_.SetUseByteLimit(false); }, "0"},
        {"Limits", "Bytes", [&] { prefs_.SetLimitKiloBytes(100); }, "100"},
        {"Limits", "ResponseBytes", [&] { prefs_.SetLimitResponseKiloBytes(0); }, "0"},
        {"Data", "FileFlags", [&] { prefs_.SetFileFlags(12); }, "12"},
    };
    for (const Case& c : cases) {
        c.set();
        EXPECT_EQ(file_.ReadString(c.section, c.key, "<absent>"), c.stored) << c.section << "/" << c.key;
    }
    EXPECT_TRUE(prefs_.UseDialUp());
    EXPECT_EQ(prefs_.DialUpRetries(), 5);
    EXPECT_EQ(prefs_.MaxThreads(), 16);
    EXPECT_EQ(prefs_.LimitHours(), -1);
    EXPECT_EQ(prefs_.LimitKiloBytes(), 100);
    EXPECT_EQ(prefs_.FileFlags(), 12);
}

TEST_F(EnginePreferencesTest, ReadsWhatOthersWrote) {
    file_.WriteString("Limits", "TimeLimit", std::string("7"));  // any non-zero is true
    file_.WriteString("Network", "MaxThreads", std::string("12 threads"));
    file_.WriteString("Network", "PercentMaxThreads", std::string("99999999999"));
    file_.WriteString("Browser", "UserAgent", std::string(1500, 'u'));
    EXPECT_TRUE(prefs_.UseTimeLimit());
    EXPECT_EQ(prefs_.MaxThreads(), 12);
    EXPECT_EQ(prefs_.PercentMaxThreads(), INT32_MAX);
    EXPECT_EQ(prefs_.UserAgent(), std::string(1022, 'u'));
}

TEST(EnginePreferencesListTest, SplitsAtCommasKeepingCaseAndCountingRepeatsOnce) {
    struct Case {
        std::string value;
        std::set<std::string> items;
    } cases[] = {
        {"htm,HTM,htm", {"htm", "HTM"}},
        {"a, b", {"a", " b"}},  // items are taken as written
        {"a,,b,", {"a", "b"}},
        {"", {}},
        {"x," + std::string(127, 'y') + ",z", {"x", std::string(127, 'y'), "z"}},
        {"x," + std::string(128, 'y') + ",z", {"x"}},  // a longer item ends the list
    };
    for (const Case& c : cases) {
        std::set<std::string> items;
        EnginePreferences::SplitList(c.value, &items);
        EXPECT_EQ(items, c.items) << c.value;
    }
}

TEST(EnginePreferencesPathTest, DefaultsToTheProgramSettingsFile) {
    TempDir home;
    const char* old = std::getenv("CORVALIN_HOME");
    std::string saved = old ? old : "";
    ::setenv("CORVALIN_HOME", home.path().c_str(), 1);
    EnginePreferences prefs;
    EXPECT_EQ(prefs.settings_path(), home / "corvalin.ini");
    prefs.SetMaxThreads(3);
    if (old) ::setenv("CORVALIN_HOME", saved.c_str(), 1);
    else ::unsetenv("CORVALIN_HOME");
    // The path was fixed at first use.
    EXPECT_EQ(prefs.settings_path(), home / "corvalin.ini");
    EXPECT_EQ(prefs.MaxThreads(), 3);
}

TEST_F(EnginePreferencesTest, OverridesAnswerForTheFileWithoutWritingIt) {
    file_.WriteInt("Network", "MaxThreads", 6);
    ASSERT_TRUE(prefs_.SetOverride("network", "MAXTHREADS", "3"));
    ASSERT_TRUE(prefs_.SetOverride("Limits", "TimeLimit", "1"));
    ASSERT_TRUE(prefs_.SetOverride("Browser", "UserAgent", "Probe/2"));
    EXPECT_EQ(prefs_.MaxThreads(), 3);
    EXPECT_TRUE(prefs_.UseTimeLimit());
    EXPECT_EQ(prefs_.UserAgent(), "Probe/2");
    EXPECT_EQ(prefs_.MaxThreadsPerServer(), 2);  // keys without an override read the file
    // The file still holds what the user stored, and another reader sees that.
    EXPECT_EQ(file_.ReadInt32("Network", "MaxThreads", 0), 6);
    EXPECT_EQ(file_.ReadText("Limits", "TimeLimit", "absent"), "absent");
    EXPECT_EQ(EnginePreferences(path_).MaxThreads(), 6);

    ASSERT_TRUE(prefs_.SetOverride("Network", "MaxThreads", ""));  // empty removes it
    EXPECT_EQ(prefs_.MaxThreads(), 6);
    prefs_.ClearOverrides();
    EXPECT_FALSE(prefs_.UseTimeLimit());
    EXPECT_EQ(prefs_.UserAgent(), "");

    EXPECT_FALSE(prefs_.SetOverride("", "MaxThreads", "1"));
    EXPECT_FALSE(prefs_.SetOverride("Network", "", "1"));
    EXPECT_FALSE(prefs_.SetOverride("Network", std::string(65, 'K'), "1"));
}

}  // namespace
}  // namespace fw
