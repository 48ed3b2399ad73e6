#include "app/core/pagewell_doc.h"

#include <cstdio>

#include "app/core/after_grab.h"
#include "app/core/browser_proxy.h"
#include "app/core/display_title.h"
#include "app/core/launch.h"
#include "app/core/program_files.h"
#include "app/core/project_open.h"
#include "app/core/start_url.h"
#include "app/core/url_import.h"
#include "app/core/url_labels.h"
#include "app/core/url_menu.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace corvalin {
namespace {

std::string Hex(fw::HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(hr));
    return text;
}

}  // namespace

void GrabEventSink::Invoke(int32_t event_id, int32_t url_id) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (target_) target_(event_id, url_id);
}

void GrabEventSink::Detach() {
    std::lock_guard<std::mutex> guard(mutex_);
    target_ = nullptr;
}

CPagewellDoc::CPagewellDoc(DocumentHost* host, AppSettings settings, ErrorLog log)
    : host_(host), settings_(std::move(settings)), log_(std::move(log)) {}

CPagewellDoc::~CPagewellDoc() {
    JoinStopper();
    JoinSearcher();
    CloseProject();
    engine_.Reset();
}

bool CPagewellDoc::CreateEngine(std::string* message) {
    constexpr char kFailed[] = "pDizoziz.CreateInstance FAILED";
    if (!loader_.Load()) {
        *message = std::string(kFailed) + "\n\n" + loader_.error();
        return false;
    }
    const fw::HRESULT hr = loader_.CreateInstance(engine_.Receive());
    if (fw::Failed(hr) || !engine_) {
        std::string why;
        loader_.TakeError(&why);
        *message = std::string(kFailed) + "\n\n" + loader_.path() + ": " + EngineErrorText(hr, why);
        return false;
    }
    Check(engine_->ExclusiveMode(1));
    Check(engine_->PageOrder(1));
    return true;
}

// --- Projects -------------------------------------------------------------------

std::string CPagewellDoc::path() const {
    return project_ ? project_->path() : std::string();
}

bool CPagewellDoc::OpenProject(const std::string& path) {
    if (!engine_ || grabbing()) return false;
    const std::string previous = this->path();
    CloseProject();
    std::string failure;
    if (OpenInEngine(path, &failure)) {
        settings_.AddRecentFile(this->path());
        host_->DocumentChanged();
        return true;
    }
    host_->ShowMessage(failure);
    // The window keeps the project it had.
    std::string ignored;
    if (!previous.empty()) OpenInEngine(previous, &ignored);
    host_->DocumentChanged();
    return false;
}

bool CPagewellDoc::OpenInEngine(const std::string& path, std::string* failure_text) {
    OpenedProject opened;
    OpenFailure failure;
    if (!corvalin::OpenProject(loader_, engine_.get(), path, &opened, &failure)) {
        *failure_text = failure.message;
        std::string entry = failure.message;
        if (!failure.detail.empty()) entry += " (" + failure.detail + ")";
        log_.Log(entry);
        return false;
    }
    project_.emplace(opened.project_path);
    data_dir_ = opened.data_dir;
    content_dir_ = opened.content_dir;
    phase_ = GrabPhase::kIdle;
    selected_url_ = -1;
    contents_page_present_ = platform::FileExists(ContentsPagePath());
    main_sink_ = fw::MakeObject<GrabEventSink>(
        [this](int32_t event_id, int32_t url_id) { QueueEvent(false, event_id, url_id); });
    if (const fw::HRESULT hr = engine_->Advise(main_sink_.get(), &main_cookie_); fw::Failed(hr)) {
        main_sink_.Reset();
        host_->ShowMessage("Advise failed: " + Hex(hr));
    }
    return true;
}

