// ProjectFile: the keys of a project file (".cvn"), a private-profile file
// beside the project's data directory.
//
//   [DALK]          DataDirectory, SRCDirectory, DirtyFlag
//   [CVN]           RunAfter, RunCmd, Shell, UseEdgeFile, EdgeFile
//   [Replacements]  N, NSearch, NReplace for the rules N = 1, 2, ...
//
// Every key is optional; the getters return the defaults below when a key is
// missing. Directories are absolute and end in "/".
#pragma once

#include <string>
#include <vector>

#include "app/core/profile_file.h"

namespace corvalin {

// One page replacement rule: its type ("l", "L", "f", "F", "t" or "T"), the
// text searched and the text put in its place.
struct ReplacementRule {
    std::string type;
    std::string search;
    std::string replace;

    // Rules of type "t" or "T" apply to texts rather than pages.
    bool IsTextRule() const { return type == "t" || type == "T"; }
    friend bool operator==(const ReplacementRule&, const ReplacementRule&) = default;
};

class ProjectFile {
public:
    static constexpr char kDefaultRunCmd[] = "%b %dcontents.htm";
    static constexpr char kDefaultShell[] = "/bin/sh -c";
    static constexpr char kDefaultEdgeFile[] = "edge.htm";

    explicit ProjectFile(std::string path) : file_(std::move(path)) {}

    const std::string& path() const { return file_.path(); }
    const CProfileFile& profile() const { return file_; }

    // [DALK] DataDirectory; "" when missing.
    std::string DataDirectory() const;
    bool SetDataDirectory(const std::string& dir) const;

    // [DALK] SRCDirectory. When the key is missing or empty the default,
    // DataDirectory + "src/", is written back at once and returned. With no
    // DataDirectory either there is nothing to derive it from: "" is returned
    // and nothing is written (a bare "src/" would name a directory relative to
    // wherever the program happens to run).
    std::string SrcDirectory() const;
    bool SetSrcDirectory(const std::string& dir) const;

    // [DALK] DirtyFlag: written, never read.
    bool SetDirtyFlag(bool dirty) const;

    // [CVN] keys. Shell is read only; an empty EdgeFile reads as the default.
    bool RunAfter() const;
    bool SetRunAfter(bool run) const;
    std::string RunCmd() const;
    bool SetRunCmd(const std::string& command) const;
    std::string Shell() const;
    bool UseEdgeFile() const;
    bool SetUseEdgeFile(bool use) const;
    std::string EdgeFile() const;
    bool SetEdgeFile(const std::string& edge) const;

    // [Replacements]: rules numbered from 1 without gaps; reading stops at the
    // first number whose type key is missing or empty.
    std::vector<ReplacementRule> ReadRules() const;
    std::vector<ReplacementRule> ReadTextRules() const;  // types "t" and "T"
    std::vector<ReplacementRule> ReadPageRules() const;  // every other type
    // Writes the rules as 1..n, then deletes the keys of n+1, n+2, ... for as
    // long as that number's type key exists. False when a write failed (a
    // text with a line break cannot be stored).
    bool WriteRules(const std::vector<ReplacementRule>& rules) const;

private:
    CProfileFile file_;
};

}  // namespace corvalin
