// The table storage engine as the project store sees it: one Table per
// dBASE data file (.DBF), with its compound index file (.CDX, all tags of the
// table) and, for tables with memo columns, its memo file (.FPT).
//
// A Table is a cursor: it stands on one row (or at end of file) and offers the
// current row's columns. Field writes change the current row's buffer; the
// row reaches the files (data file and every tag) when Update() is called,
// when the cursor moves to another row, on Flush() and on Close(). A move
// whose implicit write is refused (kDuplicate) or fails returns that result,
// drops the changes and stays on the row.
//
// Durability: the data file is the truth, the index a copy that is rebuilt
// when it may not match (see OpenIndex). In exclusive mode every change of
// the data file waits in memory until Flush() or Close() (index pages may be
// written before, the index marked as changing meanwhile); a process killed
// before that loses the changes since its last Flush. PendingEdits hands out
// what Flush would write, so that a caller can journal the flush of several
// tables and replay it after a crash (commit_journal.h): the files then never
// show half of a flush. Memo text is never rewritten in place in exclusive
// mode, so a memo that rows on disk name stays as it was until they change.
// In shared mode every operation takes a lock between processes and writes
// its changes through before it returns, so other openers see them at once.
//
// Rows are read through a cache. A shared opener keeps cached rows only
// while the index shows that no other opener changed the table (every
// writer marks the index before it changes a row), so other processes'
// writes are seen as before; without an open index nothing is kept between
// operations.
//
// Every operation returns a Result; ResultName() gives the name the project
// store writes into its log lines. Not thread-safe: the project store
// serialises all access with its own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/xbase/definitions.h"
#include "engine/store/xbase/file_edits.h"

namespace fw::xbase {

struct TableOptions {
    // Bound of the index page cache of this table. Pages are allocated as
    // they are used, so a small table stays small.
    size_t cache_bytes = 32u << 20;
    // Bound of the data file's row cache, allocated the same way.
    size_t row_cache_bytes = 16u << 20;
};

class Table {
public:
    // Opens `path` + ".DBF" (and the memo file when the table has memo
    // columns). Exclusive access means no other process may open the files
    // while this table is open (kErrorLocked); shared openers exclude only
    // exclusive ones. Null on failure with *result set: kErrorOpen when the
    // file is missing or unreadable, kErrorData when it is not a table (or
    // its memo file is not a memo file).
    static std::unique_ptr<Table> Open(const std::string& path, Access access, Result* result,
                                       const TableOptions& options = {});

    // Creates a new, empty table (replacing any file of that name, and
    // removing that table's old index). kErrorField for an invalid column
    // list (names: 1-10 letters, digits, "_"; 'C' 1-254 wide, 'N' 1-20, 'M' 10).
    static std::unique_ptr<Table> Create(const std::string& path, const std::vector<FieldDef>& fields,
                                         Access access, Result* result, const TableOptions& options = {});

    virtual ~Table() = default;

    // Opens path + ".CDX". A missing, unreadable, damaged or stale index is
    // rebuilt from the table (the tags are recorded in the index file itself,
    // so rebuilding needs no tag list); kErrorOpen when there is no index to
    // rebuild from, kErrorData when the file's tag list itself is unreadable.
    // Either way the caller can create the index anew.
    virtual Result OpenIndex() = 0;
    // Creates (replacing) the index with these tags and indexes every row.
    // kErrorExpression when a tag definition is invalid (index unchanged).
    virtual Result CreateIndex(const std::vector<TagDef>& tags) = 0;
    // Whether the last OpenIndex had to rebuild the index.
    virtual bool IndexRebuilt() const = 0;

    virtual Result Flush() = 0;  // writes pending changes to disk (fsync not implied)
    // What Flush() would write to the data file now, appended to *out
    // (nothing when it is up to date); the current row's changes count, as
    // Flush writes them. Index and memo writes are not among them: the index
    // is rebuilt when it does not match, and memo text goes to blocks no row
    // on disk names yet.
    virtual Result PendingEdits(std::vector<FileEdits>* out) = 0;
    // Flushes and closes the files; every later call fails with kErrorOpen.
    virtual Result Close() = 0;