void CPagewellDoc::CloseProject() {
    if (!project_) return;
    JoinStopper();
    JoinSearcher();  // a search reads the project until it ends
    for (auto* sink : {&window_sink_, &main_sink_}) {
        if (!*sink) continue;
        (*sink)->Detach();
        const uint32_t cookie = sink == &main_sink_ ? main_cookie_ : window_cookie_;
        if (fw::Failed(engine_->Unadvise(cookie)) && sink == &main_sink_) {
            host_->ShowMessage("Unadvise failed");
        }
        sink->Reset();
    }
    Check(engine_->Close());  // a grab still running ends here
    {
        // Events of the closed project are not delivered.
        std::lock_guard<std::mutex> guard(events_mutex_);
        events_.clear();
    }
    project_.reset();
    ++project_generation_;
    data_dir_.clear();
    content_dir_.clear();
    contents_page_present_ = false;
    phase_ = GrabPhase::kIdle;
    stopping_ = false;
    selected_url_ = -1;
}

// --- Engine operations ------------------------------------------------------------

bool CPagewellDoc::Check(fw::HRESULT hr, std::source_location where) const {
    if (fw::Succeeded(hr)) return true;
    LogEngineError(hr, where);
    return false;
}

void CPagewellDoc::LogEngineError(fw::HRESULT hr, std::source_location where) const {
    std::string description;
    loader_.TakeError(&description);
    log_.LogEngineError(hr, description, where.file_name(), static_cast<int>(where.line()));
}

fw::ComPtr<fw::IDizozizUrl> CPagewellDoc::Url(int32_t id) {
    fw::ComPtr<fw::IDizozizUrl> url;
    if (!project_open() || !Check(engine_->EditUrl(id, url.Receive()))) url.Reset();
    return url;
}

fw::ComPtr<fw::IDizozizUrl> CPagewellDoc::NewUrl() {
    fw::ComPtr<fw::IDizozizUrl> url;
    if (!project_open() || !Check(engine_->NewUrl(url.Receive()))) url.Reset();
    return url;
}

fw::ComPtr<fw::IDizozizPrefs> CPagewellDoc::Preferences() {
    fw::ComPtr<fw::IDizozizPrefs> prefs;
    if (!engine_ || !Check(engine_->Preferences(prefs.Receive()))) prefs.Reset();
    return prefs;
}

bool CPagewellDoc::HasChildren(int32_t id) {
    int32_t has = 0;
    return project_open() && Check(engine_->HasChildren(id, &has)) && has != 0;
}

fw::ComPtr<fw::IDizozizEnumUrl> CPagewellDoc::Children(int32_t parent_id) {
    fw::ComPtr<fw::IDizozizEnumUrl> children;
    if (!project_open() || !Check(engine_->NewEnumChildren(parent_id, 1, children.Receive()))) {
        children.Reset();
    }
    return children;
}

std::vector<int32_t> CPagewellDoc::StartUrlIds() {
    std::vector<int32_t> ids;
    fw::ComPtr<fw::IDizozizEnumUrl> roots = Children(0);
    int32_t count = 0;
    if (!roots || !Check(roots->get_Count(&count))) return ids;
    for (int32_t i = 1; i <= count; ++i) {
        fw::ComPtr<fw::IDizozizUrl> url;
        int32_t id = 0;
        // A URL deleted meanwhile is left out.
        if (fw::Succeeded(roots->get_Item(i, url.Receive())) && fw::Succeeded(url->get_id(&id))) {
            ids.push_back(id);
        }
    }
    return ids;
}

bool CPagewellDoc::DeleteUrlWithConfirmation(int32_t id) {
    fw::ComPtr<fw::IDizozizUrl> url = Url(id);
    std::string title, address;
    if (!url || !Check(url->get_Title(&title)) || !Check(url->get_url(&address))) return false;
    std::string text = kDeleteUrlText;
    if (!title.empty()) text += title + "\n";
    text += address;
    if (!host_->AskYesNo(text)) return false;
    return Check(engine_->DeleteUrl(id));
}

