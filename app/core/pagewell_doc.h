// CPagewellDoc: the desktop program's document, the one owner of the engine
// object. It opens and closes projects in the engine, starts, refreshes and
// stops grabs, receives the engine's events, runs the work that follows a
// finished page and a finished grab, and offers the views and dialogs the
// engine operations they need.
//
// Qt-free: what it needs of the window around it goes through DocumentHost,
// so the whole flow runs in tests without a window. Every member runs on the
// UI thread. The event sinks run on engine threads and only post to the UI
// thread (DocumentHost::Post), in firing order, and never wait for it.
//
// The sinks' events are queued and handed to the UI thread in batches, one
// posted task per batch, in firing order.
//
// A grab goes through these phases:
//   idle -> started (GrabBegin called) -> grabbing (OnGrabBegin arrived)
//        -> ending (OnGrabComplete arrived) -> idle (end-of-grab steps done).
// Commands that change the project or start work are refused unless idle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <source_location>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/core/app_settings.h"
#include "app/core/command_line.h"
#include "app/core/copy_search.h"
#include "app/core/engine_loader.h"
#include "app/core/error_log.h"
#include "app/core/project_file.h"
#include "app/core/url_path.h"
#include "engine/interface/fetchwell.h"
#include "engine/interface/ref_counted.h"

namespace corvalin {

// What the document tells the views.
enum ViewHint : int {
    kHintSelectionChanged = 1,  // the tree's selection changed: the list refills
    kHintUrlAdded = 2,          // a start URL was added: the tree appends it
};

enum class GrabPhase { kIdle, kStarted, kGrabbing, kEnding };

// What the document asks of the program around it. The Qt main window
// implements it; tests use a recording fake.
class DocumentHost {
  public:
    // Runs `task` on the UI thread after what is running now, in posting
    // order. Called from engine threads as well; never waits.
    virtual void Post(std::function<void()> task) = 0;
    // A message box with the program's name as caption, and an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;

    // A project was opened or closed: title, views' initial update.
    virtual void DocumentChanged() = 0;
    // Tells every view (see ViewHint).
    virtual void UpdateAllViews(int hint) = 0;
    // Rebuilds the URL tree from the engine.
    virtual void RebuildTree() = 0;
    // Opens the URL wizard without a URL, after the current command ends
    // (there is no start URL to grab yet).
    virtual void AskFirstUrl() = 0;

    // The grab window: shown before a grab, hidden and reset after it.
    virtual void ShowGrabWindow(bool show) = 0;
    virtual void ResetGrabWindow() = 0;
    // Engine events for the grab window (OnGrabBegin, OnGrabUrlNew,
    // OnGrabUrlDone), delivered on the UI thread in firing order: all that
    // arrived since the last delivery, so a fast grab costs one turn of the
    // event loop per batch rather than per URL.
    virtual void GrabWindowEvents(const std::vector<std::pair<int32_t, int32_t>>& events) = 0;

    // The "Stopping..." notice while a stop is pending.
    virtual void ShowStoppingNotice() = 0;
    virtual void CloseStoppingNotice() = 0;
    // The "Done" box; it closes itself after 20 seconds. `closed` runs on the
    // UI thread once it is gone, never inside this call.
    virtual void ShowDoneBox(std::function<void()> closed) = 0;
    // Runs a command line as the shell opens it, reporting launch errors.
    virtual void RunProgram(const std::string& command_line) = 0;
    // Asks the main window to close (the end of a grab started with -U -E).
    virtual void CloseMainWindow() = 0;

  protected:
    ~DocumentHost() = default;
};

class CPagewellDoc;

// The steps other parts of the program plug into a grab. Each may be left
// empty. They run on the UI thread.
struct DocumentHooks {
    // Page replacements on a finished page, in the order pages finish.
    std::function<void(CPagewellDoc& doc, int32_t url_id)> page_finished;
    // The contents page at the end of a grab. It calls `walked` once it has
    // read what it needs from the engine and before it writes the page
    // (that closes the stop notice and shows "Done"); returns true when the
    // page was written.
    std::function<bool(CPagewellDoc& doc, const std::function<void()>& walked)> contents_page;
    // Edge files copied into the content directory after a grab.
    std::function<void(CPagewellDoc& doc)> edge_files;
    // Imports the URLs of a file (the Import command and -I). Empty: the
    // engine's Import.
    std::function<void(CPagewellDoc& doc, const std::string& path)> import_urls;
};

// An event sink that hands each event to a target until detached. After
// Detach returns the target is never called again, even by an event that
// the engine began to deliver before the sink was unadvised.
class GrabEventSink : public fw::RefCounted<fw::IDizozizEvents> {
  public:
    using Target = std::function<void(int32_t event_id, int32_t url_id)>;
    explicit GrabEventSink(Target target) : target_(std::move(target)) {}

