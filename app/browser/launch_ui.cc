#include "app/browser/launch_ui.h"

#include <QMessageBox>

#include "app/core/launch.h"

namespace corvalin {

bool RunProgram(QWidget* owner, const std::string& command_line, const std::string& working_dir,
                bool report) {
    const ProgramLaunch launch = LaunchProgram(command_line, working_dir);
    if (launch.unbalanced_quotes) {
        QMessageBox::critical(owner, "Error", "Unbalanced quotes in run line");
    }
    if (launch.succeeded() || !report) return true;
    QMessageBox box(QMessageBox::Critical, "Launch Error",
                    QString::fromStdString(LaunchErrorText(launch.result, command_line)),
                    QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return false;
}

}  // namespace corvalin
