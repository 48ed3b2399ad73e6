// Drives a table's read and write paths over files that may be damaged or
// hostile. It expects nothing but that the engine neither crashes nor reads
// out of bounds; shared by the corruption test and the fuzz target.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/page_file.h"
#include "engine/store/xbase/table.h"

namespace fw::xbase::testing {

// Tag names of the project's tables, tried on whatever index is there.
inline const char* const kKnownTags[] = {"ID", "URL", "FILE", "LEVEL", "LINKS", "TO", "QUEUE", "URLID", "X"};

// Makes edited index pages pass their checksums again, so that the damage
// reaches the code behind them instead of being caught at the door.
inline void ResealIndexPages(std::string* index) {
    for (size_t at = 0; at + kPageSize <= index->size(); at += kPageSize) {
        PageFile::Seal(reinterpret_cast<uint8_t*>(index->data() + at));
    }
}

// Gives the data file the time its index recorded, so that an index edited
// behind the table's back is not simply rebuilt as stale.
inline void MatchIndexStamp(const std::string& dbf_path, const std::string& index) {
    if (index.size() < 64) return;
    const int64_t ns = static_cast<int64_t>(LoadLE64(reinterpret_cast<const uint8_t*>(index.data()) + 56));
    struct timespec times[2] = {{0, UTIME_OMIT}, {ns / 1000000000, ns % 1000000000}};
    if (ns >= 0) ::utimensat(AT_FDCWD, dbf_path.c_str(), times, 0);
}

inline void ExerciseTable(const std::string& path, size_t max_rows = 500) {
    Result r;
    auto t = Table::Open(path, Access::kExclusive, &r);
    if (!t) return;
    if (t->OpenIndex() != Result::kSuccess && t->FieldIndex("ID") < 0) {
        // Whatever the first column is, index it.
        t->Go(1);
        t->CreateIndex({{"X", "RECNO()", ".NOT.DELETED()", Uniqueness::kKeepRow}});
    }
    auto read_row = [&] {
        for (int f = 0; f < 64; ++f) {
            t->ReadText(f);
            t->ReadNumber(f);
        }
        t->IsDeleted();
    };
    size_t n = 0;
    for (Result s = t->Top(); s == Result::kSuccess && n < max_rows; s = t->Skip(), ++n) read_row();
    for (const char* tag : kKnownTags) {
        if (t->SelectTag(tag) != Result::kSuccess) continue;
        n = 0;
        for (Result s = t->Top(); s == Result::kSuccess && n < max_rows; s = t->Skip(), ++n) read_row();
        t->Bottom();
        t->Seek("http://");
        t->Seek("         1");
        t->Seek(std::string(300, 'z'));
        t->SeekNumber(1);
        read_row();
    }
    t->SelectTag("");
    if (t->AppendStart() == Result::kSuccess) {
        for (int f = 0; f < 64; ++f) {
            if (t->WriteNumber(f, 7) != Result::kSuccess) t->WriteText(f, "new row text");
        }
        t->Append();
    }
    if (t->Go(1) == Result::kSuccess) {
        t->WriteText(0, "1");
        t->Update();
        t->Delete();
        t->Undelete();
    }
    t->Flush();
    t->Pack();
    t->Top();
    read_row();
    t->Close();
}

}  // namespace fw::xbase::testing
