// The values of the options shared by several subcommands, checked before
// anything is opened: a bad value is a usage error that changes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/core/start_url.h"
#include "cli/arguments.h"

namespace corvalin::cli {

// --levels: a whole number of 1 or more, or "all" (-1).
std::optional<int32_t> ParseLevels(std::string_view text, std::string* error);

// --exclude: a comma-separated list of media classes (application, audio,
// video, image), or "none". Each class counts once.
std::optional<std::vector<std::string>> ParseMediaClasses(std::string_view text,
                                                          std::string* error);

// --threads and --per-server: 1 to 1000.
std::optional<int32_t> ParseThreadCount(std::string_view option, std::string_view text,
                                        std::string* error);

// Fills `options` from the start-URL options of `args` (--levels, --exclude,
// --only, --stay-on-site, --no-stay-on-site, --stay-in-dir, --user,
// --password, --password-file, --notes); the URL itself is the caller's.
// False with *error on the first bad value.
bool ReadStartUrlOptions(const ParsedArgs& args, StartUrlOptions* options, std::string* error);

// True when any start-URL option was given.
bool HasStartUrlOptions(const ParsedArgs& args);

}  // namespace corvalin::cli