    void Invoke(int32_t event_id, int32_t url_id) override;
    void Detach();

  private:
    std::mutex mutex_;
    Target target_;  // empty once detached
};

class CPagewellDoc {
  public:
    CPagewellDoc(DocumentHost* host, AppSettings settings, ErrorLog log);
    // Ends a running grab, closes the project and releases the engine.
    ~CPagewellDoc();
    CPagewellDoc(const CPagewellDoc&) = delete;
    CPagewellDoc& operator=(const CPagewellDoc&) = delete;

    // Loads the engine library and creates the engine object (exclusive
    // mode, page order). On failure *message says why, naming the library
    // and the loader's error; the program cannot go on.
    bool CreateEngine(std::string* message);

    DocumentHooks& hooks() { return hooks_; }
    const AppSettings& settings() const { return settings_; }
    const ErrorLog& error_log() const { return log_; }
    fw::IDizoziz* engine() const { return engine_.get(); }
    const EngineLoader& loader() const { return loader_; }

    // --- Projects -----------------------------------------------------------
    // Closes the open project, then opens `path`. On failure shows why (a
    // damaged database names the content directory) and opens the previous
    // project again, so the window keeps it; returns false. On success the
    // file leads the recent-file list.
    bool OpenProject(const std::string& path);
    // Unadvises the document's sink and closes the project in the engine.
    void CloseProject();
    bool project_open() const { return project_.has_value(); }
    // The project file (absolute); empty when none is open.
    std::string path() const;
    // REQUIRES: project_open().
    const ProjectFile& project_file() const { return *project_; }
    std::string data_dir() const { return data_dir_; }
    std::string content_dir() const { return content_dir_; }
    std::string ContentsPagePath() const { return content_dir_ + "contents.htm"; }
    bool contents_page_present() const { return contents_page_present_; }

    // --- Engine operations for views and dialogs -------------------------------
    // Each logs a failed engine call and returns null / false / empty.
    fw::ComPtr<fw::IDizozizUrl> Url(int32_t id);
    fw::ComPtr<fw::IDizozizUrl> NewUrl();
    fw::ComPtr<fw::IDizozizPrefs> Preferences();
    bool HasChildren(int32_t id);
    // NewEnumChildren(parent, 1); parent 0 gives the start URLs.
    fw::ComPtr<fw::IDizozizEnumUrl> Children(int32_t parent_id);
    // The ids of the start URLs, in the engine's order.
    std::vector<int32_t> StartUrlIds();
    // Asks (string 1034 with the URL's title and address) and deletes on Yes.
    bool DeleteUrlWithConfirmation(int32_t id);
    // Where to look at a URL (see UrlPathKind).
    std::string PathOfUrl(int32_t id, UrlPathKind kind);
    // Imports the URLs of a file through the import hook (by default the
    // engine's Import; a file that cannot be read says "Unable to open file
    // for Import.").
    void Import(const std::string& file);
    // "Skip URL": GrabLevels goes from -2 to 0 or from anything else to -2;
    // DirtyFlag is written when it became -2. The new skip state, or nullopt
    // when the engine failed.
    std::optional<bool> ToggleSkip(int32_t id);
    // Gives a start URL the display title `title` (cut to 200 characters; an
    // empty one removes it), keeping the free notes of its Notes, then
    // rebuilds the contents page when the project has one. Returns the label
    // the tree shows now, read back from the engine; nullopt on failure.
    std::optional<std::string> RenameStartUrl(int32_t id, const std::string& title);
    // Writes the contents page again (a start URL's title changed) when the
    // project has one.
    void RebuildContentsPage();

    // --- Find in the copy ---------------------------------------------------------
    // Searches the grabbed pages (see copy_search.h) on a helper thread, so
    // the window stays responsive; `done` runs on the UI thread with the
    // result. Refused (false) while a grab runs or a search is under way: a
    // grab's start would wait for the search.
    bool SearchCopy(const std::string& text, std::function<void(CopySearchResult)> done);
    bool searching() const { return searching_; }
    // Remembers a new start URL and tells the views (hint 2).
    void NoteUrlAdded(int32_t id);
    int32_t last_added_url() const { return last_added_url_; }
    int32_t first_start_url() const { return first_start_url_; }
    // The tree's selected URL, read by the list (-1: none).
    int32_t selected_url() const { return selected_url_; }
    void set_selected_url(int32_t id) { selected_url_ = id; }
    // The project's replacement rules as they were when the grab started.
    const std::vector<ReplacementRule>& text_rules() const { return text_rules_; }
    const std::vector<ReplacementRule>& page_rules() const { return page_rules_; }
    // Logs a failed engine call with the engine's message.
    void LogEngineError(fw::HRESULT hr,
                        std::source_location where = std::source_location::current()) const;

