// The engine log: one plain-text file in the program home ("fetchwell.log")
// to which every subsystem appends one-line records.
//
// Each record is "MM/DD/YY hh:mm:ss " (local time) followed by the text and a
// line end. A text with embedded line ends (a crash report) is written as one
// record; only its first line carries the time stamp. The first record of a
// process rotates a log larger than 250000 bytes to "fetchwell.1.log".
#pragma once

#include <string>
#include <string_view>

namespace fw {

// Appends one record. Never fails visibly: a log that cannot be opened loses
// the record. Safe to call from any thread.
void LogMessage(std::string_view text);

// For tests: the path records go to, and a way to point the log elsewhere and
// make the next record behave as the first of the process (rotation check).
std::string LogFilePath();
void ResetLogForTesting(const std::string& path);

}  // namespace fw
