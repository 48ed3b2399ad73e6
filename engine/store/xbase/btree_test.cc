#include "engine/store/xbase/btree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <set>

#include "engine/store/xbase/bytes.h"
#include "tests/support/temp_dir.h"

namespace fw::xbase {
namespace {

constexpr int kKeyLength = 40;
using EntryList = std::vector<std::pair<std::string, uint32_t>>;

std::string Key(const std::string& text) {
    std::string key = text;
    key.resize(kKeyLength, ' ');
    return key;
}

class BTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fd_ = ::open((dir_ / "tree").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd_, 0);
        // A cache of a few pages, so pages leave and come back from disk.
        pages_ = std::make_unique<PageFile>(fd_, 8 * kPageSize, &BTree::ValidPage);
        uint32_t root = 0;
        ASSERT_EQ(BTree::MakeEmptyRoot(pages_.get(), 0, &root), Result::kSuccess);
        tree_ = std::make_unique<BTree>(pages_.get(), 0, kKeyLength, root);
    }
    void TearDown() override {
        tree_.reset();
        pages_.reset();
        ::close(fd_);
    }

    EntryList Entries() {
        EntryList out;
        TreePosition pos;
        for (Result r = tree_->First(&pos); r == Result::kSuccess; r = tree_->Next(&pos)) {
            out.push_back({pos.key, pos.row});
        }
        return out;
    }

    fwtest::TempDir dir_;
    int fd_ = -1;
    std::unique_ptr<PageFile> pages_;
    std::unique_ptr<BTree> tree_;
};

TEST(KeyCompareTest, MissingBytesCompareAsBlanks) {
    const struct {
        std::string a, b;
        int expected;
    } cases[] = {
        {"abc", "abc", 0},       {"abc", "abc  ", 0},     {"abc", "abd", -1},
        {"abc", "abc\x10", 1},   // "abc " > "abc\x10"
        {"abc", "abcd", -1},     {"", "   ", 0},          {"b", "abc", 1},
        {"abc\xE9", "abc", 1},   // bytes compare unsigned
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareKeys(c.a, c.b), c.expected) << c.a << " | " << c.b;
        EXPECT_EQ(CompareKeys(c.b, c.a), -c.expected) << c.b << " | " << c.a;
    }
    EXPECT_EQ(TrimKey("ab  "), "ab");
    EXPECT_EQ(TrimKey("   "), "");
}

// Random inserts and erases checked against an ordered set, through many
// splits, emptied pages and root changes; then everything erased.
TEST_F(BTreeTest, MatchesAnOrderedSet) {
    std::mt19937 rng(99);
    std::set<std::pair<std::string, uint32_t>> model;
    auto random_key = [&] { return Key("k" + std::to_string(rng() % 3000) + std::string(rng() % 25, 'x')); };
    for (int step = 0; step < 40000; ++step) {
        if (model.empty() || rng() % 3 != 0) {
            auto entry = std::make_pair(random_key(), static_cast<uint32_t>(rng() % 100));
            ASSERT_EQ(tree_->Insert(entry.first, entry.second), Result::kSuccess);
            model.insert(entry);
        } else {
            auto it = model.lower_bound({random_key(), 0});
            if (it == model.end()) it = model.begin();
            ASSERT_EQ(tree_->Erase(it->first, it->second), Result::kSuccess);
            model.erase(it);
        }
    }
    ASSERT_EQ(Entries(), EntryList(model.begin(), model.end()));
    EXPECT_EQ(tree_->Erase(Key("absent"), 1), Result::kEof);

    // Prefix lookups land on the first entry at or after the prefix.
    // Prefixes may end in blanks (sought keys come padded): those blanks
    // must count as bytes of the prefix.
    for (int i = 0; i < 500; ++i) {
        std::string prefix = "k" + std::to_string(rng() % 3000) + std::string(rng() % 4 == 0 ? rng() % 30 : 0, ' ');
        TreePosition pos;
        Result r = tree_->LowerBound(prefix, &pos);
        auto it = model.lower_bound({prefix, 0});
        if (it == model.end()) {
            EXPECT_EQ(r, Result::kEof);
        } else {
            ASSERT_EQ(r, Result::kSuccess);
            EXPECT_EQ(pos.key, it->first);
            EXPECT_EQ(pos.row, it->second);
        }
    }

    // Erasing in order frees pages from the left; the tree ends empty.
    const uint32_t pages_before = pages_->page_count();
    for (const auto& [key, row] : model) ASSERT_EQ(tree_->Erase(key, row), Result::kSuccess);
    TreePosition pos;
    EXPECT_EQ(tree_->First(&pos), Result::kEof);
    EXPECT_EQ(tree_->Last(&pos), Result::kEof);
    // Filling it again reuses the freed pages.
    for (const auto& [key, row] : model) ASSERT_EQ(tree_->Insert(key, row), Result::kSuccess);
    EXPECT_EQ(pages_->page_count(), pages_before);
    EXPECT_EQ(Entries().size(), model.size());
}

