#include "cli/option_values.h"

#include <algorithm>

#include "cli/session.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace corvalin::cli {
namespace {

constexpr const char* kStartUrlOptionNames[] = {
    "levels",      "exclude", "only",     "stay-on-site",  "no-stay-on-site",
    "stay-in-dir", "user",    "password", "password-file", "notes",
};

// A password file holds the password on its first line; anything longer
// than this is not a password file.
constexpr size_t kMaxPasswordFileBytes = 4096;

}  // namespace

std::optional<int32_t> ParseLevels(std::string_view text, std::string* error) {
    if (platform::EqualsIgnoreCase(text, "all")) return -1;
    auto levels = ParseInteger(text, INT32_MIN, INT32_MAX);
    if (!levels) {
        *error = "'" + std::string(text) + "' is not a number of levels (give 1 or more, or 'all')";
        return std::nullopt;
    }
    if (*levels < 1) {
        *error = "Levels must be set to 1 or greater.";
        return std::nullopt;
    }
    return static_cast<int32_t>(*levels);
}

std::optional<std::vector<std::string>> ParseMediaClasses(std::string_view text,
                                                          std::string* error) {
    std::vector<std::string> classes;
    const std::string list = NormaliseTypeList(platform::ToLowerAscii(text));
    if (list == "none") return classes;
    size_t start = 0;
    while (start < list.size()) {
        size_t comma = std::min(list.find(',', start), list.size());
        std::string word = list.substr(start, comma - start);
        start = comma + 1;
        if (!IsMediaClass(word)) {
            *error = "unknown media class '" + word +
                     "' (choose from application, audio, video and image, or none)";
            return std::nullopt;
        }
        if (std::find(classes.begin(), classes.end(), word) == classes.end()) {
            classes.push_back(std::move(word));
        }
    }
    if (classes.empty()) {
        *error = "--exclude needs media classes (application, audio, video, image) or 'none'";
        return std::nullopt;
    }
    return classes;
}

std::optional<int32_t> ParseThreadCount(std::string_view option, std::string_view text,
                                        std::string* error) {
    auto count = ParseInteger(text, 1, 1000);
    if (!count) {
        *error = "--" + std::string(option) + " needs a whole number from 1 to 1000, not '" +
                 std::string(text) + "'";
        return std::nullopt;
    }
    return static_cast<int32_t>(*count);
}

bool ReadStartUrlOptions(const ParsedArgs& args, StartUrlOptions* options, std::string* error) {
    if (auto text = args.Value("levels")) {
        auto levels = ParseLevels(*text, error);
        if (!levels) return false;
        options->levels = *levels;
    }
    if (args.Has("only") && args.Has("exclude")) {
        *error = "--only and --exclude cannot be combined (a type list excludes everything else)";
        return false;
    }
    if (auto text = args.Value("exclude")) {
        auto classes = ParseMediaClasses(*text, error);
        if (!classes) return false;
        options->excluded_classes = std::move(*classes);
    }
    if (auto text = args.Value("only")) {
        options->only_types = NormaliseTypeList(*text);
        if (options->only_types.empty()) {
            *error = "Please enter the types of files that you would like to download.";
            return false;
        }
    }
    if (args.Has("stay-on-site") && args.Has("no-stay-on-site")) {
        *error = "--stay-on-site and --no-stay-on-site cannot be combined";
        return false;
    }
    if (args.Has("no-stay-on-site")) options->stay_on_site = false;
    if (args.Has("stay-in-dir")) options->stay_in_dir = true;
    if (auto user = args.Value("user")) options->user = *user;
    if (args.Has("password") && args.Has("password-file")) {
        *error = "--password and --password-file cannot be combined";
        return false;
    }
    if (auto password = args.Value("password")) options->password = *password;
    if (auto file = args.Value("password-file")) {
        std::string content;
        if (!platform::ReadFilePrefix(*file, kMaxPasswordFileBytes, &content)) {
            *error = "cannot read the password file " + *file;
            return false;
        }
        options->password = content.substr(0, content.find_first_of("\r\n"));
    }
    if (auto notes = args.Value("notes")) options->notes = *notes;
    return true;
}

bool HasStartUrlOptions(const ParsedArgs& args) {
    for (const char* name : kStartUrlOptionNames) {
        if (args.Has(name)) return true;
    }
    return false;
}

}  // namespace corvalin::cli
