// The rules subcommand: lists, adds and deletes a project's page
// replacement rules, which every grab applies to the pages it finishes.
#include <cstdio>

#include "app/core/project_file.h"
#include "app/core/replacement_pattern.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/session.h"
#include "platform/file_ops.h"

namespace corvalin::cli {
namespace {

bool IsRuleType(std::string_view type) {
    return type.size() == 1 && std::string_view("lLfFtT").find(type[0]) != std::string_view::npos;
}

// Line breaks and tabs would break the listing's lines and columns.
std::string Shown(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

int ListRules(const ProjectFile& project) {
    int n = 1;
    for (const auto& rule : project.ReadRules()) {
        std::printf("%d\t%s\t%s\t%s\n", n++, Shown(rule.type).c_str(), Shown(rule.search).c_str(),
                    Shown(rule.replace).c_str());
    }
    return kExitOk;
}

// Writes the changed list and marks the project changed, as the desktop
// program's project sheet does.
int StoreRules(const Session& session, const ProjectFile& project,
               const std::vector<ReplacementRule>& rules) {
    if (!project.WriteRules(rules)) {
        session.Error("cannot write the rules to " + project.path());
        return kExitFailure;
    }
    project.SetDirtyFlag(true);
    return kExitOk;
}

int AddRule(CommandContext& context, const Session& session, const ProjectFile& project) {
    const auto& operands = context.args.operands;
    if (operands.size() != 5) {
        return UsageError(context.spec, "add needs TYPE, SEARCH and REPLACE");
    }
    const ReplacementRule rule{operands[2], operands[3], operands[4]};
    if (!IsRuleType(rule.type)) {
        return UsageError(context.spec,
                          "'" + rule.type + "' is not a rule type (l, L, f, F, t or T)");
    }
    if (rule.search.empty()) return UsageError(context.spec, "the search text is empty");
    if (!ReplacementPattern::Compile(rule.search, false)) {
        return UsageError(context.spec,
                          "'" + rule.search + "' is not a valid pattern (a '[' without its ']')");
    }
    for (const auto& text : {rule.search, rule.replace}) {
        if (text.find_first_of("\r\n") != std::string::npos) {
            return UsageError(context.spec, "a rule cannot hold a line break");
        }
        // The project file gives back no more than this.
        if (text.size() > CProfileFile::kMaxValueChars) {
            return UsageError(context.spec, "a rule's texts can hold at most " +
                                                std::to_string(CProfileFile::kMaxValueChars) +
                                                " bytes");
        }
    }
    std::vector<ReplacementRule> rules = project.ReadRules();
    size_t at = rules.size();
    if (auto text = context.args.Value("at")) {
        auto n = ParseInteger(*text, 1, static_cast<long>(rules.size()) + 1);
        if (!n) {
            return UsageError(context.spec, "--at needs a rule number from 1 to " +
                                                std::to_string(rules.size() + 1));
        }
        at = static_cast<size_t>(*n - 1);
    }
    rules.insert(rules.begin() + static_cast<std::ptrdiff_t>(at), rule);
    if (int code = StoreRules(session, project, rules)) return code;
    std::printf("%zu\n", at + 1);
    return kExitOk;
}

int DeleteRule(CommandContext& context, const Session& session, const ProjectFile& project) {
    const auto& operands = context.args.operands;
    if (operands.size() != 3) return UsageError(context.spec, "delete needs a rule number");
    std::vector<ReplacementRule> rules = project.ReadRules();
    auto n = ParseInteger(operands[2], 1, INT32_MAX);
    if (!n) return UsageError(context.spec, "'" + operands[2] + "' is not a rule number");
    if (static_cast<size_t>(*n) > rules.size()) {
        session.Error("the project has no rule " + operands[2]);
        return kExitFailure;
    }
    rules.erase(rules.begin() + (*n - 1));
    return StoreRules(session, project, rules);
}

}  // namespace

int RunRules(CommandContext& context) {
    const auto& operands = context.args.operands;
    const std::string action = operands.size() > 1 ? operands[1] : "list";
    if (action != "list" && action != "add" && action != "delete") {
        return UsageError(context.spec, "unknown action '" + action + "' (list, add or delete)");
    }
    if (action == "list" && operands.size() > 2) {
        return UsageError(context.spec, "list takes no arguments");
    }
    Session session(context.spec.name);
    const std::string path = ProjectFileArgument(operands[0]);
    if (!platform::FileExists(path)) {
        session.Error("Could not open document: " + path + " (no such file)");
        return kExitProject;
    }
    const ProjectFile project(path);
    if (action == "add") return AddRule(context, session, project);
    if (action == "delete") return DeleteRule(context, session, project);
    return ListRules(project);
}

}  // namespace corvalin::cli
