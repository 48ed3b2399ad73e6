// Where a project keeps its files. For the project file /p/news.cvn:
//   /p/news/      the data directory: the engine's tables
//   /p/news/src/  the content directory: the grabbed files, contents.htm
// and the project file names both directories (ProjectFile).
#pragma once

#include <string>
#include <string_view>

namespace corvalin {

// The data directory of a project file: its path up to the last "." of the
// file name, plus "/". Only the file name counts, so a "." in a directory
// name ("/home/me/sites.old/news") is never taken for the extension. Empty
// when the file name has no "." after its first character (".cvn").
std::string DataDirectoryFor(std::string_view project_path);

// The absolute form of `path` (relative to the working directory), with "."
// and ".." segments resolved lexically. Empty for an empty path.
std::string AbsolutePath(std::string_view path);

// `dir` with a trailing "/" (an empty text stays empty).
std::string WithSlash(std::string dir);

// Creates a project at `project_path` (made absolute first):
//   1. data directory = DataDirectoryFor(path); it must not exist yet and
//      its parent must (one level is created);
//   2. DataDirectory is written to the project file, which creates it;
//   3. SRCDirectory is read, which writes its default, and that directory is
//      created.
// On failure returns false with *message = "Could not create data directory: "
// + the data directory (empty when the name has no "."), and removes what it
// had created, so a failed creation leaves nothing behind.
bool CreateProject(const std::string& project_path, std::string* message);

}  // namespace corvalin
