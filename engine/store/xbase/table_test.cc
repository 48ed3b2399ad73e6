#include "engine/store/xbase/table.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "engine/store/xbase/tag_oracle.h"
#include "engine/store/xbase/test_shapes.h"
#include "tests/support/temp_dir.h"

namespace fw::xbase {
namespace {

using testing::LinksShape;
using testing::PropsShape;
using testing::QueueShape;
using testing::Shape;
using testing::UrlShape;

class TableTest : public ::testing::Test {
protected:
    std::unique_ptr<Table> Make(const Shape& shape, const std::string& name = "T",
                                Access access = Access::kExclusive) {
        Result r;
        auto table = Table::Create(dir_ / name, shape.fields, access, &r);
        EXPECT_EQ(r, Result::kSuccess);
        if (!table) return nullptr;
        EXPECT_EQ(table->CreateIndex(shape.tags), Result::kSuccess);
        return table;
    }
    std::unique_ptr<Table> Reopen(const std::string& name = "T", Access access = Access::kExclusive) {
        Result r;
        auto table = Table::Open(dir_ / name, access, &r);
        EXPECT_EQ(r, Result::kSuccess);
        if (table) {
            EXPECT_EQ(table->OpenIndex(), Result::kSuccess);
        }
        return table;
    }

    fwtest::TempDir dir_;
};

Result AddUrl(Table& t, long long id, const std::string& url, const std::string& file = "",
              const std::string& level = "0") {
    EXPECT_EQ(t.AppendStart(), Result::kSuccess);
    EXPECT_EQ(t.WriteNumber(t.FieldIndex("ID"), id), Result::kSuccess);
    EXPECT_EQ(t.WriteText(t.FieldIndex("URL"), url), Result::kSuccess);
    EXPECT_EQ(t.WriteText(t.FieldIndex("FILE"), file), Result::kSuccess);
    EXPECT_EQ(t.WriteText(t.FieldIndex("LEVEL"), level), Result::kSuccess);
    EXPECT_EQ(t.WriteText(t.FieldIndex("MINLEVEL"), "0"), Result::kSuccess);
    return t.Append();
}

Result AddLink(Table& t, int from, int to) {
    EXPECT_EQ(t.AppendStart(), Result::kSuccess);
    EXPECT_EQ(t.WriteNumber(t.FieldIndex("FROM"), from), Result::kSuccess);
    EXPECT_EQ(t.WriteNumber(t.FieldIndex("TO"), to), Result::kSuccess);
    return t.Append();
}

// Row numbers in the selected order, from the top.
std::vector<uint32_t> Walk(Table& t) {
    std::vector<uint32_t> rows;
    for (Result r = t.Top(); r == Result::kSuccess && !t.Eof(); r = t.Skip()) rows.push_back(t.RecNo());
    return rows;
}

std::string Key10(long long n) {
    char text[16];
    std::snprintf(text, sizeof text, "%10lld", n);
    return text;
}

TEST(ResultNameTest, EveryResultHasItsOwnName) {
    const Result all[] = {Result::kSuccess,     Result::kFoundAfter, Result::kEof,        Result::kDuplicate,
                          Result::kNoTag,       Result::kNoIndex,    Result::kErrorOpen,  Result::kErrorCreate,
                          Result::kErrorRead,   Result::kErrorWrite, Result::kErrorData,  Result::kErrorField,
                          Result::kErrorExpression, Result::kErrorLocked, Result::kErrorRecord};
    std::set<std::string> names;
    for (Result r : all) {
        std::string name = ResultName(r);
        EXPECT_EQ(name.substr(0, 2), IsError(r) ? "e4" : "r4") << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size(all));
    EXPECT_STREQ(ResultName(Result::kDuplicate), "r4unique");
}

TEST_F(TableTest, RowsSurviveCloseAndReopen) {
    auto t = Make(UrlShape());
    ASSERT_EQ(AddUrl(*t, 1, "http://a.example/", "a.example/index.htm", "0"), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 1u);
    ASSERT_EQ(AddUrl(*t, 2, "http://a.example/b", "a.example/b.htm", "1"), Result::kSuccess);
    ASSERT_EQ(t->WriteText(t->FieldIndex("CONTENT"), "text/html"), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    EXPECT_EQ(t->Top(), Result::kErrorOpen);

    t = Reopen();
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->IndexRebuilt());
    EXPECT_EQ(t->RecordCount(), 2u);
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    EXPECT_EQ(t->ReadNumber(t->FieldIndex("ID")), 2);
    EXPECT_EQ(t->ReadText(t->FieldIndex("URL")), "http://a.example/b");
    EXPECT_EQ(t->ReadText(t->FieldIndex("CONTENT")), "text/html");
    EXPECT_EQ(t->ReadNumber(t->FieldIndex("LEVEL")), 1);
    ASSERT_EQ(t->SelectTag("url"), Result::kSuccess);
    EXPECT_EQ(t->Seek("http://a.example/"), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 1u);
}

TEST_F(TableTest, OpenAndCreateReportWhatWentWrong) {
    Result r;
    EXPECT_EQ(Table::Open(dir_ / "missing", Access::kShared, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorOpen);

    fwtest::WriteFile(dir_ / "junk.DBF", "this is not a table at all, not even close to one.......");
    EXPECT_EQ(Table::Open(dir_ / "junk", Access::kShared, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorData);
    fwtest::WriteFile(dir_ / "empty.DBF", "");
    EXPECT_EQ(Table::Open(dir_ / "empty", Access::kShared, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorData);

    const std::vector<std::vector<FieldDef>> invalid = {
        {},
        {{"", 'C', 5}},
        {{"TOOLONGNAME", 'C', 5}},
        {{"1ST", 'C', 5}},
        {{"A-B", 'C', 5}},
        {{"A", 'C', 0}},
        {{"A", 'C', 255}},
        {{"A", 'N', 21}},
        {{"A", 'M', 4}},
        {{"A", 'D', 8}},
        {{"A", 'C', 5}, {"a", 'N', 5}},
    };
    for (const auto& fields : invalid) {
        EXPECT_EQ(Table::Create(dir_ / "bad", fields, Access::kShared, &r), nullptr);
        EXPECT_EQ(r, Result::kErrorField) << (fields.empty() ? "no fields" : fields.back().name);
    }

    auto t = Make(UrlShape());
    EXPECT_EQ(Table::Create(dir_ / "nodir/T", UrlShape().fields, Access::kShared, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorCreate);
}

TEST_F(TableTest, OpenIndexWithoutFileAndTagsWithoutIndex) {
    Result r;
    auto t = Table::Create(dir_ / "T", UrlShape().fields, Access::kExclusive, &r);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->OpenIndex(), Result::kErrorOpen);
    EXPECT_EQ(t->SelectTag("ID"), Result::kNoIndex);
    EXPECT_EQ(t->SelectTag(""), Result::kSuccess);
    EXPECT_EQ(t->Seek("x"), Result::kNoTag);
    EXPECT_EQ(t->SeekNumber(1), Result::kNoTag);
    ASSERT_EQ(t->CreateIndex(UrlShape().tags), Result::kSuccess);
    EXPECT_EQ(t->SelectTag("NOSUCH"), Result::kNoTag);
    EXPECT_EQ(t->SelectTag("ID"), Result::kSuccess);
}

TEST_F(TableTest, CreateIndexRejectsInvalidTags) {
    auto t = Make(UrlShape());
    const std::vector<std::vector<TagDef>> invalid = {
        {},
        {{"", "ID", "", Uniqueness::kNone}},
        {{"TOOLONGNAME", "ID", "", Uniqueness::kNone}},
        {{"A", "NOSUCH", "", Uniqueness::kNone}},
        {{"A", "ID+URL", "", Uniqueness::kNone}},        // "+" joins text only
        {{"A", "STR(URL)", "", Uniqueness::kNone}},      // STR of text
        {{"A", "URL+FILE", "", Uniqueness::kNone}},      // 480 bytes: longer than a key may be
        {{"A", "DELETED()", "", Uniqueness::kNone}},     // a logical key
        {{"A", "ID", "ID", Uniqueness::kNone}},          // a filter that is not logical
        {{"A", "ID", ".NOT.", Uniqueness::kNone}},
        {{"A", "STR(ID", "", Uniqueness::kNone}},
        {{"A", "ID", "", Uniqueness::kNone}, {"a", "URL", "", Uniqueness::kNone}},
    };
    for (const auto& tags : invalid) {
        EXPECT_EQ(t->CreateIndex(tags), Result::kErrorExpression) << (tags.empty() ? "" : tags.back().expression);
    }
    // The index in place is untouched by refused definitions.
    EXPECT_EQ(t->SelectTag("URL"), Result::kSuccess);
}

// Writing values into columns: alignment, padding, cutting and refusals.
TEST_F(TableTest, ColumnWritesFollowTheConventions) {
    Result r;
    auto t = Table::Create(dir_ / "V", {{"C5", 'C', 5}, {"N4", 'N', 4}, {"C1", 'C', 1}}, Access::kExclusive, &r);
    ASSERT_TRUE(t);
    const int c5 = 0, n4 = 1, c1 = 2;
    struct Case {
        int field;
        bool number;
        std::string text;
        long long value;
        Result result;
        std::string raw;  // the column's bytes afterwards
    };
    const Case cases[] = {
        {c5, false, "abc", 0, Result::kSuccess, "abc  "},
        {c5, false, "abcdefgh", 0, Result::kSuccess, "abcde"},
        {c5, false, "abc\xC3\xA9\xC3\xA9", 0, Result::kSuccess, "abc\xC3\xA9"},  // 7 bytes: cut before the second é
        {c5, false, "abcd\xC3\xA9", 0, Result::kSuccess, "abcd "},               // never half a character
        {c5, false, "", 0, Result::kSuccess, "     "},
        {c5, true, "", 42, Result::kSuccess, "   42"},
        {c5, true, "", -7, Result::kSuccess, "   -7"},
        {c5, true, "", 123456, Result::kErrorField, "   -7"},  // keeps its value
        {n4, true, "", 1234, Result::kSuccess, "1234"},
        {n4, true, "", 12345, Result::kErrorField, "1234"},
        {n4, true, "", -123, Result::kSuccess, "-123"},
        {n4, false, " 17 ", 0, Result::kSuccess, "  17"},
        {n4, false, "abc", 0, Result::kErrorField, "  17"},
        {n4, false, "12345", 0, Result::kErrorField, "  17"},
        {n4, false, "", 0, Result::kSuccess, "    "},
        {c1, true, "", 7, Result::kSuccess, "7"},
        {c1, true, "", 10, Result::kErrorField, "7"},
    };
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);
    ASSERT_EQ(t->Append(), Result::kSuccess);
    for (const Case& c : cases) {
        Result got = c.number ? t->WriteNumber(c.field, c.value) : t->WriteText(c.field, c.text);
        EXPECT_EQ(got, c.result) << c.text << c.value;
        ASSERT_EQ(t->Update(), Result::kSuccess);
        ASSERT_EQ(t->Flush(), Result::kSuccess);
        const std::string file = fwtest::ReadFile(dir_ / "V.DBF");
        const size_t header = 32 + 32 * 3 + 1;
        const size_t offset = header + 1 + (c.field == c5 ? 0 : c.field == n4 ? 5 : 9);
        const size_t width = c.field == c5 ? 5 : c.field == n4 ? 4 : 1;
        EXPECT_EQ(file.substr(offset, width), c.raw) << c.text << c.value;
    }
    EXPECT_EQ(t->WriteText(7, "x"), Result::kErrorField);
    EXPECT_EQ(t->WriteNumber(-1, 1), Result::kErrorField);
    EXPECT_EQ(t->FieldIndex("n4"), n4);
    EXPECT_EQ(t->FieldIndex("nope"), -1);
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    EXPECT_EQ(t->ReadText(c5), "   -7");
    EXPECT_EQ(t->ReadNumber(n4), 0);     // blank reads as 0
}

// Reads drop the padding however long it is, and only the padding; the
// view reads what the copy reads.
TEST_F(TableTest, ColumnReadsDropOnlyThePadding) {
    Result r;
    auto t = Table::Create(dir_ / "P", {{"C20", 'C', 20}, {"N6", 'N', 6}}, Access::kExclusive, &r);
    ASSERT_TRUE(t);
    const struct {
        std::string written, read;
    } cases[] = {
        {"", ""},
        {"a", "a"},
        {"abcdefg", "abcdefg"},
        {"abcdefgh", "abcdefgh"},
        {"abcdefgh ", "abcdefgh"},
        {"abcdefghi", "abcdefghi"},
        {"a        b", "a        b"},
        {" lead", " lead"},
        {"12345678901234567", "12345678901234567"},
        {"12345678901234567890", "12345678901234567890"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(t->AppendStart(), Result::kSuccess);
        ASSERT_EQ(t->WriteText(0, c.written), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(1, static_cast<long long>(c.written.size()) - 5), Result::kSuccess);
        ASSERT_EQ(t->Append(), Result::kSuccess);
    }
    ASSERT_EQ(t->Flush(), Result::kSuccess);
    for (uint32_t row = 1; row <= std::size(cases); ++row) {
        const auto& c = cases[row - 1];
        ASSERT_EQ(t->Go(row), Result::kSuccess);
        EXPECT_EQ(t->ReadText(0), c.read);
        EXPECT_EQ(t->ReadTextView(0), c.read);
        const std::string number = std::to_string(static_cast<long long>(c.written.size()) - 5);
        EXPECT_EQ(t->ReadText(1), number);
        EXPECT_EQ(t->ReadTextView(1), number);
    }
    EXPECT_EQ(t->ReadTextView(9), "");
}

TEST_F(TableTest, ReadsAndWritesAtEndOfFile) {
    auto t = Make(UrlShape());
    EXPECT_EQ(t->Top(), Result::kEof);
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->RecNo(), 0u);
    EXPECT_EQ(t->Bottom(), Result::kEof);
    EXPECT_EQ(t->Skip(), Result::kEof);
    EXPECT_EQ(t->ReadText(0), "");
    EXPECT_EQ(t->WriteNumber(0, 1), Result::kEof);
    EXPECT_EQ(t->Update(), Result::kEof);
    EXPECT_EQ(t->Delete(), Result::kEof);
    EXPECT_FALSE(t->IsDeleted());
    EXPECT_EQ(t->Go(1), Result::kErrorRecord);
    EXPECT_EQ(t->Go(0), Result::kErrorRecord);
    EXPECT_EQ(t->Append(), Result::kErrorRecord);
}

// Top/Bottom/Skip/Go in physical order and in tag order.
TEST_F(TableTest, WalksFollowTheSelectedOrder) {
    auto t = Make(UrlShape());
    const std::vector<std::string> urls = {"http://m/", "http://c/", "http://x/", "http://a/", "http://c/"};
    for (size_t i = 0; i < urls.size(); ++i) ASSERT_EQ(AddUrl(*t, 10 - i, urls[i]), Result::kSuccess);

    ASSERT_EQ(t->SelectTag(""), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{4, 2, 5, 1, 3}));  // equal keys in row order
    ASSERT_EQ(t->Bottom(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 3u);
    EXPECT_EQ(t->Skip(), Result::kEof);
    EXPECT_TRUE(t->Eof());
    ASSERT_EQ(t->SelectTag("ID"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{5, 4, 3, 2, 1}));

    // Go keeps the order: Skip continues from the row's place in it.
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->Skip(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 5u);
    // SelectTag keeps the row.
    ASSERT_EQ(t->SelectTag("ID"), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 5u);
    ASSERT_EQ(t->Skip(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 4u);
}

TEST_F(TableTest, SeekDistinguishesExactAfterAndEnd) {
    auto t = Make(UrlShape());
    ASSERT_EQ(AddUrl(*t, 5, "http://b.example/page"), Result::kSuccess);
    ASSERT_EQ(AddUrl(*t, 9, "http://d.example/"), Result::kSuccess);
    ASSERT_EQ(AddUrl(*t, 7, "http://b.example/"), Result::kSuccess);
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    auto padded = [](std::string s) {
        s.resize(240, ' ');
        return s;
    };
    struct Case {
        std::string key;
        Result result;
        uint32_t row;
    };
    const Case url_cases[] = {
        {padded("http://b.example/"), Result::kSuccess, 3},
        {"http://b.example/", Result::kSuccess, 3},   // prefix
        {"http://b.example/p", Result::kSuccess, 1},  // prefix of the longer one
        {"http://b", Result::kSuccess, 3},            // first of several
        {"", Result::kSuccess, 3},
        {padded("http://b.example/pag"), Result::kFoundAfter, 1},  // "pag " sorts before "page"
        {"http://c", Result::kFoundAfter, 2},
        {"http://a", Result::kFoundAfter, 3},
        {"http://e", Result::kEof, 0},
        {padded("http://d.example/") + "   ", Result::kSuccess, 2},  // longer, blanks only
        {padded("http://b.example/") + "x", Result::kFoundAfter, 1},
    };
    for (const Case& c : url_cases) {
        EXPECT_EQ(t->Seek(c.key), c.result) << "'" << c.key << "'";
        EXPECT_EQ(t->RecNo(), c.row) << "'" << c.key << "'";
        EXPECT_EQ(t->Eof(), c.row == 0);
    }

    ASSERT_EQ(t->SelectTag("ID"), Result::kSuccess);
    const std::pair<double, std::pair<Result, uint32_t>> id_cases[] = {
        {7, {Result::kSuccess, 3}}, {6, {Result::kFoundAfter, 3}}, {-1, {Result::kFoundAfter, 1}},
        {9, {Result::kSuccess, 2}}, {10, {Result::kEof, 0}},
    };
    for (const auto& [id, expected] : id_cases) {
        EXPECT_EQ(t->SeekNumber(id), expected.first) << id;
        EXPECT_EQ(t->RecNo(), expected.second) << id;
    }
    // Text keys on a numeric tag are read as numbers.
    EXPECT_EQ(t->Seek("         9"), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 2u);
    EXPECT_EQ(t->Seek("abc"), Result::kErrorExpression);
}

TEST_F(TableTest, SeekOnComposedKeys) {
    auto t = Make(LinksShape());
    ASSERT_EQ(AddLink(*t, 0, 1), Result::kSuccess);
    ASSERT_EQ(AddLink(*t, 1, 3), Result::kSuccess);
    ASSERT_EQ(AddLink(*t, 1, 2), Result::kSuccess);
    ASSERT_EQ(AddLink(*t, 12, 2), Result::kSuccess);
    ASSERT_EQ(t->SelectTag("LINKS"), Result::kSuccess);
    EXPECT_EQ(t->Seek(Key10(1)), Result::kSuccess);  // all links from 1, in TO order
    EXPECT_EQ(t->RecNo(), 3u);
    ASSERT_EQ(t->Skip(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 2u);
    EXPECT_EQ(t->Seek(Key10(1) + Key10(3)), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 2u);
    EXPECT_EQ(t->Seek(Key10(2)), Result::kFoundAfter);
    EXPECT_EQ(t->RecNo(), 4u);
    // A number on a character tag is sought as STR() writes it.
    ASSERT_EQ(t->SelectTag("TO"), Result::kSuccess);
    EXPECT_EQ(t->SeekNumber(2), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 3u);
    EXPECT_EQ(t->SeekNumber(4), Result::kEof);
}

TEST_F(TableTest, RefuseModeRejectsDuplicatesAndChangesNothing) {
    auto t = Make(LinksShape());
    ASSERT_EQ(AddLink(*t, 1, 2), Result::kSuccess);
    ASSERT_EQ(AddLink(*t, 1, 3), Result::kSuccess);
    EXPECT_EQ(AddLink(*t, 1, 2), Result::kDuplicate);
    EXPECT_EQ(t->RecordCount(), 2u);
    // The refused row stays open for correction.
    EXPECT_EQ(t->RecNo(), 0u);
    EXPECT_FALSE(t->Eof());
    ASSERT_EQ(t->WriteNumber(t->FieldIndex("TO"), 4), Result::kSuccess);
    ASSERT_EQ(t->Append(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 3u);

    // An update into an existing key: refused, row and tags as before.
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(t->FieldIndex("TO"), 2), Result::kSuccess);
    EXPECT_EQ(t->Update(), Result::kDuplicate);
    EXPECT_EQ(t->ReadNumber(t->FieldIndex("TO")), 3);
    ASSERT_EQ(t->SelectTag("TO"), Result::kSuccess);
    EXPECT_EQ(t->Seek(Key10(3)), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 2u);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2, 3}));
    ASSERT_EQ(t->Flush(), Result::kSuccess);
    t.reset();
    t = Reopen();
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    EXPECT_EQ(t->ReadNumber(t->FieldIndex("TO")), 3);

    // A refused implicit write on a move is reported and dropped.
    ASSERT_EQ(t->WriteNumber(t->FieldIndex("TO"), 2), Result::kSuccess);
    EXPECT_EQ(t->Go(1), Result::kDuplicate);
    EXPECT_EQ(t->RecNo(), 2u);
    EXPECT_EQ(t->ReadNumber(t->FieldIndex("TO")), 3);
    EXPECT_EQ(t->Go(1), Result::kSuccess);
}

TEST_F(TableTest, KeepRowModeStoresTheRowButNotItsKey) {
    auto t = Make(UrlShape());
    ASSERT_EQ(AddUrl(*t, 1, "http://first/"), Result::kSuccess);
    ASSERT_EQ(AddUrl(*t, 1, "http://second/"), Result::kSuccess);
    EXPECT_EQ(t->RecordCount(), 2u);
    ASSERT_EQ(t->SelectTag("ID"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1}));
    EXPECT_EQ(t->SeekNumber(1), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 1u);
    // Other tags index the row as usual.
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2}));
    // A key is listed under the first row that has it, as a rebuild lists
    // it: when the holder moves away the next row takes its place, and a
    // row moving into a key held by a later row takes it over.
    ASSERT_EQ(AddUrl(*t, 7, "http://third/"), Result::kSuccess);
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(0, 3), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    ASSERT_EQ(t->SelectTag("ID"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{2, 1, 3}));
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(0, 7), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{2, 1}));
    testing::ExpectTagsAgreeWithTable(*t, dir_ / "T", UrlShape().tags);
    t.reset();
    t = Reopen();
    testing::ExpectTagsAgreeWithTable(*t, dir_ / "T", UrlShape().tags);
}

