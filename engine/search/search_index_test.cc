#include "engine/search/search_index.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine/search/search_error.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;
using fwtest::WriteFile;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;

const std::string kFixtures = std::string(FW_SOURCE_DIR) + "/tests/fixtures/search/";

class SearchIndexTest : public ::testing::Test {
protected:
    void AddFixture(const std::string& name, bool html) {
        platform::CopyReplacing(kFixtures + name, dir_ / name);
        documents_.push_back({name, html});
    }
    void AddText(const std::string& name, const std::string& text, bool html = false) {
        WriteFile(dir_ / name, text);
        documents_.push_back({name, html});
    }

    void Build() {
        SearchIndex index;
        ASSERT_TRUE(index.Open(dir_.path()));
        ASSERT_TRUE(index.created());
        ASSERT_TRUE(index.AddDocuments(documents_));
        ASSERT_TRUE(index.Commit());
    }

    // The files matching `expression`, best first; fails the test on an
    // error code.
    std::vector<std::string> Find(const std::string& expression) {
        SearchIndex index;
        EXPECT_TRUE(index.Open(dir_.path()));
        EXPECT_FALSE(index.created());
        std::vector<std::string> files;
        EXPECT_EQ(index.Query(expression, &files), kSearchOk) << expression;
        return files;
    }

    TempDir dir_;
    std::vector<IndexDocument> documents_;
};

TEST_F(SearchIndexTest, IndexesTheTextOfAPageWithoutItsMarkup) {
    AddFixture("page.htm", true);
    Build();
    const struct {
        const char* expression;
        bool found;
    } cases[] = {
        {"ferns", true},        {"FERNS", true},        {"orangery", true},  // title
        {"greenhouse", true},   {"\"the greenhouse\"", true},  // &nbsp;
        {"glass", true},        {"gla", false},         // inline tags join a word
        {"caf\xC3\xA9", true},  {"CAF\xC3\x89", true},  {"open", true},  {"daily", true},
        {"marigold", false},    // style
        {"tulip", false},       {"hidden", false},      // script
        {"snowdrops", false},   // comment
        {"b", false},           // inside a quoted attribute value holding ">"
        {"href", false},        {"pond", true},
        {"\"orangery ferns\"", false},  // no phrase from the title into the body
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(c.expression).size(), c.found ? 1u : 0u) << c.expression;
    }
}

TEST_F(SearchIndexTest, ReadsEachFileInItsCharacterSet) {
    AddFixture("latin1.htm", true);
    AddFixture("utf16.txt", false);
    AddText("utf8.txt", "na\xC3\xAFve r\xC3\xA9sum\xC3\xA9");
    AddText("cp1252.txt", "na\xEFve caf\xE9 \x93quoted\x94");
    Build();
    const struct {
        const char* expression;
        std::vector<std::string> files;
    } cases[] = {
        {"caf\xC3\xA9", {"latin1.htm", "cp1252.txt"}},
        {"\"cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e\"", {"latin1.htm"}},
        {"gr\xC3\xBC\xC3\x9F" "e k\xC3\xB6ln", {"utf16.txt"}},
        {"na\xC3\xAFve", {"utf8.txt", "cp1252.txt"}},
        {"quoted", {"cp1252.txt"}},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(Find(c.expression), UnorderedElementsAreArray(c.files)) << c.expression;
    }
}

