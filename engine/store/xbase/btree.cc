#include "engine/store/xbase/btree.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/store/xbase/bytes.h"
#include "platform/text.h"
#include "engine/store/xbase/file_io.h"
#include "engine/store/xbase/key_expression.h"

namespace fw::xbase {

namespace {

constexpr uint8_t kLeaf = 1;
constexpr uint8_t kBranch = 2;
constexpr uint8_t kFree = 3;
constexpr uint32_t kSlots = 16;
constexpr int kMaxDepth = 24;  // far above any real tree; bounds damaged ones
constexpr uint32_t kBuildFill = kPageSize * 7 / 8;

int Sign(int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; }

// Compares the first n bytes of x and y, each blank-padded. Only the bytes
// that are there are looked at: past the shorter text, the longer one is
// compared with blanks up to its first non-blank, so a sought key may be
// passed trimmed with its full length as n.
int ComparePadded(std::string_view x, std::string_view y, size_t n) {
    if (x.size() > n) x = x.substr(0, n);
    if (y.size() > n) y = y.substr(0, n);
    const size_t common = std::min(x.size(), y.size());
    const int c = common > 0 ? std::memcmp(x.data(), y.data(), common) : 0;
    if (c != 0) return Sign(c);
    for (size_t i = common; i < x.size(); ++i) {
        if (x[i] != ' ') return static_cast<unsigned char>(x[i]) < ' ' ? -1 : 1;
    }
    for (size_t i = common; i < y.size(); ++i) {
        if (y[i] != ' ') return static_cast<unsigned char>(y[i]) < ' ' ? 1 : -1;
    }
    return 0;
}

// Accessors for one tree page image. Leaves store the bytes every key of
// the page starts with once, at the end of the page, and each entry only
// the rest of its key (its suffix).
struct Page {
    uint8_t* p;

    uint8_t kind() const { return p[4]; }
    uint8_t tag() const { return p[5]; }
    uint32_t count() const { return LoadLE16(p + 6); }
    uint32_t next() const { return LoadLE32(p + 8); }
    uint32_t body() const { return LoadLE16(p + 12); }
    int level() const { return p[14]; }
    uint32_t prefix_length() const { return p[15]; }
    bool leaf() const { return kind() == kLeaf; }
    uint32_t header() const { return leaf() ? 5 : 9; }  // entry bytes before the key

    void set_count(uint32_t n) { StoreLE16(p + 6, static_cast<uint16_t>(n)); }
    void set_next(uint32_t n) { StoreLE32(p + 8, n); }
    void set_body(uint32_t n) { StoreLE16(p + 12, static_cast<uint16_t>(n)); }

