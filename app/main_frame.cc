#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/browser/launch_ui.h"
#include "app/core/project_layout.h"
#include "app/dialogs/dialogs.h"
#include "app/startup_dialog.h"
#include "app/views/grab_window.h"
#include "app/views/left_view.h"
#include "app/views/pagewell_view.h"

// The program's icons are compiled into a static library, whose resources
// are registered by hand.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

namespace corvalin {
namespace {

constexpr char kProgramName[] = "Corvalin";
constexpr char kProjectFilter[] = "Corvalin Files (*.cvn);;All Files (*)";

bool IsProjectFile(const QString& path) {
    return path.endsWith(".cvn", Qt::CaseInsensitive);
}

}  // namespace

CMainFrame::CMainFrame(AppSettings settings, ErrorLog log)
    : doc_(std::make_unique<CPagewellDoc>(this, std::move(settings), std::move(log))) {
    setObjectName("MainFrame");
    InitResources();
    setWindowIcon(QIcon(":/icons/corvalin.svg"));
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName("Panes");
    left_view_ = new CLeftView(doc_.get(), splitter_);
    right_view_ = new CPagewellView(doc_.get(), splitter_);
    splitter_->addWidget(left_view_);
    splitter_->addWidget(right_view_);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);
    grab_window_ = new GrabWindow(doc_.get(), this);
    addDockWidget(Qt::BottomDockWidgetArea, grab_window_);
    grab_window_->hide();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    statusBar()->showMessage("Ready");
    setAcceptDrops(true);
    Place();
    DocumentChanged();
}

CMainFrame::~CMainFrame() {
    // The document goes first: it ends a running grab and detaches its event
    // sinks while this window, where their posts land, still exists.
    doc_.reset();
}

void CMainFrame::Place() {
    resize(800, 600);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    splitter_->setSizes({250, 800 - 250});
}

// --- Menus and tool bar ---------------------------------------------------------------

void CMainFrame::CreateActions() {
    const auto make = [this](const QString& text, const QString& tip, const QString& icon,
                             QStyle::StandardPixmap fallback) {
        auto* action =
            new QAction(QIcon::fromTheme(icon, style()->standardIcon(fallback)), text, this);
        action->setStatusTip(tip);
        return action;
    };
    new_action_ = make("&New Project", "Create a new project", "document-new", QStyle::SP_FileIcon);
    new_action_->setShortcut(QKeySequence::New);
    connect(new_action_, &QAction::triggered, this, &CMainFrame::OnFileNew);
    open_action_ = make("&Open Project...", "Open an existing project", "document-open",
                        QStyle::SP_DialogOpenButton);
    open_action_->setShortcut(QKeySequence::Open);
    connect(open_action_, &QAction::triggered, this, &CMainFrame::OnFileOpen);
    exit_action_ =
        make("E&xit", "Quit the application", "application-exit", QStyle::SP_DialogCloseButton);
    connect(exit_action_, &QAction::triggered, this, &QWidget::close);
    insert_action_ = make("&Insert", "Add a new URL", "list-add", QStyle::SP_FileDialogNewFolder);
    insert_action_->setShortcut(Qt::Key_Insert);
    connect(insert_action_, &QAction::triggered, this, [this] { RunWizard(QString()); });
    grab_action_ =
        make("&Grab Site(s)", "Begin Grabbing Web Site(s)", "go-down", QStyle::SP_ArrowDown);
    connect(grab_action_, &QAction::triggered, this, [this] { GrabAll(false); });
    refresh_action_ = make("&Refresh Site(s)", "Refresh the grabbed Web Site(s)", "view-refresh",
                           QStyle::SP_BrowserReload);
    connect(refresh_action_, &QAction::triggered, this, [this] { GrabAll(true); });
    stop_action_ = make("&Stop Grabbing", "Stop Grabbing", "process-stop", QStyle::SP_BrowserStop);
    connect(stop_action_, &QAction::triggered, this, &CMainFrame::Stop);
    grab_window_action_ = grab_window_->toggleViewAction();
    grab_window_action_->setText("&Grab Window");
    grab_window_action_->setStatusTip("Show or hide the grab window");
}

