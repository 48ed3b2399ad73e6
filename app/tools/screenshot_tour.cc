// corvalin_screenshots: drives the desktop program through its windows and
// saves a picture of each, for people to look at (scripts/screenshots runs
// it under Xvfb). Not installed.
//
//   corvalin_screenshots OUTDIR PROJECT.cvn
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/export/export_dialog.h"
#include "app/main_frame.h"
#include "app/pagewell_app.h"
#include "app/splash_window.h"
#include "app/startup_dialog.h"
#include "app/views/left_view.h"
#include "app/views/url_tree_model.h"

namespace {

QString out_dir;

void Settle(int ms = 300) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget* widget, const char* name) {
    Settle();
    const QString path = out_dir + "/" + name + ".png";
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvalin_screenshots OUTDIR PROJECT.cvn\n");
        return 2;
    }
    out_dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out_dir);
    bool ok = true;

    corvalin::CSplashWnd splash;
    splash.Show();
    Settle();
    ok &= corvalin::CSplashWnd::Picture(2.0).save(out_dir + "/splash.png");
    splash.Hide();

    corvalin::CPagewellApp app;
    corvalin::CPagewellApp::Options options;
    options.splash = false;
    options.startup_dialog = false;
    if (!app.InitInstance({argv[2]}, options)) return 1;
    corvalin::CMainFrame* frame = app.frame();
    if (auto* tree = frame->left_view(); tree->tree_model()->rowCount() > 0) {
        tree->setCurrentIndex(tree->tree_model()->index(0, 0));
    }
    ok &= Save(frame, "main-window");

    corvalin::CStartupDialog startup(frame->doc().settings().RecentFiles(), frame);
    startup.show();
    ok &= Save(&startup, "startup-dialog");
    startup.hide();

    corvalin::CExportDialog export_dialog(frame, QDir::homePath() + "/offline-copy");
    export_dialog.show();
    ok &= Save(&export_dialog, "export-dialog");
    export_dialog.hide();
    return ok ? 0 : 1;
}
