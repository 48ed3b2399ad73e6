#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/browser/launch_ui.h"
#include "app/core/help_page.h"
#include "app/core/launch.h"
#include "app/core/project_layout.h"
#include "app/dialogs/dialogs.h"
#include "app/export/export_dialog.h"
#include "app/icons.h"
#include "app/startup_dialog.h"
#include "app/views/grab_window.h"
#include "app/views/left_view.h"
#include "app/views/pagewell_view.h"
#include "engine/version.h"

namespace corvalin {
namespace {

constexpr char kProgramName[] = "Corvalin";
constexpr char kProjectFilter[] = "Corvalin Files (*.cvn);;All Files (*)";

bool IsProjectFile(const QUrl& url) {
    return url.isLocalFile() && url.toLocalFile().endsWith(".cvn", Qt::CaseInsensitive);
}

// The first project file a drag carries; empty when none.
QString ProjectFileIn(const QMimeData* data) {
    if (!data || !data->hasUrls()) return QString();
    for (const QUrl& url : data->urls()) {
        if (IsProjectFile(url)) return url.toLocalFile();
    }
    return QString();
}

// The keys of each command beyond the menus' own.
QList<QKeySequence> KeysOf(CommandId id) {
    switch (id) {
        case CommandId::kNewProject:
            return {QKeySequence(Qt::CTRL | Qt::Key_N)};
        case CommandId::kOpenProject:
            return {QKeySequence(Qt::CTRL | Qt::Key_O)};
        case CommandId::kUrlPropertiesKey:
            return {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)};
        case CommandId::kInsert:
            return {QKeySequence(Qt::Key_Insert)};
        case CommandId::kDelete:
            return {QKeySequence(Qt::Key_Delete)};
        case CommandId::kCut:
            return {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)};
        case CommandId::kCopy:
            return {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)};
        case CommandId::kPaste:
            return {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
        case CommandId::kHelpTopics:
            return {QKeySequence(Qt::Key_F1)};
        case CommandId::kRefreshTree:
            return {QKeySequence(Qt::Key_F5)};
        case CommandId::kNextPane:
            return {QKeySequence(Qt::Key_F6)};
        case CommandId::kPreviousPane:
            return {QKeySequence(Qt::SHIFT | Qt::Key_F6)};
        default:
            return {};
    }
}

bool Checkable(CommandId id) {
    switch (id) {
        case CommandId::kToolbar:
        case CommandId::kStatusBar:
        case CommandId::kGrabWindow:
        case CommandId::kSmallIcons:
        case CommandId::kLargeIcons:
        case CommandId::kList:
        case CommandId::kDetails:
            return true;
        default:
            return false;
    }
}

}  // namespace

CMainFrame::CMainFrame(AppSettings settings, ErrorLog log)
    : doc_(std::make_unique<CPagewellDoc>(this, std::move(settings), std::move(log))) {
    setObjectName("MainFrame");
    setWindowIcon(ThemedIcon("corvalin"));
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName("Panes");
    left_view_ = new CLeftView(doc_.get(), this, splitter_);
    right_view_ = new CPagewellView(doc_.get(), this, splitter_);
    splitter_->addWidget(left_view_);
    splitter_->addWidget(right_view_);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);
    grab_window_ = new GrabWindow(doc_.get(), this);
    addDockWidget(Qt::BottomDockWidgetArea, grab_window_);
    grab_window_->hide();
    connect(grab_window_, &GrabWindow::ticked, this, &CMainFrame::UpdateProgress);
    connect(grab_window_, &QDockWidget::visibilityChanged, this, &CMainFrame::UpdateCommands);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    setAcceptDrops(true);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
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

