#include "engine/content/local_path.h"

#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

// Chooses a path for `url` the way the pipeline does (under the lock, then
// creating the file; with `reserve`, both in one step) and returns it
// relative to the data directory.
std::string Store(const fwtest::TempDir& data, const std::string& url, unsigned flags,
                  bool reserve = false) {
    FileNameLock lock;
    std::string path = "unchanged";
    platform::UniqueFd file;
    bool ok = MakeLocalPath(lock, url, data.path(), flags, &path, reserve ? &file : nullptr);
    EXPECT_TRUE(ok) << url;
    if (!ok || path.empty()) return ok ? "" : "failed";
    EXPECT_EQ(path.rfind(data.path(), 0), 0u) << path;
    if (reserve) {
        EXPECT_TRUE(file.ok()) << path;
        EXPECT_EQ(platform::FileSize(path), 0) << path;
    } else {
        EXPECT_TRUE(platform::OpenCreatingDirectories(path)) << path;
    }
    return path.substr(data.path().size());
}

std::string Choose(const fwtest::TempDir& data, const std::string& url, unsigned flags,
                   bool reserve) {
    FileNameLock lock;
    std::string path;
    platform::UniqueFd file;
    EXPECT_TRUE(ChooseLocalPath(lock, url, data.path(), flags, &path, reserve ? &file : nullptr))
        << url;
    if (reserve) {
        EXPECT_TRUE(file.ok()) << path;
    } else {
        EXPECT_TRUE(platform::OpenCreatingDirectories(path)) << path;
    }
    return path.substr(data.path().size());
}

