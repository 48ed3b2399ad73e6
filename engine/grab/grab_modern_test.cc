// A whole grab of a site written the way sites are written today: responsive
// images, media, style sheets linked without a type, minified style sheets,
// @import, <style> blocks and style attributes. Every file of the site must
// be saved, and every reference in the saved pages and style sheets must lead
// to one of the saved files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine/grab/grab_harness.h"

namespace fw {
namespace {

const std::string kSiteRoot = std::string(FW_SOURCE_DIR) + "/tests/fixtures/modern";

// The site's files, as paths below its root ("css/site.css").
std::set<std::string> SiteFiles() {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSiteRoot)) {
        if (entry.is_regular_file()) {
            files.insert(std::filesystem::relative(entry.path(), kSiteRoot).generic_string());
        }
    }
    return files;
}

// Every reference a page or style sheet makes, found with patterns of this
// test's own: link attributes, srcset candidates, url(...) and @import names.
std::vector<std::string> References(const std::string& text, bool page) {
    std::vector<std::string> refs;
    const auto collect = [&](const std::regex& pattern, auto take) {
        for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
            take(*it);
        }
    };
    if (page) {
        static const std::regex attribute(
            R"re((?:^|[\s<])(?:href|src|data-src|poster|data)\s*=\s*(?:"([^"]*)"|'([^']*)'))re",
            std::regex::icase);
        collect(attribute, [&](const std::smatch& m) {
            refs.push_back(m[1].matched ? m[1].str() : m[2].str());
        });
        static const std::regex srcset(R"re((?:^|\s)(?:data-)?srcset\s*=\s*"([^"]*)")re",
                                       std::regex::icase);
        static const std::regex candidate(R"re(\s*([^\s,]+)[^,]*,?)re");
        collect(srcset, [&](const std::smatch& m) {
            const std::string value = m[1].str();
            for (std::sregex_iterator c(value.begin(), value.end(), candidate), end; c != end;
                 ++c) {
                refs.push_back((*c)[1].str());
            }
        });
    }
    static const std::regex url(R"re(url\(\s*["']?([^"')]*))re", std::regex::icase);
    collect(url, [&](const std::smatch& m) { refs.push_back(m[1].str()); });
    static const std::regex import(R"re(@import\s*["']([^"']*))re", std::regex::icase);
    collect(import, [&](const std::smatch& m) { refs.push_back(m[1].str()); });
    return refs;
}

bool IsInline(const std::string& ref) {
    return ref.starts_with("data:") || ref.starts_with('#');
}

// `path` with "%XX" decoded, as a browser reads a file link.
std::string Unescaped(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            out += static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += path[i];
        }
    }
    return out;
}

// Whole file text after its first `lines` lines (the header a fix writes).
std::string WithoutHeader(const std::string& text, int lines) {
    size_t pos = 0;
    for (int i = 0; i < lines && pos != std::string::npos; ++i) {
        pos = text.find('\n', pos);
        if (pos != std::string::npos) ++pos;
    }
    return pos == std::string::npos ? std::string() : text.substr(pos);
}

class ModernSiteTest : public fwtest::GrabHarness, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        GrabHarness::SetUp();
        server_ = std::make_unique<fwtest::TestWebServer>(kSiteRoot);
        ASSERT_TRUE(server_->Start());
    }
};

// With the default layout (4) every file lands in one directory, so a
// reference left as the site wrote it names no saved file; with 6 the site's
// directories are kept and references climb out of them.
TEST_P(ModernSiteTest, EverythingIsSavedAndEveryReferenceLeadsToASavedFile) {
    Setting("Data", "FileFlags", std::to_string(GetParam()));
    AddStart(Url("/index.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);

    // Each file of the site is saved, as served; nothing else was asked for
    // (a reference read wrongly would show as a row for a missing file).
    std::set<std::string> expected;
    for (const std::string& file : SiteFiles()) {
        expected.insert(Url("/" + file));
        const UrlRecord row = Row(Url("/" + file));
        SCOPED_TRACE(file);
        EXPECT_EQ(row.status, kStatusGrabbed);
        EXPECT_EQ(row.error, 0);
        ASSERT_FALSE(row.file.empty());
        if (file.ends_with(".css")) {
            EXPECT_EQ(row.kind, kKindCss);
        } else if (!file.ends_with(".html")) {
            EXPECT_EQ(Stored(row), fwtest::ReadFile(kSiteRoot + "/" + file));
        }
    }
    std::set<std::string> rows;
    engine_->store().ForEachUrl([&](const UrlRecord& row) {
        rows.insert(row.url);
        return true;
    });
    EXPECT_EQ(rows, expected);

    // Every reference of every saved page and style sheet names a saved file,
    // and as many references are there as the site's own file has.
    engine_->store().ForEachUrl([&](const UrlRecord& row) {
        if (row.kind != kKindHtml && row.kind != kKindCss) return true;
        SCOPED_TRACE(row.url);
        const bool page = row.kind == kKindHtml;
        const std::string body = WithoutHeader(Stored(row), page ? 2 : 1);
        EXPECT_EQ(body.find(server_->BaseUrl()), std::string::npos) << "still refers to the web";
        const std::string original =
            fwtest::ReadFile(kSiteRoot + row.url.substr(server_->BaseUrl().size()));
        const std::vector<std::string> refs = References(body, page);
        EXPECT_EQ(refs.size(), References(original, page).size());
        const std::filesystem::path dir =
            std::filesystem::path(engine_->data_dir() + row.file).parent_path();
        for (const std::string& ref : refs) {
            if (IsInline(ref)) continue;
            EXPECT_EQ(ref.find("://"), std::string::npos) << ref;
            EXPECT_TRUE(std::filesystem::is_regular_file(dir / Unescaped(ref))) << ref;
        }
        return true;
    });
}

INSTANTIATE_TEST_SUITE_P(Layouts, ModernSiteTest, ::testing::Values(4, 6));

}  // namespace
}  // namespace fw