QAction* CMainFrame::action(CommandId id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

// --- Menus, tool bar, status bar --------------------------------------------------------

void CMainFrame::CreateActions() {
    auto* modes = new QActionGroup(this);
    for (const CommandInfo& info : Commands()) {
        auto* action = new QAction(ThemedIcon(info.icon), info.text, this);
        action->setStatusTip(info.prompt);
        action->setShortcuts(KeysOf(info.id));
        action->setCheckable(Checkable(info.id));
        const CommandId id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        switch (id) {
            case CommandId::kSmallIcons:
            case CommandId::kLargeIcons:
            case CommandId::kList:
            case CommandId::kDetails:
                modes->addAction(action);
                break;
            default:
                break;
        }
        // Keys of commands that are in no menu work all the same.
        addAction(action);
        actions_[id] = action;
    }
}

void CMainFrame::CreateMenus() {
    const auto add = [this](QMenu* menu, std::initializer_list<CommandId> ids) {
        for (CommandId id : ids) menu->addAction(action(id));
    };
    file_menu_ = menuBar()->addMenu("&File");
    add(file_menu_, {CommandId::kNewProject, CommandId::kOpenProject});
    file_menu_->addSeparator();
    add(file_menu_, {CommandId::kProjectProperties, CommandId::kViewContents});
    file_menu_->addSeparator();
    add(file_menu_, {CommandId::kImport, CommandId::kExportContent});
    recent_separator_ = file_menu_->addSeparator();
    for (int i = 0; i < AppSettings::kRecentFiles; ++i) {
        auto* recent = new QAction(this);
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this,
                [this, recent] { OpenProject(recent->data().toString().toStdString()); });
        recent_actions_.append(recent);
        file_menu_->addAction(recent);
    }
    file_menu_->addSeparator();
    add(file_menu_, {CommandId::kExit});
    connect(file_menu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateRecentFiles);

    QMenu* edit = menuBar()->addMenu("&Edit");
    add(edit, {CommandId::kUrlProperties});
    edit->addSeparator();
    add(edit, {CommandId::kInsert, CommandId::kDelete});
    edit->addSeparator();
    add(edit, {CommandId::kCut, CommandId::kCopy, CommandId::kPaste});

    QMenu* view = menuBar()->addMenu("&View");
    add(view, {CommandId::kToolbar, CommandId::kStatusBar, CommandId::kGrabWindow});
    view->addSeparator();
    add(view,
        {CommandId::kLargeIcons, CommandId::kSmallIcons, CommandId::kList, CommandId::kDetails});
    view->addSeparator();
    add(view, {CommandId::kArrangeIcons, CommandId::kRefreshTree});

    QMenu* tools = menuBar()->addMenu("&Tools");
    add(tools, {CommandId::kGrabSites, CommandId::kRefreshSites, CommandId::kStopGrabbing});
    tools->addSeparator();
    add(tools, {CommandId::kOptions});

    QMenu* help = menuBar()->addMenu("&Help");
    add(help, {CommandId::kHelpTopics, CommandId::kVisitWebSite});
    help->addSeparator();
    add(help, {CommandId::kAbout});
    for (QMenu* menu : {file_menu_, edit, view, tools, help}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
    }
}

void CMainFrame::CreateToolBar() {
    tool_bar_ = addToolBar("Standard");
    tool_bar_->setObjectName("Standard");
    const std::initializer_list<std::initializer_list<CommandId>> groups = {
        {CommandId::kNewProject, CommandId::kOpenProject},
        {CommandId::kGrabSites, CommandId::kRefreshSites, CommandId::kStopGrabbing},
        {CommandId::kUrlProperties, CommandId::kInsert, CommandId::kDelete},
        {CommandId::kCut, CommandId::kCopy, CommandId::kPaste},
        {CommandId::kLargeIcons, CommandId::kList, CommandId::kDetails},
        {CommandId::kViewContents, CommandId::kVisitWebSite},
    };
    bool first = true;
    for (const auto& group : groups) {
        if (!first) tool_bar_->addSeparator();
        first = false;
        for (CommandId id : group) tool_bar_->addAction(action(id));
    }
    tool_bar_->addSeparator();
    search_field_ = new QLineEdit(tool_bar_);
    search_field_->setObjectName("FindInCopy");
    search_field_->setPlaceholderText("Find in the copy");
    search_field_->setToolTip(
        "Search the grabbed pages: words (all of them), \"a phrase\", OR, ( ),\n"
        "[words near each other], wild* cards; re: followed by a pattern\n"
        "searches every page for it");
    search_field_->setStatusTip("Search the grabbed pages of the project");
    search_field_->setClearButtonEnabled(true);
    search_field_->addAction(ThemedIcon("edit-find"), QLineEdit::LeadingPosition);
    search_field_->setMinimumWidth(180);
    search_field_->setMaximumWidth(260);
    connect(search_field_, &QLineEdit::returnPressed, this,
            [this] { SearchCopy(search_field_->text()); });
    tool_bar_->addWidget(search_field_);
    search_message_ = new QLabel(tool_bar_);
    search_message_->setObjectName("FindMessage");
    search_message_->setContentsMargins(6, 0, 6, 0);
    tool_bar_->addWidget(search_message_);
}

