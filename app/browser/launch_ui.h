// The launching operations as the window uses them: RunProgram reports a
// failed start in a "Launch Error" box.
#pragma once

#include <QWidget>
#include <string>

namespace corvalin {

// Runs `command_line` as the shell opens it (LaunchProgram). An unbalanced
// quote is reported in an "Error" box. A failed start shows the "Launch
// Error" text for its result when `report` is set, and then answers false;
// without `report` the answer is true whatever happened.
bool RunProgram(QWidget* owner, const std::string& command_line, const std::string& working_dir,
                bool report);

}  // namespace corvalin
