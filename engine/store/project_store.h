// The project store: the seven tables of one project (URLs, their settings,
// links, titles, long-URL pieces, the crawl queue and filter sets) and every
// row-level operation the rest of the engine uses.
//
// Locking: one recursive lock guards everything. Every operation takes it; a
// caller that needs several operations to see a consistent state (find, then
// change, then write) holds Lock() across them. Lock order elsewhere in the
// engine: this lock first, then a grab's child-wait map lock.
//
// Ids are positive; 0 names the root of the URL tree (the parent of every
// start URL) or "none".
//
// Durability: opened exclusive, the store keeps its changes in memory until
// Commit (or Close), which records them in a journal before it writes the
// tables, so after a crash the tables show the last commit whole (Open
// replays a journal left complete). A grab commits about once a second.
// Opened shared, every change is written through at once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/store_table.h"
#include "engine/store/url_record.h"
#include "platform/recursive_mutex.h"

namespace fw {

// One ZQFILTER row as stored: its row number, type letter and encoded text.
struct StoredFilter {
    uint32_t row = 0;
    char type = 'U';
    std::string text;
};

// Told about every entry appended to the crawl queue, under the store lock
// (so it must not take locks that are held while waiting for the store lock).
class QueueObserver {
public:
    virtual void OnQueued(uint32_t row, const QueueEntry& entry) = 0;
    // The queue was emptied.
    virtual void OnQueueEmptied() = 0;

protected:
    ~QueueObserver() = default;
};

class ProjectStore {
public:
    ProjectStore();
    ~ProjectStore();
    ProjectStore(const ProjectStore&) = delete;
    ProjectStore& operator=(const ProjectStore&) = delete;

    using Guard = std::unique_lock<platform::RecursiveMutex>;
    [[nodiscard]] Guard Lock() { return Guard(mutex_); }

    // Opens (creating what is missing) the tables in `db_dir` (used exactly as
    // given: table paths are db_dir + name), after replaying a commit that a
    // stopped process left in the journal. The crawl queue is kept: what a
    // stopped or killed grab left waiting is there for the next to resume.
    // `data_dir` (with a trailing "/") is where FILE values are relative to.
    bool Open(const std::string& db_dir, const std::string& data_dir, bool exclusive);
    // Commits, then closes the tables.
    void Close();
    // Writes every change made since the last commit, all or nothing: into
    // the journal first, then into the tables. False when it could not be
    // written (the changes stay pending and the next commit tries again).
    // Nothing to do when opened shared.
    bool Commit();
    // With `sync`, a commit also survives a crash of the machine: the file
    // system is synced before the journal is written (so the content files
    // its rows name are on disk), the journal before the tables are written,
    // and the tables before the journal goes.
    void set_sync_commits(bool sync) { sync_commits_ = sync; }
    // The journal's path.
    std::string JournalPath() const { return db_dir_ + kJournalName; }
    static constexpr const char* kJournalName = "ZQJOURNAL.BIN";
    bool is_open() const;
    bool exclusive() const { return exclusive_; }
    const std::string& db_dir() const { return db_dir_; }
    const std::string& data_dir() const { return data_dir_; }

    // --- URL rows ---------------------------------------------------------
    bool Exists(int32_t id);
    int32_t FindByUrl(std::string_view url);    // 0 when absent
    int32_t FindByFile(std::string_view file);  // 0 when absent
    bool Load(int32_t id, UrlRecord* out);
    // As Load without the title, which takes a lookup of its own: for
    // callers that use the row's columns only. out->title is left empty.
    bool LoadRow(int32_t id, UrlRecord* out);
    // FindByUrl and LoadRow in one lookup: the row of `url` (title empty).
    // False when the URL has no row.
    bool FindUrlRow(std::string_view url, UrlRecord* out);
    // A record for a new row: the next id (the counter grows), times now.
    UrlRecord NewRecord();
    // Stores the record: appends it when it is new (a refused append returns
    // false), otherwise rewrites its row. Long URLs continue in ZQURLEXT; a
    // non-empty title goes to ZQTITLE.
    bool Write(UrlRecord* record);
    // Rewrites one column without loading the row.
    bool SetStatus(int32_t id, int32_t status);