    std::string_view prefix() const {
        return {reinterpret_cast<const char*>(p + kPageSize - prefix_length()), prefix_length()};
    }
    uint32_t offset(uint32_t i) const { return LoadLE16(p + kSlots + 2 * i); }
    uint32_t row(uint32_t i) const { return LoadLE32(p + offset(i) + (leaf() ? 0 : 4)); }
    uint32_t child(uint32_t i) const { return LoadLE32(p + offset(i)); }
    std::string_view suffix(uint32_t i) const {
        const uint8_t* e = p + offset(i) + header() - 1;
        return {reinterpret_cast<const char*>(e + 1), e[0]};
    }
    std::string key(uint32_t i) const {
        std::string k(prefix());
        k += suffix(i);
        return k;
    }
    uint32_t free_space() const { return body() - (kSlots + 2 * count()); }
};

void InitPage(uint8_t* p, uint8_t kind, uint8_t tag, int level) {
    std::memset(p + 4, 0, kPageSize - 4);
    p[4] = kind;
    p[5] = tag;
    p[14] = static_cast<uint8_t>(level);
    StoreLE16(p + 12, static_cast<uint16_t>(kPageSize));
}

// A search target as the entries of one page see it: the part past the
// page's prefix, or the verdict that it sorts before (-1) or after (1)
// every key of the page.
struct Target {
    int outside = 0;
    std::string_view rest;
};

// For comparisons with whole (blank-padded) keys.
Target AgainstPage(const Page& page, std::string_view key) {
    const std::string_view prefix = page.prefix();
    Target t;
    t.outside = -ComparePadded(prefix, key, prefix.size());
    if (t.outside == 0 && key.size() > prefix.size()) t.rest = key.substr(prefix.size());
    return t;
}

// For comparisons of the first n bytes only; `key` may be shorter than n
// (it stands for itself blank-padded), and so may t.rest.
Target AgainstPagePrefix(const Page& page, std::string_view key, size_t n, size_t* rest_n) {
    const std::string_view prefix = page.prefix();
    Target t;
    t.outside = -ComparePadded(prefix, key, std::min(prefix.size(), n));
    *rest_n = n > prefix.size() ? n - prefix.size() : 0;
    if (t.outside == 0 && key.size() > prefix.size()) t.rest = key.substr(prefix.size());
    return t;
}

int CompareEntry(std::string_view a, uint32_t a_row, std::string_view b, uint32_t b_row) {
    int c = CompareKeys(a, b);
    if (c != 0) return c;
    return a_row < b_row ? -1 : a_row > b_row ? 1 : 0;
}

// Entry i of `page` against (target key, row); REQUIRES t.outside == 0.
int CompareAt(const Page& page, uint32_t i, const Target& t, uint32_t row) {
    return CompareEntry(page.suffix(i), page.row(i), t.rest, row);
}

// The first slot whose entry is >= (key, row) (or > with `after`).
uint32_t LeafSearch(const Page& page, std::string_view key, uint32_t row, bool after) {
    const Target t = AgainstPage(page, key);
    if (t.outside != 0) return t.outside < 0 ? 0 : page.count();
    uint32_t lo = 0, hi = page.count();
    while (lo < hi) {
        const uint32_t mid = (lo + hi) / 2;
        const int c = CompareAt(page, mid, t, row);
        if (c < 0 || (after && c == 0)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// Whether slot i of `page` holds (key, row) itself; no key is built.
bool EntryIs(const Page& page, uint32_t i, std::string_view key, uint32_t row) {
    if (i >= page.count()) return false;
    const Target t = AgainstPage(page, key);
    return t.outside == 0 && CompareAt(page, i, t, row) == 0;
}

uint32_t LongestCommonPrefix(std::string_view a, std::string_view b) {
    uint32_t n = 0;
    const size_t limit = std::min(a.size(), b.size());
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

}  // namespace

std::string_view TrimKey(std::string_view key) { return platform::TrimRightBlanks(key); }

int CompareKeys(std::string_view a, std::string_view b) {
    return ComparePadded(a, b, std::max(a.size(), b.size()));
}

namespace {

uint32_t ItemBytes(bool leaf, size_t key_size) { return (leaf ? 5 : 9) + static_cast<uint32_t>(key_size) + 2; }

// Bytes a page of items[from, to) needs, with a leaf's shared prefix.
uint32_t PageBytes(bool leaf, const std::vector<BTree::Item>& items, size_t from, size_t to, uint32_t* prefix) {
    *prefix = leaf && to > from ? LongestCommonPrefix(items[from].key, items[to - 1].key) : 0;
    uint32_t bytes = kSlots + *prefix;
    for (size_t i = from; i < to; ++i) bytes += ItemBytes(leaf, items[i].key.size() - *prefix);
    return bytes;
}

// Writes items[from, to) into page image `p` from scratch.
void FillPage(uint8_t* p, const std::vector<BTree::Item>& items, size_t from, size_t to) {
    Page page{p};
    const bool leaf = page.leaf();
    uint32_t prefix = 0;
    PageBytes(leaf, items, from, to, &prefix);
    p[15] = static_cast<uint8_t>(prefix);
    uint32_t body = kPageSize - prefix;
    if (prefix > 0) std::memcpy(p + body, items[from].key.data(), prefix);
    for (size_t i = from; i < to; ++i) {
        const auto& item = items[i];
        const uint32_t length = static_cast<uint32_t>(item.key.size()) - prefix;
        body -= page.header() + length;
        uint8_t* e = p + body;
        if (leaf) {
            StoreLE32(e, item.row);
        } else {
            StoreLE32(e, item.child);
            StoreLE32(e + 4, item.row);
        }
        e[page.header() - 1] = static_cast<uint8_t>(length);
        std::memcpy(e + page.header(), item.key.data() + prefix, length);
        StoreLE16(p + kSlots + 2 * (i - from), static_cast<uint16_t>(body));
    }
    page.set_count(static_cast<uint32_t>(to - from));
    page.set_body(body);
}

// The entries of `page` into *items, leaving slot `gap` for the caller to
// fill. *items is the tree's scratch list: its keys keep their buffers from
// one rewritten page to the next.
void ReadItemsAround(const Page& page, uint32_t gap, std::vector<BTree::Item>* items) {
    const uint32_t count = page.count();
    items->resize(size_t{count} + 1);
    const std::string_view prefix = page.prefix();
    for (uint32_t i = 0; i < count; ++i) {
        BTree::Item& item = (*items)[i < gap ? i : i + 1];
        item.child = page.leaf() ? 0 : page.child(i);
        item.row = page.row(i);
        item.key.assign(prefix);
        item.key.append(page.suffix(i));
    }
}

// Inserts an entry whose key starts with the page's prefix into a page with
// room for it.
void PutEntry(Page page, uint32_t slot, uint32_t child, uint32_t row, std::string_view suffix) {
    const uint32_t size = page.header() + static_cast<uint32_t>(suffix.size());
    const uint32_t body = page.body() - size;
    uint8_t* e = page.p + body;
    if (page.leaf()) {
        StoreLE32(e, row);
    } else {
        StoreLE32(e, child);
        StoreLE32(e + 4, row);
    }
    e[page.header() - 1] = static_cast<uint8_t>(suffix.size());
    if (!suffix.empty()) std::memcpy(e + page.header(), suffix.data(), suffix.size());
    uint8_t* slots = page.p + kSlots;
    const uint32_t count = page.count();
    std::memmove(slots + 2 * (slot + 1), slots + 2 * slot, 2 * (count - slot));
    StoreLE16(slots + 2 * slot, static_cast<uint16_t>(body));
    page.set_body(body);
    page.set_count(count + 1);
}

void RemoveEntry(Page page, uint32_t slot) {
    const uint32_t off = page.offset(slot);
    const uint32_t size = page.header() + page.p[off + page.header() - 1];
    const uint32_t body = page.body();
    std::memmove(page.p + body + size, page.p + body, off - body);
    const uint32_t count = page.count();
    uint8_t* slots = page.p + kSlots;
    std::memmove(slots + 2 * slot, slots + 2 * (slot + 1), 2 * (count - slot - 1));
    for (uint32_t i = 0; i + 1 < count; ++i) {
        const uint32_t o = LoadLE16(slots + 2 * i);
        if (o < off) StoreLE16(slots + 2 * i, static_cast<uint16_t>(o + size));
    }
    page.set_body(body + size);
    page.set_count(count - 1);
}

// Where to split items that do not fit one page: about half the bytes each
// side, or (appending at the right end) everything but the new last item.
size_t SplitPoint(bool leaf, const std::vector<BTree::Item>& items, bool rightmost) {
    uint32_t unused;
    auto fits = [&](size_t split) {
        return PageBytes(leaf, items, 0, split, &unused) <= kPageSize &&
               PageBytes(leaf, items, split, items.size(), &unused) <= kPageSize;
    };
    if (rightmost && fits(items.size() - 1)) return items.size() - 1;
    uint32_t total = 0, half = 0;
    for (const auto& i : items) total += ItemBytes(leaf, i.key.size());
    size_t split = 0;
    while (split + 1 < items.size() && half + ItemBytes(leaf, items[split].key.size()) <= total / 2) {
        half += ItemBytes(leaf, items[split++].key.size());
    }
    split = std::max<size_t>(split, 1);
    if (fits(split)) return split;
    // A new key outside a long shared prefix sorts to one end; halves by
    // raw size may then not fit once that side loses the prefix. Take the
    // most even split that fits (the new key alone always does).
    size_t best = 0;
    for (size_t s = 1; s < items.size(); ++s) {
        if (fits(s) && (best == 0 || (s > split ? s - split : split - s) < (best > split ? best - split : split - best))) {
            best = s;
        }
    }
    return best == 0 ? split : best;
}

}  // namespace

bool BTree::ValidPage(const uint8_t* image) {
    Page page{const_cast<uint8_t*>(image)};
    if (page.kind() == kFree) return true;
    if (page.kind() != kLeaf && page.kind() != kBranch) return false;
    if (page.leaf() != (page.level() == 0)) return false;
    const uint32_t count = page.count();
    const uint32_t body = page.body();
    const uint32_t prefix = page.prefix_length();
    if ((!page.leaf() && prefix != 0) || prefix > static_cast<uint32_t>(kMaxKeyLength)) return false;
    const uint32_t end = kPageSize - prefix;
    if (kSlots + 2 * count > body || body > end) return false;
    if (!page.leaf() && count == 0) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t off = page.offset(i);
        if (off < body || off + page.header() > end) return false;
        const uint32_t length = image[off + page.header() - 1];
        if (prefix + length > static_cast<uint32_t>(kMaxKeyLength) || off + page.header() + length > end) {
            return false;
        }
    }
    return true;
}

Result BTree::MakeEmptyRoot(PageFile* pages, uint8_t tag_number, uint32_t* root) {
    PageFile::Ref ref;
    Result r = pages->Allocate(&ref);
    if (r != Result::kSuccess) return r;
    InitPage(ref.data(), kLeaf, tag_number, 0);
    ref.MarkDirty();
    *root = ref.number();
    return Result::kSuccess;
}

Result BTree::Load(uint32_t number, int level, PageFile::Ref* out) {
    Result r = pages_->Get(number, out);
    if (r != Result::kSuccess) return r;
    Page page{out->data()};
    if (page.kind() == kFree || page.tag() != tag_ || (level >= 0 && page.level() != level)) {
        out->Reset();
        return Result::kErrorData;
    }
    return Result::kSuccess;
}

Result BTree::Descend(std::string_view key, uint32_t row, PathStep* path, int* depth, PageFile::Ref* leaf) {
    PageFile::Ref ref;
    Result r = Load(root_, -1, &ref);
    if (r != Result::kSuccess) return r;
    *depth = 0;
    while (!Page{ref.data()}.leaf()) {
        Page page{ref.data()};
        if (*depth >= kMaxDepth) return Result::kErrorData;
        // The last child whose lower bound is <= the target.
        uint32_t lo = 1, hi = page.count();
        while (lo < hi) {
            uint32_t mid = (lo + hi) / 2;
            if (CompareEntry(page.suffix(mid), page.row(mid), key, row) <= 0) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        const uint32_t slot = lo - 1;
        path[(*depth)++] = {ref.number(), slot};
        const uint32_t child = page.child(slot);
        const int level = page.level() - 1;
        r = Load(child, level, &ref);
        if (r != Result::kSuccess) return r;
    }
    *leaf = std::move(ref);
    return Result::kSuccess;
}

Result BTree::Insert(std::string_view full_key, uint32_t row) {
    const std::string_view key = TrimKey(full_key);
    PathStep path[kMaxDepth];
    int depth = 0;
    PageFile::Ref leaf;
    Result r = Descend(key, row, path, &depth, &leaf);
    if (r != Result::kSuccess) return r;
    Page page{leaf.data()};
    const uint32_t slot = LeafSearch(page, key, row, false);
    if (EntryIs(page, slot, key, row)) return Result::kSuccess;
    ++version_;
    leaf.MarkDirty();
    const std::string_view prefix = page.prefix();
    const bool shares_prefix = key.substr(0, prefix.size()) == prefix;
    if (shares_prefix && ItemBytes(true, key.size() - prefix.size()) <= page.free_space()) {
        PutEntry(page, slot, 0, row, key.substr(prefix.size()));
        return Result::kSuccess;
    }
    std::vector<Item>& items = scratch_;
    ReadItemsAround(page, slot, &items);
    items[slot].child = 0;
    items[slot].row = row;
    items[slot].key.assign(key);
    uint32_t unused;
    if (PageBytes(true, items, 0, items.size(), &unused) <= kPageSize) {
        // A key outside the shared prefix: the page is written again with a
        // shorter one.
        const uint32_t next = page.next();
        InitPage(leaf.data(), kLeaf, tag_, 0);
        FillPage(leaf.data(), items, 0, items.size());
        page.set_next(next);
        return Result::kSuccess;
    }
    // Split. Appending at the right end of the tree leaves the full page
    // full, so tags fed in key order (row numbers, ids) pack their pages.
    const bool rightmost = page.next() == 0 && slot == page.count();
    const size_t split = SplitPoint(true, items, rightmost);
    PageFile::Ref right;
    r = pages_->Allocate(&right);
    if (r != Result::kSuccess) return r;
    InitPage(right.data(), kLeaf, tag_, 0);
    FillPage(right.data(), items, split, items.size());
    Page{right.data()}.set_next(page.next());
    InitPage(leaf.data(), kLeaf, tag_, 0);
    FillPage(leaf.data(), items, 0, split);
    page.set_next(right.number());
    return InsertUp(path, depth, {right.number(), items[split].row, items[split].key}, rightmost);
}

Result BTree::InsertUp(PathStep* path, int depth, Item item, bool rightmost) {
    if (depth == 0) {
        // The root split: a new root above the two halves.
        PageFile::Ref old_root;
        Result r = Load(root_, -1, &old_root);
        if (r != Result::kSuccess) return r;
        const int level = Page{old_root.data()}.level() + 1;
        if (level > kMaxDepth - 1) return Result::kErrorData;
        PageFile::Ref root;
        r = pages_->Allocate(&root);
        if (r != Result::kSuccess) return r;
        InitPage(root.data(), kBranch, tag_, level);
        std::vector<Item> items{{root_, 0, std::string()}, std::move(item)};
        FillPage(root.data(), items, 0, items.size());
        root_ = root.number();
        return Result::kSuccess;
    }
    const PathStep step = path[depth - 1];
    PageFile::Ref parent;
    Result r = Load(step.page, -1, &parent);
    if (r != Result::kSuccess) return r;
    parent.MarkDirty();
    Page page{parent.data()};
    if (ItemBytes(false, item.key.size()) <= page.free_space()) {
        PutEntry(page, step.slot + 1, item.child, item.row, item.key);
        return Result::kSuccess;
    }
    // The caller's list is done with: the entry going up is a copy.
    std::vector<Item>& items = scratch_;
    ReadItemsAround(page, step.slot + 1, &items);
    items[step.slot + 1] = std::move(item);
    const size_t split = SplitPoint(false, items, rightmost);
    const int level = page.level();
    PageFile::Ref right;
    r = pages_->Allocate(&right);
    if (r != Result::kSuccess) return r;
    InitPage(right.data(), kBranch, tag_, level);
    FillPage(right.data(), items, split, items.size());
    InitPage(parent.data(), kBranch, tag_, level);
    FillPage(parent.data(), items, 0, split);
    return InsertUp(path, depth - 1, {right.number(), items[split].row, items[split].key}, rightmost);
}

Result BTree::Erase(std::string_view full_key, uint32_t row) {
    const std::string_view key = TrimKey(full_key);
    PathStep path[kMaxDepth];
    int depth = 0;
    PageFile::Ref leaf;
    Result r = Descend(key, row, path, &depth, &leaf);
    if (r != Result::kSuccess) return r;
    Page page{leaf.data()};
    const uint32_t slot = LeafSearch(page, key, row, false);
    if (!EntryIs(page, slot, key, row)) return Result::kEof;
    ++version_;
    leaf.MarkDirty();
    RemoveEntry(page, slot);
    if (page.count() > 0 || depth == 0) return Result::kSuccess;
    const uint32_t next = page.next();
    leaf.Reset();
    r = FixLeftNeighbour(path, depth, next);
    if (r != Result::kSuccess) return r;
    return RemoveEmpty(path, depth);
}

Result BTree::FixLeftNeighbour(PathStep* path, int depth, uint32_t next) {
    int a = depth - 1;
    while (a >= 0 && path[a].slot == 0) --a;
    if (a < 0) return Result::kSuccess;  // the leftmost leaf has no neighbour
    PageFile::Ref ref;
    Result r = Load(path[a].page, -1, &ref);
    if (r != Result::kSuccess) return r;
    uint32_t child = Page{ref.data()}.child(path[a].slot - 1);
    int level = Page{ref.data()}.level() - 1;
    for (;;) {
        r = Load(child, level, &ref);
        if (r != Result::kSuccess) return r;
        Page page{ref.data()};
        if (page.leaf()) break;
        child = page.child(page.count() - 1);
        --level;
    }
    Page{ref.data()}.set_next(next);
    ref.MarkDirty();
    return Result::kSuccess;
}

Result BTree::RemoveEmpty(PathStep* path, int depth) {
    // The empty page is the child at path[depth - 1]; walk up while parents
    // empty out too.
    for (int d = depth; d > 0; --d) {
        PageFile::Ref parent;
        Result r = Load(path[d - 1].page, -1, &parent);
        if (r != Result::kSuccess) return r;
        Page page{parent.data()};
        r = pages_->Free(page.child(path[d - 1].slot));
        if (r != Result::kSuccess) return r;
        parent.MarkDirty();
        RemoveEntry(page, path[d - 1].slot);
        if (page.count() > 0) break;
        if (d - 1 == 0) {
            // The whole tree emptied: the root becomes an empty leaf.
            InitPage(parent.data(), kLeaf, tag_, 0);
            return Result::kSuccess;
        }
    }
    // A root with a single child hands the tree down to it.
    for (;;) {
        PageFile::Ref root;
        Result r = Load(root_, -1, &root);
        if (r != Result::kSuccess) return r;
        Page page{root.data()};
        if (page.leaf() || page.count() != 1) return Result::kSuccess;
        const uint32_t child = page.child(0);
        root.Reset();
        r = pages_->Free(root_);
        if (r != Result::kSuccess) return r;
        root_ = child;
    }
}

Result BTree::Settle(PageFile::Ref leaf, uint32_t slot, TreePosition* pos) {
    Page page{leaf.data()};
    if (slot >= page.count()) {
        const uint32_t next = page.next();
        if (next == 0) {
            *pos = TreePosition();
            pos->version = version_;
            return Result::kEof;
        }
        const bool had_last = page.count() > 0;
        const std::string last_key = had_last ? page.key(page.count() - 1) : std::string();
        const uint32_t last_row = had_last ? page.row(page.count() - 1) : 0;
        PageFile::Ref next_leaf;
        Result r = Load(next, 0, &next_leaf);
        if (r != Result::kSuccess) return r;
        Page next_page{next_leaf.data()};
        // Leaves are never empty, and keys only grow along the chain; a
        // chain that breaks either rule is damaged (or would loop).
        if (next_page.count() == 0 ||
            (had_last && CompareEntry(next_page.key(0), next_page.row(0), last_key, last_row) <= 0)) {
            return Result::kErrorData;
        }
        leaf = std::move(next_leaf);
        slot = 0;
        page = Page{leaf.data()};
    }
    pos->at_end = false;
    pos->page = leaf.number();
    pos->slot = slot;
    pos->version = version_;
    pos->key.assign(page.prefix());
    pos->key.append(page.suffix(slot));
    pos->key.resize(static_cast<size_t>(key_length_), ' ');
    pos->row = page.row(slot);
    return Result::kSuccess;
}

Result BTree::First(TreePosition* pos) {
    PageFile::Ref ref;
    Result r = Load(root_, -1, &ref);
    for (int depth = 0; r == Result::kSuccess && !Page{ref.data()}.leaf(); ++depth) {
        if (depth >= kMaxDepth) return Result::kErrorData;
        Page page{ref.data()};
        const int level = page.level() - 1;
        r = Load(page.child(0), level, &ref);
    }
    if (r != Result::kSuccess) return r;
    return Settle(std::move(ref), 0, pos);
}

Result BTree::Last(TreePosition* pos) {
    PageFile::Ref ref;
    Result r = Load(root_, -1, &ref);
    for (int depth = 0; r == Result::kSuccess && !Page{ref.data()}.leaf(); ++depth) {
        if (depth >= kMaxDepth) return Result::kErrorData;
        Page page{ref.data()};
        const int level = page.level() - 1;
        r = Load(page.child(page.count() - 1), level, &ref);
    }
    if (r != Result::kSuccess) return r;
    const uint32_t count = Page{ref.data()}.count();
    if (count == 0) {
        *pos = TreePosition();
        pos->version = version_;
        return Result::kEof;
    }
    return Settle(std::move(ref), count - 1, pos);
}

Result BTree::LowerBound(std::string_view prefix, TreePosition* pos) {
    // Sought keys come blank-padded; comparing their trimmed form over the
    // full length gives the same order without walking the blanks.
    const size_t n = prefix.size();
    const std::string_view sought = TrimKey(prefix);
    PageFile::Ref ref;
    Result r = Load(root_, -1, &ref);
    for (int depth = 0; r == Result::kSuccess && !Page{ref.data()}.leaf(); ++depth) {
        if (depth >= kMaxDepth) return Result::kErrorData;
        Page page{ref.data()};
        // The last child whose lower bound sorts before the prefix.
        uint32_t lo = 1, hi = page.count();
        while (lo < hi) {
            uint32_t mid = (lo + hi) / 2;
            if (ComparePadded(page.suffix(mid), sought, n) < 0) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        const int level = page.level() - 1;
        r = Load(page.child(lo - 1), level, &ref);
    }
    if (r != Result::kSuccess) return r;
    Page page{ref.data()};
    size_t rest_n = 0;
    const Target t = AgainstPagePrefix(page, sought, n, &rest_n);
    uint32_t lo = 0, hi = page.count();
    if (t.outside != 0) {
        lo = t.outside < 0 ? 0 : page.count();
    } else {
        while (lo < hi) {
            uint32_t mid = (lo + hi) / 2;
            if (ComparePadded(page.suffix(mid), t.rest, rest_n) < 0) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
    }
    return Settle(std::move(ref), lo, pos);
}

Result BTree::After(std::string_view full_key, uint32_t row, TreePosition* pos) {
    const std::string_view key = TrimKey(full_key);
    PathStep path[kMaxDepth];
    int depth = 0;
    PageFile::Ref leaf;
    Result r = Descend(key, row, path, &depth, &leaf);
    if (r != Result::kSuccess) return r;
    const uint32_t slot = LeafSearch(Page{leaf.data()}, key, row, true);
    return Settle(std::move(leaf), slot, pos);
}

Result BTree::Next(TreePosition* pos) {
    if (pos->at_end) return Result::kEof;
    if (pos->version != version_) {
        const std::string key = pos->key;
        return After(key, pos->row, pos);
    }
    PageFile::Ref leaf;
    Result r = Load(pos->page, 0, &leaf);
    if (r != Result::kSuccess) return r;
    return Settle(std::move(leaf), pos->slot + 1, pos);
}

Result BTree::Find(std::string_view key, bool* found, uint32_t* row) {
    Result r = LowerBound(key, &found_);
    *found = false;
    if (r == Result::kEof) return Result::kSuccess;
    if (r != Result::kSuccess) return r;
    *found = CompareKeys(TrimKey(found_.key), TrimKey(key)) == 0;
    *row = found_.row;
    return Result::kSuccess;
}

// --- Building ----------------------------------------------------------------

struct TreeBuilder::Level {
    uint32_t page = 0;
    std::vector<BTree::Item> items;
    uint64_t key_bytes = 0;  // sum of the items' key lengths
    uint32_t closed = 0;     // pages of this level already written
};

TreeBuilder::TreeBuilder(int fd, uint8_t tag_number, uint32_t* next_page)
    : fd_(fd), tag_(tag_number), next_page_(next_page) {}

TreeBuilder::~TreeBuilder() = default;

Result TreeBuilder::Add(std::string_view key, uint32_t row) { return AddTo(0, 0, TrimKey(key), row); }

Result TreeBuilder::AddTo(size_t level, uint32_t child, std::string_view key, uint32_t row) {
    if (levels_.size() <= level) {
        levels_.push_back(std::make_unique<Level>());
        levels_.back()->page = (*next_page_)++;
    }
    Level* l = levels_[level].get();
    if (!l->items.empty()) {
        // The page with this item added, its prefix shrunk to what it and
        // the page's first key share.
        const bool leaf = level == 0;
        const uint64_t n = l->items.size() + 1;
        const uint64_t prefix = leaf ? LongestCommonPrefix(l->items.front().key, key) : 0;
        const uint64_t bytes = kSlots + prefix + n * ((leaf ? 5 : 9) + 2) + l->key_bytes + key.size() - n * prefix;
        if (bytes > kBuildFill) {
            const uint32_t next = (*next_page_)++;
            Result r = Close(level, next);
            if (r != Result::kSuccess) return r;
            l = levels_[level].get();
            l->page = next;
            l->items.clear();
            l->key_bytes = 0;
            ++l->closed;
        }
    }
    l->items.push_back({child, row, std::string(key)});
    l->key_bytes += key.size();
    return Result::kSuccess;
}

Result TreeBuilder::Close(size_t level, uint32_t next) {
    Level& l = *levels_[level];
    uint8_t image[kPageSize];
    InitPage(image, level == 0 ? kLeaf : kBranch, tag_, static_cast<int>(level));
    FillPage(image, l.items, 0, l.items.size());
    if (level == 0) Page{image}.set_next(next);
    PageFile::Seal(image);
    if (!PWriteAll(fd_, image, kPageSize, uint64_t{l.page} * kPageSize)) return Result::kErrorWrite;
    if (l.items.empty()) return Result::kSuccess;  // the root of an empty tree
    const BTree::Item first = l.items.front();
    return AddTo(level + 1, l.page, first.key, first.row);
}

Result TreeBuilder::Finish(uint32_t* root) {
    if (levels_.empty()) {
        levels_.push_back(std::make_unique<Level>());
        levels_[0]->page = (*next_page_)++;
    }
    for (size_t level = 0; level < levels_.size(); ++level) {
        Level& l = *levels_[level];
        if (level + 1 == levels_.size() && l.closed == 0) {
            // The top level has a single page: the root. Written without
            // handing a separator further up.
            uint8_t image[kPageSize];
            InitPage(image, level == 0 ? kLeaf : kBranch, tag_, static_cast<int>(level));
            FillPage(image, l.items, 0, l.items.size());
            PageFile::Seal(image);
            if (!PWriteAll(fd_, image, kPageSize, uint64_t{l.page} * kPageSize)) return Result::kErrorWrite;
            *root = l.page;
            return Result::kSuccess;
        }
        Result r = Close(level, 0);
        if (r != Result::kSuccess) return r;
    }
    return Result::kErrorWrite;  // not reached: the top level always ends the loop
}

}  // namespace fw::xbase