TEST_F(TableTest, TagsDefinedWithoutAModeRefuseDuplicates) {
    Result r;
    auto t = Table::Create(dir_ / "D", {{"K", 'C', 4}, {"N", 'N', 10}}, Access::kExclusive, &r);
    ASSERT_TRUE(t);
    // Neither tag names a uniqueness mode.
    ASSERT_EQ(t->CreateIndex({{"K", "K", ""}, {"N", "N", ""}}), Result::kSuccess);
    auto add = [&](const char* k, long long n) {
        EXPECT_EQ(t->AppendStart(), Result::kSuccess);
        EXPECT_EQ(t->WriteText(0, k), Result::kSuccess);
        EXPECT_EQ(t->WriteNumber(1, n), Result::kSuccess);
        return t->Append();
    };
    const struct {
        const char* k;
        long long n;
        Result expected;
        uint32_t rows_after;
    } appends[] = {
        {"a", 1, Result::kSuccess, 1},   {"b", 2, Result::kSuccess, 2},
        {"a", 3, Result::kDuplicate, 2},  // clash in K only
        {"c", 1, Result::kDuplicate, 2},  // clash in N only
        {"c", 3, Result::kSuccess, 3},
    };
    for (const auto& a : appends) {
        EXPECT_EQ(add(a.k, a.n), a.expected) << a.k << a.n;
        EXPECT_EQ(t->RecordCount(), a.rows_after) << a.k << a.n;
    }
    for (const char* tag : {"K", "N"}) {
        ASSERT_EQ(t->SelectTag(tag), Result::kSuccess);
        EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2, 3})) << tag;
    }

    // A write into a taken key: refused, row and tags as they were.
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->WriteText(0, "a"), Result::kSuccess);
    EXPECT_EQ(t->Update(), Result::kDuplicate);
    EXPECT_EQ(t->ReadText(0), "b");
    ASSERT_EQ(t->SelectTag("K"), Result::kSuccess);
    EXPECT_EQ(t->Seek("b"), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 2u);
    EXPECT_EQ(t->Seek("a"), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 1u);

    // The index keeps the mode it was created with.
    ASSERT_EQ(t->Close(), Result::kSuccess);
    t = Reopen("D");
    ASSERT_TRUE(t);
    EXPECT_EQ(add("b", 7), Result::kDuplicate);
    EXPECT_EQ(t->RecordCount(), 3u);
    EXPECT_EQ(add("d", 7), Result::kSuccess);
}

