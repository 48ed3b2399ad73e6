// The dialogs driven through their widgets: the URL wizard, the URL sheet
// with its filter dialogs, the project sheet and the program options.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <cstdio>
#include <fstream>
#include <set>

#include "app/core/project_layout.h"
#include "app/dialogs/option_sheet.h"
#include "app/dialogs/project_sheet.h"
#include "app/dialogs/url_sheet.h"
#include "app/dialogs/url_wizard.h"
#include "app/main_frame.h"
#include "app/tests/window_test_support.h"
#include "platform/program_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace corvalin {
namespace {

template <class T>
T* Find(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(name);
    if (!child) qFatal("no %s", name);
    return child;
}

QPushButton* Ok(QWidget* dialog) {
    return dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

// Runs `act` on the first visible dialog of type T that a modal loop shows,
// then accepts it.
template <class T>
void WhenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<T*>(widget);
            if (!dialog || !dialog->isVisible()) continue;
            timer->stop();
            timer->deleteLater();
            act(dialog);
            dialog->accept();
            return;
        }
    });
    timer->start(10);
}

// Puts the shared settings file back as it was when it goes: the options
// tests store engine preferences that would change the grabs of later tests.
class SettingsFileKeeper {
  public:
    SettingsFileKeeper() : path_(platform::SettingsFilePath()) {
        std::ifstream in(path_, std::ios::binary);
        existed_ = static_cast<bool>(in);
        text_.assign(std::istreambuf_iterator<char>(in), {});
    }
    ~SettingsFileKeeper() {
        if (existed_) {
            std::ofstream(path_, std::ios::binary | std::ios::trunc) << text_;
        } else {
            std::remove(path_.c_str());
        }
    }