// Page images that lie about their layout are refused before any entry of
// them is read: a branch with a shared prefix, a prefix or a prefix plus key
// longer than a key can be, an entry inside the prefix.
TEST_F(BTreeTest, DamagedPageImagesAreRefused) {
    for (int i = 0; i < 600; ++i) {
        ASSERT_EQ(tree_->Insert(Key("shared-start-" + std::to_string(i)), i), Result::kSuccess);
    }
    // Byte 14 is the level, 15 the prefix length, slots start at 16.
    PageFile::Ref root;
    ASSERT_EQ(pages_->Get(tree_->root(), &root), Result::kSuccess);
    const std::vector<uint8_t> branch(root.data(), root.data() + kPageSize);
    ASSERT_TRUE(BTree::ValidPage(branch.data()));
    ASSERT_EQ(branch[14], 1) << "the root should be a branch over leaves by now";
    const uint32_t first_entry = LoadLE16(branch.data() + 16);
    PageFile::Ref child;
    ASSERT_EQ(pages_->Get(LoadLE32(branch.data() + first_entry), &child), Result::kSuccess);
    const std::vector<uint8_t> leaf(child.data(), child.data() + kPageSize);
    ASSERT_TRUE(BTree::ValidPage(leaf.data()));
    const uint32_t prefix = leaf[15];
    ASSERT_GT(prefix, 0u) << "the leaf's keys share a prefix";
    const uint32_t entry = LoadLE16(leaf.data() + 16);

    const struct {
        const char* damage;
        const std::vector<uint8_t>& image;
        std::function<void(std::vector<uint8_t>&)> apply;
    } cases[] = {
        {"branch with a prefix", branch, [](std::vector<uint8_t>& p) { p[15] = 4; }},
        {"prefix longer than any key", leaf, [](std::vector<uint8_t>& p) { p[15] = 250; }},
        {"prefix and key longer than any key", leaf,
         [&](std::vector<uint8_t>& p) { p[entry + 5 - 1] = static_cast<uint8_t>(241 - prefix); }},
        {"entry inside the prefix", leaf,
         [&](std::vector<uint8_t>& p) { StoreLE16(p.data() + 16, kPageSize - prefix); }},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> image = c.image;
        c.apply(image);
        EXPECT_FALSE(BTree::ValidPage(image.data())) << c.damage;
    }
}

// Keys that share most of their bytes are stored once per page; a key that
// shares none of them must still find room, at either end.
TEST_F(BTreeTest, SharedPrefixesAndKeysOutsideThem) {
    std::set<std::pair<std::string, uint32_t>> model;
    auto add = [&](const std::string& text, uint32_t row) {
        ASSERT_EQ(tree_->Insert(Key(text), row), Result::kSuccess);
        model.insert({Key(text), row});
    };
    const std::string common(33, 'x');
    for (uint32_t i = 0; i < 2000; ++i) add(common + std::to_string(1000 + i), i);
    add("a", 1);
    add(std::string(39, 'z'), 2);
    add(common, 3);  // the shared part alone
    add(common.substr(0, 20) + " y", 4);
    for (uint32_t i = 0; i < 300; ++i) add("b" + std::to_string(i), 10 + i);
    ASSERT_EQ(Entries(), EntryList(model.begin(), model.end()));
    TreePosition pos;
    ASSERT_EQ(tree_->LowerBound(common + "15", &pos), Result::kSuccess);
    EXPECT_EQ(pos.key, Key(common + "1500"));
    ASSERT_EQ(tree_->LowerBound(common.substr(0, 21), &pos), Result::kSuccess);
    EXPECT_EQ(pos.row, 3u);  // "x..x" (33) sorts before "x..x1000"
}

