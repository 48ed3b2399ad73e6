// Plain values shared by the table engine's layers and its callers: result
// codes, column and tag definitions, access modes.
#pragma once

#include <string>

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
    kErrorShort = -51,   // the data file ends before the rows its header counts
    kErrorField = -60,   // no such column, or a value that does not fit its type
    kErrorExpression = -70,  // a key or filter expression cannot be compiled
    kErrorLocked = -80,  // another process holds the file exclusively
    kErrorRecord = -90,  // a row number outside the table
};

// The name of each result as log lines show it ("r4success", "r4unique",
// "e4read", ...): "r4" for outcomes, "e4" for errors. Stable across versions.
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

}  // namespace fw::xbase
