// Exports of a grabbed site: what an exported page or tree shows must be in
// the export folder, whatever level it was first found at.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "engine/grab/grab_harness.h"

namespace fw {
namespace {

namespace fs = std::filesystem;
using fwtest::Response;

class ExportTest : public fwtest::GrabHarness {
protected:
    void SetUp() override {
        GrabHarness::SetUp();
        // The start page shows the style sheet and the logo first; the
        // section page, a level deeper, shows them too, with an image of its
        // own and a file it links to.
        server_->Script("/index.html",
                        Response::Html("<html><head><link rel=\"stylesheet\" href=\"style.css\">"
                                       "</head><body><img src=\"logo.png\">"
                                       "<a href=\"sub/page.html\">section</a></body></html>"));
        server_->Script("/sub/page.html",
                        Response::Html("<html><head><link rel=\"stylesheet\" href=\"../style.css\">"
                                       "</head><body><img src=\"../logo.png\"><img src=\"own.png\">"
                                       "<a href=\"../index.html\">home</a></body></html>"));
        server_->Script("/style.css",
                        Response::Text("text/css", "@import \"more.css\";\n"
                                                   "body { background: url(bg.png) }\n"));
        server_->Script("/more.css",
                        Response::Text("text/css", "@font-face { src: url(font.woff2) }\n"
                                                   "h1 { background: url(deep/h1.png) }\n"));
        for (const char* image : {"/logo.png", "/bg.png", "/deep/h1.png", "/sub/own.png"}) {
            server_->Script(image, Response::Text("image/png", std::string("PNG ") + image));
        }
        server_->Script("/font.woff2", Response::Text("font/woff2", "wOF2"));
        start_ = AddStart(Url("/index.html"), 3);
        ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    }

    // The references an exported page or style sheet makes to what it
    // shows (not the links to other pages), each resolved to the file it
    // names in the export, missing ones listed.
    std::vector<std::string> MissingRequisites(const std::string& dir) {
        const std::regex page_refs(R"((?:src\s*=\s*"|<link[^>]*href\s*=\s*")([^"#:]+))",
                                   std::regex::icase);
        const std::regex sheet_refs(R"((?:url\(\s*["']?|@import\s+["'])([^"')#:]+))",
                                    std::regex::icase);
        std::vector<std::string> missing;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            const std::string ext = entry.path().extension().string();
            const bool page = ext == ".html" || ext == ".htm";
            if (!page && ext != ".css") continue;
            const std::string text = fwtest::ReadFile(entry.path().string());
            const std::regex& refs = page ? page_refs : sheet_refs;
            for (std::sregex_iterator it(text.begin(), text.end(), refs), end; it != end; ++it) {
                const fs::path target = entry.path().parent_path() / (*it)[1].str();
                if (!fs::exists(target)) {
                    missing.push_back(fs::relative(entry.path(), dir).string() + " -> " +
                                      (*it)[1].str());
                }
            }
        }
        return missing;
    }

    int32_t start_ = 0;
};

TEST_F(ExportTest, APageBringsEverythingItShowsThroughItsStyleSheets) {
    const std::string dir = dir_ / "export-page/";
    ASSERT_EQ(engine_->ExportPage(start_, dir), S_OK);
    EXPECT_EQ(MissingRequisites(dir), std::vector<std::string>{});
    for (const char* url : {"/more.css", "/font.woff2", "/deep/h1.png", "/bg.png"}) {
        EXPECT_TRUE(fs::exists(dir + Row(Url(url)).file)) << url;
    }
    EXPECT_FALSE(fs::exists(dir + Row(Url("/sub/page.html")).file));  // a page, not a requisite
}

TEST_F(ExportTest, ATreeBringsTheRequisitesItsPagesShareWithTheRestOfTheSite) {
    const std::string dir = dir_ / "export-tree/";
    ASSERT_EQ(engine_->ExportTree(IdOf(Url("/sub/page.html")), dir), S_OK);
    EXPECT_TRUE(fs::exists(dir + Row(Url("/sub/page.html")).file));
    EXPECT_TRUE(fs::exists(dir + Row(Url("/style.css")).file));
    EXPECT_TRUE(fs::exists(dir + Row(Url("/logo.png")).file));
    EXPECT_EQ(MissingRequisites(dir), std::vector<std::string>{});

    const std::string all = dir_ / "export-all/";
    ASSERT_EQ(engine_->ExportTree(0, all), S_OK);
    EXPECT_EQ(MissingRequisites(all), std::vector<std::string>{});
}

}  // namespace
}  // namespace fw
