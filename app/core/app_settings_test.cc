#include "app/core/app_settings.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

TEST(AppSettingsTest, DefaultsForMissingAndEmptyValues) {
    fwtest::TempDir dir;
    const AppSettings settings(dir / "corvalin.ini");
    EXPECT_EQ(settings.HtmlEditor(), "xdg-open");
    EXPECT_TRUE(settings.UseDefaultBrowser());
    EXPECT_EQ(settings.Browser(), "");
    EXPECT_EQ(settings.ProxyServer(), 0);
    EXPECT_FALSE(settings.UseBrowsers());

    fwtest::WriteFile(dir / "corvalin.ini",
                      "[General]\nHTMLEditor=\nUseDefaultBrowser=0\nBrowser=firefox -P x\n"
                      "[Proxy]\nUseBrowsers=1\nProxyServer=3\n");
    EXPECT_EQ(settings.HtmlEditor(), "xdg-open");  // empty means the default too
    EXPECT_FALSE(settings.UseDefaultBrowser());
    EXPECT_EQ(settings.Browser(), "firefox -P x");
    EXPECT_TRUE(settings.UseBrowsers());
    EXPECT_EQ(settings.ProxyServer(), 3);
    settings.SetHtmlEditor("gedit");
    EXPECT_EQ(settings.HtmlEditor(), "gedit");
}

TEST(AppSettingsTest, RecentFilesKeepSixMostRecentFirst) {
    fwtest::TempDir dir;
    const AppSettings settings(dir / "corvalin.ini");
    EXPECT_TRUE(settings.RecentFiles().empty());
    for (int i = 1; i <= 7; ++i) settings.AddRecentFile("/p/" + std::to_string(i) + ".cvn");
    EXPECT_EQ(settings.RecentFiles(),
              (std::vector<std::string>{"/p/7.cvn", "/p/6.cvn", "/p/5.cvn", "/p/4.cvn", "/p/3.cvn",
                                        "/p/2.cvn"}));
    settings.AddRecentFile("/p/4.cvn");  // opened again: to the front, once
    EXPECT_EQ(settings.RecentFiles(),
              (std::vector<std::string>{"/p/4.cvn", "/p/7.cvn", "/p/6.cvn", "/p/5.cvn", "/p/3.cvn",
                                        "/p/2.cvn"}));
    settings.RemoveRecentFile("/p/7.cvn");
    EXPECT_EQ(settings.RecentFiles(), (std::vector<std::string>{"/p/4.cvn", "/p/6.cvn", "/p/5.cvn",
                                                                "/p/3.cvn", "/p/2.cvn"}));
    // Stored as File1..File6 in their own section.
    EXPECT_EQ(settings.profile().GetString("Recent File List", "File1", ""), "/p/4.cvn");
    EXPECT_FALSE(settings.profile().KeyExists("Recent File List", "File6"));
    // A path that cannot be stored is left out rather than breaking the file.
    settings.AddRecentFile("/p/bad\nname.cvn");
    EXPECT_EQ(settings.RecentFiles().front(), "/p/4.cvn");
}

}  // namespace
}  // namespace corvalin