void CMainFrame::CreateStatusBar() {
    statusBar()->showMessage("Ready");
    progress_label_ = new QLabel(statusBar());
    progress_label_->setObjectName("GrabProgressText");
    progress_bar_ = new QProgressBar(statusBar());
    progress_bar_->setObjectName("GrabProgress");
    progress_bar_->setMaximumWidth(160);
    progress_bar_->setTextVisible(true);
    statusBar()->addPermanentWidget(progress_label_);
    statusBar()->addPermanentWidget(progress_bar_);
    progress_label_->hide();
    progress_bar_->hide();
}

CommandContext CMainFrame::Context() const {
    CommandContext c;
    c.open = doc_->project_open();
    c.grabbing = doc_->grabbing();
    c.contents_present = doc_->contents_page_present();
    c.active = active_view_;
    if (active_view_ == ActiveView::kTree) {
        c.has_selection = left_view_->selected_id() >= 0;
        c.start_url_selected = left_view_->selection_is_start_url();
    } else if (active_view_ == ActiveView::kList) {
        c.has_selection = right_view_->has_selection();
    }
    c.selected_id = selected_url();
    c.tree_has_items = left_view_->has_items();
    c.list_mode = right_view_->mode();
    c.grab_window_shown = grab_window_->isVisible();
    return c;
}

int32_t CMainFrame::selected_url() const {
    return SelectedUrl(active_view_, left_view_->selected_id(), right_view_->selected_id());
}

void CMainFrame::UpdateCommands() {
    if (actions_.empty()) return;
    const CommandContext context = Context();
    for (const auto& [id, action] : actions_) {
        bool enabled = CommandEnabled(id, context);
        // A grab waits for a search of the copy under way.
        if ((id == CommandId::kGrabSites || id == CommandId::kRefreshSites ||
             id == CommandId::kGrabUrl || id == CommandId::kRefreshUrl) &&
            doc_->searching()) {
            enabled = false;
        }
        action->setEnabled(enabled);
        if (id == CommandId::kToolbar) {
            action->setChecked(tool_bar_ && tool_bar_->isVisible());
        } else if (id == CommandId::kStatusBar) {
            action->setChecked(statusBar()->isVisible());
        } else if (action->isCheckable()) {
            action->setChecked(CommandChecked(id, context));
        }
    }
    if (action(CommandId::kStopGrabbing)) {
        action(CommandId::kStopGrabbing)->setEnabled(context.grabbing && !doc_->stopping());
    }
    for (QAction* recent : recent_actions_) recent->setEnabled(!context.grabbing);
    if (search_field_) search_field_->setEnabled(context.open && !context.grabbing);
}

void CMainFrame::UpdateRecentFiles() {
    const std::vector<std::string> files = doc_->settings().RecentFiles();
    for (int i = 0; i < recent_actions_.size(); ++i) {
        QAction* recent = recent_actions_[i];
        const bool used = static_cast<size_t>(i) < files.size();
        recent->setVisible(used);
        if (!used) continue;
        const QString path = QString::fromStdString(files[static_cast<size_t>(i)]);
        recent->setText(QString("&%1 %2").arg(i + 1).arg(path));
        recent->setData(path);
    }
    recent_separator_->setVisible(!files.empty());
}

void CMainFrame::OnFocusChanged(QWidget* now) {
    if (!now) return;
    if (now == left_view_ || left_view_->isAncestorOf(now)) {
        active_view_ = ActiveView::kTree;
    } else if (now == right_view_ || right_view_->isAncestorOf(now)) {
        active_view_ = ActiveView::kList;
    } else {
        return;  // the search field, the grab window: the active view stays
    }
    UpdateCommands();
}

