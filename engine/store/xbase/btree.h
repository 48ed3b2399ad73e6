// One index tag: a B+tree of (key, row number) entries in the pages of the
// index file, ordered by key, then row number (so every entry is unique and
// equal keys come in row order).
//
// Keys have the tag's fixed length; pages store them without trailing blanks
// and every comparison treats missing bytes as blanks, so a short URL costs
// a few dozen bytes, not 240. A leaf stores the bytes all its keys start with
// once (URLs of one site share a long beginning). Page layout (after
// PageFile's checksum):
//
//   4  u8 kind (1 leaf, 2 branch)    5  u8 tag number    6 u16 entry count
//   8  u32 next leaf (leaves; 0 at the right end)
//   12 u16 start of the entry bodies 14 u8 level (0 for leaves)
//   15 u8 length of the leaf's shared prefix (0 in branches)
//   16 u16 body offset of each entry, in key order
//   the shared prefix, in the last bytes of the page; below it the bodies:
//     leaf:   u32 row, u8 length, the key bytes after the prefix
//     branch: u32 child page, u32 row, u8 key length, key bytes
//
// A branch entry holds the smallest (key, row) its child may contain; the
// first entry's key is not used (it stands for minus infinity). Empty pages
// are unlinked and freed at once, so a walk never crosses empty pages.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/xbase/definitions.h"
#include "engine/store/xbase/page_file.h"

namespace fw::xbase {

// Where a walk stands: an entry of the tree (or past the end), plus the
// entry itself so the walk can find its place again after the tree changed.
struct TreePosition {
    bool at_end = true;
    uint32_t page = 0;
    uint32_t slot = 0;
    uint64_t version = 0;  // tree version the page/slot pair is valid for
    std::string key;       // full-length key of the entry
    uint32_t row = 0;
};

class BTree {
public:
    // One entry as the tree code moves it between pages.
    struct Item {
        uint32_t child;   // branch entries only
        uint32_t row;
        std::string key;  // stored form (trailing blanks removed)
    };

    // REQUIRES: `root` is a page of this tag (MakeEmptyRoot for a new tag).
    BTree(PageFile* pages, uint8_t tag_number, int key_length, uint32_t root)
        : pages_(pages), tag_(tag_number), key_length_(key_length), root_(root) {}

    uint32_t root() const { return root_; }
    // Changes whenever entries move, so saved positions know to re-seek.
    uint64_t version() const { return version_; }
    void Invalidate() { ++version_; }
    void SetRoot(uint32_t root) {
        root_ = root;
        ++version_;
    }

    // A new, empty leaf for tag `tag_number`; *root is its page.
    static Result MakeEmptyRoot(PageFile* pages, uint8_t tag_number, uint32_t* root);
    // True when `page` (a sealed image) is a well-formed tree or free page.
    static bool ValidPage(const uint8_t* page);

    // REQUIRES: key.size() == key_length. Adding an entry that is present
    // changes nothing.
    Result Insert(std::string_view key, uint32_t row);
    // kEof when the entry is not in the tree.
    Result Erase(std::string_view key, uint32_t row);
    // Whether any entry has this full-length key; *row is the first such
    // entry's row.
    Result Find(std::string_view key, bool* found, uint32_t* row);

    Result First(TreePosition* pos);
    Result Last(TreePosition* pos);
    // The first entry whose first prefix.size() key bytes are >= prefix.
    Result LowerBound(std::string_view prefix, TreePosition* pos);
    // The first entry after (key, row).
    Result After(std::string_view key, uint32_t row, TreePosition* pos);
    // The entry after *pos.
    Result Next(TreePosition* pos);

private:
    struct PathStep {
        uint32_t page;
        uint32_t slot;
    };
    Result Descend(std::string_view key, uint32_t row, PathStep* path, int* depth, PageFile::Ref* leaf);
    Result Load(uint32_t page, int level, PageFile::Ref* out);
    Result Settle(PageFile::Ref leaf, uint32_t slot, TreePosition* pos);
    Result InsertUp(PathStep* path, int depth, Item item, bool rightmost);
    Result RemoveEmpty(PathStep* path, int depth);
    Result FixLeftNeighbour(PathStep* path, int depth, uint32_t next);

    PageFile* pages_;
    uint8_t tag_;
    int key_length_;
    uint32_t root_;
    uint64_t version_ = 1;
    TreePosition found_;  // Find's position, kept so that its key buffer is reused
    // The entries of a page being rewritten or split; kept for its buffers.
    // A level's list is dead once the entry it sends up has been copied out.
    std::vector<Item> scratch_;
};

// Writes a tag's tree bottom-up from entries given in order, straight to
// the file (used when an index is built from its table). Leaves are filled
// to about 7/8 so that later inserts do not split every page at once.
class TreeBuilder {
public:
    // Pages are numbered from *next_page on, which is advanced.
    TreeBuilder(int fd, uint8_t tag_number, uint32_t* next_page);
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;
    ~TreeBuilder();

    // REQUIRES: entries in (key, row) order, key.size() == key length.
    Result Add(std::string_view key, uint32_t row);
    Result Finish(uint32_t* root);

private:
    struct Level;
    Result AddTo(size_t level, uint32_t child, std::string_view key, uint32_t row);
    Result Close(size_t level, uint32_t next);

    int fd_;
    uint8_t tag_;
    uint32_t* next_page_;
    std::vector<std::unique_ptr<Level>> levels_;
};

// Key helpers shared by the tree and its users.
std::string_view TrimKey(std::string_view key);
// Compares two stored (trimmed) keys as if both were blank-padded.
int CompareKeys(std::string_view a, std::string_view b);

}  // namespace fw::xbase
