// Import URL(s): the addresses of a text file or a bookmark list become start
// URLs and show in the tree at once; a missing file is said and changes
// nothing.
#include <QtTest>
#include <memory>

#include "app/core/project_layout.h"
#include "app/main_frame.h"
#include "app/tests/window_test_support.h"
#include "app/views/left_view.h"
#include "app/views/url_tree_model.h"
#include "tests/support/temp_dir.h"

namespace corvalin {

class ImportTest : public QObject {
    Q_OBJECT

  private:
    // The addresses of the start URLs the tree shows.
    QStringList TreeAddresses() {
        QStringList addresses;
        UrlTreeModel* model = frame_->left_view()->tree_model();
        for (int row = 0; row < model->rowCount(); ++row) {
            fw::ComPtr<fw::IDizozizUrl> url;
            std::string address;
            const int32_t id = model->IdOf(model->index(row, 0));
            if (fw::Succeeded(frame_->doc().engine()->ReadUrl(id, url.Receive()))) {
                url->get_url(&address);
            }
            addresses << QString::fromStdString(address);
        }
        addresses.sort();
        return addresses;
    }

    fwtest::TempDir dir_;
    std::unique_ptr<CMainFrame> frame_;

  private slots:
    void initTestCase() {
        test::QuietenOffscreenWarnings();
        frame_ = std::make_unique<CMainFrame>(AppSettings(dir_ / "corvalin.ini"),
                                              ErrorLog(dir_ / "corvalin.log"));
        std::string why;
        QVERIFY2(frame_->doc().CreateEngine(&why), why.c_str());
        std::string message;
        QVERIFY(CreateProject(dir_ / "import.cvn", &message));
        QVERIFY(frame_->OpenProject(dir_ / "import.cvn"));
    }

    void TextAndBookmarksFillTheTree() {
        fwtest::WriteFile(dir_ / "list.txt",
                          "Read http://one.example/ first,\nthen <http://two.example/b.html>.\n");
        fwtest::WriteFile(dir_ / "bookmarks.html",
                          "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                          "<DT><A HREF=\"http://three.example/c/\">Three</A>\n"
                          "<DT><A HREF=\"javascript:void(0)\">a script</A>\n</DL>\n");
        fwtest::WriteFile(dir_ / "prose.txt", "No address in here.\n");
        test::BoxAnswerer boxes;

        frame_->ImportFile(dir_ / "list.txt");
        QCOMPARE(TreeAddresses(),
                 (QStringList{"http://one.example/", "http://two.example/b.html"}));
        frame_->ImportFile(dir_ / "bookmarks.html");
        QCOMPARE(TreeAddresses(), (QStringList{"http://one.example/", "http://three.example/c/",
                                              "http://two.example/b.html"}));
        frame_->ImportFile(dir_ / "prose.txt");
        QCOMPARE(TreeAddresses().size(), 3);
        QVERIFY(boxes.texts.isEmpty());
    }

    void AMissingFileIsSaidAndChangesNothing() {
        const QStringList before = TreeAddresses();
        test::BoxAnswerer boxes;
        frame_->ImportFile(dir_ / "no-such-list.txt");
        QVERIFY(test::WaitFor([&] { return !boxes.texts.isEmpty(); }));
        QCOMPARE(boxes.texts, QStringList{"Unable to open file for Import."});
        QCOMPARE(TreeAddresses(), before);
    }
};

}  // namespace corvalin

int RunImportTests(int argc, char** argv) {
    corvalin::ImportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "import_test.moc"