std::string CPagewellDoc::PathOfUrl(int32_t id, UrlPathKind kind) {
    fw::ComPtr<fw::IDizozizUrl> url = Url(id);
    UrlFacts facts;
    if (!url || !Check(ReadUrlFacts(url.get(), &facts))) return std::string();
    return UrlPath(kind, facts, content_dir_);
}

void CPagewellDoc::Import(const std::string& file) {
    if (!project_open() || grabbing()) return;
    if (hooks_.import_urls) {
        hooks_.import_urls(*this, file);
        return;
    }
    fw::HRESULT hr = fw::S_OK;
    switch (ImportUrls(engine_.get(), file, &hr)) {
        case ImportResult::kMissingFile:
            host_->ShowMessage(kImportMissingFile);
            return;
        case ImportResult::kEngineFailed:
            LogEngineError(hr);
            return;
        case ImportResult::kImported:
            return;
    }
}

std::optional<bool> CPagewellDoc::ToggleSkip(int32_t id) {
    fw::ComPtr<fw::IDizozizUrl> url = Url(id);
    int32_t levels = 0;
    if (!url || !Check(url->get_GrabLevels(&levels))) return std::nullopt;
    levels = ToggledSkipLevels(levels);
    if (!Check(url->put_GrabLevels(levels)) || !Check(url->Update())) return std::nullopt;
    if (levels == -2) project_->SetDirtyFlag(true);
    return levels == -2;
}

std::optional<std::string> CPagewellDoc::RenameStartUrl(int32_t id, const std::string& title) {
    constexpr size_t kMaxTitle = 200;
    fw::ComPtr<fw::IDizozizUrl> url = Url(id);
    std::string notes;
    if (!url || !Check(url->get_Notes(&notes))) return std::nullopt;
    const std::string cut(platform::CutUtf8(title, kMaxTitle));
    const SplitNotes split = SplitDisplayTitle(notes);
    if (!Check(url->put_Notes(ComposeNotes(cut, split.free_notes))) || !Check(url->Update())) {
        return std::nullopt;
    }
    // The label as the engine has it now, not as it was typed.
    fw::ComPtr<fw::IDizozizUrl> stored = Url(id);
    std::string title_now, address;
    if (!stored || !Check(stored->get_Notes(&notes)) || !Check(stored->get_Title(&title_now)) ||
        !Check(stored->get_url(&address))) {
        return std::nullopt;
    }
    RebuildContentsPage();
    return StartUrlLabel(notes, title_now, address);
}

void CPagewellDoc::RebuildContentsPage() {
    if (!contents_page_present_ || !hooks_.contents_page) return;
    hooks_.contents_page(*this, [] {});
}

bool CPagewellDoc::SearchCopy(const std::string& text, std::function<void(CopySearchResult)> done) {
    if (!project_open() || grabbing() || searching_) return false;
    JoinSearcher();
    searching_ = true;
    const CopySearchQuery query = ParseCopySearch(text);
    searcher_ = std::thread([this, query, done = std::move(done), engine = engine_,
                             content_dir = content_dir_, generation = project_generation_] {
        CopySearchResult result = RunCopySearch(engine.get(), loader_, query, content_dir);
        host_->Post([this, done, generation, result = std::move(result)]() mutable {
            JoinSearcher();
            // The answer of a project closed meanwhile is dropped.
            if (generation == project_generation_) done(std::move(result));
        });
    });
    return true;
}

void CPagewellDoc::JoinSearcher() {
    if (searcher_.joinable()) searcher_.join();
    searching_ = false;
}

void CPagewellDoc::NoteUrlAdded(int32_t id) {
    last_added_url_ = id;
    host_->UpdateAllViews(kHintUrlAdded);
}

