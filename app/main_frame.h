// CMainFrame: the program's one top-level window. It owns the document (and
// with it the engine), the menus, the tool bar with the search field, the
// status bar with the grab's progress, the two panes of the splitter (URL
// tree left, URL list right) and the grab window docked at the bottom. It
// carries out the commands that are not bound to one view, and it is the
// DocumentHost through which the document shows and asks things.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/core/commands.h"
#include "app/core/grab_progress.h"
#include "app/core/pagewell_doc.h"
#include "app/core/url_menu.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QProgressBar;
class QSplitter;
class QToolBar;

namespace corvalin {

class CLeftView;
class CPagewellView;
class GrabWindow;

// What a URL menu command did, for the view that opened the menu.
struct UrlMenuOutcome {
    bool deleted = false;        // the URL is gone: the tree is rebuilt
    bool title_changed = false;  // a start URL's display title changed
    std::optional<bool> skip;    // "Skip URL": the new skip state
};

class CMainFrame : public QMainWindow, public DocumentHost {
    Q_OBJECT
  public:
    static constexpr int kDoneBoxMs = 20000;

    explicit CMainFrame(AppSettings settings, ErrorLog log = ErrorLog());
    ~CMainFrame() override;

    CPagewellDoc& doc() { return *doc_; }
    CLeftView* left_view() const { return left_view_; }
    CPagewellView* right_view() const { return right_view_; }
    GrabWindow* grab_window() const { return grab_window_; }
    QSplitter* splitter() const { return splitter_; }
    QToolBar* tool_bar() const { return tool_bar_; }
    QLineEdit* search_field() const { return search_field_; }
    QLabel* search_message() const { return search_message_; }
    QProgressBar* progress_bar() const { return progress_bar_; }
    QLabel* progress_label() const { return progress_label_; }
    QDialog* stopping_notice() const { return notice_; }
    QMessageBox* done_box() const { return done_box_; }
    QAction* action(CommandId id) const;

    // Centres the 800 by 600 window on the screen.
    void Place();

    // --- Commands --------------------------------------------------------------
    // Carries out a command of the menus, the tool bar or the keys (if it is
    // enabled now).
    void RunCommand(CommandId id);
    // What the enable rules look at, now.
    CommandContext Context() const;
    ActiveView active_view() const { return active_view_; }
    // The window's selected URL (see SelectedUrl in commands.h).
    int32_t selected_url() const;

    void OnFileNew();
    // Creates the project at `path` and opens it, then the URL wizard; says
    // why when the file exists already or cannot be created.
    bool NewProjectAt(const std::string& path);
    void OnFileOpen();
    // Opens a project (the recent files, a dropped file, the start-up dialog).
    bool OpenProject(const std::string& path);
    // Import: the file dialog, then ImportFile.
    void OnImport();
    void ImportFile(const std::string& path);
    void GrabAll(bool refresh);
    void GrabOne(int32_t id, bool refresh);
    void Stop();
    // The URL wizard (Insert, Paste, a dropped text, no start URL yet); a
    // new URL to be grabbed at once is grabbed.
    void RunWizard(const QString& initial_url);
    void ShowStartupDialog();
    // Clipboard: the selected URL's address as plain text.
    void Copy();
    void Cut();
    void Paste();
    // Searches the copy for the text of the search field.
    void SearchCopy(const QString& text);
    // Focuses the list, then the tree (after the tree was filled).
    void FocusViews();

    // --- The URL menu, shared by the tree and the list ---------------------------
    // The menu for `id` with its enable states, check mark and default item;
    // null when the URL cannot be read.
    std::unique_ptr<QMenu> BuildUrlMenu(int32_t id, bool start_url, bool in_list);
    // Shows the menu at `global` and carries out the chosen item.
    UrlMenuOutcome ShowUrlMenu(const QPoint& global, int32_t id, bool start_url, bool in_list);
    UrlMenuOutcome RunUrlCommand(UrlMenuItem item, int32_t id, bool start_url);

    // --- Drag and drop onto the panes ----------------------------------------------
    // A project file (any time but during a grab) or a text (with a project
    // open and no grab running).
    bool CanTakeDrop(const QMimeData* data) const;
    void TakeDrop(const QMimeData* data);

    // --- DocumentHost ------------------------------------------------------------
    void Post(std::function<void()> task) override;
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void DocumentChanged() override;
    void UpdateAllViews(int hint) override;
    void RebuildTree() override;
    void AskFirstUrl() override;
    void ShowGrabWindow(bool show) override;
    void ResetGrabWindow() override;
    void GrabWindowEvents(const std::vector<std::pair<int32_t, int32_t>>& events) override;
    void ShowStoppingNotice() override;
    void CloseStoppingNotice() override;
    void ShowDoneBox(std::function<void()> closed) override;
    void RunProgram(const std::string& command_line) override;
    void CloseMainWindow() override;

  public slots:
    // Sets every command's enabled and checked state from the context.
    void UpdateCommands();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void UpdateRecentFiles();
    void UpdateProgress();
    void ShowUrlProperties();
    void DeleteSelected();
    void OnFocusChanged(QWidget* now);

    std::unique_ptr<CPagewellDoc> doc_;
    QSplitter* splitter_ = nullptr;
    CLeftView* left_view_ = nullptr;
    CPagewellView* right_view_ = nullptr;
    GrabWindow* grab_window_ = nullptr;
    QToolBar* tool_bar_ = nullptr;
    QLineEdit* search_field_ = nullptr;
    QLabel* search_message_ = nullptr;
    QProgressBar* progress_bar_ = nullptr;
    QLabel* progress_label_ = nullptr;
    QPointer<QDialog> notice_;        // "Stopping..." while a stop is pending
    QPointer<QMessageBox> done_box_;  // "Done" until it closes

    std::map<CommandId, QAction*> actions_;
    QMenu* file_menu_ = nullptr;
    QAction* recent_separator_ = nullptr;
    QList<QAction*> recent_actions_;
    ActiveView active_view_ = ActiveView::kNone;
    GrabProgress progress_;
};

}  // namespace corvalin