TEST_F(TableTest, FilteredTagsFollowDeleteAndUndelete) {
    auto t = Make(LinksShape());
    for (int to = 1; to <= 4; ++to) ASSERT_EQ(AddLink(*t, 9, to), Result::kSuccess);
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->Delete(), Result::kSuccess);
    EXPECT_TRUE(t->IsDeleted());
    EXPECT_EQ(t->RecNo(), 2u);
    ASSERT_EQ(t->Go(4), Result::kSuccess);
    ASSERT_EQ(t->Delete(), Result::kSuccess);

    ASSERT_EQ(t->SelectTag("TO"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(t->Seek(Key10(2)), Result::kFoundAfter);  // the deleted row is not in the tag
    EXPECT_EQ(t->RecNo(), 3u);
    // Unfiltered tags keep deleted rows.
    ASSERT_EQ(t->SelectTag("LINKS"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(t->Seek(Key10(9) + Key10(2)), Result::kSuccess);
    EXPECT_TRUE(t->IsDeleted());
    // Skip from a row outside the filtered tag continues where its key sorts.
    ASSERT_EQ(t->SelectTag("TO"), Result::kSuccess);
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->Skip(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 3u);

    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->Undelete(), Result::kSuccess);
    EXPECT_FALSE(t->IsDeleted());
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2, 3}));
    t.reset();
    t = Reopen();
    ASSERT_EQ(t->SelectTag("TO"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2, 3}));
}