void CMainFrame::FocusViews() {
    right_view_->current_view()->setFocus();
    left_view_->setFocus();
}

// --- Commands ------------------------------------------------------------------------------

void CMainFrame::RunCommand(CommandId id) {
    UpdateCommands();
    QAction* command = action(id);
    if (!command || !command->isEnabled()) return;
    switch (id) {
        case CommandId::kNewProject:
            OnFileNew();
            break;
        case CommandId::kOpenProject:
            OnFileOpen();
            break;
        case CommandId::kProjectProperties:
            RunProjectSheet(this, doc_.get());
            break;
        case CommandId::kViewContents:
            OpenInBrowser(doc_->settings(), doc_->ContentsPagePath());
            break;
        case CommandId::kImport:
            OnImport();
            break;
        case CommandId::kExportContent:
            RunExportDialog(this, doc_.get(), 0, false);
            break;
        case CommandId::kExit:
            close();
            break;
        case CommandId::kUrlProperties:
        case CommandId::kUrlPropertiesKey:
            ShowUrlProperties();
            break;
        case CommandId::kInsert:
            RunWizard(QString());
            break;
        case CommandId::kDelete:
            DeleteSelected();
            break;
        case CommandId::kCut:
            Cut();
            break;
        case CommandId::kCopy:
            Copy();
            break;
        case CommandId::kPaste:
            Paste();
            break;
        case CommandId::kToolbar:
            tool_bar_->setVisible(!tool_bar_->isVisible());
            break;
        case CommandId::kStatusBar:
            statusBar()->setVisible(!statusBar()->isVisible());
            break;
        case CommandId::kGrabWindow:
            grab_window_->setVisible(!grab_window_->isVisible());
            break;
        case CommandId::kSmallIcons:
            right_view_->SetMode(ListMode::kSmallIcons);
            break;
        case CommandId::kLargeIcons:
            right_view_->SetMode(ListMode::kLargeIcons);
            break;
        case CommandId::kList:
            right_view_->SetMode(ListMode::kList);
            break;
        case CommandId::kDetails:
            right_view_->SetMode(ListMode::kDetails);
            break;
        case CommandId::kArrangeIcons:
            right_view_->ArrangeIcons();
            break;
        case CommandId::kRefreshTree:
            left_view_->Refresh();
            break;
        case CommandId::kGrabSites:
        case CommandId::kRefreshSites:
            GrabAll(id == CommandId::kRefreshSites);
            break;
        case CommandId::kStopGrabbing:
            Stop();
            break;
        case CommandId::kOptions:
            RunOptionsSheet(this, doc_.get());
            break;
        case CommandId::kGrabUrl:
        case CommandId::kRefreshUrl:
            GrabOne(selected_url(), id == CommandId::kRefreshUrl);
            break;
        case CommandId::kHelpTopics:
            OpenInBrowser(doc_->settings(), HelpPagePath());
            break;
        case CommandId::kAbout:
            QMessageBox::about(
                this, "About Corvalin",
                QStringLiteral("<b>Corvalin</b> %1<br>Copies whole web sites to disk "
                               "for browsing offline, refresh and search.<br>Engine "
                               "%2")
                    .arg(FW_VERSION_STRING, QString::fromStdString(doc_->loader().Version())));
            break;
        case CommandId::kVisitWebSite:
            OpenInBrowser(doc_->settings(), kWebSiteAddress);
            break;
        case CommandId::kNextPane:
        case CommandId::kPreviousPane:
            // Two panes: the next and the previous one are the other one.
            if (active_view_ == ActiveView::kTree) {
                right_view_->current_view()->setFocus();
            } else {
                left_view_->setFocus();
            }
            break;
    }
    UpdateCommands();
}

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

void CMainFrame::OnImport() {
    const QString path = QFileDialog::getOpenFileName(
        this, "Import", QString(), "Text Files (*.txt);;HTML Files (*.htm *.html);;All Files (*)");
    if (!path.isEmpty()) ImportFile(path.toStdString());
}