  private:
    std::string path_;
    bool existed_ = false;
    std::string text_;
};

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CMainFrame> OpenFrame(const std::string& name) {
        auto frame = std::make_unique<CMainFrame>(AppSettings(dir_ / "corvalin.ini"),
                                                  ErrorLog(dir_ / "corvalin.log"));
        std::string why;
        if (!frame->doc().CreateEngine(&why)) qFatal("%s", why.c_str());
        std::string message;
        const std::string path = dir_ / name;
        if (!CreateProject(path, &message)) qFatal("%s", message.c_str());
        if (!frame->OpenProject(path)) qFatal("cannot open %s", path.c_str());
        return frame;
    }

    static int32_t AddStart(CPagewellDoc& doc, const char* url, int32_t levels) {
        fw::ComPtr<fw::IDizozizUrl> added = doc.NewUrl();
        added->put_url(url);
        added->put_GrabLevels(levels);
        if (added->Update() != fw::S_OK) qFatal("cannot add %s", url);
        int32_t id = 0;
        added->get_id(&id);
        return id;
    }

    // The URL's filters, as short words: "site", "dir", "size:N", and
    // "+U:data" / "-M:data" / "-Z:data" for the others.
    static std::set<std::string> Filters(CPagewellDoc& doc, int32_t id) {
        std::set<std::string> words;
        fw::ComPtr<fw::IDizozizUrl> url = doc.Url(id);
        fw::ComPtr<fw::IDizozizEnumFilter> filters;
        url->get_EnumFilters(filters.Receive());
        int32_t count = 0;
        filters->get_Count(&count);
        for (int32_t i = 1; i <= count; ++i) {
            fw::ComPtr<fw::IDizozizFilter> f;
            filters->get_Item(i, f.Receive());
            int32_t site = 0, dir = 0, type = 0, includes = 0;
            std::string data;
            f->get_StayOnSite(&site);
            f->get_StayInDir(&dir);
            f->get_Type(&type);
            f->get_Includes(&includes);
            f->get_Data(&data);
            if (site) {
                words.insert("site");
            } else if (dir) {
                words.insert("dir");
            } else if (type == fw::kFilterSize) {
                words.insert("size:" + data);
            } else {
                words.insert(std::string(includes ? "+" : "-") + static_cast<char>(type) + ":" +
                             data);
            }
        }
        return words;
    }

    static int32_t Levels(CPagewellDoc& doc, int32_t id) {
        int32_t levels = 0;
        doc.Url(id)->get_GrabLevels(&levels);
        return levels;
    }

    static int StartUrlCount(CPagewellDoc& doc) { return static_cast<int>(doc.StartUrlIds().size()); }

    fwtest::TempDir dir_;

  private slots:
    void initTestCase() { test::QuietenOffscreenWarnings(); }

    // --- URL wizard ---------------------------------------------------------------

    void WizardRefusesTheDefaultAndAddsWithItsDefaults() {
        auto frame = OpenFrame("wizard.cvn");
        CPagewellDoc& doc = frame->doc();
        test::BoxAnswerer boxes;
        URLWiz wizard(nullptr, &doc, QString());
        wizard.show();
        QCOMPARE(wizard.windowTitle(), QString("URL Wizard (step 1 of 4)"));
        auto* url = Find<QLineEdit>(&wizard, "Url");
        QCOMPARE(url->text(), QString("http://www."));
        QVERIFY(!wizard.button(QWizard::BackButton)->isVisible());
        for (const char* bad : {"http://www.", "mailto:someone@example.com", "www.example.com"}) {
            url->setText(bad);
            wizard.next();
            QCOMPARE(wizard.currentId(), 0);
        }
        QVERIFY(test::WaitFor([&] { return boxes.texts.size() == 3; }));
        QCOMPARE(boxes.texts[0],
                 QString("The URL you entered is not valid.  The format is:\nhttp://<server>/dir/page.html"));

        url->setText("ftp://files.example");
        wizard.next();
        QCOMPARE(wizard.currentId(), 1);
        QCOMPARE(url->text(), QString("ftp://files.example/"));
        QCOMPARE(wizard.windowTitle(), QString("URL Wizard (step 2 of 4)"));
        // The spin box never goes below 1.
        auto* levels = Find<QSpinBox>(&wizard, "Levels");
        QCOMPARE(levels->value(), 2);
        levels->stepDown();
        levels->stepDown();
        QCOMPARE(levels->value(), 1);
        levels->setValue(2);
        wizard.next();
        // Applications start unchecked; audio and video checked.
        QVERIFY(!Find<QCheckBox>(&wizard, "Applications")->isChecked());
        QVERIFY(Find<QCheckBox>(&wizard, "Audio")->isChecked());
        QVERIFY(!Find<QLineEdit>(&wizard, "Types")->isEnabled());
        wizard.next();
        QCOMPARE(wizard.windowTitle(), QString("URL Wizard (4 of 4)"));
        Find<QRadioButton>(&wizard, "Later")->setChecked(true);
        const int before = StartUrlCount(doc);
        wizard.button(QWizard::FinishButton)->click();

        const WizardResult result = wizard.result();
        QVERIFY(result.added);
        QVERIFY(!result.grab_now);
        QCOMPARE(StartUrlCount(doc), before + 1);
        QCOMPARE(doc.last_added_url(), result.url_id);
        QCOMPARE(Levels(doc, result.url_id), 2);
        QCOMPARE(Filters(doc, result.url_id),
                 (std::set<std::string>{"site", "-M:audio", "-M:video"}));
    }

    void WizardChoicesReachTheEngine() {
        auto frame = OpenFrame("wizard-choices.cvn");
        CPagewellDoc& doc = frame->doc();
        struct Case {
            const char* url;
            bool all_levels;
            bool only;
            const char* types;
            bool now;
            int32_t levels;
            std::set<std::string> filters;
        } cases[] = {
            {"http://a.example/", true, false, "", true, -1, {"site", "-M:audio", "-M:video"}},
            {"http://b.example/", false, true, "zip, ,exe ,pdf", false, 2, {"site", "-Z:zip,exe,pdf"}},
            // "Only download" with no types falls back to the checked classes.
            {"http://c.example/", false, true, "", false, 2, {"site", "-M:audio", "-M:video"}},
        };
        for (const Case& c : cases) {
            URLWiz wizard(nullptr, &doc, c.url);
            wizard.show();
            wizard.next();
            if (c.all_levels) Find<QRadioButton>(&wizard, "AllLevels")->setChecked(true);
            QCOMPARE(Find<QSpinBox>(&wizard, "Levels")->isEnabled(), !c.all_levels);
            wizard.next();
            if (c.only) {
                Find<QRadioButton>(&wizard, "OnlyTypes")->setChecked(true);
                QVERIFY(!Find<QCheckBox>(&wizard, "Audio")->isEnabled());
                Find<QLineEdit>(&wizard, "Types")->setText(c.types);
            }
            wizard.next();
            if (!c.now) Find<QRadioButton>(&wizard, "Later")->setChecked(true);
            wizard.button(QWizard::FinishButton)->click();
            QVERIFY(wizard.result().added);
            QCOMPARE(wizard.result().grab_now, c.now);
            QCOMPARE(Levels(doc, wizard.result().url_id), c.levels);
            QCOMPARE(Filters(doc, wizard.result().url_id), c.filters);
        }
    }

    // From the window: the wizard with its default "Immediately" starts a
    // grab of the new URL.
    void WizardGrabNowStartsTheGrab() {
        fwtest::TestWebServer server(std::string(FW_SOURCE_DIR) + "/tests/fixtures/site");
        QVERIFY(server.Start());
        auto frame = OpenFrame("wizard-now.cvn");
        frame->doc().project_file().SetRunAfter(false);
        frame->show();
        WhenShown<URLWiz>([](URLWiz* wizard) {
            for (int i = 0; i < 3; ++i) wizard->next();
        });
        frame->RunWizard(QString::fromStdString(server.BaseUrl() + "/"));
        QCOMPARE(StartUrlCount(frame->doc()), 1);
        QVERIFY(frame->doc().grabbing());
        QVERIFY(test::WaitFor([&] { return frame->done_box() != nullptr; }));
        frame->done_box()->accept();
        QVERIFY(!frame->doc().grabbing());
    }

    void WizardCancelCreatesNothing() {
        auto frame = OpenFrame("wizard-cancel.cvn");
        CPagewellDoc& doc = frame->doc();
        for (int steps = 0; steps < 4; ++steps) {
            URLWiz wizard(nullptr, &doc, "http://cancel.example/");
            wizard.show();
            for (int i = 0; i < steps; ++i) wizard.next();
            QCOMPARE(wizard.currentId(), steps);
            wizard.button(QWizard::CancelButton)->click();
            QVERIFY(!wizard.result().added);
        }
        QCOMPARE(StartUrlCount(doc), 0);
    }

    // --- URL property sheet ------------------------------------------------------

    void UrlSheetLevelsRules() {
        auto frame = OpenFrame("sheet-levels.cvn");
        CPagewellDoc& doc = frame->doc();
        const int32_t id = AddStart(doc, "http://levels.example/", 0);
        test::BoxAnswerer boxes;
        {
            CUrlSheet sheet(nullptr, &doc, id, true);
            sheet.show();
            auto* levels = Find<QLineEdit>(&sheet, "Levels");
            QCOMPARE(levels->text(), QString());
            QVERIFY(!Find<QRadioButton>(&sheet, "Skip")->isEnabled());
            Ok(&sheet)->click();
            QVERIFY(test::WaitFor([&] { return boxes.texts.size() == 1; }));
            QCOMPARE(boxes.texts[0], QString("Levels must be set to 1 or greater."));
            QVERIFY(sheet.isVisible());
            // Leaving for another page is refused the same way.
            sheet.tabs()->setCurrentIndex(1);
            QCOMPARE(sheet.tabs()->currentIndex(), 0);
            QVERIFY(test::WaitFor([&] { return boxes.texts.size() == 2; }));
            // The spin buttons never go below 1.
            Find<QToolButton>(&sheet, "LevelsDown")->click();
            QCOMPARE(levels->text(), QString("1"));
            Find<QToolButton>(&sheet, "LevelsUp")->click();
            QCOMPARE(levels->text(), QString("2"));
        }
        struct Case {
            const char* text;
            bool accepted;
            int32_t stored;
        } cases[] = {{"00", false, 0}, {"-1", false, 0}, {"0", true, 0}, {"", true, 0}, {"4", true, 4}};
        for (const Case& c : cases) {
            CUrlSheet sheet(nullptr, &doc, id, false);  // as a page of the list
            sheet.show();
            Find<QLineEdit>(&sheet, "Levels")->setText(c.text);
            const qsizetype shown = boxes.texts.size();
            Ok(&sheet)->click();
            QCOMPARE(sheet.result() == QDialog::Accepted, c.accepted);
            if (!c.accepted) {
                QVERIFY(test::WaitFor([&] { return boxes.texts.size() == shown + 1; }));
                QCOMPARE(boxes.texts.back(),
                         QString("Levels must be left blank or set to 1 or greater to override\n"
                                 "inherited behavior."));
            } else {
                QCOMPARE(Levels(doc, id), c.stored);
            }
        }
    }

    void UrlSheetMediaClassesAndTheAdvancedDialog() {
        auto frame = OpenFrame("sheet-filters.cvn");
        CPagewellDoc& doc = frame->doc();
        const int32_t id = AddStart(doc, "http://filters.example/", 2);
        auto run_filter_page = [&](const std::function<void(CUrlSheet&)>& act) {
            CUrlSheet sheet(nullptr, &doc, id, true);
            sheet.show();
            sheet.tabs()->setCurrentIndex(1);
            act(sheet);
            Ok(&sheet)->click();
            QCOMPARE(sheet.result(), int(QDialog::Accepted));
        };
        // Checking Audio adds a content-type filter; unchecking deletes it.
        run_filter_page([](CUrlSheet& s) { Find<QCheckBox>(&s, "Audio")->setChecked(true); });
        QCOMPARE(Filters(doc, id), (std::set<std::string>{"-M:audio"}));
        run_filter_page([](CUrlSheet& s) {
            QVERIFY(Find<QCheckBox>(&s, "Audio")->isChecked());
            Find<QCheckBox>(&s, "Audio")->setChecked(false);
        });
        QCOMPARE(Filters(doc, id), std::set<std::string>{});

        // Audio checked, the advanced dialog visited, Audio unchecked: no filter.
        run_filter_page([](CUrlSheet& s) {
            Find<QCheckBox>(&s, "Audio")->setChecked(true);
            WhenShown<CAdvancedFilterDialog>([](CAdvancedFilterDialog* advanced) {
                QCOMPARE(Find<QTreeWidget>(advanced, "Filters")->topLevelItemCount(), 1);
            });
            Find<QPushButton>(&s, "Advanced")->click();
            Find<QCheckBox>(&s, "Audio")->setChecked(false);
        });
        QCOMPARE(Filters(doc, id), std::set<std::string>{});

        // "Exclude" chosen, then types entered in the advanced dialog: the
        // list stays, and the page shows it.
        run_filter_page([](CUrlSheet& s) {
            Find<QRadioButton>(&s, "Exclude")->setChecked(true);
            WhenShown<CAdvancedFilterDialog>([](CAdvancedFilterDialog* advanced) {
                Find<QCheckBox>(advanced, "UseTypes")->setChecked(true);
                Find<QLineEdit>(advanced, "Types")->setText(" zip , pdf,");
                Find<QCheckBox>(advanced, "UseSize")->setChecked(true);
                Find<QLineEdit>(advanced, "Size")->setText("3");
                Find<QCheckBox>(advanced, "StayInDir")->setChecked(true);
            });
            Find<QPushButton>(&s, "Advanced")->click();
            QVERIFY(Find<QRadioButton>(&s, "OnlyTypes")->isChecked());
            QCOMPARE(Find<QLineEdit>(&s, "Types")->text(), QString("zip,pdf"));
            QVERIFY(Find<QCheckBox>(&s, "StayInDir")->isChecked());
        });
        QCOMPARE(Filters(doc, id), (std::set<std::string>{"dir", "size:3072", "-Z:zip,pdf"}));
    }

    void AdvancedFilterDialogRules() {
        FilterSetEditor editor;
        editor.size_limit = 5000;
        editor.rows() = {{fw::kFilterUrl, fw::kMatchContains, 1, 0, "keep", 0},
                         {fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "video", 1},
                         {fw::kFilterExtensions, fw::kMatchContains, 0, 0, "zip", 2},
                         {fw::kFilterExtensions, fw::kMatchContains, 0, 0, "rar", 3}};
        test::BoxAnswerer boxes;
        FilterRow created{fw::kFilterUrl, fw::kMatchEndsWith, 0, 0, ".iso"};
        CAdvancedFilterDialog dialog(nullptr, &editor, [&](QWidget*, FilterRow* row) {
            *row = created;
            return true;
        });
        dialog.show();
        QVERIFY(Find<QCheckBox>(&dialog, "UseSize")->isChecked());
        QCOMPARE(Find<QLineEdit>(&dialog, "Size")->text(), QString("4"));  // 5000 / 1024
        QVERIFY(Find<QCheckBox>(&dialog, "UseTypes")->isChecked());
        QCOMPARE(Find<QLineEdit>(&dialog, "Types")->text(), QString("zip"));
        auto* list = Find<QTreeWidget>(&dialog, "Filters");
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QString("+URL"));
        QCOMPARE(list->topLevelItem(1)->text(0), QString("-Mime"));
        QCOMPARE(list->topLevelItem(2)->text(0), QString("-Zip"));
        QCOMPARE(list->topLevelItem(2)->text(1), QString("rar"));
        QVERIFY(!Find<QPushButton>(&dialog, "Edit")->isEnabled());

        // Size 0 and an empty type list are refused with their messages.
        Find<QLineEdit>(&dialog, "Size")->setText("0");
        Ok(&dialog)->click();
        Find<QLineEdit>(&dialog, "Size")->setText("2");
        Find<QLineEdit>(&dialog, "Types")->setText(" , ");
        Ok(&dialog)->click();
        QVERIFY(test::WaitFor([&] { return boxes.texts.size() == 2; }));
        QCOMPARE(boxes.texts[0], QString("Document size filter must be greater that 0."));
        QCOMPARE(boxes.texts[1],
                 QString("Please enter the types of files that you would like to download."));
        QCOMPARE(editor.size_limit, 5000);  // nothing written yet

        // Delete the first line, add one, uncheck the type list, OK.
        list->setCurrentItem(list->topLevelItem(0));
        QVERIFY(Find<QPushButton>(&dialog, "Delete")->isEnabled());
        Find<QPushButton>(&dialog, "Delete")->click();
        QCOMPARE(list->topLevelItemCount(), 2);
        Find<QPushButton>(&dialog, "New")->click();
        QCOMPARE(list->topLevelItem(2)->text(0), QString("-URL"));
        Find<QCheckBox>(&dialog, "UseTypes")->setChecked(false);
        Ok(&dialog)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(editor.size_limit, 2048);
        QVERIFY(editor.rows()[0].deleted);
        QVERIFY(editor.rows()[2].deleted);   // the type list the field showed
        QVERIFY(!editor.rows()[3].deleted);  // another list stays a row
        QCOMPARE(editor.rows().size(), size_t{5});
        QCOMPARE(editor.rows()[4].data, std::string(".iso"));
    }

    void EditFilterDialogRadios() {
        struct Case {
            FilterRow row;
            const char* type_radio;
            const char* match_radio;
        } cases[] = {
            {{fw::kFilterUrl, fw::kMatchBeginsWith, 1, 1, "a"}, "Url", "BeginsWith"},
            {{fw::kFilterContentType, fw::kMatchEndsWith, 0, 0, "b"}, "Mime", "EndsWith"},
            {{fw::kFilterUrl, 7, 0, 0, "c"}, "Url", "Equals"},  // any other match
        };
        for (const Case& c : cases) {
            CEditFilterDialog dialog(nullptr, c.row);
            dialog.show();
            QVERIFY(Find<QRadioButton>(&dialog, c.type_radio)->isChecked());
            QVERIFY(Find<QRadioButton>(&dialog, c.match_radio)->isChecked());
            QVERIFY(!Find<QRadioButton>(&dialog, "Zip")->isVisible());
            QCOMPARE(Find<QRadioButton>(&dialog, "Kept")->isChecked(), c.row.includes == 1);
        }
        CEditFilterDialog dialog(nullptr, FilterRow{});
        Find<QRadioButton>(&dialog, "Mime")->setChecked(true);
        Find<QRadioButton>(&dialog, "Kept")->setChecked(true);
        Find<QRadioButton>(&dialog, "Equals")->setChecked(true);
        Find<QCheckBox>(&dialog, "CaseSensitive")->setChecked(true);
        Find<QLineEdit>(&dialog, "MatchText")->setText("text/plain");
        const FilterRow row = dialog.row();
        QCOMPARE(row, (FilterRow{fw::kFilterContentType, fw::kMatchEquals, 1, 1, "text/plain", -1}));
    }

    void UrlSheetTitleNotesAndCredentials() {
        auto frame = OpenFrame("sheet-title.cvn");
        CPagewellDoc& doc = frame->doc();
        const int32_t id = AddStart(doc, "http://title.example/", 2);
        {  // OK without a change stores no display title
            CUrlSheet sheet(nullptr, &doc, id, true);
            sheet.show();
            Ok(&sheet)->click();
            QVERIFY(!sheet.saved_title());
        }
        {
            CUrlSheet sheet(nullptr, &doc, id, true);
            sheet.show();
            Find<QLineEdit>(&sheet, "Title")->setText("My Title");
            sheet.tabs()->setCurrentIndex(2);
            auto* password = Find<QLineEdit>(&sheet, "Password");
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            Find<QLineEdit>(&sheet, "User")->setText("ann");
            password->setText("pw");
            sheet.tabs()->setCurrentIndex(3);
            Find<QPlainTextEdit>(&sheet, "Notes")->setPlainText("weekly");
            Ok(&sheet)->click();
            QVERIFY(sheet.saved_title());
        }
        std::string notes, user, password;
        fw::ComPtr<fw::IDizozizUrl> url = doc.Url(id);
        url->get_Notes(&notes);
        url->get_Username(&user);
        url->get_Password(&password);
        QCOMPARE(notes, std::string("<title>My Title</title>weekly"));
        QCOMPARE(user, std::string("ann"));
        QCOMPARE(password, std::string("pw"));
        // The list view's sheet (not a start URL): title and address read only.
        CUrlSheet page(nullptr, &doc, id, false);
        page.show();
        QVERIFY(Find<QLineEdit>(&page, "Title")->isReadOnly());
        QVERIFY(Find<QLineEdit>(&page, "Url")->isReadOnly());
        QVERIFY(!Find<QPushButton>(&page, "Browse")->isEnabled());  // not grabbed
        QVERIFY(!Find<QPushButton>(&page, "Launch")->isEnabled());
        page.reject();
    }

    // --- Project property sheet -------------------------------------------------

    void RunAfterDropDown() {
        fwtest::TempDir scripts;
        std::ofstream(scripts / "b-publish.sh") << "#:!%c %i%t %d\necho\n";
        std::ofstream(scripts / "a-plain.sh") << "#!/bin/sh\n";
        const ProjectFile project(dir_ / "runafter.cvn");
        project.SetRunAfter(false);
        project.SetRunCmd("typed command");
        CPropSheet sheet(nullptr, project, QString::fromStdString(scripts.path()));
        sheet.show();
        auto* combo = Find<RunAfterCombo>(&sheet, "RunCmd");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("a-plain.sh"));
        QVERIFY(!combo->isEnabled());
        Find<QCheckBox>(&sheet, "RunAfter")->setChecked(true);
        QVERIFY(combo->isEnabled());
        QCOMPARE(combo->currentText(), QString("typed command"));

        // Closed without a choice: the typed text comes back.
        combo->showPopup();
        combo->hidePopup();
        QCOMPARE(combo->currentText(), QString("typed command"));
        // A script whose first line proposes a command.
        combo->showPopup();
        combo->hidePopup();
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(combo->currentText(), QString("%c %ib-publish.sh %d"));
        // A plain script leaves its name.
        combo->showPopup();
        combo->hidePopup();
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(combo->currentText(), QString("a-plain.sh"));
        Ok(&sheet)->click();
        QVERIFY(project.RunAfter());
        QCOMPARE(project.RunCmd(), std::string("a-plain.sh"));
    }

    void ReplacePageRules() {
        const ProjectFile project(dir_ / "replace.cvn");
        const std::vector<ReplacementRule> rules = {{"L", "a", "b"}, {"x", "c", "d"}, {"t", "e", "f"}};
        project.WriteRules(rules);
        auto dirty = [&] { return project.profile().GetString("DALK", "DirtyFlag", "absent"); };
        auto open_replace = [&](CPropSheet& sheet) {
            sheet.show();
            sheet.tabs()->setCurrentIndex(1);
            return Find<QTreeWidget>(&sheet, "Rules");
        };
        {  // OK without changes rewrites the same rules and leaves DirtyFlag
            CPropSheet sheet(nullptr, project, QString());
            QTreeWidget* list = open_replace(sheet);
            QCOMPARE(list->topLevelItemCount(), 3);
            QCOMPARE(list->topLevelItem(0)->text(0), QString("Line"));
            QCOMPARE(list->topLevelItem(0)->text(1), QString("Y"));
            QCOMPARE(list->topLevelItem(1)->text(0), QString());
            QCOMPARE(list->topLevelItem(1)->text(1), QString());
            QCOMPARE(list->topLevelItem(2)->text(1), QString("N"));
            QVERIFY(!Find<QPushButton>(&sheet, "Edit")->isEnabled());
            Ok(&sheet)->click();
            QCOMPARE(project.ReadRules(), rules);
            QCOMPARE(dirty(), std::string("absent"));
        }
        {  // "L" edited with the case box unchecked becomes "l"
            CPropSheet sheet(nullptr, project, QString(), [](QWidget* parent, ReplacementRule* rule) {
                CEditReplacementDialog dialog(parent, *rule);
                if (!Find<QRadioButton>(&dialog, "Line")->isChecked()) return false;
                if (!Find<QCheckBox>(&dialog, "CaseSensitive")->isChecked()) return false;
                Find<QCheckBox>(&dialog, "CaseSensitive")->setChecked(false);
                *rule = dialog.rule();
                return true;
            });
            QTreeWidget* list = open_replace(sheet);
            list->setCurrentItem(list->topLevelItem(0));
            Find<QPushButton>(&sheet, "Edit")->click();
            QCOMPARE(list->topLevelItem(0)->text(1), QString("N"));
            Ok(&sheet)->click();
            QCOMPARE(project.ReadRules().front().type, std::string("l"));
            QCOMPARE(dirty(), std::string("1"));
        }
        project.SetDirtyFlag(false);
        {  // every rule deleted
            CPropSheet sheet(nullptr, project, QString());
            QTreeWidget* list = open_replace(sheet);
            while (list->topLevelItemCount() > 0) {
                list->setCurrentItem(list->topLevelItem(0));
                Find<QPushButton>(&sheet, "Delete")->click();
            }
            Ok(&sheet)->click();
            QVERIFY(project.ReadRules().empty());
            QCOMPARE(project.profile().GetString("Replacements", "1", "gone"), std::string("gone"));
            QCOMPARE(dirty(), std::string("1"));
        }
    }

    void EdgePageAndUnvisitedPages() {
        const ProjectFile project(dir_ / "edge.cvn");
        project.SetUseEdgeFile(true);
        project.SetEdgeFile("mine.htm");
        project.WriteRules({{"f", "a", "b"}});
        {
            CPropSheet sheet(nullptr, project, QString());
            sheet.show();
            sheet.tabs()->setCurrentIndex(2);
            QVERIFY(Find<QRadioButton>(&sheet, "EdgeFileRadio")->isChecked());
            QCOMPARE(Find<QLineEdit>(&sheet, "EdgeFile")->text(), QString("mine.htm"));
            Find<QLineEdit>(&sheet, "EdgeFile")->clear();
            Ok(&sheet)->click();
        }
        QVERIFY(!project.UseEdgeFile());
        {  // the full-URL radio disables the text
            CPropSheet sheet(nullptr, project, QString());
            sheet.show();
            sheet.tabs()->setCurrentIndex(2);
            QVERIFY(Find<QRadioButton>(&sheet, "FullUrl")->isChecked());
            QVERIFY(!Find<QLineEdit>(&sheet, "EdgeFile")->isEnabled());
            sheet.reject();
        }
        // Cancel writes nothing, and OK writes nothing for pages not shown:
        // the rules were never read, so a change made meanwhile stays.
        {
            CPropSheet sheet(nullptr, project, QString());
            sheet.show();
            Find<QCheckBox>(&sheet, "RunAfter")->setChecked(!project.RunAfter());
            project.WriteRules({{"F", "x", "y"}});
            sheet.reject();
        }
        QCOMPARE(project.RunAfter(), true);
        {
            CPropSheet sheet(nullptr, project, QString());
            sheet.show();
            project.WriteRules({{"T", "p", "q"}});
            Ok(&sheet)->click();
        }
        QCOMPARE(project.ReadRules().front().type, std::string("T"));
    }

    // --- Program options --------------------------------------------------------

    void OptionsGrabbingPage() {
        const SettingsFileKeeper keeper;
        auto frame = OpenFrame("options.cvn");
        CPagewellDoc& doc = frame->doc();
        {
            fw::ComPtr<fw::IDizozizPrefs> prefs = doc.Preferences();
            prefs->put_FileFlags(4);
            prefs->put_UseByteLimit(0);
            prefs->put_UseTimeLimit(1);
            prefs->put_LimitHours(3);
            prefs->put_LimitMinutes(15);
        }
        test::BoxAnswerer boxes;
        COptionSheet sheet(nullptr, &doc);
        sheet.show();
        sheet.tabs()->setCurrentIndex(1);
        QVERIFY(!Find<QCheckBox>(&sheet, "ShortFileNames")->isChecked());
        QVERIFY(!Find<QCheckBox>(&sheet, "SiteStructure")->isChecked());
        QVERIFY(Find<QCheckBox>(&sheet, "DomainDirectory")->isChecked());
        auto* kilobytes = Find<QLineEdit>(&sheet, "LimitKiloBytes");
        QVERIFY(!kilobytes->isEnabled());
        Find<QCheckBox>(&sheet, "UseByteLimit")->setChecked(true);
        QVERIFY(kilobytes->isEnabled());
        kilobytes->clear();
        Ok(&sheet)->click();
        QVERIFY(sheet.isVisible());  // refused, without a message
        sheet.tabs()->setCurrentIndex(2);
        QCOMPARE(sheet.tabs()->currentIndex(), 1);
        kilobytes->setText("100");
        Find<QCheckBox>(&sheet, "UseTimeLimit")->setChecked(false);
        Find<QCheckBox>(&sheet, "SiteStructure")->setChecked(true);
        Ok(&sheet)->click();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QVERIFY(boxes.texts.isEmpty());
        fw::ComPtr<fw::IDizozizPrefs> prefs = doc.Preferences();
        int32_t use_bytes = 0, kb = 0, use_time = 1, hours = 0, minutes = 0, flags = 0;
        prefs->get_UseByteLimit(&use_bytes);
        prefs->get_LimitKiloBytes(&kb);
        prefs->get_UseTimeLimit(&use_time);
        prefs->get_LimitHours(&hours);
        prefs->get_LimitMinutes(&minutes);
        prefs->get_FileFlags(&flags);
        QCOMPARE(use_bytes, 1);
        QCOMPARE(kb, 100);
        QCOMPARE(use_time, 0);
        QCOMPARE(hours, 3);
        QCOMPARE(minutes, 15);
        QCOMPARE(flags, 6);
    }

    void OptionsProxyAndGeneralPages() {
        const SettingsFileKeeper keeper;
        auto frame = OpenFrame("options-proxy.cvn");
        CPagewellDoc& doc = frame->doc();
        doc.settings().SetProxyServer(0);
        doc.settings().SetUseBrowsers(false);
        {
            COptionSheet sheet(nullptr, &doc);
            sheet.show();
            sheet.tabs()->setCurrentIndex(2);
            auto* type = Find<QComboBox>(&sheet, "ProxyType");
            QCOMPARE(type->count(), 7);
            QCOMPARE(type->currentIndex(), 0);
            auto* use_proxy = Find<QCheckBox>(&sheet, "UseProxy");
            use_proxy->setChecked(true);
            auto* password = Find<QLineEdit>(&sheet, "ProxyPassword");
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            QVERIFY(password->isEnabled());
            type->setCurrentIndex(4);  // Microsoft SOCKS Proxy Server
            QVERIFY(!password->isEnabled());
            QVERIFY(Find<QLineEdit>(&sheet, "ProxyUsername")->isEnabled());
            Find<QCheckBox>(&sheet, "UseBrowsers")->setChecked(true);
            QVERIFY(!use_proxy->isEnabled());
            QVERIFY(!Find<QLineEdit>(&sheet, "ProxyServer")->isEnabled());
            Find<QCheckBox>(&sheet, "UseBrowsers")->setChecked(false);
            Find<QLineEdit>(&sheet, "ProxyServer")->setText("socks.example");
            Find<QSpinBox>(&sheet, "ProxyPort")->setValue(1080);
            Ok(&sheet)->click();
        }
        QCOMPARE(doc.settings().ProxyServer(), 5);
        {
            fw::ComPtr<fw::IDizozizPrefs> prefs = doc.Preferences();
            int32_t type = 0, use = 0, port = 0;
            std::string server;
            prefs->get_ProxyType(&type);
            prefs->get_UseProxy(&use);
            prefs->get_ProxyPort(&port);
            prefs->get_ProxyServer(&server);
            QCOMPARE(type, 2);
            QCOMPARE(use, 1);
            QCOMPARE(port, 1080);
            QCOMPARE(server, std::string("socks.example"));
        }

        // General: "Default Browser" off without a browser is stored as on;
        // the "..." button's choice replaces the field. Nothing else was
        // visited, so no engine preference changes.
        const std::string before = [] {
            std::ifstream in(platform::SettingsFilePath());
            return std::string(std::istreambuf_iterator<char>(in), {});
        }();
        {
            COptionSheet sheet(nullptr, &doc, [](QWidget*, const QString&) {
                return QString("/usr/bin/my-editor");
            });
            sheet.show();
            auto* use_default = Find<QCheckBox>(&sheet, "DefaultBrowser");
            use_default->setChecked(false);
            QVERIFY(Find<QLineEdit>(&sheet, "Browser")->isEnabled());
            Find<QLineEdit>(&sheet, "Browser")->clear();
            Find<QPushButton>(&sheet, "BrowseEditor")->click();
            QCOMPARE(Find<QLineEdit>(&sheet, "HtmlEditor")->text(), QString("/usr/bin/my-editor"));
            Ok(&sheet)->click();
        }
        QVERIFY(doc.settings().UseDefaultBrowser());
        QCOMPARE(doc.settings().HtmlEditor(), std::string("/usr/bin/my-editor"));
        std::ifstream in(platform::SettingsFilePath());
        QCOMPARE(std::string(std::istreambuf_iterator<char>(in), {}), before);
    }
};

}  // namespace corvalin

int RunDialogsTests(int argc, char** argv) {
    corvalin::DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
