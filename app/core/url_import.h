// Import of start URLs from a file that lists them (a text file of
// addresses, or an HTML file such as a saved bookmark list). The program
// checks the file; the engine's Import reads it and adds the URLs. The
// engine does not announce the URLs it adds, so the caller shows the new
// tree afterwards.
#pragma once

#include <string>

#include "engine/interface/fetchwell.h"

namespace corvalin {

inline constexpr char kImportMissingFile[] = "Unable to open file for Import.";

enum class ImportResult {
    kImported,      // the engine read the file (it may have held no address)
    kMissingFile,   // not a readable file: show kImportMissingFile
    kEngineFailed,  // Import failed: log the engine's error
};

// A readable regular file: a directory or a missing file cannot be imported.
bool IsImportableFile(const std::string& path);

// Imports the file at `path`; *hr receives Import's result.
ImportResult ImportUrls(fw::IDizoziz* engine, const std::string& path, fw::HRESULT* hr);

}  // namespace corvalin