// Each naming test runs twice: looking for a free name and then creating
// the file, and reserving the name by creating it.
class NamingTest : public ::testing::TestWithParam<bool> {
  protected:
    bool reserve() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(ProbeOrReserve, NamingTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Reserve" : "Probe"; });

struct LayoutCase {
    unsigned flags;
    const char* url;
    const char* path;  // relative to the data directory
};

TEST_P(NamingTest, LaysOutOneUrlByFlags) {
    const LayoutCase cases[] = {
        {4, "http://h/dir/page.html", "h/page.html"},
        {8, "http://h/dir/page.html", "h/page.html"},
        {0, "http://h/dir/page.html", "page.html"},
        {2, "http://h/a/b/c.htm", "a/b/c.htm"},
        {6, "http://h/a/b/c.htm", "h/a/b/c.htm"},
        {4, "http://www.example.com/a.htm", "example.com/a.htm"},
        {4, "http://WWW.example.com/a.htm", "WWW.example.com/a.htm"},
        {4, "http://h:8080/a.htm", "h/a.htm"},
        {4, "http://user:secret@h/a.htm", "h/a.htm"},  // never the user
        {4, "http://xn--mnchen-3ya.de/a.htm", "m\xC3\xBC" "nchen.de/a.htm"},
        {4, "http://www.xn--bcher-kva.example/x", "b\xC3\xBC" "cher.example/x"},
        // Default and replaced names.
        {4, "http://h/", "h/index.html"},
        {4, "http://h/dir/", "h/index.html"},
        {4, "ftp://h/pub/", "h/index.txt"},
        {4, "http://h/cgi/run.pl=x&y=2", "h/index.html"},
        {4, "http://h/a\\b.htm", "h/index.html"},
        {4, "http://h/dir/..", "h/index.html"},
        // Escapes: "%20" is a space, any other escape "_".
        {4, "http://h/my%20page.htm", "h/my page.htm"},
        {4, "http://h/a%7Eb.htm", "h/a_b.htm"},
        {4, "http://h/a%7eb%2F.htm", "h/a_b_.htm"},
        {4, "http://h/100%.htm", "h/100%.htm"},
        // UTF-8 names are readable, written raw or escaped; escapes that are
        // no UTF-8 character, or a C1 control, stay "_".
        {4, "http://h/caf\xC3\xA9/men\xC3\xBC.html", "h/men\xC3\xBC.html"},
        {4, "http://h/men%C3%BC.html", "h/men\xC3\xBC.html"},
        {4, "http://h/%E4%BE%8B%E3%81%88.htm", "h/\xE4\xBE\x8B\xE3\x81\x88.htm"},
        {4, "http://h/a%C3.htm", "h/a_.htm"},
        {4, "http://h/a%C3%28.htm", "h/a__.htm"},
        {4, "http://h/a%C2%85.htm", "h/a__.htm"},
        {4, "http://h/a%ED%A0%80.htm", "h/a___.htm"},
        {4, "http://h/a%2", "h/a%2"},
        // Directories are cut at a character a name cannot hold; "." and ".."
        // never climb out of the data directory.
        {6, "http://h/a:b/c/d.htm", "h/a/d.htm"},
        {6, "http://h/a/b=c/d.htm", "h/a/b/d.htm"},
        {6, "http://h/a/../../../etc/passwd", "h/a/_/_/_/etc/passwd"},
        {6, "http://h/./x.htm", "h/_/x.htm"},
        {6, "http://h/a\\..\\b/c.htm", "h/a/_/b/c.htm"},
        {6, "http://h/a//b/c.htm", "h/a/b/c.htm"},
        {4, "http://../x.htm", "_/x.htm"},
        {4, "http://www./x.htm", "_/x.htm"},
        // Short names.
        {5, "http://h/thisisalongname.html", "h/thisisal.htm"},
        {5, "http://longhostname.com/a.jpeg", "longhost/a.jpe"},
        {7, "http://h/directory.name/sub dir/x.html", "h/director/subdir/x.htm"},
        {5, "http://h/.htaccess", "h/htaccess"},
        {5, "http://h/my.page.js", "h/mypage.js"},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.url);
        fwtest::TempDir data;
        EXPECT_EQ(Store(data, c.url, c.flags, reserve()), c.path);
    }
}

TEST(MakeLocalPath, TextWithoutAPathGivesAnEmptyPath) {
    fwtest::TempDir data;
    for (const char* url : {"no-scheme/a.htm", "http://h", "http:///x.htm", ""}) {
        FileNameLock lock;
        std::string path = "unchanged";
        EXPECT_TRUE(MakeLocalPath(lock, url, data.path(), 4, &path)) << url;
        EXPECT_EQ(path, "") << url;
    }
}

TEST_P(NamingTest, TakenNamesGetACounter) {
    struct Sequence {
        unsigned flags;
        std::vector<std::string> urls;
        std::vector<std::string> paths;
    } sequences[] = {
        {4,
         {"http://h/dir/page.html", "http://h/other/page.html", "http://h/page.html"},
         {"h/page.html", "h/page2.html", "h/page3.html"}},
        {4, {"http://h/a/readme", "http://h/b/readme"}, {"h/readme", "h/readme2"}},
        {4, {"http://h/a/.profile", "http://h/b/.profile"}, {"h/.profile", "h/2.profile"}},
        {5,
         {"http://h/a/longfilename.html", "http://h/b/longfilename.html",
          "http://h/c/longfilename.html", "http://h/d/longfilename.html",
          "http://h/e/longfilename.html", "http://h/f/longfilename.html",
          "http://h/g/longfilename.html", "http://h/h/longfilename.html",
          "http://h/i/longfilename.html", "http://h/j/longfilename.html"},
         {"h/longfile.htm", "h/longfil2.htm", "h/longfil3.htm", "h/longfil4.htm", "h/longfil5.htm",
          "h/longfil6.htm", "h/longfil7.htm", "h/longfil8.htm", "h/longfil9.htm",
          "h/longfi10.htm"}},
    };
    for (const Sequence& s : sequences) {
        fwtest::TempDir data;
        for (size_t i = 0; i < s.urls.size(); ++i) {
            SCOPED_TRACE(s.urls[i]);
            EXPECT_EQ(Store(data, s.urls[i], s.flags, reserve()), s.paths[i]);
        }
    }
}

TEST_P(NamingTest, RememberedCounterIsStillCheckedOnDisk) {
    fwtest::TempDir data;
    EXPECT_EQ(Store(data, "http://h/page.html", 4, reserve()), "h/page.html");
    EXPECT_EQ(Store(data, "http://h/page.html", 4, reserve()), "h/page2.html");
    fwtest::WriteFile(data / "h/page3.html", "made by someone else");
    EXPECT_EQ(Store(data, "http://h/page.html", 4, reserve()), "h/page4.html");
    // The counter goes on from where it was rather than searching from 2.
    platform::RemoveFile(data / "h/page2.html");
    EXPECT_EQ(Store(data, "http://h/page.html", 4, reserve()), "h/page5.html");
    // A free plain name is always taken first.
    platform::RemoveFile(data / "h/page.html");
    EXPECT_EQ(Store(data, "http://h/page.html", 4, reserve()), "h/page.html");
}

TEST(MakeLocalPath, PathRelativeToTheDataDirectoryIsLimited) {
    fwtest::TempDir data;
    const std::string host(200, 'h');
    const std::string dir = data.path().substr(0, data.path().size() - 1);  // without "/"
    // host/ + name = 240 bytes exactly.
    const std::string fits = "http://" + host + "/" + std::string(35, 'f') + ".htm";
    FileNameLock lock;
    std::string path = "unchanged";
    ASSERT_TRUE(MakeLocalPath(lock, fits, dir, 4, &path));
    EXPECT_EQ(path.size() - data.path().size(), kMaxStoredPath);
    ASSERT_TRUE(platform::OpenCreatingDirectories(path));
    // Taken: the counter would make it 241 bytes.
    path = "unchanged";
    EXPECT_FALSE(MakeLocalPath(lock, fits, dir, 4, &path));
    EXPECT_EQ(path, "unchanged");
    // One byte longer fails at once.
    EXPECT_FALSE(
        MakeLocalPath(lock, "http://" + host + "/" + std::string(36, 'f') + ".htm", dir, 4, &path));
    EXPECT_EQ(path, "unchanged");
    // A name over 260 characters is replaced, so it fits.
    ASSERT_TRUE(MakeLocalPath(lock, "http://h/" + std::string(261, 'n'), dir, 4, &path));
    EXPECT_EQ(path, data / "h/index.html");
}

TEST_P(NamingTest, EveryUrlGetsAFileOfItsOwn) {
    fwtest::TempDir data;
    EXPECT_EQ(Choose(data, "http://h/a.htm", 4, reserve()), "h/a.htm");
    EXPECT_EQ(Choose(data, "http://h", 4, reserve()), "h/index.html");
    EXPECT_EQ(Choose(data, "http://h:81", 4, reserve()), "h/index2.html");

    const std::string deep = "http://h/" + std::string(300, 'd') + "/";
    std::set<std::string> paths;
    for (const std::string& url : {deep + "a.gif", deep + "b.gif", deep + "a.gif"}) {
        std::string path = Choose(data, url, 6, reserve());
        EXPECT_LE(path.size(), kMaxStoredPath);
        EXPECT_EQ(path.rfind("h/u", 0), 0u) << path;
        EXPECT_EQ(path.substr(path.size() - 4), ".gif") << path;
        paths.insert(path);
    }
    EXPECT_EQ(paths.size(), 3u);

    std::string no_scheme = Choose(data, "mailto:someone", 4, reserve());
    EXPECT_EQ(no_scheme.find('/'), std::string::npos) << no_scheme;
    EXPECT_NE(Choose(data, "mailto:someone", 4, reserve()), no_scheme);

    std::string many_directories = "http://h/";
    for (int i = 0; i < 30; ++i) many_directories += "directory/";
    std::string short_name = Choose(data, many_directories + "page.html", 7, reserve());
    EXPECT_EQ(short_name.size(), std::string("h/12345678.htm").size()) << short_name;
}

// A reservation takes only a name nothing holds, not even a dangling link,
// and gives back a name it had to create beyond the length limit.
TEST(MakeLocalPath, ReservationTakesOnlyFreeNamesWithinTheLimit) {
    fwtest::TempDir data;
    fwtest::WriteFile(data / "h/x", "");
    ASSERT_EQ(::symlink("nowhere", (data / "h/page.html").c_str()), 0);
    EXPECT_EQ(Store(data, "http://h/page.html", 4, true), "h/page2.html");

    const std::string host(200, 'h');
    const std::string fits = "http://" + host + "/" + std::string(35, 'f') + ".htm";
    ASSERT_EQ(Store(data, fits, 4, true).size(), kMaxStoredPath);
    // Taken: the counter would make it one byte too long.
    FileNameLock lock;
    std::string path = "unchanged";
    platform::UniqueFd file;
    EXPECT_FALSE(MakeLocalPath(lock, fits, data.path(), 4, &path, &file));
    EXPECT_EQ(path, "unchanged");
    EXPECT_FALSE(file.ok());
    const auto entries = std::filesystem::directory_iterator(data / host);
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1) << "nothing reserved is left";
}