    // Tag selection (names are case-insensitive); the selected tag orders
    // Top/Bottom/Skip and Seek. An empty name selects physical row order.
    // The cursor stays on its row. kNoIndex without an open index.
    virtual Result SelectTag(std::string_view name) = 0;

    // Top and Bottom give kEof (and end of file) when the order is empty.
    virtual Result Top() = 0;
    virtual Result Bottom() = 0;
    // 1-based row number; kErrorRecord (cursor unchanged) outside the table.
    // A row that is not in the selected tag (filtered out, or a keep-row
    // duplicate) still has a place in its order, from which Skip moves on.
    virtual Result Go(uint32_t row) = 0;
    // One row forward in the selected order; kEof (and end of file) past
    // the last one or when already at end of file.
    virtual Result Skip() = 0;
    virtual bool Eof() const = 0;

    // Seek on the selected tag. `key` is built as the tag's expression builds
    // keys (character columns blank-padded to their width, STR() 10 wide
    // right-aligned); a key shorter than the tag's key matches as a prefix.
    // kSuccess: exact match; kFoundAfter: on the next greater key; kEof: none.
    // On a numeric tag the key text is read as a number. kNoTag without a
    // selected tag.
    virtual Result Seek(std::string_view key) = 0;
    // Seek on a tag whose expression is a single numeric column. On a
    // character tag the number is sought as STR() writes it (right-aligned
    // in 10 characters, or in the key width when that is narrower).
    virtual Result SeekNumber(double key) = 0;

    // Current row number; 0 at end of file and on a row begun with
    // AppendStart and not yet appended.
    virtual uint32_t RecNo() const = 0;
    virtual uint32_t RecordCount() const = 0;  // rows in the data file, deleted ones included

    // Column access on the current row, by the index FieldIndex returns.
    virtual int FieldIndex(std::string_view name) const = 0;  // -1 when unknown (case-insensitive)
    // Text with trailing blanks removed (numeric columns: leading blanks
    // too; memo columns: the memo's text). "" at end of file.
    virtual std::string ReadText(int field) const = 0;
    // As ReadText for character and numeric columns, without a copy: a view
    // into the current row, valid until the next call on this table. Memo
    // columns read as "" here.
    virtual std::string_view ReadTextView(int field) const = 0;
    // Value of a numeric (or digit-holding character) column; 0 when blank.
    virtual long long ReadNumber(int field) const = 0;
    // Character columns: left-aligned, blank-padded, cut at the width without
    // splitting a UTF-8 character. Numeric columns: the number, right-aligned
    // (kErrorField when the text is not a number or does not fit). Memo
    // columns: any text. kEof at end of file.
    virtual Result WriteText(int field, std::string_view text) = 0;
    // Right-aligned decimal, blank-padded on the left, in character and
    // numeric columns alike; kErrorField when it does not fit (the column
    // keeps its value).
    virtual Result WriteNumber(int field, long long value) = 0;

    // Starts a new row: a blank buffer that Append() stores at the end. A
    // move, another AppendStart, Zap or Pack abandons the new row.
    virtual Result AppendStart() = 0;
    // Stores the row begun with AppendStart and stands on it; kErrorRecord
    // without one. On kDuplicate nothing is stored and the new row stays
    // open for correction.
    virtual Result Append() = 0;
    // Writes the current row's changes and brings its tags up to date
    // (kDuplicate: a refuse-mode key clash; the row on disk is unchanged and
    // the buffer is back to it). On a row begun with AppendStart: Append().
    virtual Result Update() = 0;

    // Mark the current row deleted / live, writing it with any pending
    // changes; tags whose filter uses DELETED() follow. Undelete gives
    // kDuplicate (row stays deleted) when the row would clash in a
    // refuse-mode tag.
    virtual Result Delete() = 0;
    virtual Result Undelete() = 0;
    virtual bool IsDeleted() const = 0;

    // Removes every row (and empties the tags and the memo file); end of file.
    virtual Result Zap() = 0;
    // Physically removes deleted rows (renumbering the rest) and rebuilds the
    // index; end of file. The table file is replaced as a whole, so a process
    // killed meanwhile leaves the old one. Memo text of removed rows stays in
    // the memo file.
    virtual Result Pack() = 0;
};

}  // namespace fw::xbase