    bool HasProps(int32_t id);
    UrlProps LoadProps(int32_t id);  // zeros and empty texts when the URL has none
    // Each writes one ZQPROPS column of `id`, appending the row when there is
    // none (SetSchedule only for non-zero values, SetNotes and SetCredentials
    // only for non-empty text).
    void SetLevels(int32_t id, int32_t levels);
    void SetSchedule(int32_t id, int32_t schedule);
    void SetNotes(int32_t id, std::string_view notes);
    void SetCredentials(int32_t id, std::string_view credentials);
    void SetFilterId(int32_t id, int32_t filter_id);

    std::string Title(int32_t id);
    void SetTitle(int32_t id, std::string_view title);

    struct Added {
        int32_t id = 0;        // 0 when the row could not be stored
        bool created = false;  // false: the URL existed and only gained a link
    };
    // Finds or creates the URL and links it from `parent`. A new row with
    // level and min level 0 (a start URL) gets LEVELS 1.
    Added AddUrl(int32_t parent, int32_t level, int32_t min_level, std::string_view url,
                 int32_t kind = 0);
    // A tree node whose URL column holds a search text; linked from the root.
    int32_t AddSearchFolder(std::string_view text);
    // Adds the link; a link deleted earlier comes back.
    void AddLink(int32_t from, int32_t to);
    void RemoveLinksFrom(int32_t id);
    // Deletes the URL's file, its settings, title, pieces, links in both
    // directions and its row. False when there is no such URL.
    bool DeleteUrl(int32_t id);

    // --- Walks (each returns a snapshot taken under the lock) -------------
    // Every live URL id in ID order.
    std::vector<int32_t> AllUrls();
    // Visits every live row in ID order under the lock; stop by returning
    // false.
    void ForEachUrl(const std::function<bool(const UrlRecord&)>& visit);
    // Children through links from `parent` that belong to its subtree: a
    // requisite (MINLEVEL 1), a deeper URL, or with `same_level` one on the
    // parent's own level.
    std::vector<int32_t> TreeChildren(int32_t parent, bool same_level);
    // The columns the tree walk reads of each child.
    struct TreeChild {
        int32_t id = 0;
        int32_t level = 0;
        int32_t min_level = 0;
        int32_t kind = 0;
    };
    // TreeChildren with each child's columns, so a caller that filters the
    // children does not load every row while it holds the lock. `parent_level`
    // (optional) receives the parent's LEVEL, -1 for the root.
    std::vector<TreeChild> TreeChildColumns(int32_t parent, bool same_level,
                                            int32_t* parent_level = nullptr);
    // Every URL `parent` links to; with `filter` only non-pages and deeper
    // pages.
    std::vector<int32_t> PlainChildren(int32_t parent, bool filter);
    // Every URL linking to `child` (the root and the child itself left out).
    std::vector<int32_t> Parents(int32_t child);

    // --- Filter sets ------------------------------------------------------
    // The stored rows of a filter set in table order (empty for an id below 0
    // or a set without rows).
    std::vector<StoredFilter> LoadFilterRows(int32_t filter_id);
    int32_t NextFilterId();  // takes the next filter id (the counter grows)
    // Appends a row and returns its row number (0 on failure).
    uint32_t AppendFilterRow(int32_t filter_id, char type, std::string_view text);
    bool RewriteFilterRow(uint32_t row, int32_t filter_id, char type, std::string_view text);
    bool DeleteFilterRow(uint32_t row);

    // --- Maintenance ------------------------------------------------------
    // Removes every URL that cannot be reached from a URL with settings.
    void Clean();
    // Clean, then physically removes deleted rows from every table.
    void Compact();

