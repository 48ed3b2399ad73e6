#include "engine/grab/url_worker.h"

#include <ctime>
#include <optional>
#include <unordered_set>

#include "engine/content/css_links.h"
#include "engine/content/link_extractor.h"
#include "engine/content/link_recorder.h"
#include "engine/content/local_path.h"
#include "engine/content/parsed_url.h"
#include "engine/content/title_scanner.h"
#include "engine/grab/body_sink.h"
#include "engine/grab/child_wait_map.h"
#include "engine/grab/fix_step.h"
#include "engine/grab/reservation_log.h"
#include "engine/net/ftp_fetch.h"
#include "engine/net/ftp_listing.h"
#include "engine/net/http_fetch.h"
#include "engine/net/secure_http_fetch.h"
#include "engine/store/filter_sets.h"
#include "engine/store/project_store.h"
#include "engine/store/stored_file.h"
#include "engine/support/crash_report.h"
#include "engine/support/log.h"
#include "platform/base64.h"
#include "platform/file_ops.h"

namespace fw {

namespace {

// Pages up to this size are kept in memory as they arrive and parsed from
// there; larger ones are read back from their file.
constexpr size_t kPageCopyLimit = 4 * 1024 * 1024;

bool IsFetchedScheme(UrlScheme s) {
    return s == UrlScheme::Http || s == UrlScheme::Https || s == UrlScheme::Ftp;
}

int32_t KindOf(ContentKind kind) {
    switch (kind) {
    case ContentKind::kHtml: return kKindHtml;
    case ContentKind::kText: return kKindText;
    case ContentKind::kImage: return kKindImage;
    case ContentKind::kOther: return kKindOther;
    case ContentKind::kCss: return kKindCss;
    case ContentKind::kNone: break;
    }
    return kKindUnknown;
}

std::string WithoutQuery(const std::string& url) { return url.substr(0, url.find('?')); }

// Holds the project store's lock and says so in the worker's flag.
class StoreSection {
public:
    StoreSection(ProjectStore* store, std::atomic<bool>* flag)
        : guard_(store->Lock()), flag_(flag) {
        *flag_ = true;
    }
    ~StoreSection() { *flag_ = false; }
    StoreSection(const StoreSection&) = delete;
    StoreSection& operator=(const StoreSection&) = delete;
    void Release() {
        *flag_ = false;
        guard_.unlock();
    }

private:
    ProjectStore::Guard guard_;
    std::atomic<bool>* flag_;
};

}  // namespace

struct UrlWorker::Prepared {
    std::string url;           // the URL's text
    std::string saved_file;    // FILE of an earlier grab, when the URL is grabbed
    int64_t conditional = 0;   // If-Modified-Since to send
    std::string etag;          // If-None-Match to send
    std::string credentials;
    ParsedUrl parsed;
    std::string path;          // where the content ends up; empty: nowhere
    std::string fetch_path;    // the scratch file the body is received into
    bool reserved = false;     // `path` was reserved for this URL (now or by an earlier attempt)
    QueueEntry entry;          // what the URL was queued with (fixed once queued)
};

struct UrlWorker::Fetched {
    bool stopped = false;  // cut by the grab's stop before it ended on its own
    std::unique_ptr<HttpFetchBase> http;
    std::unique_ptr<FtpFetch> ftp;
    bool body_written = false;
    std::optional<std::string> body;  // the whole body of a page, when kept
};

UrlWorker::UrlWorker(ProjectStore* store, std::string data_dir, ChildWaitMap* wait_map,
                     ReservationLog* reservations, int32_t url_id, uint32_t queue_row,
                     std::string host, const GrabOptions* options, DoneCallback done,
                     platform::StopEvent* cancel)
    : store_(store),
      data_dir_(std::move(data_dir)),
      wait_map_(wait_map),
      reservations_(reservations),
      url_id_(url_id),
      queue_row_(queue_row),
      options_(options),
      done_(std::move(done)),
      host_(std::move(host)),
      cancel_(cancel) {}

UrlWorker::~UrlWorker() = default;

void UrlWorker::Cancel(bool skip) {
    if (skip) skipped_ = true;
    cancel_->Set();
}

uint64_t UrlWorker::bytes_received() const { return received_.load(); }
uint64_t UrlWorker::bytes_sent() const { return sent_.load(); }

void UrlWorker::Snapshot(int32_t* state, uint64_t* received, uint64_t* sent) const {
    std::lock_guard<std::mutex> guard(fetch_mutex_);
    if (fetch_) {
        *state = fetch_->state();
        *received = fetch_->bytes_received();
        *sent = fetch_->bytes_sent();
        return;
    }
    *state = state_.load();
    *received = received_.load();
    *sent = sent_.load();
}

void UrlWorker::Run() {
    RunGuarded(ThreadRole::Url, [this] { RunSteps(); });
}

void UrlWorker::RunSteps() {
    Prepared p;
    if (!Prepare(&p)) {
        if (!skipped_) store_->QueueMarkDone(queue_row_);
        return;
    }
    Fetched f;
    Fetch(p, &f);
    // A whole body was moved off the scratch file; what is left goes.
    struct Scratch {
        const std::string& path;
        ~Scratch() { platform::RemoveFile(path); }
    } scratch{p.fetch_path};
    if (skipped_) {
        // Abandoned for this grab and any resumed one: the row stays as it
        // was, and a name reserved for this fetch goes again.
        if (p.reserved) ForgetReservation(p);
        store_->QueueMarkDone(queue_row_);
        return;
    }
    if (f.stopped) {
        // Cut by a stop: nothing of it is kept, and the URL waits for the
        // grab that resumes this one (which also reuses its reserved name).
        store_->QueueMarkWaiting(queue_row_);
        return;
    }
    if ((f.http && f.http->aborted()) || (f.ftp && f.ftp->body_limit_passed())) {
        Aborted(p);
    } else if (f.http) {
        HttpOutcome(p, &f);
    } else if (f.ftp) {
        FtpOutcome(p, &f);
    }
    store_->QueueMarkDone(queue_row_);
}

bool UrlWorker::Prepare(Prepared* p) {
    int32_t status = 0;
    int64_t modified = 0;
    std::string file;
    std::string etag;
    {
        auto guard = store_->Lock();
        UrlRecord record;
        if (!store_->LoadRow(url_id_, &record)) return false;
        if (!store_->QueueEntryAt(queue_row_, &p->entry)) return false;
        const QueueEntry& entry = p->entry;
        p->url = record.url;
        status = record.status;
        modified = record.modified;
        file = record.file;
        etag = std::move(record.etag);
        if (entry.auth_id != 0) p->credentials = store_->LoadProps(entry.auth_id).credentials;
        if (entry.filter_id != 0) {
            filters_ = LoadFilterSet(*store_, entry.filter_id);
            // Children taken again after a 304 pass the filters a page's links pass.
            DropStayOnSiteWhenInDirectory(&filters_);
        }
    }
    traverse_only_ = !Accepts(filters_, FilterType::Extensions, p->url);

    p->parsed.Parse(p->url);
    if (!IsFetchedScheme(p->parsed.scheme())) return false;

    // The body is always received into a scratch file: the stored file
    // changes only when a complete new copy arrived, so a fetch cut short (a
    // stop, a kill, a broken connection) never leaves a truncated file where
    // the copy links to it. Content that will not be kept (a link check, a
    // URL that is only traversed) never goes further. A body that will be
    // kept is received beside its file, so moving it there renames within
    // one directory, which workers in other directories never wait for.
    const bool keeps_nothing = options_->link_check || traverse_only_;
    if (status != kStatusNone && !file.empty()) {
        // A saved file out of the content directory is never overwritten:
        // the URL is not fetched, and its row stays as it is.
        const std::optional<std::string> saved = StoredFilePath(data_dir_, url_id_, file);
        if (!saved) return false;
        p->saved_file = file;
        p->path = *saved;
        // Logged so that what a kill leaves beside it is found again.
        if (reservations_) reservations_->Record(url_id_, file);
        // Pages too: an unchanged one keeps its stored copy and links.
        p->conditional = modified;
        p->etag = std::move(etag);
    } else if (!keeps_nothing) {
        Reserve(file, p);
    }
    p->fetch_path = p->path.empty() ? data_dir_ + ".fw-receiving-" + std::to_string(url_id_)
                                    : ReceivingPath(p->path, url_id_);
    return true;
}

// Gives the fetch its file name: the one an earlier attempt reserved (a
// grab stopped or killed before the URL was done, see ReservationLog), or a
// new one, created at once so no other URL takes it.
void UrlWorker::Reserve(const std::string& recorded, Prepared* p) {
    if (!recorded.empty()) {
        const std::optional<std::string> path = StoredFilePath(data_dir_, url_id_, recorded);
        if (path && (platform::FileExists(*path) || platform::OpenCreatingDirectories(*path))) {
            p->path = *path;
            p->reserved = true;
            return;
        }
    }
    FileNameLock naming;
    const std::string chosen = NewLocalPath(naming, WithoutQuery(p->url), true);
    if (chosen.empty() || !platform::OpenCreatingDirectories(chosen)) return;
    p->path = chosen;
    p->reserved = true;
}

std::string UrlWorker::NewLocalPath(const FileNameLock& naming, const std::string& url,
                                    bool choose_always) {
    std::string chosen;
    const bool made = choose_always
                          ? ChooseLocalPath(naming, url, data_dir_, options_->file_flags, &chosen)
                          : MakeLocalPath(naming, url, data_dir_, options_->file_flags, &chosen);
    if (!made || chosen.empty() || chosen.compare(0, data_dir_.size(), data_dir_) != 0) return {};
    // Recorded first: a file a kill leaves behind is then always known.
    if (reservations_)
        reservations_->Record(url_id_, std::string_view(chosen).substr(data_dir_.size()));
    return chosen;
}

// A reserved name that will not be used: its file goes, and so does the
// row's record of it.
void UrlWorker::ForgetReservation(const Prepared& p) {
    platform::RemoveFile(p.path);
    auto guard = store_->Lock();
    UrlRecord row;
    if (store_->LoadRow(url_id_, &row) && data_dir_ + row.file == p.path) {
        row.file.clear();
        store_->Write(&row);
    }
}

// The longest body this fetch may receive, or -1 for any: the size filters'
// limit, which a server that announces no length (or a false one) must not
// get around, and the grab's byte limit, which one fetch may not pass on
// its own however long its body runs.
int64_t UrlWorker::BodyLimit() const {
    int64_t limit = -1;
    if (const std::optional<int64_t> longest = LongestAcceptedLength(filters_)) {
        limit = std::max<int64_t>(0, *longest);
    }
    if (options_->byte_limit >= 1 && (limit < 0 || options_->byte_limit < limit)) {
        limit = options_->byte_limit;
    }
    return limit;
}

void UrlWorker::Fetch(Prepared& p, Fetched* f) {
    BodySink sink(p.fetch_path);
    std::unique_ptr<UrlFetch> fetch;
    const UrlScheme scheme = p.parsed.scheme();
    const std::string host = p.parsed.host() ? p.parsed.host() : "";
    std::string request_path = p.parsed.path();
    if (scheme == UrlScheme::Ftp) {
        auto ftp = std::make_unique<FtpFetch>(&sink);
        ftp->SetTarget(host, p.parsed.port(), request_path);
        ftp->set_check_only(options_->link_check);
        ftp->set_stop_event(cancel_);
        if (!p.credentials.empty()) {
            std::string user, password;
            platform::DecodeCredentials(p.credentials, &user, &password);
            ftp->SetCredentials(user, password);
        }
        f->ftp.reset(ftp.release());
    } else {
        std::unique_ptr<HttpFetchBase> http;
        int port = p.parsed.port();
        if (scheme == UrlScheme::Https) {
            auto secure = std::make_unique<SecureHttpFetch>(&sink);
            secure->set_stop_event(cancel_);
            secure->set_untrusted_hosts(options_->untrusted_hosts);
            http = std::move(secure);
            if (port < 0) port = SecureHttpFetch::kDefaultPort;
        } else {
            auto plain = std::make_unique<HttpFetch>(&sink);
            plain->set_stop_event(cancel_);
            http = std::move(plain);
            if (port < 0) port = 80;
        }
        if (const char* query = p.parsed.query()) request_path += query;
        http->SetTarget(host, port, request_path);
        if (!p.credentials.empty()) http->set_credentials(p.credentials);
        if (options_->refresh && p.conditional != 0) http->set_if_modified_since(p.conditional);
        if (options_->refresh && !p.etag.empty()) http->set_if_none_match(p.etag);
        if (!options_->user_agent.empty()) http->set_user_agent(options_->user_agent);
        if (options_->proxy) http->set_proxy(options_->proxy);

        const bool html_only = options_->preview || traverse_only_;
        if (!filters_.filters.empty()) {
            http->SetLengthCallback(
                [this](int64_t length) { return !AcceptsLength(filters_, length); });
        }
        if (!filters_.filters.empty() || options_->preview) {
            http->SetTypeCallback([this, html_only](const std::string& type) {
                if (html_only && type != "text/html") return true;
                return !Accepts(filters_, FilterType::ContentType, type);
            });
        }
        HttpFetchBase* page = http.get();
        sink.KeepCopy(kPageCopyLimit,
                      [page] { return page->content_kind() == ContentKind::kHtml; });
        f->http = std::move(http);
    }
    UrlFetch* running = f->http ? static_cast<UrlFetch*>(f->http.get()) : f->ftp.get();
    if (const int64_t limit = BodyLimit(); limit >= 0) {
        running->set_body_limit(static_cast<uint64_t>(limit));
    }
    if (options_->response_cap > 0) {
        running->set_response_cap(static_cast<uint64_t>(options_->response_cap));
    }

    LogMessage(std::to_string(url_id_) + " - " + p.url);
    {
        std::lock_guard<std::mutex> guard(fetch_mutex_);
        fetch_ = running;
    }
    const bool started = !cancel_->IsSet();
    if (started) running->Run();
    {
        std::lock_guard<std::mutex> guard(fetch_mutex_);
        fetch_ = nullptr;
    }
    // A fetch the stop cut (or kept from starting) did not end on its own;
    // one that completed meanwhile did.
    if (!skipped_ && cancel_->IsSet() && (!started || running->state() == kFetchError)) {
        f->stopped = true;
        return;
    }
    if (running->state() == kFetchError) {
        // Every failure gets a code: one reported as 0 would read as success.
        const FetchState at = running->failed_at();
        if (running->failure_code() != 0) {
            fetch_error_ = running->failure_code();
        } else if (at <= kFetchConnect) {
            host_unreachable_ = at == kFetchLookup || at == kFetchConnect;
            fetch_error_ = kErrorUnreachable;
        } else {
            fetch_error_ = kErrorTransferBroken;
        }
    }
    sink.Flush();
    f->body_written = sink.wrote() && sink.ok();
    if (f->body_written) f->body = sink.TakeCopy();
    if (f->http) {
        LogMessage(std::to_string(url_id_) + " - Finished - " +
                   std::to_string(f->http->status_code()));
    } else {
        LogMessage(std::to_string(url_id_) + " - Finished");
    }
    SetState(running->state());
    received_ = running->bytes_received();
    sent_ = running->bytes_sent();
}

void UrlWorker::FtpOutcome(const Prepared& prepared, Fetched* f) {
    const FtpFetch& fetch = *f->ftp;
    const bool keeps = !options_->link_check;
    std::string path = prepared.path;
    const bool failed = fetch.state() == kFetchError;
    // A failed transfer has no content: no empty file stands in for it.
    if (prepared.reserved && failed) {
        ForgetReservation(prepared);
        path.clear();
    }
    bool arrived_in_place = false;
    if (keeps && !path.empty() && f->body_written && fetch.state() == kFetchDone) {
        arrived_in_place = platform::SwapReplacing(prepared.fetch_path, prepared.path);
    }
    if (keeps && fetch.listing() && arrived_in_place &&
        (path.size() < 4 || path.compare(path.size() - 4, 4, ".txt") != 0)) {
        FileNameLock naming;
        const std::string target = NewLocalPath(naming, prepared.url + ".txt", false);
        if (!target.empty() && platform::MoveReplacing(path, target)) path = target;
    }
    const std::string content_path = arrived_in_place ? path : prepared.fetch_path;
    const QueueEntry& entry = prepared.entry;
    const int32_t levels = entry.levels, filter_id = entry.filter_id, parent_id = entry.parent_id,
                  auth_id = entry.auth_id;
    {
        auto guard = store_->Lock();
        UrlRecord row;
        if (!store_->LoadRow(url_id_, &row)) return;
        if (keeps && !path.empty() && path.compare(0, data_dir_.size(), data_dir_) == 0) {
            row.file = path.substr(data_dir_.size());
        }
        row.kind = kKindHtml;  // FTP downloads are recorded as pages
        row.status = kStatusGrabbed;
        row.modified = static_cast<int64_t>(std::time(nullptr));
        row.error = 0;
        if (failed) {
            // No reply at all is the connection's failure, not the server's.
            const int32_t code = fetch.last_reply_code();
            row.error = code == 0                     ? fetch_error_
                        : (code == 450 || code == 550) ? 404
                                                      : code + 1000;
        }
        store_->Write(&row);
    }
    if (!keeps) return;
    if (parent_id != 0) NotifyParents();
    if (!fetch.listing()) return;
    // A listing's names are children one level down. They resolve against
    // the listing's URL taken as a directory, so "ftp://h/dir" lists into
    // "ftp://h/dir/", not "ftp://h/".
    std::string directory = prepared.url;
    if (directory.empty() || directory.back() != '/') directory += '/';
    ParsedUrl base;
    base.Parse(directory);
    StoreSection section(store_, &lock_held_);
    store_->RemoveLinksFrom(url_id_);
    // The names are queued as a page's links are, by the same rules.
    LinkRecorder recorder(*store_, url_id_, levels, filter_id, auth_id, ExtractOptionsNow(false));
    for (const std::string& name : ReadListingNames(content_path)) {
        ParsedUrl child;
        child.CopyFrom(base);
        child.ParseRelative(name);
        recorder.PageLink(child, LinkRecorder::PageKind::kLink);
    }
}

ExtractOptions UrlWorker::ExtractOptionsNow(bool page_is_error) const {
    ExtractOptions extract;
    extract.pages_only = options_->preview;
    extract.page_order = options_->page_order;
    extract.page_is_error = page_is_error;
    // A stop or skip must not wait for the parse of a huge page.
    extract.stop = cancel_;
    return extract;
}

void UrlWorker::Aborted(const Prepared& p) {
    if (p.entry.parent_id != 0) NotifyParents();
    // A name reserved for this fetch goes again; a file of an earlier grab
    // was never touched (the fetch went to a scratch file).
    if (p.reserved) ForgetReservation(p);
}

void UrlWorker::HttpOutcome(const Prepared& prepared, Fetched* f) {
    const HttpFetchBase& fetch = *f->http;
    const int32_t code = fetch.status_code();
    const bool keeps = !options_->link_check && !traverse_only_;
    std::string path = prepared.path;

    // A complete new copy replaces the stored file (every body arrives in a
    // scratch file); anything less leaves the stored file as it was.
    bool arrived_in_place = false;
    if (keeps && !path.empty() && code != 304 && f->body_written && fetch.state() == kFetchDone) {
        arrived_in_place = platform::SwapReplacing(prepared.fetch_path, prepared.path);
    }
    // A fetch that failed has no content (a partial body stays in the
    // scratch file): the name reserved for it goes again, so no empty file
    // stands in for the page offline.
    if (prepared.reserved && fetch.state() == kFetchError) {
        ForgetReservation(prepared);
        path.clear();
    }
    if (keeps && !path.empty() && prepared.reserved) {
        std::string_view suffix =
            ExtensionFix(fetch.content_kind() == ContentKind::kHtml, fetch.content_type(), path);
        if (!suffix.empty()) {
            FileNameLock naming;
            const std::string target =
                NewLocalPath(naming, WithoutQuery(prepared.url) + std::string(suffix), false);
            if (!target.empty() && platform::MoveReplacing(path, target)) path = target;
        }
    }
    // A refetch that did not arrive whole leaves the copy saved earlier, whose
    // links are rewritten already, as it was: its row keeps that page and
    // only records the failure.
    const bool kept_saved =
        keeps && !prepared.saved_file.empty() && !arrived_in_place && code != 304;
    // What the parser reads: the content as it arrived (never a saved page,
    // whose links are already rewritten).
    const std::string content_path = arrived_in_place ? path : prepared.fetch_path;
    const std::string file_text = !path.empty() && path.compare(0, data_dir_.size(), data_dir_) == 0
                                      ? path.substr(data_dir_.size())
                                      : std::string();
    const bool html = fetch.content_kind() == ContentKind::kHtml;
    // The file at content_path holds the body as it arrived, so its copy
    // stands in for it.
    const std::string* content = f->body ? &*f->body : nullptr;
    const std::string title = !html     ? std::string()
                              : content ? TitleScanner().ScanText(*content)
                                        : TitleOf(content_path);

    const QueueEntry& entry = prepared.entry;
    const int32_t levels = entry.levels, filter_id = entry.filter_id, parent_id = entry.parent_id,
                  auth_id = entry.auth_id;
    int32_t level = 0, kind = 0;
    bool leaf = false;
    std::string page_url = prepared.url;
    {
        auto guard = store_->Lock();
        UrlRecord row;
        if (!store_->LoadRow(url_id_, &row)) return;
        const int32_t error = (code > 0 && code != 200) ? code : fetch_error_;
        if (code == 304) {
            row.is_new = 0;
            if (!fetch.etag().empty()) row.etag = fetch.etag();
        } else if (kept_saved) {
            row.error = error;
        } else {
            if (fetch.redirects_followed() > 0 && !fetch.location().empty()) {
                row.url = fetch.location();
                page_url = fetch.location();
            }
            if (keeps) row.file = file_text;
            row.content_type = fetch.content_type();
            row.etag = fetch.etag();
            row.kind = KindOf(fetch.content_kind());
            if (html) {
                if (options_->link_check && row.level == 0) row.kind = kKindLinkCheck;
                row.title = title;
                leaf = row.min_level == 1;
            }
            if (traverse_only_) {
                row.status = kStatusNone;
            } else if (html && !leaf && !options_->link_check) {
                row.status = kStatusFetched;
            } else {
                row.status = kStatusGrabbed;
            }
            const int64_t now = static_cast<int64_t>(std::time(nullptr));
            const int64_t modified = fetch.last_modified() != 0 ? fetch.last_modified() : now;
            row.is_new = (row.grabbed != 0 && row.grabbed > modified) ? 0 : 1;
            row.error = error;
            row.modified = modified;
            row.grabbed = now;
        }
        store_->Write(&row);
        level = row.level;
        kind = row.kind;
    }

    if (kept_saved) {
        if (parent_id != 0) NotifyParents();
    } else if (IsRedirectStatus(code)) {
        Redirect(fetch, level, levels, filter_id, parent_id, auth_id, page_url);
        // A redirect page that waits for nothing is rewritten now, like any
        // page without children, instead of waiting for the end of the grab.
        if (!deferred_ && keeps && html && !leaf) FixNow(url_id_, false);
    } else if (code == 304) {
        // What an unchanged page or style sheet links to may have changed.
        if (kind == kKindHtml || kind == kKindCss) {
            RequeueChildren(level, levels, filter_id, auth_id);
        }
        if (parent_id != 0 && !options_->link_check && !traverse_only_) NotifyParents();
    } else {
        if (parent_id != 0 && keeps) NotifyParents();
        if (html && !leaf) {
            ParsePage(content_path, content, levels, page_url, filter_id, auth_id, false,
                      code == 404);
        } else if (fetch.content_kind() == ContentKind::kCss) {
            ParsePage(content_path, content, levels, page_url, filter_id, auth_id, true,
                      code == 404);
        }
    }
}

void UrlWorker::Redirect(const HttpFetchBase& fetch, int32_t level, int32_t levels,
                         int32_t filter_id, int32_t parent_id, int32_t auth_id,
                         const std::string& page_url) {
    ParsedUrl base;
    base.Parse(page_url);
    ParsedUrl target;
    target.CopyFrom(base);
    target.ParseRelative(fetch.location());
    const char* text = target.Text();
    if (text != nullptr) {
        StoreSection section(store_, &lock_held_);
        int redirects = 0;
        {
            std::lock_guard<std::mutex> map_lock(wait_map_->mutex());
            redirects = wait_map_->RedirectsTo(url_id_) + 1;
        }
        if (redirects > kMaxRedirects) {
            // The chain ends at this URL: its row says why, and the target
            // is not added.
            UrlRecord row;
            if (store_->LoadRow(url_id_, &row)) {
                row.error = kErrorTooManyRedirects;
                store_->Write(&row);
            }
            LogMessage(std::to_string(url_id_) + " - more than " + std::to_string(kMaxRedirects) +
                       " redirects in a row; not followed");
            section.Release();
            if (parent_id != 0 && !options_->link_check && !traverse_only_) NotifyParents();
            return;
        }
        int32_t grandparent = 0;
        if (parent_id != 0) {
            auto parents = store_->Parents(parent_id);
            if (!parents.empty()) grandparent = parents.front();
        }
        const int32_t t = store_->AddUrl(url_id_, level + 1, 0, text).id;
        if (t != 0) {
            if (level > 0) {
                if (parent_id != 0) store_->AddLink(parent_id, t);
                if (grandparent != 0) store_->AddLink(grandparent, t);
            }
            UrlRecord target_row;
            store_->LoadRow(t, &target_row);
            QueueEntry entry;
            entry.url_id = t;
            entry.level = target_row.level;
            entry.min_level = target_row.min_level;
            entry.levels = levels;
            entry.filter_id = filter_id;
            entry.parent_id = url_id_;
            entry.auth_id = auth_id;
            const bool queued = store_->QueueAppend(entry);
            std::lock_guard<std::mutex> map_lock(wait_map_->mutex());
            if (queued) wait_map_->SetRedirectsTo(t, redirects);
            if (queued && !traverse_only_) {
                wait_map_->Wait(url_id_, {{t, true}});
                if (level > 0) {
                    if (parent_id != 0) wait_map_->AddTo(parent_id, {t, true});
                    if (grandparent != 0) wait_map_->AddTo(grandparent, {t, true});
                }
                deferred_ = true;
            }
        }
    }
    if (parent_id != 0 && !options_->link_check && !traverse_only_) NotifyParents();
}

void UrlWorker::RequeueChildren(int32_t level, int32_t levels, int32_t filter_id,
                                int32_t auth_id) {
    auto guard = store_->Lock();
    ParsedUrl parsed;
    for (int32_t child : store_->TreeChildren(url_id_, true)) {
        if (child == url_id_) continue;
        UrlRecord row;
        if (!store_->LoadRow(child, &row)) continue;
        if (!Accepts(filters_, FilterType::Url, row.url)) continue;
        parsed.Parse(row.url);
        if (!IsFetchedScheme(parsed.scheme())) continue;
        int32_t child_levels;
        if (row.level > level && levels > 1) {
            child_levels = levels - 1;
        } else if (row.level == level && row.min_level == 0) {
            child_levels = levels;
        } else if (row.level == level && row.min_level == 1) {
            child_levels = 1;
        } else {
            continue;
        }
        QueueEntry entry;
        entry.url_id = child;
        entry.level = row.level;
        entry.min_level = row.min_level;
        entry.levels = child_levels;
        entry.filter_id = filter_id;
        entry.parent_id = url_id_;
        entry.auth_id = auth_id;
        store_->QueueAppend(entry);
    }
}

void UrlWorker::ParsePage(const std::string& path, const std::string* text, int32_t levels,
                          const std::string& page_url, int32_t filter_id, int32_t auth_id, bool css,
                          bool page_is_error) {
    const ExtractOptions extract = ExtractOptionsNow(page_is_error);
    std::vector<PendingChild> pending;
    std::optional<StoreSection> section;
    if (css) {
        section.emplace(store_, &lock_held_);
        store_->RemoveLinksFrom(url_id_);
        pending =
            ExtractCssLinks(path, url_id_, levels, *store_, page_url, filter_id, auth_id, extract);
    } else {
        // The page is read without the store lock, which other workers need
        // meanwhile; its links are then replaced in one locked step.
        const std::string id = std::to_string(url_id_);
        LogMessage(id + " - parsing");
        const FoundLinks found =
            text ? FindLinksInText(*text, page_url, extract) : FindLinks(path, page_url, extract);
        section.emplace(store_, &lock_held_);
        store_->RemoveLinksFrom(url_id_);
        // A page with too many links to hold is read again, recording as it goes.
        pending = found.complete ? RecordLinks(found, url_id_, levels, *store_, filter_id,
                                               auth_id, extract)
                                 : RecordLinksFromFile(path, url_id_, levels, *store_, page_url,
                                                       filter_id, auth_id, extract);
        LogMessage(id + " - done parsing");
    }
    if (options_->link_check || traverse_only_) return;
    std::vector<WaitingChild> waiting;
    {
        std::lock_guard<std::mutex> map_lock(wait_map_->mutex());
        for (const PendingChild& child : pending) {
            // A child whose parents were already told it finished will not
            // tell them again.
            if (child.id != url_id_ && !wait_map_->HasFinished(child.id)) {
                waiting.push_back({child.id, child.page});
            }
        }
        if (!waiting.empty()) {
            wait_map_->Wait(url_id_, std::move(waiting));
            deferred_ = true;
            return;
        }
    }
    section->Release();
    FixNow(url_id_, false);
}

void UrlWorker::NotifyParents() {
    std::vector<std::pair<int32_t, bool>> fix;  // page, announce
    std::vector<int32_t> announce;
    {
        auto guard = store_->Lock();
        const std::vector<int32_t> parents = store_->Parents(url_id_);
        std::lock_guard<std::mutex> map_lock(wait_map_->mutex());
        wait_map_->MarkFinished(url_id_);
        for (int32_t parent : parents) {
            ChildWaitMap::Outcome outcome =
                wait_map_->ChildFinished(parent, url_id_, options_->early_notify);
            if (outcome.all_done) {
                fix.emplace_back(parent, outcome.announce);
            } else if (outcome.announce) {
                announce.push_back(parent);
            }
        }
    }
    for (int32_t page : announce) done_(page, false);
    for (auto [page, with_announce] : fix) FixNow(page, with_announce);
}

void UrlWorker::FixNow(int32_t page, bool announce) {
    SetState(kFetchFixing);
    FixStoredPage(*store_, data_dir_, page, *options_);
    if (announce) done_(page, false);
}

}  // namespace fw
