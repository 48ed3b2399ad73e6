// Locks between processes on the table files.
//
// A table holds a whole-file flock on its data file for as long as it is
// open: shared for shared access, exclusive for exclusive access, so an
// exclusive opener and any other opener exclude each other. Shared openers
// additionally serialise every operation with an open-file-description range
// lock on one byte far beyond any data (read lock to look, write lock to
// change); being per open file, it also separates two tables of one process.
#pragma once

namespace fw::xbase {

// Non-blocking; false when another open file holds a conflicting flock.
bool TryFlock(int fd, bool exclusive);

// Blocking; false only on a system error.
bool LockRange(int fd, bool write);
void UnlockRange(int fd);

}  // namespace fw::xbase
