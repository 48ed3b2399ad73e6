// The command a project runs when a grab has finished ([CVN] RunCmd), with
// its placeholders filled in.
#pragma once

#include <string>
#include <string_view>

namespace corvalin {

struct RunCommandValues {
    std::string browser;       // %b: "" when pages open with the default browser
    std::string content_dir;   // %d: SRCDirectory
    std::string program_dir;   // %i: the program home, ending in "/"
    std::string project_file;  // the project file's path; %f and %g come from it
    std::string shell;         // %c: [CVN] Shell
};

// Replaces every "%b", then every "%d", "%i", "%f" (the project file's name),
// "%g" (that name without its last extension) and "%c", in this order, and
// trims blanks and tabs from both ends. A value that itself holds a later
// placeholder is expanded in turn, as the order says.
std::string ExpandRunCommand(std::string_view run_cmd, const RunCommandValues& values);

}  // namespace corvalin