TEST(ExtensionFix, SuffixForTheContent) {
    struct Case {
        bool html;
        const char* type;
        const char* path;
        const char* suffix;
    } cases[] = {
        {true, "text/html", "h/page.asp", ".htm"},
        {true, "text/html", "h/page.shtml", ".htm"},
        {true, "text/html", "h/page", ".htm"},
        {true, "text/html", "h.d/page", ".htm"},
        {true, "text/html", "h/page.html", ""},
        {true, "text/html", "h/page.HTM", ""},
        {true, "text/html", "h/page.htmx", ""},
        {false, "application/pdf", "h/doc", ".pdf"},
        {false, "application/pdf", "h/doc.cgi", ".pdf"},
        {false, "Application/PDF", "h/doc.PDF", ""},
        {false, "image/gif", "h/a", ""},
        {false, "application/pdf; x=y", "h/a", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ExtensionFix(c.html, c.type, c.path), c.suffix) << c.path;
}

TEST(RelativePath, FromOneStoredFileToAnother) {
    struct Case {
        const char* from;
        const char* to;
        char separator;
        const char* result;
    } cases[] = {
        {"h/a/b.htm", "h/c/d.gif", '/', "../c/d.gif"},
        {"b.htm", "c.gif", '/', "c.gif"},
        {"h/a.htm", "h/b/c.htm", '/', "b/c.htm"},
        {"h/x/y.htm", "h/b/c.htm", '/', "../b/c.htm"},
        {"h/a.htm", "h/a.htm", '/', "a.htm"},
        {"ab/x.htm", "a/y.htm", '/', "../a/y.htm"},  // a prefix is not a shared directory
        {"h/a/b/c.htm", "x.htm", '/', "../../../x.htm"},
        {"H/a.htm", "h/b.htm", '/', "../h/b.htm"},  // case counts
        {"h\\a\\b.htm", "h\\c\\d.gif", '\\', "..\\c\\d.gif"},
    };
    for (const Case& c : cases) {
        std::string target = c.to;
        EXPECT_TRUE(RelativePath(c.from, &target, 1024, c.separator));
        EXPECT_EQ(target, c.result) << c.from << " -> " << c.to;
    }
}

TEST(RelativePath, ResultMustBeShorterThanTheCapacity) {
    std::string target = "h/c/d.gif";  // becomes "../c/d.gif", 10 characters
    EXPECT_FALSE(RelativePath("h/a/b.htm", &target, 10));
    EXPECT_EQ(target, "h/c/d.gif");
    EXPECT_TRUE(RelativePath("h/a/b.htm", &target, 11));
    EXPECT_EQ(target, "../c/d.gif");
}

}  // namespace
}  // namespace fw
