// The commit journal: makes one flush of several table files all or nothing.
//
// A commit writes what each file needs (FileEdits, from Table::PendingEdits)
// into the journal first, then flushes the tables, then removes the journal.
// A process that stops meanwhile leaves either an incomplete journal, which
// is ignored (the tables were not touched yet), or a complete one, which
// ReplayJournal applies again before the tables are opened: the same writes
// give the same bytes, so replaying an applied journal changes nothing. The
// files thus always show the state of one commit, never part of one.
//
// Layout, little-endian:
//   "FWJRNL01"
//   u32 file count; per file: u16 name length, the name (relative to the
//   journal's directory prefix, no "/"), i64 length after the writes (-1:
//   unchanged), u32 write count, per write: u64 offset, u32 size, the bytes
//   u64 FNV-1a hash of every byte before it
//   "FWJRNEND"
#pragma once

#include <string>
#include <vector>

#include "engine/store/xbase/file_edits.h"

namespace fw::xbase {

// Writes the journal at `journal_path` (replacing any), mode 0600. Every
// edits' path must begin with `prefix`; the rest is the name recorded. With
// `sync` the journal is on disk (fdatasync) before this returns.
Result WriteJournal(const std::string& journal_path, const std::string& prefix,
                    const std::vector<FileEdits>& edits, bool sync);

// Removes the journal after its commit was applied.
void RemoveJournal(const std::string& journal_path);

enum class ReplayOutcome {
    kNone,       // no journal
    kDiscarded,  // an incomplete or damaged journal: removed, nothing applied
    kReplayed,   // a complete journal was applied and removed
    kFailed,     // a complete journal could not be applied (it is kept)
};

// Applies a complete journal at `journal_path` to the files named in it
// (prefix + name) and removes it. A file another process holds open is not
// touched (kFailed): its owner is alive and will commit again.
ReplayOutcome ReplayJournal(const std::string& journal_path, const std::string& prefix);

}  // namespace fw::xbase
