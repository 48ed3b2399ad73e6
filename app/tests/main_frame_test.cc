// The main window with its document: layout, project commands, a whole grab
// seen through the window, stop, and closing while a grab runs.
#include <QDockWidget>
#include <QFile>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

#include "app/core/project_layout.h"
#include "app/main_frame.h"
#include "app/tests/window_test_support.h"
#include "app/views/grab_window.h"
#include "app/views/left_view.h"
#include "app/views/url_tree_model.h"
#include "platform/program_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace corvalin {

class MainFrameTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CMainFrame> NewFrame() {
        auto frame = std::make_unique<CMainFrame>(AppSettings(dir_ / "corvalin.ini"),
                                                  ErrorLog(dir_ / "corvalin.log"));
        std::string why;
        if (!frame->doc().CreateEngine(&why)) qFatal("%s", why.c_str());
        return frame;
    }
    std::string Project(const std::string& name) {
        std::string message;
        const std::string path = dir_ / name;
        if (!CreateProject(path, &message)) qFatal("%s", message.c_str());
        return path;
    }
    int32_t AddStart(CMainFrame& frame, const std::string& url) {
        CommandLineInfo info;
        info.add_url = url;
        info.levels = -1;
        if (!frame.doc().AddCommandLineUrl(info)) qFatal("cannot add %s", url.c_str());
        return frame.doc().last_added_url();
    }

    // A window grabbing from `server`, whose one page answers only after 30
    // seconds: the grab is under way with that page in the grab window.
    std::unique_ptr<CMainFrame> GrabbingASlowPage(fwtest::TestWebServer& server,
                                                  const std::string& project) {
        fwtest::Response slow = fwtest::Response::Html("<p>slow</p>");
        slow.delay = std::chrono::seconds(30);
        server.Script("/", slow);
        if (!server.Start()) qFatal("no server");
        auto frame = NewFrame();
        frame->show();
        if (!frame->OpenProject(Project(project))) qFatal("cannot open %s", project.c_str());
        frame->doc().project_file().SetRunAfter(false);
        AddStart(*frame, server.BaseUrl() + "/");
        frame->GrabAll(false);
        if (!test::WaitFor([&] { return frame->grab_window()->rows() == 1; })) qFatal("no row");
        return frame;
    }

    fwtest::TempDir dir_;

  private slots:
    void initTestCase() { test::QuietenOffscreenWarnings(); }

    void LayoutOfTheWindow() {
        auto frame = NewFrame();
        frame->show();
        QCOMPARE(frame->size(), QSize(800, 600));
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        // Centred, give or take the width of a window frame.
        QVERIFY((frame->frameGeometry().center() - centre).manhattanLength() <= 8);
        QCOMPARE(frame->windowTitle(), QString("Untitled - Corvalin"));
        QVERIFY(frame->findChild<QToolBar*>() != nullptr);
        QVERIFY(frame->statusBar() != nullptr);
        QCOMPARE(frame->splitter()->count(), 2);
        QCOMPARE(frame->splitter()->sizes().front(), 250);
        QCOMPARE(frame->grab_window()->windowTitle(), QString("Grab Bar"));
        QVERIFY(!frame->grab_window()->isVisible());
        QCOMPARE(frame->dockWidgetArea(frame->grab_window()), Qt::BottomDockWidgetArea);
    }

    void NewProjectMessages() {
        auto frame = NewFrame();
        test::BoxAnswerer boxes;
        const std::string existing = Project("exists.cvn");
        QVERIFY(!frame->NewProjectAt(existing));
        QVERIFY(!frame->NewProjectAt(dir_ / "no-extension"));
        QVERIFY(test::WaitFor([&] { return boxes.texts.size() == 2; }));
        QCOMPARE(boxes.texts[0], QString("File already exists!"));
        QCOMPARE(boxes.texts[1], QString("Could not create data directory: "));
        QVERIFY(!frame->doc().project_open());
    }

    void OpenSetsTheTitleAndTheRecentFiles() {
        auto frame = NewFrame();
        const std::string path = Project("titled.cvn");
        QVERIFY(frame->OpenProject(path));
        QCOMPARE(frame->windowTitle(), QString::fromStdString(path + " - Corvalin"));
        QCOMPARE(frame->doc().settings().RecentFiles().front(), path);
    }

    // A grab from the window's command: the grab window shows, rows come and
    // go, and at the end the window hides, "Done" shows and the after-grab
    // command runs.
    void GrabShowsItsUrlsAndEnds() {
        fwtest::TestWebServer server(std::string(FW_SOURCE_DIR) + "/tests/fixtures/site");
        QVERIFY(server.Start());
        auto frame = NewFrame();
        frame->show();
        const std::string path = Project("grab.cvn");
        QVERIFY(frame->OpenProject(path));
        AddStart(*frame, server.BaseUrl() + "/");
        // A run-after command that leaves a trace.
        const std::string trace = dir_ / "after-grab.txt";
        frame->doc().project_file().SetRunCmd("/bin/sh -c 'echo %g > " + trace + "'");
        QList<int32_t> added, removed;
        connect(frame->grab_window(), &GrabWindow::urlAdded, this,
                [&](int32_t id) { added.append(id); });
        connect(frame->grab_window(), &GrabWindow::urlRemoved, this, [&](int32_t id) {
            QVERIFY(added.contains(id));
            removed.append(id);
        });
        frame->GrabAll(false);
        QVERIFY(frame->grab_window()->isVisible());
        QVERIFY(frame->doc().grabbing());
        QVERIFY(test::WaitFor([&] { return frame->done_box() != nullptr; }));
        QVERIFY(!frame->grab_window()->isVisible());
        QCOMPARE(frame->grab_window()->rows(), 0);
        QVERIFY(!frame->grab_window()->ticking());
        QVERIFY(!frame->doc().grabbing());
        QVERIFY(frame->done_box()->isVisible());
        QCOMPARE(frame->done_box()->text(), QString("Done"));
        frame->done_box()->accept();
        QVERIFY(test::WaitFor([&] { return QFile::exists(QString::fromStdString(trace)); }));
        QVERIFY(test::WaitFor([&] { return fwtest::ReadFile(trace) == "grab\n"; }));
        QVERIFY(added.size() >= 5);
        std::sort(added.begin(), added.end());
        std::sort(removed.begin(), removed.end());
        QCOMPARE(removed, added);
        QCOMPARE(frame->left_view()->tree_model()->rowCount(), 1);
    }

    // Stop shows "Stopping..." until the end of the grab closes it.
    void StopWaitsForTheEnd() {
        fwtest::TestWebServer server;
        auto frame = GrabbingASlowPage(server, "stop.cvn");
        frame->Stop();
        QVERIFY(frame->stopping_notice() != nullptr);
        QVERIFY(frame->stopping_notice()->isVisible());
        QCOMPARE(frame->stopping_notice()->windowTitle(), QString("Corvalin"));
        QVERIFY(test::WaitFor([&] { return frame->done_box() != nullptr; }, 20000));
        QVERIFY(test::WaitFor([&] { return frame->stopping_notice() == nullptr; }));
        frame->done_box()->accept();
    }

    // Closing the window while a grab runs stops the grab and closes once it
    // has ended.
    void CloseWhileGrabbing() {
        fwtest::TestWebServer server;
        auto frame = GrabbingASlowPage(server, "closing.cvn");
        QVERIFY(!frame->close());  // not yet
        QVERIFY(frame->isVisible());
        QVERIFY(test::WaitFor([&] { return !frame->isVisible(); }, 20000));
        QVERIFY(frame->done_box() == nullptr);
    }

    void GrabAllWithoutStartUrls() {
        auto frame = NewFrame();
        QVERIFY(frame->OpenProject(Project("nothing.cvn")));
        test::BoxAnswerer boxes(QMessageBox::Cancel);
        frame->GrabAll(false);
        QVERIFY(test::WaitFor([&] { return boxes.texts.size() >= 2; }));
        QCOMPARE(boxes.texts[0], QString("You must first enter the URL of at least one\nweb site "
                                         "that you would like to download."));
        QVERIFY(!frame->doc().grabbing());
        QVERIFY(!frame->grab_window()->isVisible());
    }
};

}  // namespace corvalin

int RunMainFrameTests(int argc, char** argv) {
    corvalin::MainFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_frame_test.moc"
