// CMainFrame: the program's one top-level window. It owns the document (and
// with it the engine), the tool bar, the status bar, the two panes of the
// splitter (URL tree left, URL list right) and the grab window docked at the
// bottom, and it is the DocumentHost through which the document shows and
// asks things.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "app/core/pagewell_doc.h"

class QAction;
class QMenu;
class QSplitter;

namespace corvalin {

class CLeftView;
class CPagewellView;
class GrabWindow;

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
    QDialog* stopping_notice() const { return notice_; }
    QMessageBox* done_box() const { return done_box_; }

    // Centres the 800 by 600 window on the screen.
    void Place();

    // --- Commands --------------------------------------------------------------
    // New Project: the file dialog, then NewProjectAt.
    void OnFileNew();
    // Creates the project at `path` and opens it, then the URL wizard; says
    // why when the file exists already or cannot be created.
    bool NewProjectAt(const std::string& path);
    // Open Project: the file dialog for project files, then OpenProject.
    void OnFileOpen();
    // Opens a project (the recent files, a dropped file, the start-up dialog).
    bool OpenProject(const std::string& path);
    void GrabAll(bool refresh);
    void GrabOne(int32_t id, bool refresh);
    void Stop();
    // The URL wizard (Insert, Paste, a dropped text, no start URL yet); a
    // new URL to be grabbed at once is grabbed.
    void RunWizard(const QString& initial_url);
    // The start-up choice when no project was named.
    void ShowStartupDialog();

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
    void GrabWindowEvent(int32_t event_id, int32_t url_id) override;
    void ShowStoppingNotice() override;
    void CloseStoppingNotice() override;
    void ShowDoneBox(std::function<void()> closed) override;
    void RunProgram(const std::string& command_line) override;
    void CloseMainWindow() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void UpdateCommands();
    void UpdateRecentFiles();

    std::unique_ptr<CPagewellDoc> doc_;
    QSplitter* splitter_ = nullptr;
    CLeftView* left_view_ = nullptr;
    CPagewellView* right_view_ = nullptr;
    GrabWindow* grab_window_ = nullptr;
    QPointer<QDialog> notice_;        // "Stopping..." while a stop is pending
    QPointer<QMessageBox> done_box_;  // "Done" until it closes

    QAction* new_action_ = nullptr;
    QAction* open_action_ = nullptr;
    QAction* exit_action_ = nullptr;
    QAction* grab_action_ = nullptr;
    QAction* refresh_action_ = nullptr;
    QAction* stop_action_ = nullptr;
    QAction* grab_window_action_ = nullptr;
    QAction* insert_action_ = nullptr;
    QMenu* file_menu_ = nullptr;
    QAction* recent_separator_ = nullptr;
    QList<QAction*> recent_actions_;
};

}  // namespace corvalin
