// Our data files are ordinary DBF files: an independent reader (dbfdump of
// shapelib) lists the same rows and values as the engine.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "engine/store/xbase/table.h"
#include "engine/store/xbase/test_shapes.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

namespace fw::xbase {
namespace {

using Record = std::map<std::string, std::string>;

// Runs `dbfdump -m` and returns its records, values trimmed ("(NULL)" is empty).
bool DumpWithDbfdump(const std::string& file, std::vector<Record>* records) {
    std::FILE* pipe = ::popen(("dbfdump -m '" + file + "' 2>&1").c_str(), "r");
    if (!pipe) return false;
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    if (::pclose(pipe) != 0) return false;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.rfind("Record:", 0) == 0) {
            records->emplace_back();
            continue;
        }
        const size_t colon = line.find(": ");
        if (colon == std::string::npos || records->empty()) continue;
        std::string value = platform::Trim(line.substr(colon + 2));
        if (value == "(NULL)") value.clear();
        (*records).back()[line.substr(0, colon)] = value;
    }
    return true;
}

bool HaveDbfdump() { return std::system("command -v dbfdump >/dev/null 2>&1") == 0; }

TEST(DbfdumpTest, IndependentReaderListsWhatWeWrote) {
    if (!HaveDbfdump()) GTEST_SKIP() << "dbfdump (Debian package shapelib) is not installed";
    fwtest::TempDir dir;
    const auto shape = testing::UrlShape();
    Result r;
    auto t = Table::Create(dir / "ZQURL", shape.fields, Access::kExclusive, &r);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->CreateIndex(shape.tags), Result::kSuccess);
    const struct {
        long long id;
        std::string url;
        const char* file;
        const char* status;
        long long error;
        const char* content;
    } rows[] = {
        {1, "http://example.com/", "example.com/index.htm", "G", 0, "text/html"},
        {2, "http://example.com/caf\xC3\xA9 and more", "", "F", 404, ""},
        {2147483647, std::string(300, 'u'), "x", "", 1002, "image/png"},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(t->AppendStart(), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(t->FieldIndex("ID"), row.id), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(t->FieldIndex("LEVEL"), 3), Result::kSuccess);
        ASSERT_EQ(t->WriteText(t->FieldIndex("URL"), row.url), Result::kSuccess);
        ASSERT_EQ(t->WriteText(t->FieldIndex("FILE"), row.file), Result::kSuccess);
        ASSERT_EQ(t->WriteText(t->FieldIndex("STATUS"), row.status), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(t->FieldIndex("ERROR"), row.error), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(t->FieldIndex("CREATED"), 1700000000), Result::kSuccess);
        ASSERT_EQ(t->WriteText(t->FieldIndex("CONTENT"), row.content), Result::kSuccess);
        ASSERT_EQ(t->Append(), Result::kSuccess);
    }
    ASSERT_EQ(t->Close(), Result::kSuccess);

    std::vector<Record> dumped;
    ASSERT_TRUE(DumpWithDbfdump(dir / "ZQURL.DBF", &dumped));
    ASSERT_EQ(dumped.size(), std::size(rows));
    t = Table::Open(dir / "ZQURL", Access::kShared, &r);
    ASSERT_TRUE(t);
    for (uint32_t row = 1; row <= dumped.size(); ++row) {
        ASSERT_EQ(t->Go(row), Result::kSuccess);
        ASSERT_EQ(dumped[row - 1].size(), shape.fields.size());
        for (const FieldDef& f : shape.fields) {
            EXPECT_EQ(dumped[row - 1][f.name], platform::Trim(t->ReadText(t->FieldIndex(f.name))))
                << "row " << row << " column " << f.name;
        }
    }
    EXPECT_EQ(dumped[0]["URL"], "http://example.com/");
    EXPECT_EQ(dumped[2]["ID"], "2147483647");
    EXPECT_EQ(dumped[2]["URL"], std::string(240, 'u'));
}

TEST(DbfdumpTest, TablesWithMemoColumnsAreReadable) {
    if (!HaveDbfdump()) GTEST_SKIP() << "dbfdump (Debian package shapelib) is not installed";
    fwtest::TempDir dir;
    const auto shape = testing::PropsShape();
    Result r;
    auto t = Table::Create(dir / "ZQPROPS", shape.fields, Access::kExclusive, &r);
    ASSERT_TRUE(t);
    for (int i = 1; i <= 2; ++i) {
        ASSERT_EQ(t->AppendStart(), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(0, i), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(1, -1), Result::kSuccess);
        ASSERT_EQ(t->WriteText(3, "3"), Result::kSuccess);
        ASSERT_EQ(t->WriteText(5, "notes of " + std::to_string(i)), Result::kSuccess);
        ASSERT_EQ(t->Append(), Result::kSuccess);
    }
    ASSERT_EQ(t->Close(), Result::kSuccess);
    std::vector<Record> dumped;
    ASSERT_TRUE(DumpWithDbfdump(dir / "ZQPROPS.DBF", &dumped));
    ASSERT_EQ(dumped.size(), 2u);
    EXPECT_EQ(dumped[1]["URLID"], "2");
    EXPECT_EQ(dumped[1]["LEVELS"], "-1");
    EXPECT_EQ(dumped[1]["SCHEDULE"], "3");
    EXPECT_FALSE(dumped[1]["NOTES"].empty());  // the memo's block number
}

}  // namespace
}  // namespace fw::xbase
