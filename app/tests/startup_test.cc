// The program's start-up with its command line, and the start-up dialog.
#include <QListWidget>
#include <QRadioButton>
#include <QtTest>
#include <filesystem>

#include "app/core/project_layout.h"
#include "app/main_frame.h"
#include "app/pagewell_app.h"
#include "app/startup_dialog.h"
#include "app/tests/window_test_support.h"
#include "app/views/grab_window.h"
#include "app/views/left_view.h"
#include "app/views/url_tree_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace corvalin {

namespace fs = std::filesystem;

class StartupTest : public QObject {
    Q_OBJECT

  private:
    static CPagewellApp::Options Quiet() {
        CPagewellApp::Options options;
        options.splash = false;
        options.startup_dialog = false;
        return options;
    }
    // A project whose one start URL is the fixture site.
    std::string SiteProject(const std::string& name, const std::string& base) {
        const std::string path = dir_ / name;
        std::string message;
        if (!CreateProject(path, &message)) qFatal("%s", message.c_str());
        CPagewellApp app;
        if (!app.InitInstance({path, "-A:" + base, "-L"}, Quiet())) qFatal("cannot start");
        app.frame()->doc().project_file().SetRunAfter(false);
        return path;
    }

    fwtest::TempDir dir_;

  private slots:
    void initTestCase() { test::QuietenOffscreenWarnings(); }

    void AMissingProjectIsCreatedAndOpened() {
        const std::string path = dir_ / "fresh.cvn";
        CPagewellApp app;
        QVERIFY(app.InitInstance({path}, Quiet()));
        QVERIFY(fs::is_directory(dir_ / "fresh"));
        QVERIFY(fs::is_directory(dir_ / "fresh/src"));
        QVERIFY(app.frame()->doc().project_open());
        QCOMPARE(app.frame()->doc().path(), path);
        QCOMPARE(app.frame()->left_view()->tree_model()->rowCount(), 0);
        QVERIFY(app.frame()->isVisible());
    }

    void AProjectThatCannotBeCreatedEndsTheStart() {
        test::BoxAnswerer boxes;
        CPagewellApp app;
        QVERIFY(!app.InitInstance({dir_ / "no/such/dir/p.cvn"}, Quiet()));
        QCOMPARE(boxes.texts, QStringList{QString::fromStdString(
                                  "Could not create data directory: " + dir_ / "no/such/dir/p/")});
    }

    void CommandLineUrlJoinsTheTree() {
        CPagewellApp app;
        const std::string path = dir_ / "added.cvn";
        QVERIFY(app.InitInstance({path, "-A:http://a.example", "-L:2", "-C:0"}, Quiet()));
        CLeftView* tree = app.frame()->left_view();
        QCOMPARE(tree->tree_model()->rowCount(), 1);
        QCOMPARE(tree->tree_model()->index(0, 0).data().toString(), QString("http://a.example/"));
        fw::ComPtr<fw::IDizozizUrl> url =
            app.frame()->doc().Url(app.frame()->doc().last_added_url());
        int32_t levels = 0;
        url->get_GrabLevels(&levels);
        QCOMPARE(levels, 2);
    }

    // -U refreshes every site once the project is open; with -E the window
    // closes when that has finished; -E alone does nothing.
    void UpdateAndExit() {
        fwtest::TestWebServer server(std::string(FW_SOURCE_DIR) + "/tests/fixtures/site");
        QVERIFY(server.Start());
        const std::string path = SiteProject("update.cvn", server.BaseUrl() + "/");

        {
            CPagewellApp app;
            QVERIFY(app.InitInstance({path, "-E"}, Quiet()));
            QVERIFY(!app.frame()->doc().grabbing());
            QCOMPARE(server.RequestCount(), size_t{0});
        }
        test::BoxAnswerer boxes;  // "Done"
        CPagewellApp app;
        QVERIFY(app.InitInstance({path, "-u", "-e"}, Quiet()));
        QVERIFY(app.frame()->doc().grabbing());
        QVERIFY(app.frame()->grab_window()->isVisible());
        QVERIFY(test::WaitFor([&] { return !app.frame()->isVisible(); }));
        QCOMPARE(boxes.texts, QStringList{"Done"});
        QVERIFY(server.RequestCount() >= 5);
        QVERIFY(fs::exists(DataDirectoryFor(path) + "src/127.0.0.1"));
    }

    void StartupDialogChoices() {
        {
            CStartupDialog dialog({}, nullptr);
            QVERIFY(dialog.new_button()->isChecked());
            QVERIFY(!dialog.list()->isEnabled());
            QCOMPARE(dialog.list()->count(), 1);
            QCOMPARE(dialog.list()->item(0)->text(), QString("More Files..."));
            QCOMPARE(dialog.choice(), CStartupDialog::Choice::kNew);
            QCOMPARE(dialog.windowTitle(), QString("Corvalin"));
        }
        CStartupDialog dialog({"/p/one.cvn", "", "/p/two.cvn"}, nullptr);
        QVERIFY(dialog.open_button()->isChecked());
        QVERIFY(dialog.list()->isEnabled());
        QCOMPARE(dialog.list()->count(), 3);
        QCOMPARE(dialog.choice(), CStartupDialog::Choice::kOpenOther);  // "More Files..." first
        dialog.list()->setCurrentRow(2);
        QCOMPARE(dialog.choice(), CStartupDialog::Choice::kOpenRecent);
        QCOMPARE(dialog.chosen_file(), std::string("/p/two.cvn"));
        dialog.new_button()->setChecked(true);
        QVERIFY(!dialog.list()->isEnabled());
        QCOMPARE(dialog.choice(), CStartupDialog::Choice::kNew);
        dialog.open_button()->setChecked(true);
        QVERIFY(dialog.list()->isEnabled());
        // A double click in the list is OK.
        dialog.show();
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        emit dialog.list()->itemDoubleClicked(dialog.list()->item(1));
        QCOMPARE(accepted.count(), 1);
    }
};

}  // namespace corvalin

int RunStartupTests(int argc, char** argv) {
    corvalin::StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "startup_test.moc"
