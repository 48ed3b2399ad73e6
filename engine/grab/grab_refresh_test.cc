// Refreshes against nginx: what a real server answers to conditional
// requests decides what a refresh transfers.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/grab/grab_harness.h"
#include "tests/support/nginx_server.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

class NginxRefreshTest : public fwtest::GrabHarness {
protected:
    void SetUp() override {
        GrabHarness::SetUp();
        if (fwtest::NginxServer::Program().empty()) {
            GTEST_SKIP() << "nginx is not installed (scripts/setup installs nginx-light)";
        }
        const std::string site = dir_ / "site/";
        fwtest::WriteFile(site + "index.html",
                          "<html><head><link rel=\"stylesheet\" href=\"css/one.css\"></head>"
                          "<body><img src=\"img/logo.png\"><a href=\"a.html\">a</a>"
                          "<a href=\"b.html\">b</a></body></html>");
        fwtest::WriteFile(site + "a.html", "<html><body><p>page a</p></body></html>");
        fwtest::WriteFile(site + "b.html", "<html><body><p>page b</p></body></html>");
        fwtest::WriteFile(site + "img/logo.png", "PNG logo");
        fwtest::WriteFile(site + "img/bg.png", "PNG background");
        fwtest::WriteFile(site + "css/one.css",
                          "@import \"two.css\";\nbody { background: url(../img/bg.png) }\n");
        fwtest::WriteFile(site + "css/two.css", "@import \"three.css\";\n");
        fwtest::WriteFile(site + "css/three.css", "h1 { color: red }\n");
        nginx_ = std::make_unique<fwtest::NginxServer>(site, dir_ / "nginx/");
        fs::create_directories(dir_ / "nginx");
        ASSERT_TRUE(nginx_->Start()) << nginx_->ErrorLog();
    }

    std::string Site(const std::string& path) const { return nginx_->BaseUrl() + path; }

    std::unique_ptr<fwtest::NginxServer> nginx_;
};

TEST_F(NginxRefreshTest, AnUnchangedSiteTransfersNoBodyAndADeepChangeArrives) {
    AddStart(Site("/index.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord three = Row(Site("/css/three.css"));
    ASSERT_EQ(three.status, kStatusGrabbed);
    ASSERT_FALSE(Row(Site("/index.html")).etag.empty());  // kept for the next refresh

    // Every URL is asked for conditionally, pages too, with the ETag the
    // server gave; nothing has changed, so no body comes back.
    for (int refresh = 1; refresh <= 2; ++refresh) {
        nginx_->ClearAccesses();
        ASSERT_EQ(engine_->Grab(0, 1), S_OK);
        const auto accesses = nginx_->Accesses();
        // Three pages, three style sheets and two images.
        EXPECT_EQ(accesses.size(), 8u) << "refresh " << refresh;
        for (const auto& access : accesses) {
            EXPECT_EQ(access.status, 304) << access.request;
            EXPECT_EQ(access.body_bytes, 0) << access.request;
            EXPECT_FALSE(access.if_none_match.empty()) << access.request;
        }
    }

    // A change two imports deep is found through the unchanged sheets.
    fwtest::WriteFile(dir_ / "site/css/three.css", "h1 { color: blue }\n");
    fs::last_write_time(dir_ / "site/css/three.css",
                        fs::file_time_type::clock::now() + std::chrono::hours(1));
    nginx_->ClearAccesses();
    ASSERT_EQ(engine_->Grab(0, 1), S_OK);
    const UrlRecord changed = Row(Site("/css/three.css"));
    EXPECT_NE(Stored(changed).find("h1 { color: blue }"), std::string::npos) << Stored(changed);
    EXPECT_EQ(changed.is_new, 1);
    int bodies = 0;
    for (const auto& access : nginx_->Accesses()) bodies += access.status == 200;
    EXPECT_EQ(bodies, 1);
}

}  // namespace
}  // namespace fw
