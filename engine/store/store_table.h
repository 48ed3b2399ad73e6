// One open project table: the table engine's cursor plus the store's
// conventions (the "ZQCB<TABLE>::op result(code)" log line for every failing
// operation, key building, column access by cached index).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/table_schema.h"
#include "engine/store/xbase/table.h"

namespace fw {

class StoreTable {
public:
    explicit StoreTable(const TableSchema& schema) : schema_(schema) {}
    StoreTable(const StoreTable&) = delete;
    StoreTable& operator=(const StoreTable&) = delete;

    // Opens data file and index at `dir` + name. A missing data file is
    // created; one that exists but cannot be opened is an error (it is never
    // replaced). A missing or unreadable index is created from the table.
    bool Open(const std::string& dir, bool exclusive);
    // Deletes the table's files and creates it again, empty.
    bool Recreate(const std::string& dir, bool exclusive);
    void Close();
    bool is_open() const { return table_ != nullptr; }
    const char* name() const { return schema_.name; }

    int Field(std::string_view column) const { return table_->FieldIndex(column); }

    // Logged operations: each failure writes one log line, except the
    // outcomes a caller expects (end of file, found-after, a refused
    // duplicate) as listed for each.
    xbase::Result SelectTag(std::string_view tag);
    xbase::Result Top();                          // end of file not logged
    xbase::Result Bottom();                       // end of file not logged
    xbase::Result Go(uint32_t row);
    xbase::Result Skip();                         // end of file not logged
    xbase::Result Seek(std::string_view key);     // found-after, end of file not logged
    xbase::Result SeekNumber(double key);         // found-after, end of file not logged
    xbase::Result AppendStart();
    xbase::Result Append();                       // duplicate not logged
    xbase::Result Update();                       // found-after, end of file not logged
    xbase::Result Delete();
    xbase::Result Undelete();
    xbase::Result Flush();
    // What Flush would write to the data file, appended to *out.
    xbase::Result PendingEdits(std::vector<xbase::FileEdits>* out);
    xbase::Result Zap();
    xbase::Result Pack();

    bool Eof() const { return table_->Eof(); }
    bool IsDeleted() const { return table_->IsDeleted(); }
    uint32_t RecNo() const { return table_->RecNo(); }
    uint32_t RecordCount() const { return table_->RecordCount(); }  // deleted rows included

    std::string Text(int field) const { return table_->ReadText(field); }
    // Text without a copy; valid until the next call on this table.
    std::string_view TextView(int field) const { return table_->ReadTextView(field); }
    long long Number(int field) const { return table_->ReadNumber(field); }
    void SetText(int field, std::string_view text);
    void SetNumber(int field, long long value);

private:
    void LogFailure(const char* op, xbase::Result result) const;

    const TableSchema& schema_;
    std::unique_ptr<xbase::Table> table_;
};

// STR() of a number: 10 characters, right-aligned.
std::string Key10(long long value);
// A character column's key: the text blank-padded (or cut) to the size of
// `buffer`, written there. URL lookups run for every link of every page, so
// the key is not given a heap string of its own.
std::string_view PaddedKey(std::string_view text, std::span<char> buffer);

}  // namespace fw