void CMainFrame::CreateMenus() {
    file_menu_ = menuBar()->addMenu("&File");
    file_menu_->addAction(new_action_);
    file_menu_->addAction(open_action_);
    recent_separator_ = file_menu_->addSeparator();
    for (int i = 0; i < AppSettings::kRecentFiles; ++i) {
        auto* action = new QAction(this);
        action->setVisible(false);
        connect(action, &QAction::triggered, this,
                [this, action] { OpenProject(action->data().toString().toStdString()); });
        recent_actions_.append(action);
        file_menu_->addAction(action);
    }
    file_menu_->addSeparator();
    file_menu_->addAction(exit_action_);
    connect(file_menu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateRecentFiles);

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction(insert_action_);
    QMenu* view = menuBar()->addMenu("&View");
    view->addAction(grab_window_action_);
    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->addAction(grab_action_);
    tools->addAction(refresh_action_);
    tools->addAction(stop_action_);
}

void CMainFrame::CreateToolBar() {
    QToolBar* bar = addToolBar("Standard");
    bar->setObjectName("Standard");
    bar->addAction(new_action_);
    bar->addAction(open_action_);
    bar->addSeparator();
    bar->addAction(grab_action_);
    bar->addAction(refresh_action_);
    bar->addAction(stop_action_);
    bar->addSeparator();
    bar->addAction(insert_action_);
}

void CMainFrame::UpdateCommands() {
    const bool open = doc_->project_open();
    const bool grabbing = doc_->grabbing();
    new_action_->setEnabled(!grabbing);
    open_action_->setEnabled(!grabbing);
    insert_action_->setEnabled(open && !grabbing);
    grab_action_->setEnabled(open && !grabbing);
    refresh_action_->setEnabled(open && !grabbing);
    stop_action_->setEnabled(grabbing && !doc_->stopping());
    for (QAction* action : recent_actions_) action->setEnabled(!grabbing);
}

void CMainFrame::UpdateRecentFiles() {
    const std::vector<std::string> files = doc_->settings().RecentFiles();
    for (int i = 0; i < recent_actions_.size(); ++i) {
        QAction* action = recent_actions_[i];
        const bool used = static_cast<size_t>(i) < files.size();
        action->setVisible(used);
        if (!used) continue;
        const QString path = QString::fromStdString(files[static_cast<size_t>(i)]);
        action->setText(QString("&%1 %2").arg(i + 1).arg(path));
        action->setData(path);
    }
    recent_separator_->setVisible(!files.empty());
}

// --- Commands ----------------------------------------------------------------------------

void CMainFrame::OnFileNew() {
    if (doc_->grabbing()) return;
    QFileDialog dialog(this, "New Project");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({"Corvalin Files (*.cvn)", "All Files (*)"});
    dialog.setDefaultSuffix("cvn");
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // an existing file is refused below
    dialog.selectFile("Untitled");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    NewProjectAt(dialog.selectedFiles().front().toStdString());
}

bool CMainFrame::NewProjectAt(const std::string& path) {
    if (QFileInfo::exists(QString::fromStdString(path))) {
        ShowMessage(kFileExistsText);
        return false;
    }
    std::string message;
    if (!CreateProject(path, &message)) {
        ShowMessage(message);
        return false;
    }
    if (!OpenProject(AbsolutePath(path))) return false;
    RunWizard(QString());
    return true;
}

void CMainFrame::OnFileOpen() {
    if (doc_->grabbing()) return;
    const QString path = QFileDialog::getOpenFileName(this, "Open", QString(), kProjectFilter);
    if (!path.isEmpty()) OpenProject(path.toStdString());
}

bool CMainFrame::OpenProject(const std::string& path) {
    if (doc_->grabbing()) return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool opened = doc_->OpenProject(AbsolutePath(path));
    QApplication::restoreOverrideCursor();
    return opened;
}

void CMainFrame::GrabAll(bool refresh) {
    doc_->GrabAll(refresh);
    UpdateCommands();
}

void CMainFrame::GrabOne(int32_t id, bool refresh) {
    doc_->GrabOne(id, refresh);
    UpdateCommands();
}

