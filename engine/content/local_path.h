// Local file layout: where a fetched URL is stored below the project's data
// directory, the suffix a page gets once its content type is known, and the
// relative references between stored files. Paths use "/".
//
// Choosing a name and creating the file happen under one process-wide lock
// (FileNameLock): a name counts as taken as soon as its file exists, so the
// caller reserves the chosen name (platform::OpenCreatingDirectories) before
// letting the lock go.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace fw {

// FileFlags bits (engine preference).
inline constexpr unsigned kShortNames = 1;        // names cut to 8 characters, extensions to 4
inline constexpr unsigned kKeepDirectories = 2;   // keep the URL's directories below the host's
inline constexpr unsigned kHostDirectory = 4;     // one directory per host
inline constexpr unsigned kHostDirectoryAlt = 8;  // same as kHostDirectory

// Longest path, relative to the data directory, that a URL is stored under
// (the width of the project table's FILE column, so it is never cut).
inline constexpr size_t kMaxStoredPath = 240;
// Longest relative path a rewritten link may take.
inline constexpr size_t kRelativeCapacity = 261;

// Holds the process-wide lock that serialises choosing and creating local
// files for as long as the object lives. Functions that choose names take it
// as a parameter to show that the caller holds it.
class FileNameLock {
  public:
    FileNameLock();
    ~FileNameLock();
    FileNameLock(const FileNameLock&) = delete;
    FileNameLock& operator=(const FileNameLock&) = delete;

  private:
    std::unique_lock<std::mutex> lock_;
};

// The path of a free file name for `url` (its query already removed) below
// `data_dir`, laid out by `flags` (FileFlags bits):
//   data_dir/[host/][directories/]name
// host is HostDirectoryName; directories are the URL's, cut at the first
// character a file name cannot hold; name is the URL's last segment with
// escaped UTF-8 characters ("%C3%A9") decoded, "%20" decoded to a space and
// other escapes to "_" ("index.html", or
// "index.txt" for ftp, when it is empty; "index.html" when it is over 260
// characters or holds a forbidden character). A taken name gets a counter:
// page.html, page2.html, ... (short names: longfile.htm, longfil2.htm, ...).
// "." and ".." never become path segments, so no URL reaches outside
// `data_dir`.
//
// Returns true with an empty path when the text has no "://" or no "/" after
// the host. Returns false, leaving `*path` unchanged, when the path relative
// to `data_dir` would exceed kMaxStoredPath or the disk cannot be examined.
// Choosing the counter does not get slower with the number of same-named
// files: the next counter per name is remembered (and still checked on disk).
//
// With `reserve`, the chosen name is also created as an empty file (and its
// directories as needed), open for writing in `*reserve`: the name is then
// taken with one system call instead of a look and a create. `*reserve` is
// left not ok() when the file could not be created; the name is then the one
// chosen without `reserve`.
bool MakeLocalPath(const FileNameLock& held, std::string_view url, std::string_view data_dir,
                   unsigned flags, std::string* path, platform::UniqueFd* reserve = nullptr);

// Like MakeLocalPath, but never settles for no name: a URL without a path
// ("http://host") is stored as its root page, and a URL whose path fails or
// is empty gets a name made from a hash of its text in the host's directory
// (or the data directory), made unique on disk like any other. False only
// when the disk cannot be examined.
bool ChooseLocalPath(const FileNameLock& held, std::string_view url, std::string_view data_dir,
                     unsigned flags, std::string* path, platform::UniqueFd* reserve = nullptr);

// The directory name for a host: the host without a leading "www." (exact
// case), a name in ASCII (IDNA) form written in the letters it stands for.
// A name that would be empty, "." or ".." becomes "_".
std::string HostDirectoryName(std::string_view host);

// The suffix the file at `path` needs for its content: ".htm" for an HTML
// page whose extension does not begin with ".htm" (".asp", ".shtml", none),
// ".pdf" for content type "application/pdf" without that extension, else
// empty (no suffix).
std::string_view ExtensionFix(bool html, std::string_view content_type, std::string_view path);

// Rewrites `*target` as a path relative to the file `from` (both relative to
// the same directory, with `separator`): one ".." per directory of `from`
// below the leading directories the two share, then the rest of the target.
// The target is replaced only when the result is shorter than `capacity`;
// returns whether it was.
bool RelativePath(std::string_view from, std::string* target, size_t capacity,
                  char separator = '/');

}  // namespace fw