TEST_F(SearchIndexTest, AnswersEachKindOfExpression) {
    AddText("d1.txt", "the quick brown fox jumps over the lazy dog");
    AddText("d2.txt", "the brown quick dog sleeps while a fox waits far far away from the jumps");
    AddText("d3.txt", "chapter 7 of 12, page 0042 in volume 1999");
    Build();
    using Files = std::vector<std::string>;
    const Files both = {"d1.txt", "d2.txt"};
    const struct {
        std::string expression;
        Files files;
    } cases[] = {
        {"quick", both},
        {"quick AND sleeps", {"d2.txt"}},
        {"quick sleeps", {"d2.txt"}},
        {"sleeps OR lazy", both},
        {"lazy OR sleeps AND chapter", {"d1.txt"}},
        {"(lazy OR sleeps) AND waits", {"d2.txt"}},
        {"\"quick brown\"", {"d1.txt"}},
        {"\"brown quick\"", {"d2.txt"}},
        {"\"quick fox\"", {}},
        {"\"quick fox\":3", {"d1.txt"}},
        {"\"fox quick\":3", {}},
        {"[fox quick]:3", {"d1.txt"}},
        {"[fox quick]", both},
        {"[dog lazy]:2", {"d1.txt"}},
        {"\"dog lazy\":2", {}},
        {"[quick lazy cat]:10:1", {"d1.txt"}},
        {"\"fox over dog\":4:1", {"d1.txt"}},  // fox ... over, in order
        {"\"dog fox quick\":9:1", {"d2.txt"}},  // dog ... fox
        {"qu*", both},
        {"j*s", both},
        {"f*x", both},
        {"ch*r", {"d3.txt"}},
        {"zz*", {}},
        {"\"quick br*\"", {"d1.txt"}},
        {"[sl* quick]:3", {"d2.txt"}},
        {"RANGE(5 10)", {"d3.txt"}},         // 7, by value
        {"RANGE(40 50)", {"d3.txt"}},        // 0042
        {"RANGE(2000 2010)", {}},
        {"RANGE(waits while)", {"d2.txt"}},
        {"RANGE(volume, volume)", {"d3.txt"}},
        {"\"page 0042\"", {"d3.txt"}},
        // Phrases and groups among ANDs and ORs: d2 has "brown" and "fox",
        // but apart.
        {"\"brown fox\" OR chapter", {"d1.txt", "d3.txt"}},
        {"\"brown fox\" OR waits", both},
        {"(\"brown fox\" OR \"quick dog\") AND the", both},
        {"\"brown fox\" AND \"quick dog\"", {}},
        {"\"lazy dog\" lazy", {"d1.txt"}},
        {"\"j* over\"", {"d1.txt"}},
        // A position serves one word of a group only.
        {"[far far]:2", {"d2.txt"}},
        {"[fox fox]", {}},
        {"\"the the\":9", {"d1.txt"}},
        {"[f* fox]:3", {"d2.txt"}},  // fox waits far
        {"jumps\\*", both},                  // a literal asterisk only separates
        {std::string(300, 'q'), {}},         // longer than any indexed word
        {"\"quick " + std::string(300, 'q') + "\"", {}},
        {std::string(300, 'q') + "*", {}},
        {"RANGE(" + std::string(300, 'a') + " " + std::string(300, 'b') + ")", {"d2.txt"}},  // away
    };
    for (const auto& c : cases) {
        EXPECT_THAT(Find(c.expression), UnorderedElementsAreArray(c.files)) << c.expression;
    }
}

// Built by several threads when there are many documents (on a machine
// with more than one processor): every document's words are found in place.
TEST_F(SearchIndexTest, PhrasesAreFoundInDocumentsOfEveryThread) {
    constexpr int kDocuments = 900;
    for (int i = 0; i < kDocuments; ++i) {
        const std::string n = std::to_string(i);
        AddText("d" + n + ".txt", "w" + n + " common marker" + std::to_string(i % 7) + " tail");
    }
    Build();
    for (int i : {0, 1, 224, 225, 449, 450, 451, 674, 675, 899}) {
        const std::string n = std::to_string(i);
        EXPECT_THAT(Find("\"w" + n + " common\""), ElementsAre("d" + n + ".txt"));
        EXPECT_THAT(Find("\"common w" + n + "\""), ElementsAre());
        EXPECT_THAT(Find("[tail w" + n + "]"), ElementsAre("d" + n + ".txt"));
    }
    EXPECT_EQ(Find("\"common marker3 tail\"").size(), 129u);  // 3, 10, ..., 899
}

TEST_F(SearchIndexTest, DamagedWordPositionsAreFoundOutAndRebuilt) {
    AddText("a.txt", "heron over the marsh");
    Build();
    // Keep the first line and the tables at the end; spoil the positions.
    std::string bytes = fwtest::ReadFile(dir_ / "search.in3");
    const size_t blocks = bytes.find('\n') + 1;
    for (size_t i = blocks; i < blocks + 4; ++i) bytes[i] = '\xFF';
    WriteFile(dir_ / "search.in3", bytes);

    SearchIndex index;
    ASSERT_TRUE(index.Open(dir_.path()));
    ASSERT_FALSE(index.created());
    std::vector<std::string> files;
    EXPECT_EQ(index.Query("heron", &files), kSearchOk);  // needs no positions
    EXPECT_EQ(index.Query("\"over the\"", &files), kIndexUnavailable);
    EXPECT_FALSE(SearchIndex::Exists(dir_.path()));
    index.Close();

    const auto documents = [&] { return documents_; };
    EXPECT_THAT(RunIndexSearch(dir_.path(), "\"over the\"", documents).files,
                ElementsAre("a.txt"));
}

TEST_F(SearchIndexTest, RanksTitleWordsHigher) {
    const std::string filler = " lorem ipsum dolor sit amet consectetur adipiscing elit";
    AddText("body.htm", "<title>Greenhouse notes</title><p>orchid" + filler + "</p>", true);
    AddText("title.htm", "<title>Orchid notes</title><p>greenhouse" + filler + "</p>", true);
    Build();
    EXPECT_THAT(Find("orchid"), ElementsAre("title.htm", "body.htm"));
    EXPECT_THAT(Find("greenhouse"), ElementsAre("body.htm", "title.htm"));
}

TEST_F(SearchIndexTest, AddsEachFileOnceAndSkipsMissingOnes) {
    AddText("a.txt", "unique words");
    documents_.push_back({"a.txt", false});
    documents_.push_back({"gone.txt", false});
    SearchIndex index;
    ASSERT_TRUE(index.Open(dir_.path()));
    ASSERT_TRUE(index.AddDocuments(documents_));  // a.txt twice, and a missing file
    ASSERT_TRUE(index.AddDocuments({documents_[0]}));  // and once more later
    ASSERT_TRUE(index.Commit());
    std::vector<std::string> files;
    EXPECT_EQ(index.Query("unique", &files), kSearchOk);
    EXPECT_THAT(files, ElementsAre("a.txt"));
}

