// The data file (.DBF) in the dBASE III / FoxPro layout, so that ordinary DBF
// readers open our tables:
//
//   header (32 bytes, little-endian)
//     0    version: 0x03 without memo columns, 0xF5 with (FoxPro memo file)
//     1-3  date of the last change: year - 1900, month, day
//     4    u32 record count
//     8    u16 header length (32 + 32 * fields + 1)
//     10   u16 record length (1 + the sum of the column widths)
//     12-31 zero
//   one 32-byte descriptor per column
//     0-10 name, NUL-padded; 11 type letter; 12 u32 offset inside the record;
//     16 width; 17 decimals (0); the rest zero
//   0x0D terminator
//   records: a flag byte (' ' live, '*' deleted) and the columns as text
//   0x1A end-of-file mark
//
// The row count is taken from the file length, not the header: rows that
// were completely written count even when a process died before updating the
// header, and a partial last row (a write cut short) is not a row.
//
// Every change waits in memory until Flush(): appended rows, and rewrites of
// rows already in the file (kept beside the cache, and read from there). So
// the file changes only at Flush, whose writes a caller can take first as
// data (PendingEdits) and record in a journal, making one commit of several
// files all or nothing. Flush() writes the rewritten rows, the appended
// rows, the end mark and the header. Single rows are read through a bounded cache of row
// blocks (row_cache.h) that every write of this object keeps current; rows
// another process may have changed are forgotten by DropCachedRows (Refresh
// does so itself when the file grew, shrank or was replaced). Not
// thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/store/xbase/definitions.h"
#include "engine/store/xbase/file_edits.h"
#include "engine/store/xbase/key_expression.h"
#include "engine/store/xbase/row_cache.h"

namespace fw::xbase {

// What a file looked like at one moment, to tell later whether it changed.
struct FileStamp {
    uint64_t size = 0;
    int64_t mtime_ns = 0;
    bool operator==(const FileStamp&) const = default;
};

class DbfFile {
public:
    DbfFile(const DbfFile&) = delete;
    DbfFile& operator=(const DbfFile&) = delete;
    ~DbfFile();  // closes without flushing

    // Opens an existing file and takes its flock (kErrorLocked when another
    // opener's lock conflicts). kErrorOpen when it cannot be opened,
    // kErrorData when its header is not a valid one. `cache_bytes` bounds the
    // row cache.
    static Result Open(const std::string& path, bool exclusive, size_t cache_bytes, std::unique_ptr<DbfFile>* out);
    // Creates (replacing) an empty file with these columns, whole under a
    // temporary name first, so a process stopped meanwhile leaves the old
    // file or none. kErrorField for an invalid column list; kErrorLocked
    // when the file is open elsewhere.
    static Result Create(const std::string& path, const std::vector<FieldDef>& fields, bool exclusive,
                         size_t cache_bytes, std::unique_ptr<DbfFile>* out);

    // kErrorField for an invalid column list; else the record length and
    // whether there are memo columns.
    static Result CheckFields(const std::vector<FieldDef>& fields, uint32_t* record_length,
                              bool* memo);
    // kErrorLocked when a file at `path` is open elsewhere.
    static Result CheckReplaceable(const std::string& path);

    const std::string& path() const { return path_; }
    const std::vector<ColumnLayout>& columns() const { return columns_; }
    bool has_memo() const { return has_memo_; }
    uint32_t record_length() const { return record_length_; }
    uint32_t record_count() const { return count_; }

    // Copies row `recno` (1-based, REQUIRES 1 <= recno <= record_count()),
    // through the row cache.
    Result Read(uint32_t recno, uint8_t* record) const;
    // Copies `n` consecutive rows starting at `first` into `records`; more
    // than one row is read from the file directly (bulk reads would only
    // push the cache's rows out).
    Result ReadRange(uint32_t first, uint32_t n, uint8_t* records) const;
    // Rewrites an existing row.
    Result Write(uint32_t recno, const uint8_t* record);
    // Adds a row at the end (row number record_count() afterwards).
    Result Append(const uint8_t* record);
    // Removes every row.
    Result Truncate();
    // Writes rewritten and collected rows, the end mark and the header.
    Result Flush();
    // What Flush would write now, appended to *out (nothing when the file
    // is up to date).
    void PendingEdits(std::vector<FileEdits>* out) const;
    // Whether Flush has anything to write.
    bool dirty() const { return dirty_ || !pending_.empty() || !overlay_.empty(); }

    // Replaces the file with one holding only the rows `keep` accepts (in
    // order); the new file is built beside this one and renamed over it, so a
    // process killed meanwhile leaves the old file whole. Keeps the locks.
    Result Compact(const std::function<bool(const uint8_t* record)>& keep);

    // Lock of one operation of a shared opener (see file_lock.h).
    bool LockRange(bool write);
    void UnlockRange();

    // Re-reads what another process may have changed: the row count, and
    // the whole file when it was replaced (Compact by another opener).
    // *replaced tells the caller that rows may have been renumbered.
    Result Refresh(bool* replaced);
    // Forgets the cached rows: another process may have rewritten them.
    void DropCachedRows() { cache_->Clear(); }

    Result Stamp(FileStamp* out) const;

private:
    DbfFile() = default;
    Result ParseHeader();
    Result ReadCached(uint32_t recno, uint8_t* record) const;
    // Puts the rewritten rows among `n` rows from `first` read from the file.
    void PatchRewritten(uint32_t first, uint32_t n, uint8_t* records) const;
    void CollectEdits(FileEdits* edits) const;
    void ForgetChanges();

    std::string path_;
    int fd_ = -1;
    bool exclusive_ = false;
    bool range_locked_ = false;
    bool range_write_ = false;
    std::vector<uint8_t> header_;      // header image up to and including the terminator
    std::vector<ColumnLayout> columns_;
    bool has_memo_ = false;
    uint32_t header_length_ = 0;
    uint32_t record_length_ = 0;
    uint32_t count_ = 0;               // rows, pending appends included
    uint32_t written_ = 0;             // rows in the file
    std::vector<uint8_t> pending_;     // appended rows not yet written
    // Rows of the file rewritten since the last Flush: row number -> slot in
    // rewritten_ (record_length bytes each).
    std::unordered_map<uint32_t, uint32_t> overlay_;
    std::vector<uint8_t> rewritten_;
    bool dirty_ = false;               // header or end mark out of date
    size_t cache_bytes_ = 0;
    std::unique_ptr<RowCache> cache_;  // rows 1..written_ as in the file; reads fill it
};

}  // namespace fw::xbase
