#include "app/core/project_options.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace corvalin {
namespace {

// A first line longer than this proposes nothing sensible; reading stops.
constexpr size_t kMaxFirstLine = 4096;

std::optional<std::string> FirstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line;
    char c = 0;
    while (line.size() < kMaxFirstLine && in.get(c) && c != '\n') line += c;
    if (line.empty() && !in) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

char LetterOf(std::string_view type) { return type.size() == 1 ? type[0] : '\0'; }

}  // namespace

std::vector<std::string> ListRunAfterScripts(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path& path = it->path();
        if (path.extension() != ".sh" || !it->is_regular_file(error)) continue;
        names.push_back(path.filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> RunAfterTemplate(std::string_view first_line,
                                            std::string_view script_name) {
    std::string_view rest;
    if (first_line.starts_with("#:!")) {
        rest = first_line.substr(3);
    } else if (first_line.starts_with("#@:!")) {
        rest = first_line.substr(4);
    } else {
        return std::nullopt;
    }
    if (rest.empty()) return std::nullopt;
    std::string command;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 1 < rest.size() && rest[i + 1] == 't') {
            command.append(script_name);
            ++i;
        } else {
            command += rest[i];
        }
    }
    return command;
}

std::string RunAfterTextForScript(const std::string& dir, const std::string& script_name) {
    std::string path = dir;
    if (!path.empty() && path.back() != '/') path += '/';
    const std::optional<std::string> line = FirstLine(path + script_name);
    if (!line) return script_name;
    return RunAfterTemplate(*line, script_name).value_or(script_name);
}

std::string ReplacementTypeText(std::string_view type) {
    switch (LetterOf(type)) {
        case 't': case 'T': return "Text";
        case 'f': case 'F': return "File";
        case 'l': case 'L': return "Line";
        default: return "";
    }
}

std::string ReplacementCaseText(std::string_view type) {
    if (ReplacementTypeText(type).empty()) return "";
    return LetterOf(type) >= 'a' ? "N" : "Y";
}

ReplacementKind ReplacementKindOf(std::string_view type) {
    switch (LetterOf(type)) {
        case 'f': case 'F': return ReplacementKind::kFile;
        case 'l': case 'L': return ReplacementKind::kLine;
        default: return ReplacementKind::kText;
    }
}

bool ReplacementCaseSensitive(std::string_view type) { return ReplacementCaseText(type) == "Y"; }

std::string ReplacementTypeLetter(ReplacementKind kind, bool case_sensitive) {
    char letter = 't';
    if (kind == ReplacementKind::kFile) letter = 'f';
    if (kind == ReplacementKind::kLine) letter = 'l';
    if (case_sensitive) letter = static_cast<char>(letter - 'a' + 'A');
    return std::string(1, letter);
}

bool SaveReplacementRules(const ProjectFile& project, const std::vector<ReplacementRule>& rules,
                          bool changed) {
    bool written = project.WriteRules(rules);
    if (changed) written = project.SetDirtyFlag(true) && written;
    return written;
}

EdgeChoice EdgeChoiceToStore(bool file_radio, std::string_view text) {
    EdgeChoice choice;
    choice.edge_file = std::string(text);
    choice.use_edge_file = file_radio && !text.empty();
    return choice;
}

}  // namespace corvalin