bool CPagewellDoc::AddCommandLineUrl(const CommandLineInfo& info) {
    if (info.add_url.empty() || !project_open()) return false;
    std::string why;
    std::optional<std::string> url = CheckStartUrl(info.add_url, &why);
    if (!url) {
        host_->ShowMessage("The URL " + info.add_url + " cannot be added: " + why + ".");
        return false;
    }
    StartUrlOptions options;  // audio and video excluded
    options.url = *url;
    // Without -L the URL keeps the levels a start URL gets when it is stored
    // without any (one: the page and what it shows).
    options.levels = info.levels != 0 ? info.levels : 1;
    options.stay_on_site = info.stay_on_site;
    int32_t id = 0;
    if (!Check(AddStartUrl(engine_.get(), options, &id))) return false;
    NoteUrlAdded(id);
    return true;
}

// --- Grabs --------------------------------------------------------------------------

bool CPagewellDoc::GrabAll(bool refresh) {
    if (!can_grab()) return false;
    fw::ComPtr<fw::IDizozizEnumUrl> roots = Children(0);
    int32_t count = 0;
    if (!roots || !Check(roots->get_Count(&count))) return false;
    if (count < 1) {
        host_->ShowMessage(kNoStartUrlText);
        host_->AskFirstUrl();
        return false;
    }
    fw::ComPtr<fw::IDizozizUrl> first;
    if (Check(roots->get_Item(1, first.Receive()))) Check(first->get_id(&first_start_url_));
    return StartGrab(0, refresh, true);
}

bool CPagewellDoc::GrabOne(int32_t id, bool refresh) {
    if (!can_grab() || id < 0) return false;
    return StartGrab(id, refresh, false);
}

bool CPagewellDoc::StartGrab(int32_t id, bool refresh, bool all) {
    JoinStopper();
    ApplyBrowserProxyIfWanted();
    text_rules_ = project_->ReadTextRules();
    page_rules_ = project_->ReadPageRules();
    host_->ShowGrabWindow(true);
    window_sink_ = fw::MakeObject<GrabEventSink>([this](int32_t event_id, int32_t url_id) {
        if (event_id == fw::kOnGrabBegin || event_id == fw::kOnGrabUrlNew ||
            event_id == fw::kOnGrabUrlDone) {
            QueueEvent(true, event_id, url_id);
        }
    });
    if (const fw::HRESULT hr = engine_->Advise(window_sink_.get(), &window_cookie_);
        fw::Failed(hr)) {
        window_sink_.Reset();
        host_->ShowMessage("Advise failed(dialog): " + Hex(hr));
    }
    // The edge page belongs to whole-project grabs; one URL's grab leaves
    // the engine's setting as it was.
    if (all) Check(engine_->UseEdgeLink(project_->UseEdgeFile() ? project_->EdgeFile() : ""));
    phase_ = GrabPhase::kStarted;
    stopping_ = false;
    if (!Check(engine_->GrabBegin(id, refresh ? 1 : 0))) {
        phase_ = GrabPhase::kIdle;
        if (window_sink_) {
            window_sink_->Detach();
            engine_->Unadvise(window_cookie_);
            window_sink_.Reset();
        }
        host_->ShowGrabWindow(false);
        host_->ResetGrabWindow();
        return false;
    }
    project_->SetDirtyFlag(false);
    return true;
}

void CPagewellDoc::ApplyBrowserProxyIfWanted() {
    if (!settings_.UseBrowsers()) return;
    BrowserProxy proxy;
    if (DdeStart()) {
        proxy = ReadBrowserProxy(DetectDefaultBrowser());
        DdeEnd();
    }
    Check(ApplyBrowserProxy(engine_.get(), proxy));
}

void CPagewellDoc::QueueEvent(bool for_window, int32_t event_id, int32_t url_id) {
    std::lock_guard<std::mutex> guard(events_mutex_);
    events_.push_back({for_window, event_id, url_id});
    if (delivery_posted_) return;
    delivery_posted_ = true;
    host_->Post([this] { DeliverEvents(); });
}

