#include "engine/store/store_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "engine/support/log.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;
using xbase::Result;

const TableSchema& Schema(TableId id) {
    for (const TableSchema& schema : ProjectTables()) {
        if (schema.id == id) return schema;
    }
    ADD_FAILURE() << "no such table";
    return ProjectTables().front();
}

class StoreTableLogTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetLogForTesting(log_dir_ / "fetchwell.log"); }
    void TearDown() override { ResetLogForTesting(""); }

    // The records written since the last call, without their time stamps.
    std::vector<std::string> TakeLog() {
        std::istringstream in(fwtest::ReadFile(log_dir_ / "fetchwell.log"));
        platform::RemoveFile(log_dir_ / "fetchwell.log");
        std::vector<std::string> lines;
        const size_t stamp = std::string("MM/DD/YY hh:mm:ss ").size();
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line.size() >= stamp ? line.substr(stamp) : line);
        }
        return lines;
    }

    TempDir dir_;
    TempDir log_dir_;
};

using Lines = std::vector<std::string>;

TEST_F(StoreTableLogTest, FailuresAreLoggedAndExpectedOutcomesAreNot) {
    StoreTable links(Schema(TableId::kLinks));
    ASSERT_TRUE(links.Open(dir_.path(), true));
    const int from = links.Field("FROM");
    const int to = links.Field("TO");
    auto append = [&](long long f, long long t) {
        links.AppendStart();
        links.SetNumber(from, f);
        links.SetNumber(to, t);
        return links.Append();
    };
    ASSERT_EQ(append(1, 2), Result::kSuccess);
    ASSERT_EQ(append(1, 3), Result::kSuccess);
    ASSERT_EQ(links.SelectTag("LINKS"), Result::kSuccess);
    EXPECT_EQ(TakeLog(), Lines{});

    const struct {
        const char* what;
        std::function<Result()> run;
        Result result;
        const char* line;  // nullptr: nothing logged
    } cases[] = {
        {"seek with no match", [&] { return links.Seek(Key10(9)); }, Result::kEof, nullptr},
        {"seek lands after", [&] { return links.Seek(Key10(0)); }, Result::kFoundAfter, nullptr},
        {"skip past the last row",
         [&] {
             links.Bottom();
             return links.Skip();
         },
         Result::kEof, nullptr},
        {"refused duplicate append", [&] { return append(1, 2); }, Result::kDuplicate, nullptr},
        {"go outside the table", [&] { return links.Go(99); }, Result::kErrorRecord,
         "ZQCB<ZQLINKS>::Go e4record(-90)"},
        {"unknown tag", [&] { return links.SelectTag("NOPE"); }, Result::kNoTag,
         "ZQCB<ZQLINKS>::SelectTag r4noTag(5)"},
        {"tag sync into a taken key",
         [&] {
             links.Go(2);
             links.SetNumber(to, 2);
             return links.Update();
         },
         Result::kDuplicate, "ZQCB<ZQLINKS>::tagSync r4unique(4)"},
        {"text seek without a tag",
         [&] {
             links.SelectTag("");
             return links.Seek(Key10(1));
         },
         Result::kNoTag, "ZQCB<ZQLINKS>::Seek(const char *) r4noTag(5)"},
        {"number seek without a tag", [&] { return links.SeekNumber(1); }, Result::kNoTag,
         "ZQCB<ZQLINKS>::Seek(double) r4noTag(5)"},
        {"top of an emptied table",
         [&] {
             links.Zap();
             return links.Top();
         },
         Result::kEof, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.run(), c.result) << c.what;
        EXPECT_EQ(TakeLog(), c.line ? Lines{c.line} : Lines{}) << c.what;
    }
}

TEST_F(StoreTableLogTest, DamagedTableIsLoggedAndKept) {
    fwtest::WriteFile(dir_ / "ZQURL.DBF", "this is not a table");
    StoreTable urls(Schema(TableId::kUrl));
    EXPECT_FALSE(urls.Open(dir_.path(), true));
    EXPECT_FALSE(urls.is_open());
    EXPECT_EQ(TakeLog(), Lines{"ZQCB<ZQURL>::open e4data(-50)"});
    EXPECT_EQ(fwtest::ReadFile(dir_ / "ZQURL.DBF"), "this is not a table");
}

}  // namespace
}  // namespace fw
