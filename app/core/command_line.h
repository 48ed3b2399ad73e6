// The desktop program's command line, parsed into a plain record.
//
//   corvalin [PROJECT.cvn] [-A[:]url] [-L[:n]] [-C[:0|1]] [-I[:]file] [-U] [-E]
//
// A switch starts with "-" or "/" and its letter is matched in either case.
// Because "/" also starts every absolute path, a "/" argument is a switch only
// in a form no path takes: the letter alone or followed by ":", "/A" right
// before a URL holding "://", "/I" right before a file name without "/".
// The first plain argument names the project file; other plain arguments are
// ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvalin {

struct CommandLineInfo {
    enum class ShellCommand { kFileNew, kFileOpen };

    ShellCommand shell_command = ShellCommand::kFileNew;
    std::string file_name;     // the project file; set with kFileOpen
    std::string add_url;       // -A: URL to add as a start URL once open
    int32_t levels = 0;        // -L: levels of that URL; 0 leaves the engine's default
    bool stay_on_site = true;  // -C: "-C:0" clears it, any other form sets it
    std::string import_file;   // -I: file whose URLs are imported once open
    bool update = false;       // -U: refresh every site of the project once open
    bool exit = false;         // -E: with -U, close when that refresh has finished

    // Refresh every site once the project is open: -U with a project named.
    bool UpdateMode() const { return update && shell_command == ShellCommand::kFileOpen; }
    // Close after that refresh: -E counts only in update mode.
    bool ExitAfterUpdate() const { return UpdateMode() && exit; }
};

// Parses the arguments after the program name. Unknown switches are ignored
// (they belong to the window toolkit). -A and -I keep their first value; the
// value follows the letter directly or after ":". -L alone gives -1 (all
// levels), -L:n gives n, and a negative n gives 0.
CommandLineInfo ParseCommandLine(const std::vector<std::string>& args);

}  // namespace corvalin
