// The command-line parser shared by every subcommand: GNU-style long options
// ("--levels 3", "--levels=3"), single-letter aliases ("-q"), options and
// operands in any order, and "--" to end the options.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvalin::cli {

struct OptionSpec {
    const char* name;        // long name without "--"
    char letter;             // single-letter alias, or 0
    const char* value_name;  // shown in help ("N", "LIST"); nullptr for a flag
    const char* help;
};

struct ParsedArgs {
    std::vector<std::string> operands;
    std::map<std::string, std::vector<std::string>, std::less<>> options;  // every value given

    bool Has(std::string_view name) const { return options.find(name) != options.end(); }
    // The last value given for the option.
    std::optional<std::string> Value(std::string_view name) const;
};

// Parses `args` (the words after the subcommand) against `specs`. False with
// *error ("unknown option '--x'", "option '--levels' needs a value", ...) on
// the first word that does not fit. A lone "-" is an operand.
bool ParseArguments(const std::vector<std::string>& args, std::span<const OptionSpec> specs,
                    ParsedArgs* out, std::string* error);

// The help lines of the options: "  -q, --quiet        text".
std::string FormatOptions(std::span<const OptionSpec> specs);

}  // namespace corvalin::cli
