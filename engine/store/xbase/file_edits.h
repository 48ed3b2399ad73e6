// FileEdits: the writes that bring one file up to date, as data. A table
// hands them out before it writes them (Table::PendingEdits), so that a
// commit spanning several files can record them in a journal first and
// replay them after a crash (commit_journal.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/store/xbase/definitions.h"

namespace fw::xbase {

struct FileEdits {
    std::string path;  // the file the writes are for
    // (offset, bytes), applied in order.
    std::vector<std::pair<uint64_t, std::string>> writes;
    int64_t length = -1;  // the file's length after the writes; -1: unchanged

    bool empty() const { return writes.empty() && length < 0; }
};

// Applies `edits` to the open file `fd`: kErrorWrite when a write or the
// truncation fails (the file may then hold part of them).
Result ApplyEdits(int fd, const FileEdits& edits);

}  // namespace fw::xbase
