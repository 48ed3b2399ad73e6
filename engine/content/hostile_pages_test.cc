// Every pass over untrusted pages, fed pages made of random pieces of the
// constructs they look for, cut at random places and mixed with random bytes.
// Nothing may crash or overrun (the sanitizer builds check that); the
// rewriting passes must keep the text that carries no link.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "engine/content/css_links.h"
#include "engine/content/link_extractor.h"
#include "engine/content/link_fixer.h"
#include "engine/content/link_refixer.h"
#include "engine/content/link_test_project.h"

namespace fw {
namespace {

using fwtest::Row;
using fwtest::TestProject;

const char* const kPieces[] = {"<a href=\"",
                               "<a href='",
                               "<a href=",
                               "\"",
                               "'",
                               ">",
                               "<",
                               "</a>",
                               " onclick=\"go('",
                               "javascript:",
                               "#",
                               "x.htm",
                               "../up/",
                               "img/i.gif",
                               "http://h/d/s.htm",
                               "<img src=\"",
                               " alt=\"",
                               "<frame src=\"",
                               "<body background=\"",
                               "<base href=\"http://o/\">",
                               "<meta http-equiv=\"refresh\" content=\"0; url=",
                               "<link type=\"text/css\" href=\"",
                               "<script>",
                               "</script>",
                               "<style>",
                               "<!--",
                               "-->",
                               "<applet code=\"",
                               " codebase=\"",
                               "<object codebase=\"",
                               "<param value=\"a.swf\">",
                               "<form action=\"",
                               "<input src=\"",
                               "url(",
                               ")",
                               "data:image/png;base64,",
                               "&amp;",
                               "&nbsp;",
                               " ",
                               "\n",
                               "\t",
                               "\\",
                               "%20",
                               "%",
                               "mailto:",
                               "tel:",
                               "ftp://f/",
                               "s.htm",
                               "<img srcset=\"",
                               " data-srcset='",
                               " 2x, ",
                               ",",
                               "<video poster=\"",
                               "<source src=\"",
                               "<object data=\"",
                               "<div style=\"",
                               " style='",
                               "<p ",
                               "</style>",
                               "@import \"",
                               "url('",
                               "&quot;",
                               "<link rel=stylesheet href=\""};

std::string RandomPage(std::mt19937& rng) {
    std::string page;
    const int pieces = 1 + rng() % 200;
    for (int i = 0; i < pieces; ++i) {
        if (rng() % 8 == 0) {
            const int bytes = 1 + rng() % 16;
            for (int b = 0; b < bytes; ++b) page.push_back(static_cast<char>(rng() % 256));
        } else {
            page += kPieces[rng() % std::size(kPieces)];
        }
    }
    return page;
}

TEST(HostilePages, EveryPassSurvivesRandomPages) {
    TestProject project;
    const int32_t page = project.Add(Row("http://h/d/p.htm").File("h/d/p.htm"));
    project.Add(Row("http://h/d/s.htm").Level(2).File("h/d/s.htm"));
    project.Add(Row("http://h/d/img/i.gif").MinLevel(1).File("h/d/img/i.gif").Kind(3));
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const std::string text = RandomPage(rng);
        project.Write("in.htm", text);
        {
            auto guard = project.store.Lock();
            ExtractLinks(project.PathOf("in.htm"), page, 1 + round % 3, project.store,
                         "http://h/d/p.htm", 0, 0, {});
            ExtractCssLinks(project.PathOf("in.htm"), page, 1, project.store, "http://h/d/p.htm", 0,
                            0, {});
        }
        ASSERT_TRUE(FixPageFile(project.PathOf("in.htm"), project.PathOf("h/d/p.htm"),
                                project.store, "h/d/p.htm", "http://h/d/p.htm",
                                round % 2 ? "edge.htm" : ""));
        ASSERT_TRUE(RefixPageFile(project.PathOf("h/d/p.htm"), project.store, project.data_dir()));
        ASSERT_TRUE(RestorePageFile(project.PathOf("h/d/p.htm"), project.PathOf("copy.htm"),
                                    project.store, project.data_dir(), "http://h/d/p.htm"));
        ASSERT_TRUE(FixCssFile(project.PathOf("in.htm"), project.PathOf("out.css"), project.store,
                               "h/d/out.css", "http://h/d/p.htm"));
    }
}

TEST(HostilePages, TextWithoutLinksPassesThroughUnchanged) {
    TestProject project;
    project.Add(Row("http://h/d/p.htm").File("h/d/p.htm"));
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        // Random bytes that can open no construct.
        std::string text;
        const int bytes = rng() % 5000;
        for (int b = 0; b < bytes; ++b) {
            char c = static_cast<char>(rng() % 256);
            text.push_back(c == '<' || c == '>' ? '.' : c);
        }
        project.Write("in.htm", text);
        ASSERT_TRUE(FixPageFile(project.PathOf("in.htm"), project.PathOf("h/d/p.htm"),
                                project.store, "h/d/p.htm", "http://h/d/p.htm", ""));
        ASSERT_EQ(project.Read("h/d/p.htm"), FixedPageHeader("http://h/d/p.htm") + text);
        ASSERT_TRUE(RefixPageFile(project.PathOf("in.htm"), project.store, project.data_dir()));
        ASSERT_EQ(project.Read("in.htm"), text);
    }
}

}  // namespace
}  // namespace fw