void CPagewellDoc::DeliverEvents() {
    std::vector<QueuedEvent> batch;
    {
        std::lock_guard<std::mutex> guard(events_mutex_);
        batch.swap(events_);
        delivery_posted_ = false;
    }
    // The grab window takes its events in runs; the document's own come
    // between them in firing order.
    std::vector<std::pair<int32_t, int32_t>> window;
    for (const QueuedEvent& e : batch) {
        if (e.for_window) {
            window.emplace_back(e.event_id, e.url_id);
            continue;
        }
        if (!window.empty()) {
            host_->GrabWindowEvents(window);
            window.clear();
        }
        OnEngineEvent(e.event_id, e.url_id);
    }
    if (!window.empty()) host_->GrabWindowEvents(window);
}

void CPagewellDoc::OnEngineEvent(int32_t event_id, int32_t url_id) {
    switch (event_id) {
        case fw::kOnGrabBegin:
            if (phase_ == GrabPhase::kStarted) phase_ = GrabPhase::kGrabbing;
            return;
        case fw::kOnGrabUrlDone:
            if (hooks_.page_finished && project_open()) hooks_.page_finished(*this, url_id);
            return;
        case fw::kOnGrabComplete:
            if (phase_ != GrabPhase::kStarted && phase_ != GrabPhase::kGrabbing) return;
            phase_ = GrabPhase::kEnding;
            EndOfGrab();
            return;
        default:
            return;
    }
}

void CPagewellDoc::Stop() {
    if (!grabbing() || phase_ == GrabPhase::kEnding || stopping_) return;
    stopping_ = true;
    host_->ShowStoppingNotice();
    JoinStopper();
    // GrabEnd waits until the grab thread has ended; the UI goes on
    // meanwhile and the end arrives as OnGrabComplete.
    stopper_ = std::thread([this, engine = engine_] {
        if (fw::Failed(engine->GrabEnd())) {
            host_->Post([this] { host_->ShowMessage("Error stopping grab"); });
        }
    });
}

void CPagewellDoc::CloseAfterGrab() {
    closing_ = true;
    Stop();
}

void CPagewellDoc::JoinStopper() {
    if (stopper_.joinable()) stopper_.join();
}

void CPagewellDoc::EndOfGrab() {
    // The grab thread fired the completion last; a stop's GrabEnd returns now.
    JoinStopper();
    host_->ShowGrabWindow(false);
    host_->RebuildTree();
    phase_ = GrabPhase::kIdle;
    if (window_sink_) {
        window_sink_->Detach();
        if (fw::Failed(engine_->Unadvise(window_cookie_))) {
            host_->ShowMessage("Unadvise failed(dialog)");
        }
        window_sink_.Reset();
    }
    host_->ResetGrabWindow();

    bool announced = false;
    const auto walked = [this, &announced] {
        if (announced) return;
        announced = true;
        if (stopping_) {
            host_->CloseStoppingNotice();
            stopping_ = false;
        }
        if (!closing_) host_->ShowDoneBox([this] { FinishEndOfGrab(); });
    };
    if (hooks_.contents_page && hooks_.contents_page(*this, walked)) {
        contents_page_present_ = true;
    }
    walked();  // when there is no contents page, or it ended early
    if (hooks_.edge_files) hooks_.edge_files(*this);
    if (closing_) host_->CloseMainWindow();
}

void CPagewellDoc::FinishEndOfGrab() {
    if (project_open() && project_->RunAfter()) {
        const std::string command = AfterGrabCommand();
        if (!command.empty()) host_->RunProgram(command);
    }
    if (exit_after_grab_) host_->CloseMainWindow();
}

std::string CPagewellDoc::AfterGrabCommand() const {
    if (!project_) return std::string();
    RunCommandValues values;
    values.browser = settings_.UseDefaultBrowser() ? std::string() : settings_.Browser();
    values.content_dir = content_dir_;
    values.program_dir = ProgramDirectory();
    values.project_file = project_->path();
    values.shell = project_->Shell();
    return ExpandRunCommand(project_->RunCmd(), values);
}

}  // namespace corvalin
