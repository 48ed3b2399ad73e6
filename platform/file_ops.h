// File operations shared by the engine and the programs: reserving, moving and
// copying stored files and writing small files atomically. Paths use "/".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace platform {

// Creates (or truncates) the file; when that fails, creates every missing
// directory of the path and tries once more. Returns true when the file exists
// empty afterwards.
bool OpenCreatingDirectories(const std::string& path);

// The same, keeping the empty file open for writing; not ok() on failure.
UniqueFd CreateEmptyFile(const std::string& path);

// Creates `path` as a new empty file open for writing, creating missing
// directories first. Not ok() when anything is there already, even a
// dangling link (errno is then EEXIST), or when it cannot be created.
UniqueFd CreateNewFile(const std::string& path);

// Creates every missing directory of `dir` (like mkdir -p). True when the
// directory exists afterwards.
bool CreateDirectories(const std::string& dir);

// Deletes `target`, then moves `source` onto it (a copy and delete when the two
// lie on different file systems).
bool MoveReplacing(const std::string& source, const std::string& target);

// Puts `source` at `target` in one step, as MoveReplacing does, by swapping
// the two names and deleting what then sits at `source`. Unlike a rename
// over an existing file, the swap does not make ext4 write the new data out
// at once, which a worker would wait for. Falls back to MoveReplacing where
// the file system cannot swap or `target` does not exist.
bool SwapReplacing(const std::string& source, const std::string& target);

// Creates the target's directories, deletes the target and copies `source`
// onto it.
bool CopyReplacing(const std::string& source, const std::string& target);

// Creates a new, empty, uniquely named file in $TMPDIR (or /tmp) whose name
// starts with "tfx", and returns its path; empty when none could be created.
// The caller deletes it.
std::string TempFileName();

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Size in bytes, or -1 when the file cannot be examined.
long long FileSize(const std::string& path);

// Reads at most `max_bytes` bytes from the start of the file.
bool ReadFilePrefix(const std::string& path, size_t max_bytes, std::string* out);

// Writes `content` to a temporary file beside `path` and renames it over
// `path`, so readers see either the old or the new file, never a mix. The
// file gets permission bits `mode` (0600 keeps secrets from other users; the
// bits are set before any byte is written).
bool ReplaceFileContents(const std::string& path, std::string_view content, unsigned mode = 0644);

// Writes all of `data` to the descriptor, retrying short writes and EINTR.
bool WriteAll(int fd, const void* data, size_t size);

// Whole-buffer positioned reads and writes (retrying short transfers and
// EINTR). False on any failure, including end of file before `size` bytes.
bool PReadAll(int fd, void* data, size_t size, uint64_t offset);
bool PWriteAll(int fd, const void* data, size_t size, uint64_t offset);

// Removes a file; a missing file is not an error.
bool RemoveFile(const std::string& path);

// Removes a directory and everything under it.
bool RemoveTree(const std::string& path);

// Writes everything the file system holding `path` (a directory, or a path
// whose directory exists) has in memory to its disk (syncfs). False when
// the path cannot be opened or the sync fails.
bool SyncFileSystem(const std::string& path);

// `dir` + `relative` when that path stays inside the directory `dir` (which
// ends in "/"); nullopt when it could lead elsewhere: `relative` empty,
// absolute, holding a ".." segment or a NUL, or an existing part of the path
// (a symbolic link, also a dangling one) resolving outside `dir`. A part that
// does not exist yet is judged by its nearest existing ancestor: whoever
// makes it makes a plain directory or file there. Paths named in files that
// others can change (project tables) go through this before any use.
std::optional<std::string> PathInside(const std::string& dir, std::string_view relative);

}  // namespace platform