void CMainFrame::Stop() {
    doc_->Stop();
    UpdateCommands();
}

void CMainFrame::RunWizard(const QString& initial_url) {
    if (!doc_->project_open() || doc_->grabbing()) return;
    const WizardResult result = RunUrlWizard(this, doc_.get(), initial_url);
    if (result.added && result.grab_now) GrabOne(result.url_id, false);
}

void CMainFrame::ShowStartupDialog() {
    CStartupDialog dialog(doc_->settings().RecentFiles(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    switch (dialog.choice()) {
        case CStartupDialog::Choice::kNew:
            OnFileNew();
            return;
        case CStartupDialog::Choice::kOpenOther:
            OnFileOpen();
            return;
        case CStartupDialog::Choice::kOpenRecent:
            OpenProject(dialog.chosen_file());
            return;
    }
}

// --- DocumentHost ----------------------------------------------------------------------------

void CMainFrame::Post(std::function<void()> task) {
    // Safe from any thread; the task runs on this window's (the UI) thread.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void CMainFrame::ShowMessage(const std::string& text) {
    QMessageBox::information(this, kProgramName, QString::fromStdString(text));
}

bool CMainFrame::AskYesNo(const std::string& text) {
    return QMessageBox::question(this, kProgramName, QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CMainFrame::DocumentChanged() {
    const std::string path = doc_->path();
    setWindowTitle(QString("%1 - %2").arg(path.empty() ? "Untitled" : QString::fromStdString(path),
                                          kProgramName));
    left_view_->OnInitialUpdate();
    right_view_->OnInitialUpdate();
    UpdateRecentFiles();
    UpdateCommands();
}

void CMainFrame::UpdateAllViews(int hint) {
    left_view_->OnUpdate(hint);
    right_view_->OnUpdate(hint);
}

void CMainFrame::RebuildTree() {
    left_view_->Refresh();
}

void CMainFrame::AskFirstUrl() {
    Post([this] { RunWizard(QString()); });
}

void CMainFrame::ShowGrabWindow(bool show) {
    grab_window_->setVisible(show);
    UpdateCommands();
}

void CMainFrame::ResetGrabWindow() {
    grab_window_->Reset();
    UpdateCommands();
}

void CMainFrame::GrabWindowEvent(int32_t event_id, int32_t url_id) {
    grab_window_->OnEngineEvent(event_id, url_id);
}

void CMainFrame::ShowStoppingNotice() {
    if (notice_) return;
    auto* notice = new QDialog(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    notice->setObjectName("StoppingNotice");
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setWindowTitle(kProgramName);
    auto* layout = new QVBoxLayout(notice);
    layout->setContentsMargins(32, 20, 32, 20);
    layout->addWidget(new QLabel(kStoppingText, notice));
    notice_ = notice;
    notice->show();
    UpdateCommands();
}

void CMainFrame::CloseStoppingNotice() {
    if (notice_) notice_->close();
    UpdateCommands();
}

void CMainFrame::ShowDoneBox(std::function<void()> closed) {
    auto* box =
        new QMessageBox(QMessageBox::Information, kProgramName, kDoneText, QMessageBox::Ok, this);
    box->setObjectName("DoneBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    auto* timer = new QTimer(box);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, box, &QMessageBox::accept);
    connect(box, &QMessageBox::finished, this, [this, closed] { Post(closed); });
    done_box_ = box;
    timer->start(kDoneBoxMs);
    box->open();
}

void CMainFrame::RunProgram(const std::string& command_line) {
    corvalin::RunProgram(this, command_line, std::string(), true);
}

void CMainFrame::CloseMainWindow() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// --- Window events --------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (doc_->grabbing()) {
        // The window goes once the grab has ended and its pages are finished.
        doc_->CloseAfterGrab();
        UpdateCommands();
        event->ignore();
        return;
    }
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (doc_->grabbing() || !event->mimeData()->hasUrls()) return;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile() && IsProjectFile(url.toLocalFile())) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile() && IsProjectFile(url.toLocalFile())) {
            event->acceptProposedAction();
            activateWindow();
            OpenProject(url.toLocalFile().toStdString());
            return;
        }
    }
}

}  // namespace corvalin