void CMainFrame::ImportFile(const std::string& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    doc_->Import(path);
    QApplication::restoreOverrideCursor();
    RebuildTree();
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

void CMainFrame::ShowUrlProperties() {
    const int32_t id = selected_url();
    if (id < 0) return;
    const bool start_url =
        active_view_ == ActiveView::kTree && left_view_->selection_is_start_url();
    if (RunUrlSheet(this, doc_.get(), id, start_url) && start_url) {
        left_view_->ReloadSelectedLabel();
        doc_->RebuildContentsPage();
    }
}

void CMainFrame::DeleteSelected() {
    const int32_t id = selected_url();
    if (id >= 1 && doc_->DeleteUrlWithConfirmation(id)) RebuildTree();
}

void CMainFrame::Copy() {
    fw::ComPtr<fw::IDizozizUrl> url = doc_->Url(selected_url());
    std::string text;
    if (!url) return;
    if (const fw::HRESULT hr = url->get_url(&text); fw::Failed(hr)) {
        doc_->LogEngineError(hr);
        return;
    }
    if (!text.empty()) QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void CMainFrame::Cut() {
    const int32_t id = selected_url();
    if (id < 1) return;
    Copy();
    if (doc_->DeleteUrlWithConfirmation(id)) RebuildTree();
}

void CMainFrame::Paste() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText() || data->text().isEmpty()) return;
    RunWizard(data->text());
}

void CMainFrame::SearchCopy(const QString& text) {
    if (text.trimmed().isEmpty()) {
        search_message_->clear();
        if (right_view_->showing_search_results()) right_view_->OnUpdate(kHintSelectionChanged);
        return;
    }
    const bool started = doc_->SearchCopy(text.toStdString(), [this](CopySearchResult result) {
        UpdateCommands();
        if (!result.error.empty()) {
            search_message_->setStyleSheet("color: #b3261e");
            search_message_->setText(QString::fromStdString(result.error));
            return;
        }
        search_message_->setStyleSheet(QString());
        const size_t found = result.hits.size();
        search_message_->setText(found == 1 ? QStringLiteral("1 page")
                                            : QStringLiteral("%1 pages").arg(found));
        right_view_->ShowSearchResults(std::move(result.hits));
    });
    if (!started) return;
    search_message_->setStyleSheet(QString());
    search_message_->setText("Searching...");
    UpdateCommands();
}

// --- The URL menu -----------------------------------------------------------------------------

std::unique_ptr<QMenu> CMainFrame::BuildUrlMenu(int32_t id, bool start_url, bool in_list) {
    fw::ComPtr<fw::IDizozizUrl> url = doc_->Url(id);
    if (!url) return nullptr;
    UrlMenuFacts facts;
    facts.start_url = start_url;
    facts.in_list = in_list;
    facts.grabbing = doc_->grabbing();
    fw::HRESULT hr = url->get_GrabLevels(&facts.grab_levels);
    if (fw::Succeeded(hr)) hr = url->get_Status(&facts.status);
    if (fw::Succeeded(hr)) hr = url->get_Error(&facts.error);
    if (fw::Succeeded(hr)) hr = url->get_Html(&facts.html);
    if (fw::Failed(hr)) {
        doc_->LogEngineError(hr);
        return nullptr;
    }
    const UrlMenuState state = UrlMenuStateOf(facts);
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName("UrlMenu");
    for (const UrlMenuEntry& entry : UrlMenuEntries()) {
        if (entry.separator_before) menu->addSeparator();
        QAction* item = menu->addAction(entry.text);
        item->setObjectName(QString::number(entry.command));
        item->setData(static_cast<int>(entry.item));
        item->setStatusTip(entry.prompt);
        item->setEnabled(state.Enabled(entry.item));
        if (entry.item == UrlMenuItem::kSkip) {
            item->setCheckable(true);
            item->setChecked(state.skip_checked);
        }
        if (state.default_item == entry.item) menu->setDefaultAction(item);
    }
    return menu;
}

UrlMenuOutcome CMainFrame::ShowUrlMenu(const QPoint& global, int32_t id, bool start_url,
                                       bool in_list) {
    std::unique_ptr<QMenu> menu = BuildUrlMenu(id, start_url, in_list);
    if (!menu) return {};
    QAction* chosen = menu->exec(global);
    if (!chosen) return {};
    return RunUrlCommand(static_cast<UrlMenuItem>(chosen->data().toInt()), id, start_url);
}

