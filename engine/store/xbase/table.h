// The table storage engine as the project store sees it: one Table per
// dBASE data file (.DBF), with its compound index file (.CDX, all tags of the
// table) and, for tables with memo columns, its memo file (.FPT).
//
// A Table is a cursor: it stands on one row (or at end of file) and offers the
// current row's columns. Field writes change the current row's buffer; the
// row reaches the files (data file and every tag) when Update() is called,
// when the cursor moves to another row, on Flush() and on Close().
//
// Every operation returns a Result; ResultName() gives the name the project
// store writes into its log lines. Not thread-safe: the project store
// serialises all access with its own lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fw::xbase {

enum class Result : int {
    kSuccess = 0,
    kFoundAfter = 1,     // a seek found no exact match; the cursor is on the next key
    kEof = 3,            // no such row / moved past the last row
    kDuplicate = 4,      // a refuse-mode tag already holds this key; nothing changed
    kNoTag = 5,          // no tag selected, or no such tag
    kNoIndex = 6,        // the table has no index file open
    // Errors (negative).
    kErrorOpen = -10,    // the file cannot be opened (missing, locked, permission)
    kErrorCreate = -20,  // the file cannot be created
    kErrorRead = -30,    // a read failed or came back short
    kErrorWrite = -40,   // a write failed
    kErrorData = -50,    // the file is not a valid table/index/memo file
    kErrorField = -60,   // no such column, or a value that does not fit its type
    kErrorExpression = -70,  // a key or filter expression cannot be compiled
    kErrorLocked = -80,  // another process holds the file exclusively
    kErrorRecord = -90,  // a row number outside the table
};

// A stable name for each result, e.g. "r4success"-style names are ours to
// choose; the store logs them verbatim.
const char* ResultName(Result result);

inline bool IsError(Result r) { return static_cast<int>(r) < 0; }

// Column types: 'C' character, 'N' numeric (no decimals used by the store),
// 'M' memo (text kept in the .FPT file).
struct FieldDef {
    std::string name;   // up to 10 characters, upper case
    char type;
    int width;          // characters; memo columns are 10 wide in the row
};

enum class Uniqueness {
    kNone,     // duplicates are indexed
    kRefuse,   // an append or update that would duplicate a key fails (kDuplicate)
    kKeepRow,  // the row is stored, its duplicate key is not indexed
};

struct TagDef {
    std::string name;        // up to 10 characters
    std::string expression;  // key expression, e.g. "STR(LEVEL)+STR(MINLEVEL)+STR(RECNO())"
    std::string filter;      // "" or e.g. ".NOT.DELETED()": rows failing it are not indexed
    Uniqueness unique = Uniqueness::kRefuse;
};

enum class Access { kShared, kExclusive };

class Table {
public:
    // Opens `path` + ".DBF" (and the memo file when the table has memo
    // columns). Exclusive access means no other process may open the files
    // while this table is open. Null on failure with *result set.
    static std::unique_ptr<Table> Open(const std::string& path, Access access, Result* result);

    // Creates a new, empty table (replacing any file of that name).
    static std::unique_ptr<Table> Create(const std::string& path, const std::vector<FieldDef>& fields,
                                         Access access, Result* result);

    virtual ~Table() = default;

    // Opens path + ".CDX". A missing, unreadable, damaged or stale index is
    // rebuilt from the table (the tags are recorded in the index file itself,
    // so rebuilding needs no tag list); kErrorOpen when there is no index to
    // rebuild from.
    virtual Result OpenIndex() = 0;
    // Creates (replacing) the index with these tags and indexes every row.
    virtual Result CreateIndex(const std::vector<TagDef>& tags) = 0;

    virtual Result Flush() = 0;  // writes pending changes to disk (fsync not implied)
    virtual Result Close() = 0;

    // Tag selection; the selected tag orders Top/Bottom/Skip and Seek. An
    // empty name selects physical row order.
    virtual Result SelectTag(std::string_view name) = 0;

    virtual Result Top() = 0;
    virtual Result Bottom() = 0;
    virtual Result Go(uint32_t row) = 0;  // 1-based row number
    virtual Result Skip() = 0;            // one row forward in the selected order
    virtual bool Eof() const = 0;

    // Seek on the selected tag. `key` is built as the tag's expression builds
    // keys (character columns blank-padded to their width, STR() 10 wide
    // right-aligned); a key shorter than the tag's key matches as a prefix.
    // kSuccess: exact match; kFoundAfter: on the next greater key; kEof: none.
    virtual Result Seek(std::string_view key) = 0;
    // Seek on a tag whose expression is a single numeric column.
    virtual Result SeekNumber(double key) = 0;

    virtual uint32_t RecNo() const = 0;        // current row number, 0 at end of file
    virtual uint32_t RecordCount() const = 0;  // rows in the data file, deleted ones included

    // Column access on the current row, by the index FieldIndex returns.
    virtual int FieldIndex(std::string_view name) const = 0;  // -1 when unknown
    // Text with trailing blanks removed (memo columns: the memo's text).
    virtual std::string ReadText(int field) const = 0;
    // Value of a numeric (or digit-holding character) column; 0 when blank.
    virtual long long ReadNumber(int field) const = 0;
    // Character columns: left-aligned, blank-padded, cut at the width without
    // splitting a UTF-8 character. Numeric columns: right-aligned decimal.
    virtual Result WriteText(int field, std::string_view text) = 0;
    // Right-aligned decimal, blank-padded on the left, in character and
    // numeric columns alike; kErrorField when it does not fit.
    virtual Result WriteNumber(int field, long long value) = 0;

    // Starts a new row: a blank buffer that Append() stores at the end.
    virtual Result AppendStart() = 0;
    // Stores the row begun with AppendStart; on kDuplicate nothing is stored.
    virtual Result Append() = 0;
    // Writes the current row's changes and brings its tags up to date
    // (kDuplicate: a refuse-mode key clash; the row on disk is unchanged).
    virtual Result Update() = 0;

    virtual Result Delete() = 0;    // marks the current row deleted
    virtual Result Undelete() = 0;
    virtual bool IsDeleted() const = 0;

    virtual Result Zap() = 0;   // removes every row (and empties the tags)
    virtual Result Pack() = 0;  // physically removes deleted rows, reindexes
};

}  // namespace fw::xbase
