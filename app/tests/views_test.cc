// The views and the window's commands over a grabbed fixture site: the
// models (checked by QAbstractItemModelTester), the tree's lazy expansion,
// the list's fill and sorting, the URL menu, the clipboard, drops, the list
// modes, the search of the copy and a grab driven by its command.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QTreeView>
#include <QtTest>
#include <cmath>

#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "app/main_frame.h"
#include "app/tests/window_test_support.h"
#include "app/views/grab_url_model.h"
#include "app/views/grab_window.h"
#include "app/views/left_view.h"
#include "app/views/pagewell_view.h"
#include "app/views/search_result_model.h"
#include "app/views/url_list_model.h"
#include "app/views/url_tree_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace corvalin {

class ViewsTest : public QObject {
    Q_OBJECT

  private:
    // The window with the fixture site grabbed: start URL 1 is the site,
    // start URL 2 the same site limited to GIF files.
    void Grab() {
        frame_->doc().project_file().SetRunAfter(false);
        test::BoxAnswerer boxes;  // "Done"
        frame_->RunCommand(CommandId::kGrabSites);
        QVERIFY(frame_->doc().grabbing());
        QVERIFY(test::WaitFor([&] { return boxes.texts.contains("Done"); }));
        QVERIFY(test::WaitFor([&] { return !frame_->doc().grabbing(); }));
    }
    int32_t AddStart(const std::string& url, const std::string& only_types = std::string()) {
        StartUrlOptions options;
        options.url = url;
        options.levels = -1;
        options.only_types = only_types;
        int32_t id = 0;
        if (fw::Failed(AddStartUrl(frame_->doc().engine(), options, &id))) qFatal("no start URL");
        frame_->doc().NoteUrlAdded(id);
        return id;
    }
    QModelIndex TreeIndexOf(int32_t id) {
        UrlTreeModel* model = frame_->left_view()->tree_model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->IdOf(model->index(row, 0)) == id) return model->index(row, 0);
        }
        return QModelIndex();
    }
    // Dialogs of earlier steps took the window's activation; focus changes
    // reach the window only while it is active.
    void Activate() {
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    }
    void Choose(int32_t id) {
        Activate();
        CLeftView* tree = frame_->left_view();
        tree->setFocus();
        tree->setCurrentIndex(TreeIndexOf(id));
    }
    QStringList ListColumn(int column) {
        QStringList texts;
        UrlListModel* model = frame_->right_view()->list_model();
        for (int row = 0; row < model->rowCount(); ++row) {
            texts << model->index(row, column).data().toString();
        }
        return texts;
    }

    fwtest::TempDir dir_;
    std::unique_ptr<fwtest::TestWebServer> server_;
    std::unique_ptr<CMainFrame> frame_;
    int32_t site_ = 0;
    int32_t gifs_ = 0;

  private slots:
    void initTestCase() {
        test::QuietenOffscreenWarnings();
        server_ = std::make_unique<fwtest::TestWebServer>(std::string(FW_SOURCE_DIR) +
                                                          "/tests/fixtures/site");
        QVERIFY(server_->Start());
        frame_ = std::make_unique<CMainFrame>(AppSettings(dir_ / "corvalin.ini"),
                                              ErrorLog(dir_ / "corvalin.log"));
        std::string why;
        QVERIFY2(frame_->doc().CreateEngine(&why), why.c_str());
        frame_->show();
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        std::string message;
        QVERIFY(CreateProject(dir_ / "views.cvn", &message));
        QVERIFY(frame_->OpenProject(dir_ / "views.cvn"));
    }

    void AnEmptyProjectShowsNothing() {
        QCOMPARE(frame_->left_view()->tree_model()->rowCount(), 0);
        QCOMPARE(frame_->right_view()->list_model()->rowCount(), 0);
        QVERIFY(!frame_->action(CommandId::kDelete)->isEnabled());
        QVERIFY(!frame_->action(CommandId::kStopGrabbing)->isEnabled());
    }

    // A whole grab through the window's command: rows come and go in the
    // grab window, the status bar shows the progress, all of it goes at the
    // end.
    void GrabThroughTheCommand() {
        // The run-after command would open a box after this test has ended,
        // with no one left to answer it.
        frame_->doc().project_file().SetRunAfter(false);
        site_ = AddStart(server_->BaseUrl() + "/");
        gifs_ = AddStart(server_->BaseUrl() + "/index.html", "gif");
        QCOMPARE(frame_->left_view()->tree_model()->rowCount(), 2);  // hint 2 appended them
        QAbstractItemModelTester tester(frame_->grab_window()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QList<int32_t> added, removed;
        QObject listening;  // the connections end with this test
        connect(frame_->grab_window(), &GrabWindow::urlAdded, &listening,
                [&](int32_t id) { added << id; });
        connect(frame_->grab_window(), &GrabWindow::urlRemoved, &listening,
                [&](int32_t id) { removed << id; });
        QVERIFY(!frame_->action(CommandId::kStopGrabbing)->isEnabled());
        frame_->RunCommand(CommandId::kGrabSites);
        QVERIFY(frame_->action(CommandId::kStopGrabbing)->isEnabled());
        QVERIFY(!frame_->action(CommandId::kGrabSites)->isEnabled());
        test::BoxAnswerer boxes;
        // The progress shows once the engine's begin has come through; a
        // small site may be done within the same turn of the event loop.
        test::ShowCounter progress(frame_->progress_bar());
        QVERIFY(test::WaitFor([&] { return boxes.texts.contains("Done"); }));
        QCOMPARE(progress.shown, 1);
        QVERIFY(added.size() >= 5);
        std::sort(added.begin(), added.end());
        std::sort(removed.begin(), removed.end());
        QCOMPARE(removed, added);
        QCOMPARE(frame_->grab_window()->rows(), 0);
        QVERIFY(!frame_->progress_bar()->isVisible());
        QVERIFY(!frame_->action(CommandId::kStopGrabbing)->isEnabled());
        QVERIFY(frame_->action(CommandId::kGrabSites)->isEnabled());
        QCOMPARE(frame_->left_view()->tree_model()->rowCount(), 2);
    }

    void GrabWindowTickShowsTheEngine() {
        GrabWindow* window = frame_->grab_window();
        window->OnEngineEvent(fw::kOnGrabBegin, 0);
        QVERIFY(window->ticking());
        window->OnEngineEvent(fw::kOnGrabUrlNew, site_);
        window->OnEngineEvent(fw::kOnGrabUrlNew, site_);  // once only
        QCOMPARE(window->rows(), 1);
        GrabUrlModel* model = window->model();
        QCOMPARE(model->index(0, GrabUrlModel::kUrl).data().toString(),
                 QString::fromStdString(server_->BaseUrl() + "/"));
        QCOMPARE(model->index(0, GrabUrlModel::kLevel).data().toString(), QString("1"));
        window->Tick();
        QCOMPARE(window->threads_text(), QString("0"));
        QVERIFY(!window->received_text().isEmpty());
        QCOMPARE(model->index(0, GrabUrlModel::kStatus).data().toString(), QString("Pending"));
        window->OnEngineEvent(fw::kOnGrabUrlDone, site_);
        QCOMPARE(window->rows(), 0);
        window->Reset();
        QVERIFY(!window->ticking());
    }

    // Events that arrive together: rows that end go in one sweep, the rest
    // keep their order, and a URL that ends and comes again in the same
    // batch keeps a row.
    void GrabWindowTakesEventsInBatches() {
        GrabWindow* window = frame_->grab_window();
        GrabUrlModel* model = window->model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QList<int32_t> added, removed;
        QObject listening;
        connect(window, &GrabWindow::urlAdded, &listening, [&](int32_t id) { added << id; });
        connect(window, &GrabWindow::urlRemoved, &listening, [&](int32_t id) { removed << id; });
        const auto ids = [&] {
            QList<int32_t> shown;
            for (int row = 0; row < model->rowCount(); ++row) {
                shown << model->index(row, GrabUrlModel::kUrl).data().toInt();
            }
            return shown;
        };
        // Ids the engine does not know show as their number.
        window->OnEngineEvents({{fw::kOnGrabBegin, 0},
                                {fw::kOnGrabUrlNew, 9001},
                                {fw::kOnGrabUrlNew, 9002},
                                {fw::kOnGrabUrlNew, 9003},
                                {fw::kOnGrabUrlNew, 9004},
                                {fw::kOnGrabUrlDone, 9001},
                                {fw::kOnGrabUrlDone, 9003},
                                {fw::kOnGrabUrlDone, 9003},  // announced again
                                {fw::kOnGrabUrlNew, 9005}});
        QCOMPARE(ids(), (QList<int32_t>{9002, 9004, 9005}));
        QCOMPARE(removed, (QList<int32_t>{9001, 9003}));
        window->OnEngineEvents({{fw::kOnGrabUrlDone, 9002},
                                {fw::kOnGrabUrlNew, 9002},
                                {fw::kOnGrabUrlDone, 9005},
                                {fw::kOnGrabUrlDone, 9004}});
        QCOMPARE(ids(), (QList<int32_t>{9002}));
        QCOMPARE(added, (QList<int32_t>{9001, 9002, 9003, 9004, 9005, 9002}));
        QCOMPARE(removed, (QList<int32_t>{9001, 9003, 9002, 9005, 9004}));
        window->Reset();
        QCOMPARE(window->rows(), 0);
    }

    void TreeExpandsLazilyToPagesOnly() {
        UrlTreeModel* model = frame_->left_view()->tree_model();
        frame_->left_view()->Refresh();
        const QModelIndex site = TreeIndexOf(site_);
        const QModelIndex gifs = TreeIndexOf(gifs_);
        QVERIFY(site.isValid());
        QVERIFY(model->hasChildren(site));
        QVERIFY(model->hasChildren(gifs));
        QCOMPARE(model->rowCount(site), 0);  // nothing read before it expands
        QVERIFY(model->canFetchMore(site));
        frame_->left_view()->expand(site);
        QVERIFY(!model->canFetchMore(site));
        // The tester reads every node as well.
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model->rowCount(site) > 0);
        QStringList labels;
        for (int row = 0; row < model->rowCount(site); ++row) {
            const QModelIndex child = model->index(row, 0, site);
            labels << child.data().toString();
            fw::ComPtr<fw::IDizozizUrl> url = frame_->doc().Url(model->IdOf(child));
            int32_t html = 0;
            url->get_Html(&html);
            QCOMPARE(html, 1);  // pages only
            QVERIFY(frame_->doc().HasChildren(model->IdOf(child)));
            QVERIFY(!(model->flags(child) & Qt::ItemIsEditable));  // only start URLs are renamed
        }
        QStringList sorted = labels;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(labels, sorted);

        // A start URL limited to file types shows nothing below it and
        // loses its expand button.
        frame_->left_view()->expand(gifs);
        QCOMPARE(model->rowCount(gifs), 0);
        QVERIFY(!model->hasChildren(gifs));
    }

    void RenameInPlace() {
        UrlTreeModel* model = frame_->left_view()->tree_model();
        const QModelIndex site = TreeIndexOf(site_);
        QVERIFY(model->flags(site) & Qt::ItemIsEditable);
        QVERIFY(model->setData(site, "The fixture"));
        QCOMPARE(site.data().toString(), QString("The fixture"));
        QVERIFY(model->setData(site, ""));  // back to the page's title
        QCOMPARE(site.data().toString(), QString("Fixture home"));
    }

    void ListShowsTheChildrenSorted() {
        Choose(site_);
        UrlListModel* model = frame_->right_view()->list_model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model->rowCount() >= 5);
        const QStringList titles = ListColumn(UrlListModel::kTitle);
        // An image has no title: it is listed under its URL.
        QVERIFY(titles.contains(QString::fromStdString(server_->BaseUrl() + "/img1.gif")));
        QStringList sorted = titles;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(titles, sorted);

        CPagewellView* view = frame_->right_view();
        view->SortByColumn(UrlListModel::kUrl);
        QCOMPARE(model->sort_column(), int(UrlListModel::kUrl));
        QCOMPARE(model->sort_order(), Qt::AscendingOrder);
        view->SortByColumn(UrlListModel::kUrl);  // again: the other way
        QCOMPARE(model->sort_order(), Qt::DescendingOrder);
        QStringList urls = ListColumn(UrlListModel::kUrl);
        QCOMPARE(urls.front().compare(urls.back(), Qt::CaseInsensitive) > 0, true);
        view->SortByColumn(UrlListModel::kSkip);  // does not sort
        QCOMPARE(model->sort_column(), int(UrlListModel::kUrl));
        QCOMPARE(ListColumn(UrlListModel::kUrl), urls);
        view->SortByColumn(UrlListModel::kTitle);  // a new column starts ascending
        QCOMPARE(model->sort_order(), Qt::AscendingOrder);
        QCOMPARE(view->details_view()->header()->sortIndicatorSection(), int(UrlListModel::kTitle));
    }

    void ListOfAFileTypeStartUrlShowsItsFiles() {
        Choose(gifs_);
        const QStringList titles = ListColumn(UrlListModel::kTitle);
        // The style sheet came as a requisite of the page.
        QCOMPARE(titles.join(" "), QString("bg.gif img1.gif img2.gif style.css"));
    }

    void SkipTwiceAndTheSkipCell() {
        Choose(site_);
        UrlListModel* model = frame_->right_view()->list_model();
        const int32_t page = model->IdAt(0);
        UrlMenuOutcome outcome = frame_->RunUrlCommand(UrlMenuItem::kSkip, page, false);
        QCOMPARE(outcome.skip, std::optional<bool>(true));
        model->SetSkip(0, *outcome.skip);
        QCOMPARE(model->index(0, UrlListModel::kSkip).data().toString(), QString("S"));
        Choose(gifs_);
        Choose(site_);  // read again from the engine
        QCOMPARE(model->index(model->RowOf(page), UrlListModel::kSkip).data().toString(),
                 QString("S"));
        outcome = frame_->RunUrlCommand(UrlMenuItem::kSkip, page, false);
        QCOMPARE(outcome.skip, std::optional<bool>(false));
    }

    void UrlMenuOfAStartUrlAndOfAPage() {
        std::unique_ptr<QMenu> start = frame_->BuildUrlMenu(site_, true, false);
        QVERIFY(start);
        const auto item = [](QMenu* menu, int command) {
            return menu->findChild<QAction*>(QString::number(command));
        };
        QVERIFY(item(start.get(), 32806)->isEnabled());   // Delete URL
        QVERIFY(item(start.get(), 32799)->isEnabled());   // Grab URL
        QVERIFY(!item(start.get(), 32789)->isEnabled());  // Skip URL
        QVERIFY(start->defaultAction() == nullptr);       // none in the tree
        Choose(site_);
        // A grabbed file of the list.
        UrlListModel* list = frame_->right_view()->list_model();
        int32_t page = -1;
        for (int row = 0; row < list->rowCount() && page < 0; ++row) {
            if (!frame_->doc().PathOfUrl(list->IdAt(row), UrlPathKind::kLocalFile).empty()) {
                page = list->IdAt(row);
            }
        }
        QVERIFY(page > 0);
        std::unique_ptr<QMenu> listed = frame_->BuildUrlMenu(page, false, true);
        for (int command : {32806, 32799, 32800, 32808}) {
            QVERIFY2(!item(listed.get(), command)->isEnabled(),
                     qPrintable(QString::number(command)));
        }
        QVERIFY(listed);
        QVERIFY(listed->defaultAction() != nullptr);
        QCOMPARE(listed->defaultAction()->objectName(), QString("32779"));  // Browse Local
    }

    void ClipboardCopyAndPaste() {
        Choose(site_);
        QCOMPARE(frame_->active_view(), ActiveView::kTree);
        QVERIFY(frame_->action(CommandId::kCopy)->isEnabled());
        frame_->RunCommand(CommandId::kCopy);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString::fromStdString(server_->BaseUrl() + "/"));

        struct Case {
            const char* name;
            std::function<void()> fill;
            QStringList seen;
        } cases[] = {
            {"a URL",
             [] { QGuiApplication::clipboard()->setText("http://pasted.example/"); },
             {"dialog: URL Wizard (step 1 of 4) http://pasted.example/"}},
            {"empty", [] { QGuiApplication::clipboard()->clear(); }, {}},
            {"an image",
             [] {
                 auto data = std::make_unique<QMimeData>();
                 data->setImageData(QImage(4, 4, QImage::Format_RGB32));
                 QGuiApplication::clipboard()->setMimeData(
                     data.release());  // the clipboard owns it
             },
             {}},
        };
        for (const auto& c : cases) {
            c.fill();
            test::BoxAnswerer boxes;
            frame_->RunCommand(CommandId::kPaste);
            QCOMPARE(boxes.texts, c.seen);
        }
    }

    void SelectionInTheListDecidesTheCommands() {
        Choose(site_);
        CPagewellView* list = frame_->right_view();
        list->SetMode(ListMode::kDetails);
        list->current_view()->setFocus();
        list->current_view()->setCurrentIndex(list->list_model()->index(0, 0));
        QCOMPARE(frame_->active_view(), ActiveView::kList);
        frame_->UpdateCommands();
        QVERIFY(frame_->action(CommandId::kCopy)->isEnabled());
        for (CommandId id :
             {CommandId::kDelete, CommandId::kCut, CommandId::kGrabUrl, CommandId::kRefreshUrl}) {
            QVERIFY2(!frame_->action(id)->isEnabled(), qPrintable(frame_->action(id)->text()));
        }
        Choose(site_);
        QVERIFY(frame_->action(CommandId::kDelete)->isEnabled());
        QVERIFY(frame_->action(CommandId::kCut)->isEnabled());
    }

    void DropsOfTextAndProjects() {
        QMimeData text;
        text.setText("http://dropped.example/");
        QVERIFY(frame_->CanTakeDrop(&text));
        QMimeData project;
        project.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_ / "views.cvn"))});
        QVERIFY(frame_->CanTakeDrop(&project));
        QMimeData nothing;
        QVERIFY(!frame_->CanTakeDrop(&nothing));
        test::BoxAnswerer boxes;
        frame_->TakeDrop(&text);
        QVERIFY(test::WaitFor([&] { return !boxes.texts.isEmpty(); }));
        QCOMPARE(boxes.texts, QStringList{"dialog: URL Wizard (step 1 of 4) http://dropped.example/"});
    }

    void ListModes() {
        CPagewellView* list = frame_->right_view();
        struct Case {
            CommandId command;
            ListMode mode;
            bool details;
        } cases[] = {
            {CommandId::kLargeIcons, ListMode::kLargeIcons, false},
            {CommandId::kSmallIcons, ListMode::kSmallIcons, false},
            {CommandId::kList, ListMode::kList, false},
            {CommandId::kDetails, ListMode::kDetails, true},
        };
        for (const auto& c : cases) {
            frame_->RunCommand(c.command);
            QCOMPARE(list->mode(), c.mode);
            QCOMPARE(list->current_view() == list->details_view(), c.details);
            QVERIFY(frame_->action(c.command)->isChecked());
            QCOMPARE(frame_->action(CommandId::kArrangeIcons)->isEnabled(),
                     c.mode == ListMode::kLargeIcons || c.mode == ListMode::kSmallIcons);
        }
        // The details share the pane's width as 46 %, 6 % and 45 %, sized
        // when they are first shown, not while they were hidden.
        QTreeView* details = list->details_view();
        const auto share = [&](int column, double part) {
            return std::abs(details->columnWidth(column) - part * details->viewport()->width()) <=
                   2;
        };
        QVERIFY(details->viewport()->width() > 200);
        QVERIFY(test::WaitFor([&] { return share(UrlListModel::kTitle, 0.46); }, 5000));
        QVERIFY(share(UrlListModel::kSkip, 0.06));
        // The last column takes what is left over.
        QVERIFY(details->columnWidth(UrlListModel::kUrl) >=
                0.45 * details->viewport()->width() - 2);
    }

    void SearchTheCopyFromTheField() {
        QLineEdit* field = frame_->search_field();
        QVERIFY(field->isEnabled());
        field->setText("fixture");
        emit field->returnPressed();
        QVERIFY(test::WaitFor([&] { return frame_->right_view()->showing_search_results(); }));
        SearchResultModel* results = frame_->right_view()->search_model();
        QAbstractItemModelTester tester(results,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(results->rowCount() >= 1);
        for (int row = 0; row < results->rowCount(); ++row) {
            QCOMPARE(results->index(row, SearchResultModel::kTitle).data().toString(),
                     QString("Fixture home"));
        }
        QVERIFY(results->index(0, SearchResultModel::kFile)
                    .data()
                    .toString()
                    .startsWith(QString::fromStdString(frame_->doc().content_dir())));
        QCOMPARE(frame_->search_message()->text(),
                 results->rowCount() == 1 ? QString("1 page")
                                          : QString("%1 pages").arg(results->rowCount()));

        field->setText("\"unclosed");
        emit field->returnPressed();
        QVERIFY(test::WaitFor([&] { return frame_->search_message()->text() != "Searching..."; }));
        QCOMPARE(frame_->search_message()->text(),
                 QString("Quotes don't match. Use parenthesis around quotes within quotes."));
        // Choosing in the tree goes back to the children.
        Choose(gifs_);
        QVERIFY(!frame_->right_view()->showing_search_results());
    }

    void DeleteAStartUrl() {
        Choose(gifs_);
        test::BoxAnswerer yes(QMessageBox::Yes);
        frame_->RunCommand(CommandId::kDelete);
        QCOMPARE(yes.texts.size(), 1);
        QVERIFY(yes.texts.front().startsWith("Are you sure you want to delete this URL?\n\n"));
        QCOMPARE(frame_->left_view()->tree_model()->rowCount(), 1);
    }

    void cleanupTestCase() {
        frame_.reset();
        server_.reset();
    }
};

}  // namespace corvalin

int RunViewsTests(int argc, char** argv) {
    corvalin::ViewsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "views_test.moc"
