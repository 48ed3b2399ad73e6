// Where the programs keep their own files (settings, logs, cookies, the
// editable copies of templates): the program home.
//
// The home is $CORVALIN_HOME when that is set (tests and portable use set it),
// otherwise ${XDG_CONFIG_HOME:-$HOME/.config}/corvalin/. It is created on first
// use. Every path returned here is absolute.
#pragma once

#include <string>

namespace platform {

// The program home with a trailing "/", created when missing; empty only when
// neither the environment nor the password database names a home directory.
std::string ProgramHome();

std::string SettingsFilePath();   // corvalin.ini, shared by every program
std::string EngineLogPath();      // fetchwell.log
std::string AppErrorLogPath();    // corvalin.log
std::string CookieFilePath();     // cookies.txt

// Copies every file of `defaults_dir` (recursively) that the program home does
// not have yet, so users edit their own copies of the installed defaults.
// Existing files are never overwritten.
void SeedProgramHome(const std::string& defaults_dir);

}  // namespace platform
