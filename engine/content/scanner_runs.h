// Runs of plain text in a generated scanner's buffer, found with a string
// search instead of the scanner's tables: faster on long runs, and blind to
// NUL bytes, which the generated code would take for the end of its buffer
// and rescan the token at.
#pragma once

#include <span>
#include <string_view>

namespace fw {

// Where a run starting at `from` ends: at the first character of `scan_set`
// that is not the first letter of one of `words`, or where one of `words`
// (any case) begins, or where one might begin because `buffer_end` cuts it
// off; at `buffer_end` when none comes first. NUL bytes before `buffer_end`
// belong to the run.
// REQUIRES: *buffer_end == '\0'; every word is lower case and non-empty, and
// both cases of its first letter are in `scan_set`.
const char* RunEnd(const char* from, const char* buffer_end, const char* scan_set,
                   std::span<const std::string_view> words = {});

}  // namespace fw
