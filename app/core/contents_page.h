// The contents page, "contents.htm" in the content directory: a list of the
// project's start URLs, each linking to its offline copy, between the
// "head.htm" and "foot.htm" templates of the program home. Written at the end
// of every grab and again when a start URL's display title changes.
//
// Each start URL is one line "<dt><a href="TARGET">TEXT</a></dt>":
//   - a start URL with a file-type list links its URL, followed by a
//     "<dl>" block of the files downloaded below it, by name;
//   - a grabbed start URL links its local file, named by its display title,
//     else its title, else its URL;
//   - any other start URL links its URL, named by it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/interface/fetchwell.h"

namespace corvalin {

inline constexpr char kContentsPageName[] = "contents.htm";
inline constexpr char kHeadTemplate[] = "head.htm";
inline constexpr char kFootTemplate[] = "foot.htm";
// Replaced in the templates by the project's name.
inline constexpr char kProjectNameMarker[] = "<INSERT PROJECT NAME HERE>";
// A template line longer than this is written cut to this length and ends
// the template.
inline constexpr size_t kTemplateLineChars = 510;

struct ContentsLink {
    std::string target;   // a URL, or a file relative to the content directory
    bool target_is_file;  // which of the two
    std::string text;
    friend bool operator==(const ContentsLink&, const ContentsLink&) = default;
};

struct ContentsEntry {
    ContentsLink link;
    // The files of a file-type start URL: text = the file's name in its URL.
    std::vector<ContentsLink> files;
};

// True for a start URL (Level 0, MinLevel 0) with a filter of type 90, a
// file-type list.
fw::HRESULT IsFileTypeStartUrl(fw::IDizozizUrl* url, bool* is_file_type);

// The grabbed files below a start URL, found breadth first through its pages
// (Html 1), which are only passed through: the ids of every other child that
// was grabbed, each once, in ascending order. On an engine failure *ids
// holds what was gathered and the failure is returned.
fw::HRESULT FileTypeCollection(fw::IDizoziz* engine, int32_t start_id, std::vector<int32_t>* ids);

// One entry per start URL, in the engine's order. A start URL whose reads
// fail is left out; the first failure is returned after all were tried.
fw::HRESULT CollectContents(fw::IDizoziz* engine, std::vector<ContentsEntry>* entries);

// The page: head template, the entries' lines, foot template. Templates are
// read from `program_dir`; a missing one (or no program directory, "")
// adds nothing.
std::string ContentsPageText(const std::vector<ContentsEntry>& entries,
                             const std::string& program_dir, std::string_view project_name);

// Writes the page to `content_dir` + "contents.htm" (a "/" is added to the
// directory when missing), replacing the old page in one step. False when
// it could not be written.
bool WriteContentsPage(const std::vector<ContentsEntry>& entries, const std::string& content_dir,
                       const std::string& program_dir, std::string_view project_name);

// Build contents page, without a dialog in between: CollectContents, then
// WriteContentsPage. *written says whether the page was written; the first
// engine failure met is returned (the page is written all the same, with
// what could be read).
fw::HRESULT BuildContentsPage(fw::IDizoziz* engine, const std::string& content_dir,
                              const std::string& program_dir, std::string_view project_name,
                              bool* written);

// The project's name as pages show it: the project file's name without its
// directory and its extension.
std::string ProjectName(std::string_view project_path);

}  // namespace corvalin
