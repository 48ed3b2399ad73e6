// Drives a table's read and write paths over files that may be damaged or
// hostile. It expects nothing but that the engine neither crashes nor reads
// out of bounds; shared by the corruption test and the fuzz target.
#pragma once

#include <string>

#include "engine/store/xbase/table.h"

namespace fw::xbase::testing {

// Tag names of the project's tables, tried on whatever index is there.
inline const char* const kKnownTags[] = {"ID", "URL", "FILE", "LEVEL", "LINKS", "TO", "QUEUE", "URLID", "X"};

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
