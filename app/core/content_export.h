// Export of grabbed content to a folder (the whole project, one URL's tree or
// one page), the files that make such a folder a disc that opens itself, and
// the edge files: the page shown for links that lead out of the copy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/project_file.h"
#include "engine/interface/fetchwell.h"

namespace corvalin {

inline constexpr char kExportTemplate[] = "export.htm";
inline constexpr char kExportIndexName[] = "index.htm";
// Replaced in export.htm by the exported URL's file.
inline constexpr char kUrlMarker[] = "<INSERT URL HERE>";
inline constexpr char kEdgeFolder[] = "edge";
inline constexpr char kLauncherName[] = "autorun.sh";
inline constexpr char kAutorunName[] = "autorun.inf";

// Writes `folder`/index.htm from the program directory's export.htm, every
// "<INSERT URL HERE>" replaced by `file` (relative to the folder, "\" turned
// into "/") as a link target. False, writing nothing, when the template
// cannot be read or the page cannot be written.
bool WriteExportIndex(const std::string& program_dir, const std::string& folder,
                      std::string_view file);

// Copies the files (not the subdirectories) of the program directory's
// edge/ folder into `target`, replacing files of the same name, when the
// project uses an edge file that is not a URL (has no "://"). A file that
// cannot be copied is passed over. Returns how many were copied.
int CopyEdgeFiles(const ProjectFile& project, const std::string& program_dir,
                  const std::string& target);

// Prepares `folder` to open itself from a disc: when it holds a "*.htm*"
// file, the launcher autorun.sh is copied into it and autorun.inf names the
// start page ("[autorun]", "OPEN=autorun.exe NAME"): index.htm, else
// contents.htm, else the first such file by name. False, writing nothing,
// when there is no such file; *start_file names the page otherwise.
bool WriteDiscAutorun(const std::string& program_dir, const std::string& folder,
                      std::string* start_file);

// Exports into `folder` (which must exist): ExportPage(id) when `page` is
// set, else ExportTree(id) (0: the whole project); then index.htm for one
// URL, or a copy of the contents page for the whole project; then the edge
// files. An engine failure ends the steps and is returned.
fw::HRESULT ExportContent(fw::IDizoziz* engine, const ProjectFile& project,
                          const std::string& content_dir, const std::string& program_dir,
                          const std::string& folder, int32_t id, bool page);

}  // namespace corvalin
