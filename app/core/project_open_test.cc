#include "app/core/project_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/core/engine_fixture.h"
#include "app/core/project_layout.h"

namespace corvalin {
namespace {

using fwtest::ReadFile;
using fwtest::WriteFile;
namespace fs = std::filesystem;

class ProjectOpenTest : public EngineFixture {
protected:
    bool Open(const std::string& project) {
        failure_ = OpenFailure();
        return OpenProject(loader_, engine_.get(), project, &opened_, &failure_);
    }
    bool EngineOpen() {
        int32_t open = 0;
        engine_->IsOpen(&open);
        return open != 0;
    }

    OpenedProject opened_;
    OpenFailure failure_;
};

TEST_F(ProjectOpenTest, OpensTheDirectoriesTheFileNames) {
    ASSERT_TRUE(CreateProject(dir_ / "news.cvn", nullptr));
    ASSERT_TRUE(Open(dir_ / "news.cvn")) << failure_.detail;
    EXPECT_TRUE(EngineOpen());
    EXPECT_EQ(opened_.project_path, dir_ / "news.cvn");
    EXPECT_EQ(opened_.data_dir, dir_ / "news/");
    EXPECT_EQ(opened_.content_dir, dir_ / "news/src/");
    EXPECT_TRUE(fs::exists(dir_ / "news/ZQURL.DBF"));
    // The thread count of a grab is MaxThreads itself.
    fw::ComPtr<fw::IDizozizPrefs> prefs;
    ASSERT_EQ(engine_->Preferences(prefs.Receive()), fw::S_OK);
    int32_t percent = 0;
    prefs->get_PercentMaxThreads(&percent);
    EXPECT_EQ(percent, 100);
}

TEST_F(ProjectOpenTest, UnusableProjectFilesChangeNothing) {
    fs::create_directories(dir_ / "adir.cvn");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.cvn").c_str(), 0600), 0);
    const std::string no_data = "[CVN]\nRunAfter=1\n";
    const std::string gone_data = "[DALK]\nDataDirectory=" + dir_ / "gone/" + "\n";
    WriteFile(dir_ / "nodata.cvn", no_data);
    WriteFile(dir_ / "gonedata.cvn", gone_data);
    struct Case {
        std::string project;
        std::string detail;
    } cases[] = {
        {dir_ / "missing.cvn", "No such file or directory"},
        {dir_ / "adir.cvn", "it is a directory"},
        {dir_ / "pipe.cvn", "it is not a regular file"},
        {dir_ / "nodata.cvn", "it names no data directory"},
        {dir_ / "gonedata.cvn", "its data directory " + dir_ / "gone/" + " is missing"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Open(c.project)) << c.project;
        EXPECT_EQ(failure_.message, "Could not open document:\n" + c.project);
        EXPECT_EQ(failure_.detail, c.detail);
        EXPECT_FALSE(EngineOpen());
    }
    EXPECT_EQ(ReadFile(dir_ / "nodata.cvn"), no_data);
    EXPECT_EQ(ReadFile(dir_ / "gonedata.cvn"), gone_data);  // no SRCDirectory written back
    EXPECT_FALSE(fs::exists(dir_ / "gone"));
}

TEST_F(ProjectOpenTest, DamagedTablesPointToTheGrabbedContent) {
    ASSERT_TRUE(CreateProject(dir_ / "news.cvn", nullptr));
    WriteFile(dir_ / "news/ZQURL.DBF", "this is not a table");
    EXPECT_FALSE(Open(dir_ / "news.cvn"));
    EXPECT_EQ(failure_.message,
              "Corvalin has detected a corrupt database and cannot open\n"
              "your project.  The grabbed content is still available in:\n" +
                  dir_ / "news/src/");
    EXPECT_EQ(failure_.detail,
              "Error opening storage: ZQPROPS.DBF, ZQLINKS.DBF, ZQTITLE.DBF, ZQURLEXT.DBF, "
              "ZQQUEUE.DBF, ZQFILTER.DBF are missing");
    EXPECT_FALSE(EngineOpen());
}

TEST_F(ProjectOpenTest, AProjectHeldByAnotherOpenerIsReportedAsInUse) {
    ASSERT_TRUE(CreateProject(dir_ / "news.cvn", nullptr));
    fw::ComPtr<fw::IDizoziz> holder;
    ASSERT_EQ(loader_.CreateInstance(holder.Receive()), fw::S_OK);
    holder->ExclusiveMode(1);
    ASSERT_EQ(holder->OpenPlus(dir_ / "news/", dir_ / "news/src/"), fw::S_OK);

    EXPECT_FALSE(Open(dir_ / "news.cvn"));
    EXPECT_EQ(failure_.message, "Could not open document:\n" + dir_ / "news.cvn");
    EXPECT_EQ(failure_.detail, "the project is in use by another program");
    holder->Close();
}

}  // namespace
}  // namespace corvalin
