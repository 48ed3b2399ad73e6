// corvalin_screenshots: drives the desktop program through its windows and
// saves a picture of each, for people to look at (scripts/screenshots runs
// it under Xvfb). Not installed.
//
//   corvalin_screenshots OUTDIR PROJECT.cvn
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "app/export/export_dialog.h"
#include "app/main_frame.h"
#include "app/pagewell_app.h"
#include "app/splash_window.h"
#include "app/startup_dialog.h"
#include "app/tools/dialog_tour.h"
#include "app/views/grab_window.h"
#include "app/views/left_view.h"
#include "app/views/pagewell_view.h"
#include "app/views/url_tree_model.h"
#include "tests/support/test_web_server.h"

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

// What the screen shows of `widgets` together (a window with its open menu).
bool SaveScreen(const QList<QWidget*>& widgets, const char* name) {
    Settle();
    QRect area;
    for (QWidget* widget : widgets) area |= widget->frameGeometry();
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString path = out_dir + "/" + name + ".png";
    const bool saved = screen.copy(area).save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout_ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The list pane in each of its four modes, with the first start URL's
// children in it.
bool ListModes(corvalin::CMainFrame* frame) {
    using corvalin::CommandId;
    bool ok = true;
    const std::pair<CommandId, const char*> modes[] = {{CommandId::kLargeIcons, "list-large-icons"},
                                                       {CommandId::kSmallIcons, "list-small-icons"},
                                                       {CommandId::kList, "list-list"},
                                                       {CommandId::kDetails, "list-details"}};
    for (const auto& [mode, name] : modes) {
        frame->RunCommand(mode);
        ok &= Save(frame, name);
    }
    return ok;
}

// The URL menu of the start URL, open over the tree.
bool UrlMenu(corvalin::CMainFrame* frame) {
    corvalin::CLeftView* tree = frame->left_view();
    const QModelIndex start = tree->tree_model()->index(0, 0);
    if (!start.isValid()) return false;
    std::unique_ptr<QMenu> menu = frame->BuildUrlMenu(tree->tree_model()->IdOf(start), true, false);
    if (!menu) return false;
    menu->popup(tree->viewport()->mapToGlobal(tree->visualRect(start).center()));
    const bool ok = SaveScreen({frame, menu.get()}, "url-menu");
    menu->hide();
    return ok;
}

// A grab of a site whose pages come slowly: the grab window with its rows,
// the status bar's progress and the commands of a running grab; then the
// stop.
bool GrabRunning(corvalin::CMainFrame* frame, const std::string& project) {
    fwtest::TestWebServer server;
    std::string home = "<html><head><title>Harbour Lights</title></head><body>";
    for (int i = 1; i <= 12; ++i) {
        const std::string page = "/keeper" + std::to_string(i) + ".html";
        home += "<a href=\"" + page + "\">Keeper " + std::to_string(i) + "</a>";
        fwtest::Response slow = fwtest::Response::Html(std::string(200000, ' '));
        if (i % 3 == 0) {
            slow.delay = std::chrono::seconds(60);  // never answers while we look
        } else {
            slow.send_only = 3000 * static_cast<size_t>(i);  // then a byte at a time
            slow.ending = fwtest::Ending::Trickle;
        }
        server.Script(page, slow);
    }
    server.Script("/", fwtest::Response::Html(home + "</body></html>"));
    if (!server.Start()) return false;

    std::string message;
    if (!corvalin::CreateProject(project, &message) || !frame->OpenProject(project)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return false;
    }
    frame->doc().project_file().SetRunAfter(false);
    corvalin::StartUrlOptions options;
    options.url = server.BaseUrl() + "/";
    int32_t id = 0;
    if (fw::Failed(corvalin::AddStartUrl(frame->doc().engine(), options, &id))) return false;
    frame->doc().NoteUrlAdded(id);
    frame->GrabAll(false);
    // Rows for as many threads as the engine runs, and two ticks of the grab window for their states.
    bool ok = WaitFor([&] { return frame->grab_window()->rows() >= 3; });
    int ticks = 0;
    QObject::connect(frame->grab_window(), &corvalin::GrabWindow::ticked, frame,
                     [&ticks] { ++ticks; });
    ok &= WaitFor([&] { return ticks >= 2; });
    ok &= Save(frame, "grab-running");
    frame->Stop();
    ok &= WaitFor([&] { return frame->done_box() != nullptr; });
    if (frame->done_box()) frame->done_box()->accept();
    Settle();
    return ok;
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
    if (auto* tree = frame->left_view(); tree->tree_model()->rowCount() > 0) {
        tree->expand(tree->tree_model()->index(0, 0));
    }
    ok &= Save(frame, "main-window");
    ok &= ListModes(frame);
    ok &= UrlMenu(frame);

    corvalin::CStartupDialog startup(frame->doc().settings().RecentFiles(), frame);
    startup.show();
    ok &= Save(&startup, "startup-dialog");
    startup.hide();

    corvalin::CExportDialog export_dialog(frame, QDir::homePath() + "/offline-copy");
    export_dialog.show();
    ok &= Save(&export_dialog, "export-dialog");
    export_dialog.hide();

    ok &= corvalin::SaveDialogPictures(frame, frame->doc(), Save);
    const std::string grab_project =
        QFileInfo(argv[2]).absolutePath().toStdString() + "/slow-site.cvn";
    ok &= GrabRunning(frame, grab_project);
    return ok ? 0 : 1;
}
