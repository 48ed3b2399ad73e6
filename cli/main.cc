// fetchwell: the command-line front end of the engine. See docs/fetchwell.md.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/engine_loader.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/interrupts.h"

namespace {

using namespace corvalin::cli;

int ShowVersion() {
    corvalin::EngineLoader engine;
    if (!engine.Load()) {
        std::fprintf(stderr, "fetchwell: %s\n", engine.error().c_str());
        return kExitFailure;
    }
    std::printf("fetchwell engine %s (%s)\n", engine.Version().c_str(), engine.path().c_str());
    return kExitOk;
}

int Help(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fputs(ProgramHelp().c_str(), stdout);
        return kExitOk;
    }
    const CommandSpec* spec = FindCommand(args[0]);
    if (!spec) {
        std::fprintf(stderr, "fetchwell: unknown command '%s'\n", args[0].c_str());
        return kExitUsage;
    }
    std::fputs(CommandHelp(*spec).c_str(), stdout);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread exists, so that every thread inherits the block.
    BlockStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(ProgramHelp().c_str(), stderr);
        return kExitUsage;
    }
    const std::string& first = args[0];
    if (first == "--version" || first == "-V") return ShowVersion();
    if (first == "--help" || first == "-h" || first == "help") {
        return Help(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    const CommandSpec* spec = FindCommand(first);
    if (!spec) {
        std::fprintf(stderr, "fetchwell: unknown command '%s'\nTry 'fetchwell --help'.\n",
                     first.c_str());
        return kExitUsage;
    }
    InterruptWatcher interrupts;
    CommandContext context{*spec, {}, interrupts};
    std::string error;
    if (!ParseArguments(std::vector<std::string>(args.begin() + 1, args.end()), spec->options,
                        &context.args, &error)) {
        return UsageError(*spec, error);
    }
    if (context.args.Has("help")) {
        std::fputs(CommandHelp(*spec).c_str(), stdout);
        return kExitOk;
    }
    const size_t count = context.args.operands.size();
    if (count < spec->min_operands) {
        return UsageError(*spec, std::string("missing arguments: ") + spec->operands);
    }
    if (count > spec->max_operands) {
        return UsageError(*spec, "too many arguments ('" +
                                     context.args.operands[spec->max_operands] +
                                     "' is one more than " + spec->operands + ")");
    }
    return spec->run(context);
}