TEST_F(SearchIndexTest, KeepsItsFilesUntilDiscarded) {
    AddText("a.txt", "alpha");
    Build();
    EXPECT_TRUE(SearchIndex::Exists(dir_.path()));
    EXPECT_TRUE(platform::FileExists(dir_ / "search.in1"));
    EXPECT_TRUE(platform::FileExists(dir_ / "search.in2"));
    EXPECT_TRUE(platform::FileExists(dir_ / "search.in3"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "index1.tmp"));  // work files are gone
    EXPECT_THAT(Find("alpha"), ElementsAre("a.txt"));  // reopened from its files
    WriteFile(dir_ / "index1.tmp/0/left", "from a build that was cut short");
    WriteFile(dir_ / "search.in3.new", "positions being written when it was cut short");
    EXPECT_TRUE(SearchIndex::Discard(dir_.path()));
    EXPECT_FALSE(SearchIndex::Exists(dir_.path()));
    for (const char* name :
         {"search.in1", "search.in2", "search.in3", "search.in3.new", "index1.tmp"}) {
        EXPECT_FALSE(std::filesystem::exists(dir_ / name)) << name;
    }
    EXPECT_TRUE(SearchIndex::Discard(dir_.path()));  // nothing left is no failure
}

TEST_F(SearchIndexTest, AnUnfinishedBuildLeavesNoIndex) {
    AddText("a.txt", "alpha");
    {
        SearchIndex index;
        ASSERT_TRUE(index.Open(dir_.path()));
        index.AddDocuments(documents_);
    }  // closed without Commit, as when indexing is cut short
    EXPECT_FALSE(SearchIndex::Exists(dir_.path()));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "search.in2"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "index1.tmp"));
}

TEST_F(SearchIndexTest, ADamagedOrOlderIndexIsStartedAgain) {
    AddText("a.txt", "alpha");
    const struct {
        const char* file;
        const char* content;
    } damage[] = {
        {"search.in1", "auto missing-database\n"},
        {"search.in1", "\x01garbage"},
        {"search.in3", "corvalin search index 0\n"},
        {"search.in2", "not a database"},
        {"search.in3", "corvalin search index 2\n"},  // positions cut off
    };
    for (const auto& d : damage) {
        Build();
        WriteFile(dir_ / d.file, d.content);
        SearchIndex index;
        ASSERT_TRUE(index.Open(dir_.path())) << d.file << " " << d.content;
        EXPECT_TRUE(index.created()) << d.file << " " << d.content;
    }
}

TEST_F(SearchIndexTest, QueriesReportExpressionErrors) {
    AddText("a.txt", "alpha");
    Build();
    SearchIndex index;
    ASSERT_TRUE(index.Open(dir_.path()));
    std::vector<std::string> files = {"stale"};
    EXPECT_EQ(index.Query("\"alpha", &files), kQuotesUnmatched);
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(index.last_error(), kQuotesUnmatched);
    EXPECT_EQ(SearchIndex::Message(index.last_error()),
              "Quotes don't match. Use parenthesis around quotes within quotes.");
    EXPECT_EQ(SearchIndex::Message(999), "This error code is not recognized.");
}

TEST_F(SearchIndexTest, RunIndexSearchBuildsOnceUntilDiscarded) {
    AddText("a.txt", "first version");
    int listed = 0;
    const auto documents = [&] {
        ++listed;
        return documents_;
    };
    EXPECT_THAT(RunIndexSearch(dir_.path(), "first", documents).files, ElementsAre("a.txt"));
    WriteFile(dir_ / "a.txt", "second version");
    EXPECT_THAT(RunIndexSearch(dir_.path(), "first", documents).files, ElementsAre("a.txt"));
    EXPECT_TRUE(RunIndexSearch(dir_.path(), "second", documents).files.empty());
    EXPECT_EQ(listed, 1);

    DiscardSearchIndex(dir_.path());
    EXPECT_THAT(RunIndexSearch(dir_.path(), "second", documents).files, ElementsAre("a.txt"));
    EXPECT_EQ(listed, 2);

    const IndexSearchResult bad = RunIndexSearch(dir_.path(), "a OR", documents);
    EXPECT_EQ(bad.error, kOrMisused);
    EXPECT_TRUE(bad.files.empty());
}

TEST_F(SearchIndexTest, AnIndexThatCannotBeWrittenIsReported) {
    const std::string nowhere = dir_ / "missing/dir/";
    const IndexSearchResult result =
        RunIndexSearch(nowhere, "alpha", [] { return std::vector<IndexDocument>(); });
    EXPECT_EQ(result.error, kIndexUnavailable);
}

}  // namespace
}  // namespace fw