TEST_F(TableTest, UndeleteIntoATakenKeyIsRefused) {
    Result r;
    auto t = Table::Create(dir_ / "U", {{"K", 'C', 4}}, Access::kExclusive, &r);
    ASSERT_EQ(t->CreateIndex({{"K", "K", ".NOT.DELETED()", Uniqueness::kRefuse}}), Result::kSuccess);
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);
    ASSERT_EQ(t->WriteText(0, "a"), Result::kSuccess);
    ASSERT_EQ(t->Append(), Result::kSuccess);
    ASSERT_EQ(t->Delete(), Result::kSuccess);
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);  // the key is free again
    ASSERT_EQ(t->WriteText(0, "a"), Result::kSuccess);
    ASSERT_EQ(t->Append(), Result::kSuccess);
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    EXPECT_EQ(t->Undelete(), Result::kDuplicate);
    EXPECT_TRUE(t->IsDeleted());
    ASSERT_EQ(t->SelectTag("K"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{2}));
}

TEST_F(TableTest, UpdateMovesTheRowInItsTags) {
    auto t = Make(UrlShape());
    for (int i = 1; i <= 5; ++i) ASSERT_EQ(AddUrl(*t, i, "http://u" + std::to_string(i) + "/"), Result::kSuccess);
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    ASSERT_EQ(t->Seek("http://u2/"), Result::kSuccess);
    ASSERT_EQ(t->WriteText(t->FieldIndex("URL"), "http://u4x/"), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    // The cursor stays on the row and walks on from its new place.
    EXPECT_EQ(t->RecNo(), 2u);
    ASSERT_EQ(t->Skip(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 5u);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 3, 4, 2, 5}));
    EXPECT_EQ(t->Seek("http://u2/"), Result::kFoundAfter);

    // Changes reach the files on a move without Update, too.
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    ASSERT_EQ(t->WriteText(t->FieldIndex("URL"), "http://zz/"), Result::kSuccess);
    ASSERT_EQ(t->Go(3), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{3, 4, 2, 5, 1}));
    // ... and on Close.
    ASSERT_EQ(t->Go(3), Result::kSuccess);
    ASSERT_EQ(t->WriteText(t->FieldIndex("URL"), "http://zzz/"), Result::kSuccess);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    t = Reopen();
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{4, 2, 5, 1, 3}));
}

