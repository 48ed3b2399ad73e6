// The stored file of a URL row: its FILE value taken relative to the
// content directory. Project tables can be changed by anyone who can write
// the project, so a value is confined to that directory before any read,
// write or delete of the file it names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace fw {

// The path of `file` (URL `id`'s FILE value) under `data_dir` (which ends in
// "/"); nullopt for an empty value, and, with a log line naming the URL, for
// one that could lead out of the directory (see platform::PathInside). The
// caller then leaves the file and the row alone.
std::optional<std::string> StoredFilePath(const std::string& data_dir, int32_t id,
                                          std::string_view file);

// Removes the files below `data_dir`'s subdirectories that `named` (FILE
// values) does not hold: copies a killed or failed grab left behind. Files
// directly in `data_dir` are the project's own (contents page, edge page,
// search index, kept pages, tables when they share the directory) and stay,
// as do hidden files and directories (work files) and `db_dir` when it lies
// below. Symbolic links are removed like files, never followed. Returns how
// many were removed.
size_t RemoveUnnamedFiles(const std::string& data_dir, const std::string& db_dir,
                          const std::unordered_set<std::string>& named);

}  // namespace fw