// Keys holding bytes below and above the blank around where a sought key's
// text ends: a lookup must treat the missing bytes of either side as blanks.
TEST_F(BTreeTest, LowerBoundComparesMissingBytesAsBlanks) {
    const std::vector<std::string> keys = {"ab", "ab\x10", "ab \x10", "ab  c", "ab!", "abc", "b"};
    for (uint32_t i = 0; i < keys.size(); ++i) ASSERT_EQ(tree_->Insert(Key(keys[i]), i + 1), Result::kSuccess);
    const struct {
        std::string prefix;
        uint32_t row;  // 0: end
    } cases[] = {
        {"ab", 2},           // "ab\x10" sorts first among the keys starting "ab"
        {"ab ", 3},          // "ab \x10" sorts before "ab" padded
        {Key("ab"), 1},      // the whole padded key
        {"ab \x01", 3},     // "ab \x10"
        {"ab  ", 1},         // "ab" itself: its blanks match
        {"ab  b", 4},        // "ab  c"
        {"ab  d", 5},        // past "ab  c": "ab!"
        {"ab\x7f", 7},      // past "abc": "b"
        {Key("b"), 7},
        {"c", 0},
    };
    for (const auto& c : cases) {
        TreePosition pos;
        const Result r = tree_->LowerBound(c.prefix, &pos);
        if (c.row == 0) {
            EXPECT_EQ(r, Result::kEof) << c.prefix;
        } else {
            ASSERT_EQ(r, Result::kSuccess) << c.prefix;
            EXPECT_EQ(pos.row, c.row) << c.prefix;
        }
    }
}

TEST_F(BTreeTest, WalksSurviveChangesBetweenSteps) {
    for (uint32_t i = 0; i < 2000; ++i) ASSERT_EQ(tree_->Insert(Key("k" + std::to_string(10000 + i)), i), Result::kSuccess);
    TreePosition pos;
    ASSERT_EQ(tree_->LowerBound("k11000", &pos), Result::kSuccess);
    // Changes elsewhere (splitting the current page) do not lose the place.
    for (uint32_t i = 0; i < 300; ++i) ASSERT_EQ(tree_->Insert(Key("k11000a" + std::to_string(i)), 5000 + i), Result::kSuccess);
    ASSERT_EQ(tree_->Erase(Key("k11001"), 1001), Result::kSuccess);
    ASSERT_EQ(tree_->Next(&pos), Result::kSuccess);
    EXPECT_EQ(TrimKey(pos.key), "k11000a0");
    // After removes the current entry, Next goes on from where it was.
    ASSERT_EQ(tree_->Erase(pos.key, pos.row), Result::kSuccess);
    ASSERT_EQ(tree_->Next(&pos), Result::kSuccess);
    EXPECT_EQ(TrimKey(pos.key), "k11000a1");
}

TEST_F(BTreeTest, BuilderWritesATreeThatTakesChanges) {
    uint32_t next_page = pages_->page_count();
    TreeBuilder builder(fd_, 1, &next_page);
    std::set<std::pair<std::string, uint32_t>> model;
    for (uint32_t i = 0; i < 20000; ++i) {
        model.insert({Key("b" + std::to_string(100000 + i)), i});
        ASSERT_EQ(builder.Add(Key("b" + std::to_string(100000 + i)), i), Result::kSuccess);
    }
    uint32_t root = 0;
    ASSERT_EQ(builder.Finish(&root), Result::kSuccess);
    PageFile pages(fd_, 16 * kPageSize, &BTree::ValidPage);
    pages.SetAllocation(next_page, 0);
    BTree tree(&pages, 1, kKeyLength, root);
    for (uint32_t i = 0; i < 3000; ++i) {
        ASSERT_EQ(tree.Insert(Key("b1" + std::to_string(i)), i), Result::kSuccess);
        model.insert({Key("b1" + std::to_string(i)), i});
    }
    EntryList walked;
    TreePosition pos;
    for (Result r = tree.First(&pos); r == Result::kSuccess; r = tree.Next(&pos)) walked.push_back({pos.key, pos.row});
    EXPECT_EQ(walked, EntryList(model.begin(), model.end()));
    // A tree of another tag number is not this tree.
    BTree other(&pages, 2, kKeyLength, root);
    EXPECT_EQ(other.First(&pos), Result::kErrorData);

    // An empty build is one empty leaf.
    ASSERT_EQ(pages.WriteDirty(), Result::kSuccess);
    next_page = pages.page_count();
    TreeBuilder empty(fd_, 3, &next_page);
    ASSERT_EQ(empty.Finish(&root), Result::kSuccess);
    pages.SetAllocation(next_page, 0);
    BTree none(&pages, 3, kKeyLength, root);
    EXPECT_EQ(none.First(&pos), Result::kEof);
}

}  // namespace
}  // namespace fw::xbase
