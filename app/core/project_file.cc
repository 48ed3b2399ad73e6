#include "app/core/project_file.h"

#include "platform/text.h"

namespace corvalin {
namespace {

constexpr char kDalk[] = "DALK";
constexpr char kCvn[] = "CVN";
constexpr char kReplacements[] = "Replacements";

// A rule's text as it is stored. Values are read back trimmed and without one
// pair of enclosing quotes, so a text with blanks at an end (a replacement
// that ends in a blank) or one in quotes (a search for an attribute value
// with its quotes) is stored inside a pair of quotes, which reading takes off.
std::string StoredRuleText(const std::string& text) {
    const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                        text.back() == text.front();
    if (quoted || platform::TrimView(text).size() != text.size()) return '"' + text + '"';
    return text;
}

}  // namespace

std::string ProjectFile::DataDirectory() const {
    return file_.GetString(kDalk, "DataDirectory", "");
}

bool ProjectFile::SetDataDirectory(const std::string& dir) const {
    return file_.PutString(kDalk, "DataDirectory", dir);
}

std::string ProjectFile::SrcDirectory() const {
    std::string src = file_.GetString(kDalk, "SRCDirectory", "");
    if (!src.empty()) return src;
    const std::string data = DataDirectory();
    if (data.empty()) return std::string();
    src = data + "src/";
    file_.PutString(kDalk, "SRCDirectory", src);
    return src;
}

bool ProjectFile::SetSrcDirectory(const std::string& dir) const {
    return file_.PutString(kDalk, "SRCDirectory", dir);
}

bool ProjectFile::SetDirtyFlag(bool dirty) const {
    return file_.PutBool(kDalk, "DirtyFlag", dirty);
}

bool ProjectFile::RunAfter() const {
    return file_.GetBool(kCvn, "RunAfter", true);
}
bool ProjectFile::SetRunAfter(bool run) const {
    return file_.PutBool(kCvn, "RunAfter", run);
}

std::string ProjectFile::RunCmd() const {
    return file_.GetString(kCvn, "RunCmd", kDefaultRunCmd);
}
bool ProjectFile::SetRunCmd(const std::string& command) const {
    return file_.PutString(kCvn, "RunCmd", command);
}

std::string ProjectFile::Shell() const {
    return file_.GetString(kCvn, "Shell", kDefaultShell);
}

bool ProjectFile::UseEdgeFile() const {
    return file_.GetBool(kCvn, "UseEdgeFile", false);
}
bool ProjectFile::SetUseEdgeFile(bool use) const {
    return file_.PutBool(kCvn, "UseEdgeFile", use);
}

std::string ProjectFile::EdgeFile() const {
    std::string edge = file_.GetString(kCvn, "EdgeFile", kDefaultEdgeFile);
    return edge.empty() ? std::string(kDefaultEdgeFile) : edge;
}
bool ProjectFile::SetEdgeFile(const std::string& edge) const {
    return file_.PutString(kCvn, "EdgeFile", edge);
}

std::vector<ReplacementRule> ProjectFile::ReadRules() const {
    std::vector<ReplacementRule> rules;
    for (int n = 1;; ++n) {
        const std::string key = std::to_string(n);
        ReplacementRule rule;
        rule.type = file_.GetString(kReplacements, key, "");
        if (rule.type.empty()) break;
        rule.search = file_.GetString(kReplacements, key + "Search", "");
        rule.replace = file_.GetString(kReplacements, key + "Replace", "");
        rules.push_back(std::move(rule));
    }
    return rules;
}

std::vector<ReplacementRule> ProjectFile::ReadTextRules() const {
    std::vector<ReplacementRule> text;
    for (auto& rule : ReadRules()) {
        if (rule.IsTextRule()) text.push_back(std::move(rule));
    }
    return text;
}

std::vector<ReplacementRule> ProjectFile::ReadPageRules() const {
    std::vector<ReplacementRule> pages;
    for (auto& rule : ReadRules()) {
        if (!rule.IsTextRule()) pages.push_back(std::move(rule));
    }
    return pages;
}

bool ProjectFile::WriteRules(const std::vector<ReplacementRule>& rules) const {
    bool ok = true;
    int n = 1;
    for (const auto& rule : rules) {
        const std::string key = std::to_string(n++);
        ok = file_.PutString(kReplacements, key, rule.type) && ok;
        ok = file_.PutString(kReplacements, key + "Search", StoredRuleText(rule.search)) && ok;
        ok = file_.PutString(kReplacements, key + "Replace", StoredRuleText(rule.replace)) && ok;
    }
    for (;; ++n) {
        const std::string key = std::to_string(n);
        if (!file_.KeyExists(kReplacements, key)) break;
        // A type key that cannot be deleted would keep this loop going.
        if (!file_.PutString(kReplacements, key, std::nullopt)) return false;
        ok = file_.PutString(kReplacements, key + "Search", std::nullopt) && ok;
        ok = file_.PutString(kReplacements, key + "Replace", std::nullopt) && ok;
    }
    return ok;
}

}  // namespace corvalin