// Writing a row back unchanged touches no file; a real change does.
TEST_F(TableTest, UnchangedRowWritesNothing) {
    // Modification times of every file of the table, in nanoseconds.
    auto stamps = [this] {
        std::map<std::string, long long> times;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            struct stat st {};
            EXPECT_EQ(::stat(entry.path().c_str(), &st), 0);
            times[entry.path().filename()] = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        }
        return times;
    };
    auto t = Make(UrlShape());
    for (int i = 1; i <= 3; ++i) ASSERT_EQ(AddUrl(*t, i, "http://u" + std::to_string(i) + "/"), Result::kSuccess);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    const auto before = stamps();
    // Long enough for any write to show in the times.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));

    t = Reopen();
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->WriteText(t->FieldIndex("URL"), "http://u2/"), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(t->FieldIndex("ID"), 2), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    EXPECT_EQ(stamps(), before);

    t = Reopen();
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->WriteText(t->FieldIndex("URL"), "http://u2x/"), Result::kSuccess);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    EXPECT_NE(stamps(), before);
}

TEST_F(TableTest, AppendStartIsAbandonedByAMove) {
    auto t = Make(UrlShape());
    ASSERT_EQ(AddUrl(*t, 1, "http://a/"), Result::kSuccess);
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(0, 2), Result::kSuccess);
    EXPECT_EQ(t->ReadNumber(0), 2);
    ASSERT_EQ(t->Top(), Result::kSuccess);
    EXPECT_EQ(t->RecordCount(), 1u);
    EXPECT_EQ(t->Append(), Result::kErrorRecord);
    // Flush leaves a new row open.
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(0, 5), Result::kSuccess);
    ASSERT_EQ(t->Flush(), Result::kSuccess);
    ASSERT_EQ(t->Append(), Result::kSuccess);
    EXPECT_EQ(t->RecordCount(), 2u);
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    // Update on a new row appends it.
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(0, 3), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 3u);
}

