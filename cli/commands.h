// The subcommands of fetchwell: their names, operands, options and help, and
// the functions that run them.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/interrupts.h"

namespace corvalin::cli {

struct CommandSpec;

// What a subcommand gets: its own spec, its parsed words, and the Ctrl-C
// watcher (for the ones that grab).
struct CommandContext {
    const CommandSpec& spec;
    ParsedArgs args;
    InterruptWatcher& interrupts;
};

struct CommandSpec {
    const char* name;
    const char* operands;     // "URL [PROJECT]"
    const char* summary;      // one line for the command list
    const char* description;  // the body of --help
    std::vector<OptionSpec> options;
    size_t min_operands;
    size_t max_operands;
    int (*run)(CommandContext& context);  // returns the exit code
};

std::span<const CommandSpec> Commands();
const CommandSpec* FindCommand(std::string_view name);

// "usage: fetchwell NAME OPERANDS [options]", the description and the options.
std::string CommandHelp(const CommandSpec& spec);
// The program's own help: the commands and where to read more.
std::string ProgramHelp();

// Prints "fetchwell NAME: text" and where help is; returns kExitUsage.
int UsageError(const CommandSpec& spec, std::string_view text);

// The subcommands (commands_*.cc).
int RunMirror(CommandContext& context);
int RunCreate(CommandContext& context);
int RunAdd(CommandContext& context);
int RunList(CommandContext& context);
int RunGrab(CommandContext& context);
int RunRefresh(CommandContext& context);
int RunPreview(CommandContext& context);
int RunCheck(CommandContext& context);
int RunDelete(CommandContext& context);
int RunImport(CommandContext& context);
int RunExport(CommandContext& context);
int RunSearch(CommandContext& context);
int RunIndexSearch(CommandContext& context);
int RunPack(CommandContext& context);
int RunPrefs(CommandContext& context);
int RunRules(CommandContext& context);

}  // namespace corvalin::cli
