#include "engine/store/xbase/commit_journal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"
#include "tests/support/temp_dir.h"

namespace fw::xbase {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;

class CommitJournalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir_ / "A.DBF", "aaaaaaaaaa");
        WriteFile(dir_ / "B.DBF", "bbbbbbbbbb");
        FileEdits a;
        a.path = dir_ / "A.DBF";
        a.writes = {{2, "XY"}, {12, "tail"}};  // past the end grows the file
        a.length = 14;
        FileEdits b;
        b.path = dir_ / "B.DBF";
        b.writes = {{0, "Z"}};
        b.length = 4;  // cut
        edits_ = {a, b};
    }

    std::string journal() const { return dir_ / "ZQJOURNAL.BIN"; }

    TempDir dir_;
    std::vector<FileEdits> edits_;
};

TEST_F(CommitJournalTest, AWholeJournalIsAppliedAndReplayingItAgainChangesNothing) {
    ASSERT_EQ(WriteJournal(journal(), dir_.path(), edits_, false), Result::kSuccess);
    const std::string image = ReadFile(journal());
    EXPECT_EQ(ReplayJournal(journal(), dir_.path()), ReplayOutcome::kReplayed);
    EXPECT_FALSE(platform::FileExists(journal()));
    const std::string applied_a = std::string("aaXYaaaaaa") + std::string(2, '\0') + "tail";
    EXPECT_EQ(ReadFile(dir_ / "A.DBF"), applied_a.substr(0, 14));
    EXPECT_EQ(ReadFile(dir_ / "B.DBF"), "Zbbb");

    // A process that stopped after applying, before removing the journal.
    WriteFile(journal(), image);
    EXPECT_EQ(ReplayJournal(journal(), dir_.path()), ReplayOutcome::kReplayed);
    EXPECT_EQ(ReadFile(dir_ / "A.DBF"), applied_a.substr(0, 14));
    EXPECT_EQ(ReadFile(dir_ / "B.DBF"), "Zbbb");
    EXPECT_EQ(ReplayJournal(journal(), dir_.path()), ReplayOutcome::kNone);
}

// A journal cut anywhere (the process stopped while writing it), or changed
// by a single byte, is thrown away and the files stay as they were: the
// commit it describes had not touched them yet.
TEST_F(CommitJournalTest, ACutOrDamagedJournalIsDiscardedAndTouchesNothing) {
    ASSERT_EQ(WriteJournal(journal(), dir_.path(), edits_, false), Result::kSuccess);
    const std::string image = ReadFile(journal());
    std::vector<std::string> bad;
    for (size_t cut = 0; cut < image.size(); cut += 7) bad.push_back(image.substr(0, cut));
    bad.push_back(image.substr(0, image.size() - 1));
    for (size_t at : {size_t{9}, image.size() / 2, image.size() - 9}) {
        std::string flipped = image;
        flipped[at] ^= 0x20;
        bad.push_back(flipped);
    }
    for (const std::string& damaged : bad) {
        WriteFile(journal(), damaged);
        EXPECT_EQ(ReplayJournal(journal(), dir_.path()), ReplayOutcome::kDiscarded)
            << damaged.size();
        EXPECT_FALSE(platform::FileExists(journal()));
        EXPECT_EQ(ReadFile(dir_ / "A.DBF"), "aaaaaaaaaa");
        EXPECT_EQ(ReadFile(dir_ / "B.DBF"), "bbbbbbbbbb");
    }
}

TEST_F(CommitJournalTest, NamesStayInsideTheDirectory) {
    std::vector<FileEdits> outside = edits_;
    outside[0].path = dir_ / "../A.DBF";
    EXPECT_EQ(WriteJournal(journal(), dir_.path(), outside, false), Result::kErrorWrite);
    outside[0].path = "/elsewhere/A.DBF";
    EXPECT_EQ(WriteJournal(journal(), dir_.path(), outside, false), Result::kErrorWrite);
}

TEST_F(CommitJournalTest, AFileHeldOpenElsewhereIsNotTouched) {
    ASSERT_EQ(WriteJournal(journal(), dir_.path(), edits_, false), Result::kSuccess);
    platform::UniqueFd holder(::open((dir_ / "B.DBF").c_str(), O_RDONLY));
    ASSERT_EQ(::flock(holder.get(), LOCK_SH), 0);
    EXPECT_EQ(ReplayJournal(journal(), dir_.path()), ReplayOutcome::kFailed);
    EXPECT_TRUE(platform::FileExists(journal()));  // kept for when the holder is gone
    holder = platform::UniqueFd();
    EXPECT_EQ(ReplayJournal(journal(), dir_.path()), ReplayOutcome::kReplayed);
    EXPECT_EQ(ReadFile(dir_ / "B.DBF"), "Zbbb");
}

}  // namespace
}  // namespace fw::xbase