    // --- Start-up ---------------------------------------------------------------
    // The URL of -A as a start URL (with -L's levels when not 0, audio and
    // video excluded, -C's stay-on-site filter); tells the views.
    bool AddCommandLineUrl(const CommandLineInfo& info);
    // Remembers -U -E: the main window closes when the refresh has ended.
    void set_exit_after_grab(bool exit) { exit_after_grab_ = exit; }

    // --- Grabs ------------------------------------------------------------------
    GrabPhase phase() const { return phase_; }
    bool grabbing() const { return phase_ != GrabPhase::kIdle; }
    // A grab may start: a project is open, no grab runs and no search.
    bool can_grab() const { return project_open() && !grabbing() && !searching_; }
    bool stopping() const { return stopping_; }
    // Grabs (refresh false) or refreshes every start URL. Without one:
    // string 1030 and the URL wizard; nothing starts.
    bool GrabAll(bool refresh);
    // Grabs or refreshes one URL.
    bool GrabOne(int32_t id, bool refresh);
    // Stops the grab: "Stopping..." until the end arrives. The engine's stop
    // waits for its threads, so it runs off the UI thread.
    void Stop();
    // The window is closing while a grab runs: stop it, and close the window
    // once the grab has ended and its pages are finished (no "Done" box, no
    // after-grab command).
    void CloseAfterGrab();
    // The end of a grab, in order: grab window hidden, tree rebuilt, idle
    // again, contents page (with "Done"), edge files, after-grab command,
    // the -U -E close. Runs when OnGrabComplete arrives.
    void EndOfGrab();
    // The after-grab command with its placeholders filled in.
    std::string AfterGrabCommand() const;

  private:
    bool Check(fw::HRESULT hr, std::source_location where = std::source_location::current()) const;
    bool OpenInEngine(const std::string& path, std::string* failure_text);
    bool StartGrab(int32_t id, bool refresh, bool all);
    void ApplyBrowserProxyIfWanted();
    // Queues an event of a sink (any thread) for DeliverEvents.
    void QueueEvent(bool for_window, int32_t event_id, int32_t url_id);
    // On the UI thread: the events queued so far, in order.
    void DeliverEvents();
    void OnEngineEvent(int32_t event_id, int32_t url_id);
    void FinishEndOfGrab();
    void JoinStopper();
    void JoinSearcher();

    DocumentHost* host_;
    AppSettings settings_;
    ErrorLog log_;
    DocumentHooks hooks_;
    EngineLoader loader_;
    fw::ComPtr<fw::IDizoziz> engine_;

    std::optional<ProjectFile> project_;
    std::string data_dir_;     // ends in "/"
    std::string content_dir_;  // ends in "/"
    bool contents_page_present_ = false;
    fw::ComPtr<GrabEventSink> main_sink_;
    uint32_t main_cookie_ = 0;
    fw::ComPtr<GrabEventSink> window_sink_;  // only while grabbing
    uint32_t window_cookie_ = 0;
    struct QueuedEvent {
        bool for_window;  // the grab window's sink, else the document's
        int32_t event_id;
        int32_t url_id;
    };
    std::mutex events_mutex_;  // guards the two below
    std::vector<QueuedEvent> events_;
    bool delivery_posted_ = false;

    GrabPhase phase_ = GrabPhase::kIdle;
    bool stopping_ = false;
    std::thread stopper_;   // runs GrabEnd
    std::thread searcher_;  // runs a search of the copy
    bool searching_ = false;
    uint64_t project_generation_ = 0;  // counts closed projects
    bool exit_after_grab_ = false;
    bool closing_ = false;  // CloseAfterGrab was called
    int32_t last_added_url_ = 0;
    int32_t first_start_url_ = 0;
    int32_t selected_url_ = -1;
    std::vector<ReplacementRule> text_rules_;
    std::vector<ReplacementRule> page_rules_;
};

// Message texts of the document and the project commands.
inline constexpr char kNoStartUrlText[] =
    "You must first enter the URL of at least one\nweb site that you would like to download.";
inline constexpr char kDeleteUrlText[] = "Are you sure you want to delete this URL?\n\n";
inline constexpr char kFileExistsText[] = "File already exists!";
inline constexpr char kStoppingText[] = "Stopping...";
inline constexpr char kDoneText[] = "Done";

}  // namespace corvalin