UrlMenuOutcome CMainFrame::RunUrlCommand(UrlMenuItem item, int32_t id, bool start_url) {
    UrlMenuOutcome outcome;
    switch (item) {
        case UrlMenuItem::kProperties:
            outcome.title_changed = RunUrlSheet(this, doc_.get(), id, start_url) && start_url;
            if (outcome.title_changed) doc_->RebuildContentsPage();
            break;
        case UrlMenuItem::kGrab:
        case UrlMenuItem::kRefresh:
            GrabOne(id, item == UrlMenuItem::kRefresh);
            break;
        case UrlMenuItem::kBrowseLocal:
            OpenInBrowser(doc_->settings(), doc_->PathOfUrl(id, UrlPathKind::kLocalFile));
            break;
        case UrlMenuItem::kBrowseRemote:
            OpenInBrowser(doc_->settings(), doc_->PathOfUrl(id, UrlPathKind::kRemote));
            break;
        case UrlMenuItem::kSkip:
            outcome.skip = doc_->ToggleSkip(id);
            break;
        case UrlMenuItem::kDelete:
            outcome.deleted = doc_->DeleteUrlWithConfirmation(id);
            break;
        case UrlMenuItem::kEditHtml:
            if (std::string file = doc_->PathOfUrl(id, UrlPathKind::kLocalFile); !file.empty()) {
                OpenInEditor(doc_->settings(), file);
            }
            break;
        case UrlMenuItem::kExportTree:
        case UrlMenuItem::kExportPage:
            RunExportDialog(this, doc_.get(), id, item == UrlMenuItem::kExportPage);
            break;
    }
    UpdateCommands();
    return outcome;
}

// --- Drag and drop --------------------------------------------------------------------------

bool CMainFrame::CanTakeDrop(const QMimeData* data) const {
    if (!data || doc_->grabbing()) return false;
    if (!ProjectFileIn(data).isEmpty()) return true;
    return doc_->project_open() && data->hasText() && !data->text().trimmed().isEmpty();
}

void CMainFrame::TakeDrop(const QMimeData* data) {
    if (!CanTakeDrop(data)) return;
    activateWindow();
    raise();
    // The drop ends before a dialog opens.
    if (const QString project = ProjectFileIn(data); !project.isEmpty()) {
        QTimer::singleShot(0, this, [this, project] { OpenProject(project.toStdString()); });
        return;
    }
    const QString text = data->text().trimmed();
    QTimer::singleShot(0, this, [this, text] { RunWizard(text); });
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!doc_->grabbing() && !ProjectFileIn(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    if (doc_->grabbing() || ProjectFileIn(event->mimeData()).isEmpty()) return;
    event->acceptProposedAction();
    TakeDrop(event->mimeData());
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
    search_message_->clear();
    right_view_->OnInitialUpdate();
    left_view_->OnInitialUpdate();
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
    progress_label_->hide();
    progress_bar_->hide();
    UpdateCommands();
}

void CMainFrame::GrabWindowEvents(const std::vector<std::pair<int32_t, int32_t>>& events) {
    grab_window_->OnEngineEvents(events);
    for (const auto& [event_id, url_id] : events) {
        if (event_id == fw::kOnGrabBegin) {
            progress_.Start(GrabProgress::Clock::now());
            progress_bar_->setRange(0, 100);
            progress_bar_->setValue(0);
            progress_label_->clear();
            progress_label_->show();
            progress_bar_->show();
            UpdateCommands();
        } else if (event_id == fw::kOnGrabUrlDone) {
            progress_.UrlDone(url_id);
        }
    }
}

void CMainFrame::UpdateProgress() {
    int32_t waiting = 0, received = 0;
    doc_->engine()->WaitingUrls(&waiting);
    doc_->engine()->BytesReceived(&received);
    const GrabProgressView view =
        progress_.Tick(GrabProgress::Clock::now(), waiting, static_cast<uint32_t>(received));
    progress_bar_->setValue(view.percent);
    progress_label_->setText(QString::fromStdString(view.text));
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

}  // namespace corvalin
