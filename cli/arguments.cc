#include "cli/arguments.h"

#include <algorithm>

namespace corvalin::cli {
namespace {

const OptionSpec* FindLong(std::span<const OptionSpec> specs, std::string_view name) {
    for (const auto& spec : specs) {
        if (name == spec.name) return &spec;
    }
    return nullptr;
}

const OptionSpec* FindLetter(std::span<const OptionSpec> specs, char letter) {
    for (const auto& spec : specs) {
        if (spec.letter != 0 && spec.letter == letter) return &spec;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
    auto it = options.find(name);
    if (it == options.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

bool ParseArguments(const std::vector<std::string>& args, std::span<const OptionSpec> specs,
                    ParsedArgs* out, std::string* error) {
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (options_ended || word.size() < 2 || word[0] != '-') {
            out->operands.push_back(word);
            continue;
        }
        if (word == "--") {
            options_ended = true;
            continue;
        }
        const OptionSpec* spec = nullptr;
        std::optional<std::string> inline_value;
        std::string shown;  // the option as the user wrote it, for messages
        if (word[1] == '-') {
            std::string_view body = std::string_view(word).substr(2);
            const size_t eq = body.find('=');
            if (eq != std::string_view::npos) {
                inline_value = std::string(body.substr(eq + 1));
                body = body.substr(0, eq);
            }
            shown = "--" + std::string(body);
            spec = FindLong(specs, body);
        } else {
            shown = word.substr(0, 2);
            spec = FindLetter(specs, word[1]);
            if (word.size() > 2) inline_value = word.substr(2);  // "-d3"
        }
        if (!spec) {
            *error = "unknown option '" + shown + "'";
            return false;
        }
        auto& values = out->options[spec->name];
        if (!spec->value_name) {
            if (inline_value) {
                *error = "option '" + shown + "' takes no value";
                return false;
            }
            values.emplace_back();
            continue;
        }
        if (inline_value) {
            values.push_back(*inline_value);
        } else if (i + 1 < args.size()) {
            values.push_back(args[++i]);
        } else {
            *error = "option '" + shown + "' needs a value";
            return false;
        }
    }
    return true;
}

std::string FormatOptions(std::span<const OptionSpec> specs) {
    constexpr size_t kLineWidth = 79;
    std::vector<std::string> heads;
    size_t width = 0;
    for (const auto& spec : specs) {
        std::string head = spec.letter ? std::string("  -") + spec.letter + ", " : "      ";
        head += "--";
        head += spec.name;
        if (spec.value_name) {
            head += ' ';
            head += spec.value_name;
        }
        width = std::max(width, head.size());
        heads.push_back(std::move(head));
    }
    const size_t indent = width + 2;
    std::string text;
    for (size_t i = 0; i < specs.size(); ++i) {
        std::string line = heads[i];
        line.resize(indent, ' ');
        // Word-wrapped help, continued under its own first word.
        std::string_view help = specs[i].help;
        bool first = true;
        while (!help.empty()) {
            const size_t space = help.find(' ');
            const std::string_view word = help.substr(0, space);
            if (!first && line.size() + 1 + word.size() > kLineWidth) {
                text += line + "\n";
                line.assign(indent, ' ');
                first = true;
            }
            if (!first) line += ' ';
            line += word;
            first = false;
            help = space == std::string_view::npos ? std::string_view() : help.substr(space + 1);
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace corvalin::cli
