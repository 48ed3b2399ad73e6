// Projects whose tables were changed behind the engine's back: every command
// that reads, writes or deletes a stored file must stay inside the content
// directory whatever a FILE value says.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/grab/grab_harness.h"

namespace fw {
namespace {

using fwtest::Response;

class TamperedProjectTest : public fwtest::GrabHarness {
  protected:
    void SetFile(int32_t id, const std::string& file) {
        auto guard = engine_->store().Lock();
        UrlRecord row;
        ASSERT_TRUE(engine_->store().Load(id, &row));
        row.file = file;
        ASSERT_TRUE(engine_->store().Write(&row));
    }

    int32_t Hits(const std::string& pattern) {
        ComPtr<IDizozizEnumUrl> found;
        EXPECT_EQ(engine_->Search(pattern, found.Receive()), S_OK);
        int32_t count = -1;
        if (found) found->get_Count(&count);
        return count;
    }
};

TEST_F(TamperedProjectTest, FileLeadingOutOfTheContentDirectoryIsLeftAlone) {
    server_->Script("/start.html", Response::Html("<a href=\"a.html\">a</a>"));
    server_->Script("/a.html", Response::Html("<p>the new copy</p>"));
    AddStart(Url("/start.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const int32_t a = IdOf(Url("/a.html"));
    ASSERT_GT(a, 0);
    ASSERT_EQ(Row(Url("/a.html")).status, kStatusGrabbed);

    namespace fs = std::filesystem;
    const std::string data_dir = engine_->data_dir();
    const std::string victim = dir_ / "victim/v.txt";
    platform::CreateDirectories(dir_ / "victim");
    fs::create_directory_symlink(dir_ / "victim", data_dir + "out");
    const std::string values[] = {
        fs::relative(victim, data_dir).string(),  // through ".."
        victim,                                   // absolute
        "out/v.txt",                              // through a link leading out
    };
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        fwtest::WriteFile(victim, "precious");
        SetFile(a, value);

        ASSERT_EQ(engine_->Grab(0, 1), S_OK);  // a refresh would overwrite it
        EXPECT_EQ(fwtest::ReadFile(victim), "precious");
        EXPECT_EQ(Row(Url("/a.html")).file, value);  // the row is left as it is
        EXPECT_NE(EngineLog().find(std::to_string(a) + " - FILE \"" + value +
                                   "\" leads out of the content directory; left alone"),
                  std::string::npos);

        EXPECT_EQ(Hits("precious"), 0);  // never read
        ASSERT_EQ(engine_->ExportTree(0, dir_ / "export"), S_OK);
        EXPECT_FALSE(platform::FileExists(dir_ / "export/out/v.txt"));
        ASSERT_EQ(engine_->Refix(), S_OK);
        EXPECT_EQ(fwtest::ReadFile(victim), "precious");
    }
    ASSERT_EQ(engine_->DeleteUrl(a), S_OK);
    EXPECT_EQ(IdOf(Url("/a.html")), 0);
    EXPECT_EQ(fwtest::ReadFile(victim), "precious");
}

}  // namespace
}  // namespace fw
