// Showing pages in the user's browser, files in the editor, and starting
// other programs (the run-after command of a grab).
//
// There are no shell result codes here as on the system the program comes
// from; a failed start is mapped to the nearest one (not found 2, path not
// found 3, no permission 5, not an executable 11) so that the "Launch Error"
// texts still say what went wrong.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/core/app_settings.h"

namespace corvalin {

// Results of a launch in the shell's terms: 32 or more is success.
inline constexpr int kLaunchSucceeded = 33;
inline constexpr int kLaunchNotFound = 2;
inline constexpr int kLaunchPathNotFound = 3;
inline constexpr int kLaunchNoPermission = 5;
inline constexpr int kLaunchOutOfMemory = 8;
inline constexpr int kLaunchNotExecutable = 11;
inline constexpr int kLaunchNoAssociation = 31;
inline constexpr int kLaunchFailed = 1;  // any other failure

// A run line split into the program and its parameters:
//   1. blanks and tabs are dropped at both ends;
//   2. a line starting with a double quote: the program is the text up to
//      the next double quote, the parameters everything after it. Without a
//      closing quote the program is the rest and unbalanced_quotes is set
//      (the caller says "Unbalanced quotes in run line");
//   3. otherwise the program runs up to and including the first ".exe",
//      ".bat", ".com" or ".sh" (any case) that a blank or tab follows, and
//      the parameters start after that one blank or tab; with none of them
//      the whole line is the program.
struct SplitLine {
    std::string program;
    std::string parameters;
    bool unbalanced_quotes = false;
    bool quoted = false;  // the program was quoted
};
SplitLine SplitCommandLine(std::string_view text);

// The words of a command line as a shell splits them: blanks and tabs
// separate, '...' keeps everything literally, "..." keeps everything but a
// backslash before " or \, and outside quotes a backslash keeps the next
// character.
std::vector<std::string> CommandWords(std::string_view text);

// `text` as one word of a command line (CommandWords gives it back whole).
std::string QuotedWord(std::string_view text);

// The shell result that a failed start (an errno) means for `program`.
int LaunchResultOf(int error, std::string_view program);

// The "Launch Error" text of a failed result; `command` is the line that
// was run. A result of 2 for a page (a target ending in "/", ".htm" or
// ".html", any case) points at the browser setting instead.
std::string LaunchErrorText(int result, std::string_view command);

// Starts a command line (split by CommandWords) and, when `wait`, waits up to
// 15 seconds for it to end. 0: started (and ended, when waiting); 1: still
// running after the wait; 2: not started (also for an empty line).
int StartProcess(std::string_view command_line, bool wait);

// Opens `target` (a file or an address) with the desktop's default program
// ("xdg-open"), without waiting. Returns a launch result.
int ShellOpen(std::string_view target);

// Runs a command line as the shell would "open" it: SplitCommandLine, then
// an executable program is started with the parameters as its arguments
// (parameters that name an existing file stay one argument), a script
// ending in ".sh" that is not executable runs under /bin/sh, and any other
// existing file or an address is opened with the desktop's default program.
// An unquoted program that names nothing is taken as "program arguments"
// split at its first blank ("firefox /p/contents.htm"). `working_dir` empty:
// ours. Nothing is waited for.
struct ProgramLaunch {
    int result = 0;
    bool unbalanced_quotes = false;
    bool succeeded() const { return result >= 32; }
};
ProgramLaunch LaunchProgram(std::string_view command_line, const std::string& working_dir);

// Shows `target` in the browser: nothing for an empty target; with
// UseDefaultBrowser the desktop's default browser, otherwise the Browser
// command, one space and the target (quoted when it holds blanks). Failures
// are not reported.
void OpenInBrowser(const AppSettings& settings, std::string_view target);

// Opens `path` in the HTML editor: the HTMLEditor command, one space and the
// path (quoted when it holds blanks). Failures are not reported.
void OpenInEditor(const AppSettings& settings, std::string_view path);

// A running browser's current page: no browser tells it here, so this
// always answers false.
bool BrowserCurrentPage(std::string* url, std::string* title);

// The browser conversation's start and end: nothing to set up here; both
// always succeed.
bool DdeStart();
void DdeEnd();

}  // namespace corvalin
