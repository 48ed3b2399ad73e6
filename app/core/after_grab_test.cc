#include "app/core/after_grab.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(AfterGrabTest, PlaceholdersAreFilledInOrder) {
    RunCommandValues v;
    v.content_dir = "/home/me/sites/news/src/";
    v.program_dir = "/home/me/.config/corvalin/";
    v.project_file = "/home/me/sites/news.cvn";
    v.shell = "/bin/sh -c";
    struct Case {
        const char* browser;
        const char* run_cmd;
        const char* command;
    } cases[] = {
        // The default: the contents page itself, no leading blank.
        {"", "%b %dcontents.htm", "/home/me/sites/news/src/contents.htm"},
        {"firefox -P work", "%b %dcontents.htm",
         "firefox -P work /home/me/sites/news/src/contents.htm"},
        {"", "%c %iafter.sh %f %g", "/bin/sh -c /home/me/.config/corvalin/after.sh news.cvn news"},
        {"", "  %d%d  ", "/home/me/sites/news/src//home/me/sites/news/src/"},
        {"", "100%% done %x", "100%% done %x"},
    };
    for (const auto& c : cases) {
        v.browser = c.browser;
        EXPECT_EQ(ExpandRunCommand(c.run_cmd, v), c.command) << c.run_cmd;
    }
    // %g drops only the last extension; a value is expanded by the steps
    // that follow it.
    v.project_file = "/p/site.v2.cvn";
    v.browser = "%g-viewer";
    EXPECT_EQ(ExpandRunCommand("%b %g", v), "site.v2-viewer site.v2");
}

}  // namespace
}  // namespace corvalin
