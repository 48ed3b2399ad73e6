// The program's help pages (data/help), opened in the browser by Help Topics.
#pragma once

#include <string>

namespace corvalin {

// index.html of the help pages: installed beside the program
// (../share/corvalin/help), under the install prefix, or, for a program run
// from its build tree, in the source tree. Empty when none is found.
std::string HelpPagePath();

}  // namespace corvalin
