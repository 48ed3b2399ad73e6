// The program's own directory: the program home, which holds the templates
// of the contents page and the export page, the edge files and the disc
// launcher. The installed defaults are copied into it on first use, so users
// edit their own copies; a file the user has is never overwritten.
#pragma once

#include <string>

namespace corvalin {

// The directory of the running program, with a trailing "/"; empty when it
// cannot be read.
std::string ExecutableDirectory();

// The directory the defaults were installed to: <program>/../share/corvalin/
// home, the install prefix's share/corvalin/home, or (for a program run from
// its build tree) the source tree's data/home. Empty when none exists.
std::string InstalledDefaultsDirectory();

// The program home with a trailing "/", seeded with the installed defaults
// (once per process). Empty when there is no home (see platform::ProgramHome).
std::string ProgramDirectory();

}  // namespace corvalin