    // --- Crawl queue ------------------------------------------------------
    bool QueueEmpty();
    // False when the URL is already queued (nothing changes).
    bool QueueAppend(const QueueEntry& entry);
    struct Queued {
        bool added = false;
        uint32_t row = 0;  // the new row, or the existing entry's row
    };
    Queued QueueAppendUnlessQueued(const QueueEntry& entry);
    bool IsQueued(int32_t url_id);
    bool QueueMarkTaken(uint32_t row);
    bool QueueMarkDone(uint32_t row);  // deletes the row
    // A taken entry waits again: its fetch was cut by a stop.
    bool QueueMarkWaiting(uint32_t row);
    // Every taken entry waits again (their workers are gone: a stopped grab,
    // a killed process). Returns how many.
    int32_t QueueReleaseTaken();
    // Entries not done yet (waiting or taken).
    int32_t QueueUnfinished();
    // Entries since the queue was last emptied, done ones included: every
    // URL the job has queued.
    int32_t QueueTotal();
    // The job kind (kJobTrawl ... kJobLinkCheck) whose seeding filled the
    // queue, kept beside the tables so that a resumed job goes on as the job
    // it was; 0 when unknown.
    int32_t QueueJobKind();
    void SetQueueJobKind(int32_t kind);
    bool QueueEntryAt(uint32_t row, QueueEntry* out);
    // The entry `url_id` was queued with in this grab (a done one
    // included) and its row, in one lookup; false when it was not queued.
    bool QueueEntryOf(int32_t url_id, uint32_t* row, QueueEntry* out);
    // Waiting entries in queue order (LEVEL, MINLEVEL, insertion) whose URL
    // still exists. Entries appended meanwhile are met when they sort after
    // the walker's position. Use under Lock() for a consistent walk.
    class QueueWalker {
    public:
        explicit QueueWalker(ProjectStore* store) : store_(store) {}
        uint32_t First();  // row number, or 0 at the end
        uint32_t Next();
        uint32_t row() const { return row_; }

    private:
        uint32_t Advance(bool from_top);
        ProjectStore* store_;
        std::string key_;  // queue-order key of the current entry
        uint32_t row_ = 0;
    };

    // Start-URL seeding (each empties the queue first).
    bool StartQueue(int32_t id, bool checks);
    bool LinkCheckQueue(int32_t id);
    // Consumes `list` (0 or below: every start URL); `kind` 4 seeds link
    // checks, anything else normal grabs.
    bool ListQueue(std::vector<int32_t>* list, int32_t kind);

    int32_t next_url_id() const { return next_url_id_; }

    // Installs (or, with null, removes) the one observer of queue appends.
    void SetQueueObserver(QueueObserver* observer);

private:
    friend class QueueWalker;
    struct Columns;

    StoreTable& T(TableId id) { return *tables_[static_cast<size_t>(id)]; }
    bool FindByIdLocked(int32_t id);
    bool SeekProps(int32_t id);
    bool EnsureProps(int32_t id);
    bool PositionTitle(int32_t id);
    std::string FullUrlOfCurrentRow();
    // Stands on the live row of `url`; false when there is none.
    bool SeekUrl(std::string_view url);
    // `known_url`: the row's full URL when the caller knows it ("" to read it).
    void ReadCurrentUrlRow(UrlRecord* out, std::string_view known_url);
    bool WriteUrlPieces(int32_t id, std::string_view url);
    void DeleteUrlPieces(int32_t id, int32_t from_order);
    using StartTest = bool (*)(int32_t levels, int32_t kind);
    bool QueueStartUrl(int32_t id, StartTest test);
    bool QueueAllStartUrls(StartTest test);
    void ReadQueueEntry(QueueEntry* out);
    template <typename Visit>
    void ForEachUnfinishedEntry(const Visit& visit);
    static constexpr const char* kQueueJobName = "ZQQUEUE.JOB";
    // The row of `url_id`'s queue entry (a done one included), the cursor on
    // it; 0 when it has none. REQUIRES: the lock.
    uint32_t SeekQueuedLocked(int32_t url_id);
    bool ComputeCounters();
    std::vector<int32_t> LinkTargets(int32_t from);
    bool FlushIfShared();

    platform::RecursiveMutex mutex_;
    std::array<std::unique_ptr<StoreTable>, kTableCount> tables_;
    std::string db_dir_;
    std::string data_dir_;
    bool exclusive_ = false;
    bool sync_commits_ = false;
    bool open_ = false;
    int32_t next_url_id_ = 1;
    int32_t next_filter_id_ = 1;
    QueueObserver* queue_observer_ = nullptr;
    std::unique_ptr<Columns> col_;  // column indexes, fetched once per open
};

}  // namespace fw