TEST_F(TableTest, MemoColumnsKeepTextOfAnyLength) {
    auto t = Make(PropsShape(), "P");
    const int notes = t->FieldIndex("NOTES");
    const std::string long_text(5000, 'n');
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(0, 1), Result::kSuccess);
    ASSERT_EQ(t->WriteText(notes, "short note"), Result::kSuccess);
    EXPECT_EQ(t->ReadText(notes), "short note");  // pending text reads back
    ASSERT_EQ(t->Append(), Result::kSuccess);
    ASSERT_EQ(t->AppendStart(), Result::kSuccess);
    ASSERT_EQ(t->WriteNumber(0, 2), Result::kSuccess);
    ASSERT_EQ(t->Append(), Result::kSuccess);
    EXPECT_EQ(t->ReadText(notes), "");
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    ASSERT_EQ(t->WriteText(notes, long_text), Result::kSuccess);  // grows: moves to the end
    ASSERT_EQ(t->Update(), Result::kSuccess);
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    ASSERT_EQ(t->WriteText(notes, "second"), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    const long long size = static_cast<long long>(fwtest::ReadFile(dir_ / "P.FPT").size());
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    // It would fit, but an exclusive opener never rewrites a memo in place:
    // the row on disk names the old text until the next flush.
    ASSERT_EQ(t->WriteText(notes, "shrunk"), Result::kSuccess);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    EXPECT_EQ(static_cast<long long>(fwtest::ReadFile(dir_ / "P.FPT").size()), size + 64);

    t = Reopen("P");
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    EXPECT_EQ(t->ReadText(notes), "shrunk");
    ASSERT_EQ(t->Go(2), Result::kSuccess);
    EXPECT_EQ(t->ReadText(notes), "second");
    ASSERT_EQ(t->WriteText(notes, ""), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    EXPECT_EQ(t->ReadText(notes), "");
    EXPECT_EQ(t->WriteNumber(notes, 5), Result::kErrorField);

    // A shared opener writes through at once, so a text that fits stays in
    // its blocks.
    t.reset();
    t = Reopen("P", Access::kShared);
    const long long shared_size = static_cast<long long>(fwtest::ReadFile(dir_ / "P.FPT").size());
    ASSERT_EQ(t->Go(1), Result::kSuccess);
    ASSERT_EQ(t->WriteText(notes, "tiny"), Result::kSuccess);
    ASSERT_EQ(t->Update(), Result::kSuccess);
    EXPECT_EQ(static_cast<long long>(fwtest::ReadFile(dir_ / "P.FPT").size()), shared_size);
    EXPECT_EQ(t->ReadText(notes), "tiny");

    // The memo file must exist for a table with memo columns.
    t.reset();
    std::remove((dir_ / "P.FPT").c_str());
    Result r;
    EXPECT_EQ(Table::Open(dir_ / "P", Access::kShared, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorOpen);
}

TEST_F(TableTest, ZapEmptiesTableAndTags) {
    auto t = Make(UrlShape());
    for (int i = 1; i <= 300; ++i) ASSERT_EQ(AddUrl(*t, i, "http://z/" + std::to_string(i)), Result::kSuccess);
    ASSERT_EQ(t->Zap(), Result::kSuccess);
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->RecordCount(), 0u);
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    EXPECT_EQ(t->Top(), Result::kEof);
    ASSERT_EQ(AddUrl(*t, 1, "http://again/"), Result::kSuccess);
    EXPECT_EQ(t->RecNo(), 1u);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    t = Reopen();
    EXPECT_FALSE(t->IndexRebuilt());
    EXPECT_EQ(t->RecordCount(), 1u);
}

TEST_F(TableTest, PackRemovesDeletedRowsAndRenumbers) {
    auto t = Make(QueueShape(), "Q");
    for (int i = 1; i <= 10; ++i) {
        ASSERT_EQ(t->AppendStart(), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(0, i), Result::kSuccess);
        ASSERT_EQ(t->WriteNumber(1, i % 3), Result::kSuccess);
        ASSERT_EQ(t->Append(), Result::kSuccess);
        if (i % 2 == 0) {
            ASSERT_EQ(t->Delete(), Result::kSuccess);
        }
    }
    ASSERT_EQ(t->Pack(), Result::kSuccess);
    EXPECT_TRUE(t->Eof());
    ASSERT_EQ(t->RecordCount(), 5u);
    ASSERT_EQ(t->SelectTag("QUEUE"), Result::kSuccess);
    EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    ASSERT_EQ(t->SelectTag("LEVEL"), Result::kSuccess);
    std::vector<long long> ids;
    for (Result r = t->Top(); r == Result::kSuccess; r = t->Skip()) ids.push_back(t->ReadNumber(0));
    EXPECT_EQ(ids, (std::vector<long long>{3, 9, 1, 7, 5}));  // by LEVEL, then row
    // RECNO() keys were rebuilt for the new row numbers.
    EXPECT_EQ(t->Seek(Key10(1) + Key10(0) + Key10(4)), Result::kSuccess);
    EXPECT_EQ(t->ReadNumber(0), 7);
    t.reset();
    t = Reopen("Q");
    EXPECT_FALSE(t->IndexRebuilt());
    EXPECT_EQ(t->RecordCount(), 5u);
}

// The crawl queue's pattern: rows appended at the end and deleted from the
// front, the LEVEL tag walked from its top again and again.
TEST_F(TableTest, QueueChurnKeepsTheFilteredTagSmallAndOrdered) {
    auto t = Make(QueueShape(), "Q");
    ASSERT_EQ(t->SelectTag("LEVEL"), Result::kSuccess);
    uint32_t next_to_take = 1;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 500; ++i) {
            ASSERT_EQ(t->AppendStart(), Result::kSuccess);
            ASSERT_EQ(t->WriteNumber(0, round * 500 + i + 1), Result::kSuccess);
            ASSERT_EQ(t->WriteNumber(1, 1), Result::kSuccess);
            ASSERT_EQ(t->Append(), Result::kSuccess);
        }
        for (int i = 0; i < 480; ++i) {
            ASSERT_EQ(t->Top(), Result::kSuccess);
            ASSERT_EQ(t->RecNo(), next_to_take++);
            ASSERT_EQ(t->Delete(), Result::kSuccess);
        }
    }
    EXPECT_EQ(Walk(*t).size(), 40u * 20);
    ASSERT_EQ(t->Close(), Result::kSuccess);
    // Emptied pages are reused: the index holds about what is live, not all
    // that ever was (URLID keeps 20000 keys, the filtered tags 800).
    EXPECT_LT(fwtest::ReadFile(dir_ / "Q.CDX").size(), 200u * 4096);
    t = Reopen("Q");
    EXPECT_FALSE(t->IndexRebuilt());
    ASSERT_EQ(t->SelectTag("QUEUE"), Result::kSuccess);
    EXPECT_EQ(Walk(*t).size(), 40u * 20);
    ASSERT_EQ(t->SelectTag("URLID"), Result::kSuccess);
    EXPECT_EQ(t->SeekNumber(1), Result::kSuccess);  // done entries keep their key
}

