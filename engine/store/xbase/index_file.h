// The compound index file (.CDX): every tag of one table in one file of
// 4096-byte pages (layout in docs/formats.md).
//
//   page 0  header: allocation, state, the table stamp, each tag's root
//   page 1  tag definitions (name, uniqueness, key and filter expression),
//           written once when the index is built
//   2...    B+tree pages of all tags and freed pages (btree.h)
//
// The table is the truth and the index a copy of it. The header's state
// says "changing" on disk from the first change after a commit until the
// next commit, and a commit records the table's size, time and row count;
// an index found changing (its writer died) or whose stamp does not match
// the table is rebuilt from the table when it is opened. A rebuild writes a
// new file beside the old one and renames it over it. Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/xbase/btree.h"
#include "engine/store/xbase/dbf_file.h"
#include "engine/store/xbase/definitions.h"
#include "engine/store/xbase/key_expression.h"
#include "engine/store/xbase/page_file.h"

namespace fw::xbase {

inline constexpr size_t kMaxTags = 32;

// A tag definition compiled against a table's columns.
struct CompiledTag {
    TagDef def;
    KeyExpression key;
    KeyExpression filter;  // empty: every row
    bool unique() const { return def.unique != Uniqueness::kNone; }
    // Whether the row belongs in the tag at all.
    bool Admits(const uint8_t* row, uint32_t recno) const { return filter.empty() || filter.Test(row, recno); }
};

// kErrorExpression when a definition is invalid: a name that is empty,
// longer than 10 characters or repeated; a key that is not character or
// numeric; a filter that is not logical; more than kMaxTags tags.
Result CompileTags(const std::vector<TagDef>& defs, const std::vector<ColumnLayout>& columns,
                   std::vector<CompiledTag>* out);

class IndexFile {
public:
    IndexFile(const IndexFile&) = delete;
    IndexFile& operator=(const IndexFile&) = delete;
    ~IndexFile();

    // Opens the index of `table`, rebuilding it when it is changing, stale or
    // damaged (*rebuilt tells). kErrorOpen when the file does not exist;
    // kErrorData when its tag definitions cannot be read (there is nothing to
    // rebuild from). REQUIRES: the table has no unwritten rows.
    static Result Open(const std::string& path, const DbfFile& table, size_t cache_bytes,
                       std::unique_ptr<IndexFile>* out, bool* rebuilt);
    // Builds (replacing) the index file from the table's rows.
    // REQUIRES: the table has no unwritten rows.
    static Result Build(const std::string& path, const std::vector<CompiledTag>& tags, const DbfFile& table);

    size_t tag_count() const { return tags_.size(); }
    const CompiledTag& tag(size_t i) const { return tags_[i]; }
    BTree& tree(size_t i) { return *trees_[i]; }
    // Index of the tag named `name` (case-insensitive), or -1.
    int FindTag(std::string_view name) const;
    const std::vector<CompiledTag>& tags() const { return tags_; }

    // Marks the file as changing on disk; REQUIRED before the first change
    // to the table or the index after Open or Commit.
    Result BeginChange();
    bool changing() const { return changing_; }
    // Writes every changed page, then a header that records the table as it
    // now is and says the index is whole again.
    Result Commit(const DbfFile& table);

    // For an index shared with other processes: takes in what they changed.
    // *changed when anything did (saved tree positions are then void);
    // *stale when a writer died mid-change and the index must be rebuilt.
    Result Refresh(const DbfFile& table, bool* changed, bool* stale);

    PageFile& pages() { return *pages_; }

    // Whether keep-row tag `i` may have rows whose key it does not list
    // (another row holds the key). Only then does a key leaving the tag
    // require looking for the next row to list under it.
    bool suppressed(size_t i) const { return suppressed_[i]; }
    void set_suppressed(size_t i) { suppressed_[i] = true; }

private:
    IndexFile() = default;
    static Result ReadDefinitions(int fd, const std::vector<ColumnLayout>& columns, std::vector<CompiledTag>* out);
    Result LoadHeader(const DbfFile& table, bool check_stamp);
    Result WriteHeader();

    std::string path_;
    int fd_ = -1;
    size_t cache_bytes_ = 0;
    std::vector<CompiledTag> tags_;
    std::vector<std::unique_ptr<BTree>> trees_;
    std::unique_ptr<PageFile> pages_;
    std::vector<bool> suppressed_;
    uint64_t instance_ = 0;
    uint64_t generation_ = 0;
    bool changing_ = false;
    FileStamp stamp_;            // the table as the last commit saw it
    uint32_t stamp_rows_ = 0;
    uint32_t record_length_ = 0;
};

}  // namespace fw::xbase
