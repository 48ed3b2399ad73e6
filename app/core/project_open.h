// Opening a project in the engine, as the document does it: the project
// file names the data directory (the engine's tables) and the content
// directory (the grabbed files), and the engine opens them with OpenPlus.
#pragma once

#include <string>

#include "app/core/engine_loader.h"
#include "engine/interface/fetchwell.h"

namespace corvalin {

struct OpenedProject {
    std::string project_path;  // the project file, absolute
    std::string data_dir;      // ends in "/"
    std::string content_dir;   // ends in "/"
};

struct OpenFailure {
    // The text to show: "Could not open document:\n%1" with the project file,
    // or, when the tables exist but the engine refused them, "Corvalin has
    // detected a corrupt database and cannot open\nyour project.  The grabbed
    // content is still available in:\n%1" with the content directory.
    std::string message;
    // What exactly went wrong, for a program that can say more than a
    // message box ("no such file", "the data directory /p/news/ is missing",
    // the engine's own message); may be empty.
    std::string detail;
    fw::HRESULT result = fw::S_OK;  // the failing engine call's, when one failed
};

// Opens the project whose project file is `project_path`:
//   1. the file must be a readable regular file naming a DataDirectory that
//      exists (checked before anything is written, so a failed open changes
//      nothing: the engine would otherwise create tables wherever the file
//      points);
//   2. SRCDirectory is read (its default is written back when missing);
//   3. OpenPlus(DataDirectory, SRCDirectory); Preferences; PercentMaxThreads
//      = 100 (the engine's thread count is then MaxThreads itself).
// `engine` was made by `loader`, which reads the engine's error messages.
// REQUIRES: no project is open in `engine`. On failure the engine is left
// closed and *failure says why.
bool OpenProject(const EngineLoader& loader, fw::IDizoziz* engine, const std::string& project_path,
                 OpenedProject* opened, OpenFailure* failure);

}  // namespace corvalin
