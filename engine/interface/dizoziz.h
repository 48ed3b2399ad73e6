// The engine object: one project's storage, its URL tree, grabs and events.
// Every IDizoziz member is implemented here or delegates to the subsystem that
// owns the work; see fetchwell.h for the calling rules.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <unordered_set>

#include "engine/grab/grab_control.h"
#include "engine/interface/event_source.h"
#include "engine/net/dial_up_state.h"
#include "engine/interface/ref_counted.h"
#include "engine/store/project_store.h"
#include "engine/support/engine_preferences.h"

namespace fw {

class Dizoziz : public RefCounted<IDizoziz>, private GrabHost {
public:
    Dizoziz();
    ~Dizoziz() override;

    // --- IDizoziz: storage and tree -----------------------------------------
    HRESULT Open(const std::string& path) override;
    HRESULT OpenPlus(const std::string& db_dir, const std::string& data_dir) override;
    HRESULT Close() override;
    HRESULT IsOpen(int32_t* open) override;
    HRESULT EditUrl(int32_t id, IDizozizUrl** url) override;
    HRESULT NewUrl(IDizozizUrl** url) override;
    HRESULT UpdateUrl(IDizozizUrl** url) override;
    HRESULT ReadUrl(int32_t id, IDizozizUrl** url) override;
    HRESULT GetUrl(const std::string& url, IDizozizUrl** found) override;
    HRESULT HaveUrl(const std::string& url, int32_t* have) override;
    HRESULT GetUrlFile(const std::string& url, std::string* file, int32_t* delete_file) override;
    HRESULT DeleteUrl(int32_t id) override;
    HRESULT HasChildren(int32_t parent_id, int32_t* has) override;
    HRESULT EnumChildren(int32_t parent_id, IDizozizEnumChild** children) override;
    HRESULT NewEnumChildren(int32_t parent_id, int32_t safe, IDizozizEnumUrl** children) override;
    HRESULT EnumParents(int32_t child_id, IDizozizEnumUrl** parents) override;
    HRESULT Clean() override;
    HRESULT Pack() override;
    HRESULT Copy(const std::string& storage_dir, int32_t id) override;
    HRESULT Import(const std::string& path) override;
    HRESULT ExportTree(int32_t id, const std::string& target_dir) override;
    HRESULT ExportPage(int32_t id, const std::string& target_dir) override;
    HRESULT Search(const std::string& pattern, IDizozizEnumUrl** found) override;
    HRESULT IndexSearch(const std::string& expression, IDizozizEnumUrl** found) override;
    HRESULT ValidIndexSearch(const std::string& expression, std::string* message) override;
    HRESULT Refix() override;
    HRESULT Preferences(IDizozizPrefs** prefs) override;

    // --- IDizoziz: mode flags -------------------------------------------------
    HRESULT UseEdgeLink(const std::string& edge_file) override;
    HRESULT ExclusiveMode(int32_t flag) override;
    HRESULT EarlyNotify(int32_t flag) override;
    HRESULT PageOrder(int32_t flag) override;
    HRESULT HelpMode(int32_t flag) override;

    // --- IDizoziz: grabs ------------------------------------------------------
    HRESULT GrabBegin(int32_t id, int32_t refresh) override;
    HRESULT Grab(int32_t id, int32_t refresh) override;
    HRESULT ResumeBegin(int32_t refresh) override;
    HRESULT PreviewBegin(int32_t id) override;
    HRESULT LinkCheckBegin(int32_t id) override;
    HRESULT GrabEnd() override;
    HRESULT SkipUrl(int32_t id) override;
    HRESULT WorkingThreads(int32_t* count) override;
    HRESULT WaitingUrls(int32_t* count) override;
    HRESULT FinishedUrls(int32_t* count) override;
    HRESULT UntrustedHost(int32_t index, std::string* host, int32_t* reason) override;
    HRESULT OverrideSetting(const std::string& section, const std::string& key,
                            const std::string& value) override;
    HRESULT BytesReceived(int32_t* bytes) override;
    HRESULT BytesSent(int32_t* bytes) override;
    HRESULT UrlStatus(int32_t id, IDizozizUrlStatus** status) override;
    HRESULT EnumBadLinks(int32_t id, IDizozizEnumUrl** bad) override;
    HRESULT QueueJob(int32_t id) override;
    HRESULT BeginQueuedJobs(int32_t action) override;
    HRESULT BeginScheduled() override;

    // --- Events ---------------------------------------------------------------
    HRESULT Advise(IDizozizEvents* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;

    // --- For the engine's own objects ------------------------------------------
    void Fire(int32_t event_id, int32_t url_id) { events_.Fire(event_id, url_id); }
    ProjectStore& store() { return store_; }
    EnginePreferences& prefs() { return prefs_; }
    const std::string& data_dir() const { return data_dir_; }

private:
    HRESULT OpenAt(const std::string& db_dir, const std::string& data_dir);
    HRESULT NotOpen();
    // The bad-links list of `id` (every URL for 0); empty while a grab runs.
    std::vector<int32_t> BadLinks(int32_t id);
    std::vector<int32_t> SearchFiles(const std::string& pattern, std::string* error);
    int32_t TreeLevel(int32_t id);
    // Copies the stored files `page` needs to show (see dizoziz_tree.cc)
    // into `target`, skipping and adding to `exported` the URLs copied.
    // REQUIRES: the store lock is held.
    void ExportRequisites(int32_t page, const std::string& target,
                          std::unordered_set<int32_t>* exported);
    HRESULT ImportBookmarks(const std::string& path);
    void CopyFilterSet(ProjectStore& source, int32_t filter_id, int32_t new_url);

    EventSource events_;
    ProjectStore store_;
    EnginePreferences prefs_;       // what the preferences object shows and stores
    EnginePreferences grab_prefs_;  // what grabs read: the same file, plus overrides
    std::string data_dir_;  // ends in "/"; FILE values are relative to it
    std::string db_dir_;    // table paths are db_dir_ + table name
    std::mutex edge_mutex_;  // the edge file is read by grab threads
    std::string edge_file_;
    std::atomic<bool> help_mode_{false};
    std::atomic<bool> early_notify_{false};
    std::atomic<bool> page_order_{false};
    std::atomic<bool> exclusive_mode_{false};
    bool open_ = false;
    int32_t open_count_ = 0;
    DialUpState dial_up_;
    GrabControl grab_{this};  // last: ends a running grab before the rest goes

    // GrabHost
    void FireEvent(int32_t event_id, int32_t url_id) override { Fire(event_id, url_id); }
    ProjectStore& grab_store() override { return store_; }
    EnginePreferences& grab_prefs() override { return grab_prefs_; }
    std::string grab_data_dir() override { return data_dir_; }
    std::string edge_file() override;
    bool help_mode() const override { return help_mode_; }
    bool early_notify() const override { return early_notify_; }
    bool page_order() const override { return page_order_; }
};

}  // namespace fw
