#include "app/pagewell_app.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/core/content_hooks.h"
#include "app/core/program_files.h"
#include "app/core/project_layout.h"
#include "app/main_frame.h"
#include "app/splash_window.h"
#include "app/views/left_view.h"
#include "platform/file_ops.h"

namespace corvalin {

CPagewellApp::CPagewellApp() = default;

CPagewellApp::~CPagewellApp() {
    // The window (and with it the document and the engine) before the splash.
    frame_.reset();
    splash_.reset();
}

bool CPagewellApp::InitInstance(const std::vector<std::string>& args, const Options& options) {
    info_ = ParseCommandLine(args);
    ProgramDirectory();  // the program home gets the installed defaults it lacks

    if (options.splash) {
        splash_ = std::make_unique<CSplashWnd>();
        splash_->Show();
    }
    frame_ = std::make_unique<CMainFrame>(AppSettings());
    // The document's hooks: page replacements, contents page, edge files.
    InstallContentHooks(&frame_->doc().hooks());
    std::string why;
    if (!frame_->doc().CreateEngine(&why)) {
        if (splash_) splash_->Hide();
        QMessageBox::critical(nullptr, "Corvalin", QString::fromStdString(why));
        return false;
    }

    const bool open = info_.shell_command == CommandLineInfo::ShellCommand::kFileOpen;
    if (open) {
        const std::string path = AbsolutePath(info_.file_name);
        if (!platform::FileExists(path)) {
            std::string message;
            if (!CreateProject(path, &message)) {
                frame_->ShowMessage(message);
                return false;
            }
        }
        if (!frame_->OpenProject(path)) return false;
    }
    frame_->show();
    if (options.startup_dialog && !open) {
        QTimer::singleShot(0, frame_.get(), [frame = frame_.get()] { frame->ShowStartupDialog(); });
    }

    CPagewellDoc& doc = frame_->doc();
    if (!info_.import_file.empty() && doc.project_open()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        doc.Import(info_.import_file);
        QApplication::restoreOverrideCursor();
        frame_->RebuildTree();
    }
    if (!info_.add_url.empty() && doc.project_open()) doc.AddCommandLineUrl(info_);
    if (info_.UpdateMode() && doc.project_open()) {
        doc.set_exit_after_grab(info_.ExitAfterUpdate());
        frame_->GrabAll(true);
    }
    return true;
}

}  // namespace corvalin
