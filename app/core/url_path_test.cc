#include "app/core/url_path.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(UrlPathTest, LocalCopyOnlyForGrabbedUrls) {
    const std::string src = "/p/news/src/";
    const std::string url = "http://h/a.html";
    struct Case {
        int32_t status;
        int32_t error;
        const char* file;
        const char* local;
        const char* local_file;
    } cases[] = {
        {71, 0, "h/a.html", "/p/news/src/h/a.html", "/p/news/src/h/a.html"},
        {71, 404, "h/a.html", "/p/news/src/h/a.html", "/p/news/src/h/a.html"},  // saved error page
        {71, 1001, "h/a.html", "http://h/a.html", ""},                          // connection failed
        {70, 0, "h/a.html", "http://h/a.html", ""},  // fetched, not fixed yet
        {0, 0, "", "http://h/a.html", ""},
        {71, 0, "", "http://h/a.html", ""},  // grabbed but nothing stored
    };
    for (const auto& c : cases) {
        const UrlFacts facts{c.status, c.error, c.file, url};
        EXPECT_EQ(UrlPath(UrlPathKind::kLocal, facts, src), c.local) << c.status << "/" << c.error;
        EXPECT_EQ(UrlPath(UrlPathKind::kLocalFile, facts, src), c.local_file);
        EXPECT_EQ(UrlPath(UrlPathKind::kRemote, facts, src), url);
    }
}

}  // namespace
}  // namespace corvalin
