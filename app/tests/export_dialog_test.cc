// The export dialog: OK only with a location, the folder chooser, and an
// export of a grabbed project through the dialog from the main window.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/core/content_hooks.h"
#include "app/core/project_layout.h"
#include "app/export/export_dialog.h"
#include "app/main_frame.h"
#include "app/tests/window_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace corvalin {

class ExportDialogTest : public QObject {
    Q_OBJECT

private:
    static QPushButton* Ok(CExportDialog& dialog) {
        return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    }

    fwtest::TempDir dir_;

private slots:
    void initTestCase() { test::QuietenOffscreenWarnings(); }

    void OkOnlyWithALocation() {
        CExportDialog dialog(nullptr, QString());
        auto* location = dialog.findChild<QLineEdit*>("Location");
        QVERIFY(location);
        QVERIFY(!Ok(dialog)->isEnabled());
        location->setText("/tmp/out");
        QVERIFY(Ok(dialog)->isEnabled());
        location->clear();
        QVERIFY(!Ok(dialog)->isEnabled());

        // A chosen folder replaces the location; a cancelled choice keeps it.
        QString answer = "/media/disc";
        QString asked_from;
        dialog.set_browse_for_folder([&](QWidget*, const QString& from) {
            asked_from = from;
            return answer;
        });
        location->setText("/old");
        dialog.findChild<QPushButton*>("Browse")->click();
        QCOMPARE(asked_from, QString("/old"));
        QCOMPARE(dialog.location(), QString("/media/disc"));
        answer.clear();
        dialog.findChild<QPushButton*>("Browse")->click();
        QCOMPARE(dialog.location(), QString("/media/disc"));
    }

    void ExportOfAGrabbedProject() {
        fwtest::TestWebServer server(std::string(FW_SOURCE_DIR) + "/tests/fixtures/site");
        QVERIFY(server.Start());
        CMainFrame frame(AppSettings(dir_ / "corvalin.ini"), ErrorLog(dir_ / "corvalin.log"));
        std::string why;
        QVERIFY2(frame.doc().CreateEngine(&why), why.c_str());
        InstallContentHooks(&frame.doc().hooks());
        std::string message;
        QVERIFY(CreateProject(dir_ / "site.cvn", &message));
        QVERIFY(frame.OpenProject(dir_ / "site.cvn"));
        frame.doc().project_file().SetRunAfter(false);
        CommandLineInfo info;
        info.add_url = server.BaseUrl() + "/";
        info.levels = -1;
        QVERIFY(frame.doc().AddCommandLineUrl(info));
        frame.GrabAll(false);
        QVERIFY(test::WaitFor([&] { return frame.done_box() != nullptr; }));
        frame.done_box()->accept();
        QVERIFY(test::WaitFor([&] { return !frame.doc().grabbing(); }));

        // The dialog starts at the last export's folder; OK exports there.
        const std::string last = dir_ / "last";
        frame.doc().settings().SetExportDirectory(last);
        const std::string target = dir_ / "disc";
        QString shown_location;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CExportDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            shown_location = dialog->location();
            dialog->findChild<QLineEdit*>("Location")->setText(QString::fromStdString(target));
            dialog->findChild<QCheckBox*>("Autorun")->setChecked(true);
            dialog->accept();
        });
        RunExportDialog(&frame, &frame.doc(), 0, false);
        QCOMPARE(shown_location, QString::fromStdString(last));
        QCOMPARE(frame.doc().settings().ExportDirectory(), target);
        QCOMPARE(fwtest::ReadFile(target + "/contents.htm"),
                 fwtest::ReadFile(frame.doc().ContentsPagePath()));
        QVERIFY(QFile::exists(QString::fromStdString(target + "/127.0.0.1/index.html")));
        QCOMPARE(fwtest::ReadFile(target + "/autorun.inf"),
                 std::string("[autorun]\nOPEN=autorun.exe contents.htm\n"));
        QVERIFY(
            test::WaitFor([&] { return frame.findChild<QDialog*>("ExportingNotice") == nullptr; }));

        // Cancel exports nothing and keeps the setting.
        QTimer::singleShot(0, [] {
            if (auto* dialog = QApplication::activeModalWidget()) {
                qobject_cast<QDialog*>(dialog)->reject();
            }
        });
        RunExportDialog(&frame, &frame.doc(), 0, false);
        QCOMPARE(frame.doc().settings().ExportDirectory(), target);
    }
};

}  // namespace corvalin

int RunExportDialogTests(int argc, char** argv) {
    corvalin::ExportDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "export_dialog_test.moc"
