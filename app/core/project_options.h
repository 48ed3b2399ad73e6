// The rules of the project property sheet ("Corvalin Project
// Properties"): the run-after scripts and the command a script's first line
// proposes, the replacement rules' type letters, and the edge choice. The
// values themselves live in the project file (ProjectFile).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/project_file.h"

namespace corvalin {

inline constexpr char kProjectSheetCaption[] = "Corvalin Project Properties";

// --- Run After -----------------------------------------------------------------

// The names of the run-after scripts ("*.sh" files) in `dir`, sorted.
std::vector<std::string> ListRunAfterScripts(const std::string& dir);

// The command a script's first line proposes: the rest of a line beginning
// with "#:!" or "#@:!", with every "%t" replaced by the script's name;
// nullopt for any other line and for an empty command.
std::optional<std::string> RunAfterTemplate(std::string_view first_line,
                                            std::string_view script_name);

// The drop-down's text after choosing `script_name` from `dir`: the command
// its first line proposes, or the name itself (also when the file cannot be
// read or is empty).
std::string RunAfterTextForScript(const std::string& dir, const std::string& script_name);

// --- Replacement rules -----------------------------------------------------------

enum class ReplacementKind { kText, kFile, kLine };

// The "Type" cell: "Text", "File" or "Line" for t/T, f/F, l/L; empty for
// any other type.
std::string ReplacementTypeText(std::string_view type);
// The "Case Sensitive" cell: "Y" for an upper-case letter of those, "N" for
// a lower-case one, empty for any other type.
std::string ReplacementCaseText(std::string_view type);
// How "Edit Replacement" opens a rule: its kind and case, Text and not case
// sensitive for any other type.
ReplacementKind ReplacementKindOf(std::string_view type);
bool ReplacementCaseSensitive(std::string_view type);
// The letter "Edit Replacement" stores: t, f or l, upper case when case
// sensitive.
std::string ReplacementTypeLetter(ReplacementKind kind, bool case_sensitive);

// Writes the rules in order (stale higher numbers go) and, when the user
// added, edited or deleted any, DirtyFlag = 1. False when a write failed.
bool SaveReplacementRules(const ProjectFile& project, const std::vector<ReplacementRule>& rules,
                          bool changed);

// --- Edge ----------------------------------------------------------------------

struct EdgeChoice {
    bool use_edge_file = false;
    std::string edge_file;
};

// The Edge page's radio and text as stored: the file radio with an empty
// text counts as the full-URL radio.
EdgeChoice EdgeChoiceToStore(bool file_radio, std::string_view text);

}  // namespace corvalin
