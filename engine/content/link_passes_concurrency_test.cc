#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/content/css_links.h"
#include "engine/content/link_extractor.h"
#include "engine/content/link_fixer.h"
#include "engine/content/link_test_project.h"

namespace fw {
namespace {

using fwtest::Row;
using fwtest::TestProject;

// Fetch threads parse and fix their pages at the same time against one
// project: parsing holds the store lock for a whole page, fixing takes it per
// lookup, and each pass keeps its state to itself.
TEST(LinkPasses, PagesOfManyThreadsAreParsedAndFixedAlongsideEachOther) {
    TestProject project;
    constexpr int kThreads = 4;
    constexpr int kPages = 15;
    std::vector<int32_t> pages;
    for (int t = 0; t < kThreads; ++t) {
        for (int p = 0; p < kPages; ++p) {
            const std::string name = "t" + std::to_string(t) + "p" + std::to_string(p);
            pages.push_back(
                project.Add(Row("http://h/" + name + ".htm").File("h/" + name + ".htm")));
            project.Write("in/" + name + ".htm", "<a href=\"shared.htm\">s</a><a href=\"" + name +
                                                     "-child.htm\">c</a>"
                                                     "<img src=\"img/" +
                                                     name +
                                                     ".gif\"><script>x = 'page.htm';</script>");
            project.Write("in/" + name + ".css", "a { b: url(img/" + name + ".gif) }\n");
        }
    }
    project.Add(Row("http://h/shared.htm").Level(2).File("h/shared.htm"));

    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int p = 0; p < kPages; ++p) {
                const std::string name = "t" + std::to_string(t) + "p" + std::to_string(p);
                const std::string url = "http://h/" + name + ".htm";
                {
                    auto guard = project.store.Lock();
                    const auto pending =
                        ExtractLinks(project.PathOf("in/" + name + ".htm"), pages[t * kPages + p],
                                     3, project.store, url, 0, 0, {});
                    if (pending.size() != 4) ++failures[t];
                    ExtractCssLinks(project.PathOf("in/" + name + ".css"), pages[t * kPages + p], 3,
                                    project.store, url, 0, 0, {});
                }
                if (!FixPageFile(project.PathOf("in/" + name + ".htm"),
                                 project.PathOf("h/" + name + ".htm"), project.store,
                                 "h/" + name + ".htm", url, "")) {
                    ++failures[t];
                }
                if (project.Read("h/" + name + ".htm") !=
                    FixedPageHeader(url) + "<a href=\"shared.htm\">s</a><a href=\"http://h/" +
                        name + "-child.htm\">c</a><img src=\"http://h/img/" + name +
                        ".gif\"><script>x = 'page.htm';</script>") {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
    EXPECT_GT(project.store.FindByUrl("http://h/t3p14-child.htm"), 0);
}

}  // namespace
}  // namespace fw