TEST_F(TableTest, ExclusiveAccessExcludesEveryOtherOpener) {
    auto t = Make(UrlShape(), "T", Access::kExclusive);
    Result r;
    EXPECT_EQ(Table::Open(dir_ / "T", Access::kShared, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorLocked);
    EXPECT_EQ(Table::Open(dir_ / "T", Access::kExclusive, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorLocked);
    EXPECT_EQ(Table::Create(dir_ / "T", UrlShape().fields, Access::kShared, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorLocked);
    t.reset();

    auto a = Reopen("T", Access::kShared);
    auto b = Reopen("T", Access::kShared);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(Table::Open(dir_ / "T", Access::kExclusive, &r), nullptr);
    EXPECT_EQ(r, Result::kErrorLocked);
}

// Two shared openers (two open files, as two processes would have) see
// each other's writes.
TEST_F(TableTest, SharedOpenersSeeEachOthersWrites) {
    Make(UrlShape(), "T", Access::kShared)->Close();
    auto a = Reopen("T", Access::kShared);
    auto b = Reopen("T", Access::kShared);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->SelectTag("URL"), Result::kSuccess);
    ASSERT_EQ(b->SelectTag("URL"), Result::kSuccess);
    for (int i = 1; i <= 400; ++i) {
        Table& writer = i % 2 ? *a : *b;
        ASSERT_EQ(AddUrl(writer, i, "http://shared/" + std::to_string(i)), Result::kSuccess);
    }
    ASSERT_EQ(a->Flush(), Result::kSuccess);
    EXPECT_EQ(Walk(*a).size(), 400u);
    EXPECT_EQ(Walk(*b).size(), 400u);
    EXPECT_EQ(b->Seek("http://shared/399"), Result::kSuccess);
    EXPECT_EQ(b->ReadNumber(0), 399);

    // A change by one is what the other reads and rewrites.
    ASSERT_EQ(a->Seek("http://shared/7 "), Result::kSuccess);
    ASSERT_EQ(a->WriteText(a->FieldIndex("URL"), "http://moved/7"), Result::kSuccess);
    ASSERT_EQ(a->Update(), Result::kSuccess);
    EXPECT_EQ(b->Seek("http://shared/7 "), Result::kFoundAfter);
    EXPECT_EQ(b->Seek("http://moved/7"), Result::kSuccess);
    ASSERT_EQ(b->Delete(), Result::kSuccess);
    ASSERT_EQ(a->Go(7), Result::kSuccess);
    EXPECT_TRUE(a->IsDeleted());

    // Pack by one replaces the files under the other, which follows.
    ASSERT_EQ(a->Pack(), Result::kSuccess);
    EXPECT_EQ(b->Top(), Result::kSuccess);
    EXPECT_EQ(b->RecordCount(), 399u);
    EXPECT_EQ(Walk(*b).size(), 399u);
    EXPECT_EQ(b->Seek("http://shared/8"), Result::kSuccess);
    EXPECT_EQ(b->RecNo(), 7u);
    a.reset();
    b.reset();
    auto c = Reopen("T", Access::kExclusive);
    EXPECT_FALSE(c->IndexRebuilt());
}

// One shared opener reads every row (so it holds them), the other changes
// them in each way there is; the first must then read what the file holds,
// whether it has the index open or not.
TEST_F(TableTest, SharedOpenersReadRowsTheOtherChanged) {
    Make(UrlShape(), "T", Access::kShared)->Close();
    auto writer = Reopen("T", Access::kShared);
    auto with_index = Reopen("T", Access::kShared);
    Result r;
    auto without_index = Table::Open(dir_ / "T", Access::kShared, &r);
    ASSERT_TRUE(writer && with_index && without_index);
    const int url = writer->FieldIndex("URL"), content = writer->FieldIndex("CONTENT");
    for (int i = 1; i <= 60; ++i) ASSERT_EQ(AddUrl(*writer, i, "http://x/" + std::to_string(i)), Result::kSuccess);
    ASSERT_EQ(writer->SelectTag("ID"), Result::kSuccess);
    auto change_row = [&](long long id, const std::function<Result()>& change) {
        ASSERT_EQ(writer->SeekNumber(static_cast<double>(id)), Result::kSuccess);
        ASSERT_EQ(change(), Result::kSuccess);
    };
    auto append = [&](int from, int to) {
        for (int i = from; i <= to; ++i) ASSERT_EQ(AddUrl(*writer, i, "http://x/" + std::to_string(i)), Result::kSuccess);
    };
    const struct {
        const char* what;
        std::function<void()> change;
        uint32_t row;  // then read here
        uint32_t rows;
        std::string url, content;
        bool deleted;
    } cases[] = {
        {"column rewritten",
         [&] { change_row(5, [&] { writer->WriteText(content, "text/changed"); return writer->Update(); }); },
         5, 60, "http://x/5", "text/changed", false},
        {"deleted", [&] { change_row(6, [&] { return writer->Delete(); }); }, 6, 60, "http://x/6", "", true},
        {"undeleted", [&] { change_row(6, [&] { return writer->Undelete(); }); }, 6, 60, "http://x/6", "", false},
        {"rows appended", [&] { append(61, 70); }, 65, 70, "http://x/65", "", false},
        {"packed",
         [&] {
             change_row(1, [&] { return writer->Delete(); });
             ASSERT_EQ(writer->Pack(), Result::kSuccess);
         },
         1, 69, "http://x/2", "", false},
        {"emptied and filled again",
         [&] {
             ASSERT_EQ(writer->Zap(), Result::kSuccess);
             ASSERT_EQ(AddUrl(*writer, 500, "http://y/500"), Result::kSuccess);
         },
         1, 1, "http://y/500", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (Table* reader : {with_index.get(), without_index.get()}) {
            for (uint32_t row = 1; row <= reader->RecordCount(); ++row) ASSERT_EQ(reader->Go(row), Result::kSuccess);
        }
        c.change();
        for (Table* reader : {with_index.get(), without_index.get()}) {
            ASSERT_EQ(reader->Go(c.row), Result::kSuccess);
            EXPECT_EQ(reader->RecordCount(), c.rows);
            EXPECT_EQ(reader->ReadText(url), c.url);
            EXPECT_EQ(reader->ReadText(content), c.content);
            EXPECT_EQ(reader->IsDeleted(), c.deleted);
        }
    }
    // The reader with the index also changes rows from what it read.
    ASSERT_EQ(with_index->SelectTag("URL"), Result::kSuccess);
    ASSERT_EQ(with_index->Seek("http://y/500"), Result::kSuccess);
    ASSERT_EQ(with_index->WriteText(url, "http://z/500"), Result::kSuccess);
    ASSERT_EQ(with_index->Update(), Result::kSuccess);
    ASSERT_EQ(writer->SelectTag("URL"), Result::kSuccess);
    EXPECT_EQ(writer->Seek("http://z/500"), Result::kSuccess);
    EXPECT_EQ(writer->Seek("http://y/500"), Result::kFoundAfter);
    writer.reset();
    with_index.reset();
    without_index.reset();
    testing::ExpectTagsAgreeWithTable(*Reopen("T"), dir_ / "T", UrlShape().tags);
}

// With a row cache of one block, rows leave and come back all the time:
// every read returns what was last written, appended rows still in memory
// included.
TEST_F(TableTest, RowsReadBackAsWrittenWhileTheRowCacheEvicts) {
    Result r;
    TableOptions options;
    options.row_cache_bytes = 1;
    auto t = Table::Create(dir_ / "C", UrlShape().fields, Access::kExclusive, &r, options);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->CreateIndex(UrlShape().tags), Result::kSuccess);
    const int url = t->FieldIndex("URL");
    std::mt19937 rng(3);
    std::vector<std::pair<std::string, bool>> model;  // URL, deleted
    for (int step = 0; step < 4000; ++step) {
        const unsigned op = model.empty() ? 0 : rng() % 8;
        const uint32_t recno = model.empty() ? 0 : 1 + rng() % static_cast<uint32_t>(model.size());
        if (op < 3) {
            model.push_back({"http://c/" + std::to_string(rng()), false});
            ASSERT_EQ(AddUrl(*t, static_cast<long long>(model.size()), model.back().first), Result::kSuccess);
        } else if (op < 5) {
            ASSERT_EQ(t->Go(recno), Result::kSuccess);
            model[recno - 1].first = "http://c/changed/" + std::to_string(step);
            ASSERT_EQ(t->WriteText(url, model[recno - 1].first), Result::kSuccess);
            // Half the time the next move writes the change.
            if (rng() % 2) {
                ASSERT_EQ(t->Update(), Result::kSuccess);
            }
        } else if (op == 5) {
            ASSERT_EQ(t->Go(recno), Result::kSuccess);
            model[recno - 1].second = !model[recno - 1].second;
            ASSERT_EQ(model[recno - 1].second ? t->Delete() : t->Undelete(), Result::kSuccess);
        } else if (op == 6 && step % 50 == 0) {
            ASSERT_EQ(t->Flush(), Result::kSuccess);
        } else {
            ASSERT_EQ(t->Go(recno), Result::kSuccess);
            ASSERT_EQ(t->ReadText(url), model[recno - 1].first) << recno;
            ASSERT_EQ(t->IsDeleted(), model[recno - 1].second) << recno;
        }
    }
    ASSERT_EQ(t->Close(), Result::kSuccess);
    t = Reopen("C");
    for (uint32_t row = 1; row <= model.size(); ++row) {
        ASSERT_EQ(t->Go(row), Result::kSuccess);
        ASSERT_EQ(t->ReadText(url), model[row - 1].first);
        ASSERT_EQ(t->IsDeleted(), model[row - 1].second);
    }
}

// Random appends, updates, deletes and undeletes checked against a model of
// every tag, across many page splits and page removals, with reopens.
TEST_F(TableTest, TagsMatchAModelUnderRandomChanges) {
    Result r;
    auto t = Table::Create(dir_ / "R", {{"K", 'C', 60}, {"N", 'N', 10}}, Access::kExclusive, &r);
    const std::vector<TagDef> tags = {{"K", "K", "", Uniqueness::kNone},
                                      {"N", "N", "", Uniqueness::kRefuse},
                                      {"LIVE", "K+STR(N)", ".NOT.DELETED()", Uniqueness::kNone},
                                      {"FIRST", "K", ".NOT.DELETED()", Uniqueness::kKeepRow}};
    ASSERT_EQ(t->CreateIndex(tags), Result::kSuccess);
    std::mt19937 rng(12345);
    struct Row {
        std::string k;
        long long n;
        bool deleted;
    };
    std::vector<Row> rows;
    std::set<long long> used;
    auto random_key = [&] {
        // Long shared prefixes and varied lengths, as URLs have.
        std::string k = "http://host" + std::to_string(rng() % 7) + "/";
        k += std::string(rng() % 30, 'a' + static_cast<char>(rng() % 3));
        k += std::to_string(rng() % 300);
        return k;
    };
    auto check = [&] {
        std::vector<std::pair<std::string, uint32_t>> k_order, live_order;
        std::vector<std::pair<long long, uint32_t>> n_order;
        for (uint32_t i = 0; i < rows.size(); ++i) {
            std::string k = rows[i].k;
            k.resize(60, ' ');
            k_order.push_back({k, i + 1});
            n_order.push_back({rows[i].n, i + 1});
            if (!rows[i].deleted) live_order.push_back({k + Key10(rows[i].n), i + 1});
        }
        std::sort(k_order.begin(), k_order.end());
        std::sort(n_order.begin(), n_order.end());
        std::sort(live_order.begin(), live_order.end());
        auto rows_of = [](const auto& order) {
            std::vector<uint32_t> v;
            for (const auto& e : order) v.push_back(e.second);
            return v;
        };
        ASSERT_EQ(t->SelectTag("K"), Result::kSuccess);
        ASSERT_EQ(Walk(*t), rows_of(k_order));
        ASSERT_EQ(t->SelectTag("N"), Result::kSuccess);
        ASSERT_EQ(Walk(*t), rows_of(n_order));
        ASSERT_EQ(t->SelectTag("LIVE"), Result::kSuccess);
        ASSERT_EQ(Walk(*t), rows_of(live_order));
        testing::ExpectTagsAgreeWithTable(*t, dir_ / "R", tags);
    };
    for (int step = 0; step < 6000; ++step) {
        const unsigned op = rows.empty() ? 0 : rng() % 10;
        if (op < 5) {
            Row row{random_key(), static_cast<long long>(rng() % 5000), false};
            ASSERT_EQ(t->AppendStart(), Result::kSuccess);
            ASSERT_EQ(t->WriteText(0, row.k), Result::kSuccess);
            ASSERT_EQ(t->WriteNumber(1, row.n), Result::kSuccess);
            ASSERT_EQ(t->Append(), used.count(row.n) ? Result::kDuplicate : Result::kSuccess);
            if (!used.count(row.n)) {
                rows.push_back(row);
                used.insert(row.n);
            }
        } else {
            const uint32_t recno = 1 + rng() % static_cast<uint32_t>(rows.size());
            Row& row = rows[recno - 1];
            ASSERT_EQ(t->Go(recno), Result::kSuccess);
            if (op < 8) {
                const std::string k = random_key();
                const long long n = rng() % 5000;
                ASSERT_EQ(t->WriteText(0, k), Result::kSuccess);
                ASSERT_EQ(t->WriteNumber(1, n), Result::kSuccess);
                const bool clash = n != row.n && used.count(n);
                ASSERT_EQ(t->Update(), clash ? Result::kDuplicate : Result::kSuccess);
                if (!clash) {
                    used.erase(row.n);
                    used.insert(n);
                    row.k = k;
                    row.n = n;
                }
            } else {
                row.deleted = !row.deleted;
                ASSERT_EQ(row.deleted ? t->Delete() : t->Undelete(), Result::kSuccess);
            }
        }
        if (step % 500 == 499) {
            check();
            ASSERT_EQ(t->Close(), Result::kSuccess);
            t = Reopen("R");
            ASSERT_FALSE(t->IndexRebuilt());
        }
    }
    check();
}

TEST_F(TableTest, UpdatesAreVisibleWhileTheCacheEvicts) {
    // A cache far smaller than the index: pages go to disk and come back.
    Result r;
    auto t = Table::Create(dir_ / "S", UrlShape().fields, Access::kExclusive, &r, TableOptions{64 * 4096});
    ASSERT_EQ(t->CreateIndex(UrlShape().tags), Result::kSuccess);
    std::mt19937 rng(7);
    std::vector<std::string> urls;
    for (int i = 1; i <= 5000; ++i) {
        urls.push_back("http://site" + std::to_string(rng() % 1000) + ".example/" + std::to_string(rng()));
        ASSERT_EQ(AddUrl(*t, i, urls.back(), urls.back().substr(7)), Result::kSuccess);
    }
    ASSERT_EQ(t->SelectTag("URL"), Result::kSuccess);
    for (int i = 0; i < 5000; i += 7) {
        ASSERT_EQ(t->Seek(urls[i]), Result::kSuccess);
        EXPECT_EQ(t->ReadNumber(0), i + 1);
    }
    std::vector<std::string> sorted = urls;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> walked;
    for (Result s = t->Top(); s == Result::kSuccess; s = t->Skip()) walked.push_back(t->ReadText(t->FieldIndex("URL")));
    EXPECT_EQ(walked, sorted);
}

}  // namespace
}  // namespace fw::xbase
