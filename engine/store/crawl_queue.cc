// The crawl queue (ZQQUEUE) and its seeding from start URLs.
#include <algorithm>
#include <climits>

#include "engine/store/columns.h"
#include "engine/store/project_store.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

using xbase::Result;

namespace {

bool NormalStart(int32_t levels, int32_t kind) {
    return levels > 0 && kind != 5 && kind != 6;
}
bool LinkCheckStart(int32_t levels, int32_t kind) { return levels > 0 && kind == 6; }
bool AnyStart(int32_t, int32_t) { return true; }

}  // namespace

void ProjectStore::SetQueueObserver(QueueObserver* observer) {
    Guard guard = Lock();
    queue_observer_ = observer;
}

bool ProjectStore::QueueEmpty() {
    Guard guard = Lock();
    if (!open_ || T(TableId::kQueue).Zap() != Result::kSuccess) return false;
    if (queue_observer_) queue_observer_->OnQueueEmptied();
    return true;
}

bool ProjectStore::QueueAppend(const QueueEntry& entry) {
    return QueueAppendUnlessQueued(entry).added;
}

ProjectStore::Queued ProjectStore::QueueAppendUnlessQueued(const QueueEntry& entry) {
    Guard guard = Lock();
    Queued queued;
    if (!open_) return queued;
    auto& q = T(TableId::kQueue);
    q.AppendStart();
    q.SetNumber(col_->q_url_id, entry.url_id);
    q.SetNumber(col_->q_level, entry.level);
    q.SetNumber(col_->q_min_level, entry.min_level);
    q.SetNumber(col_->q_levels, entry.levels);
    q.SetText(col_->q_status, "0");
    q.SetNumber(col_->q_filter_id, entry.filter_id);
    q.SetNumber(col_->q_parent_id, entry.parent_id);
    q.SetNumber(col_->q_auth_id, entry.auth_id);
    Result r = q.Append();
    if (r == Result::kSuccess) {
        queued.added = true;
        queued.row = q.RecNo();
        if (queue_observer_) {
            QueueEntry stored = entry;
            stored.status = '0';
            queue_observer_->OnQueued(queued.row, stored);
        }
        return queued;
    }
    if (r == Result::kDuplicate) queued.row = SeekQueuedLocked(entry.url_id);
    return queued;
}

bool ProjectStore::IsQueued(int32_t url_id) {
    uint32_t row = 0;
    QueueEntry entry;
    return QueueEntryOf(url_id, &row, &entry);
}

bool ProjectStore::QueueMarkTaken(uint32_t row) {
    Guard guard = Lock();
    if (!open_) return false;
    auto& q = T(TableId::kQueue);
    if (q.Go(row) != Result::kSuccess) return false;
    q.SetText(col_->q_status, "1");
    return q.Update() == Result::kSuccess;
}

bool ProjectStore::QueueMarkDone(uint32_t row) {
    Guard guard = Lock();
    if (!open_) return false;
    auto& q = T(TableId::kQueue);
    if (q.Go(row) != Result::kSuccess) return false;
    q.SetText(col_->q_status, "2");
    if (q.Update() != Result::kSuccess) return false;
    return q.Delete() == Result::kSuccess;
}

bool ProjectStore::QueueMarkWaiting(uint32_t row) {
    Guard guard = Lock();
    if (!open_) return false;
    auto& q = T(TableId::kQueue);
    if (q.Go(row) != Result::kSuccess || q.IsDeleted()) return false;
    q.SetText(col_->q_status, "0");
    return q.Update() == Result::kSuccess;
}

// Visits every entry not done, in queue order, on the queue table's cursor.
template <typename Visit>
void ProjectStore::ForEachUnfinishedEntry(const Visit& visit) {
    auto& q = T(TableId::kQueue);
    q.SelectTag("LEVEL");  // holds live rows only
    for (Result r = q.Top(); r == Result::kSuccess && !q.Eof(); r = q.Skip()) {
        const std::string_view status = q.TextView(col_->q_status);
        const char c = status.empty() ? '0' : status[0];
        if (c == '0' || c == '1') visit(c);
    }
}

int32_t ProjectStore::QueueReleaseTaken() {
    Guard guard = Lock();
    if (!open_) return 0;
    std::vector<uint32_t> taken;
    auto& q = T(TableId::kQueue);
    ForEachUnfinishedEntry([&](char status) {
        if (status == '1') taken.push_back(q.RecNo());
    });
    for (uint32_t row : taken) QueueMarkWaiting(row);
    return static_cast<int32_t>(taken.size());
}

int32_t ProjectStore::QueueUnfinished() {
    Guard guard = Lock();
    if (!open_) return 0;
    int32_t count = 0;
    ForEachUnfinishedEntry([&](char) { ++count; });
    return count;
}

int32_t ProjectStore::QueueTotal() {
    Guard guard = Lock();
    if (!open_) return 0;
    return static_cast<int32_t>(std::min<uint32_t>(T(TableId::kQueue).RecordCount(), INT32_MAX));
}

int32_t ProjectStore::QueueJobKind() {
    std::string text;
    if (!platform::ReadFilePrefix(db_dir_ + kQueueJobName, 16, &text)) return 0;
    const long kind = platform::LeadingInteger(text);
    return kind >= 1 && kind <= 4 ? static_cast<int32_t>(kind) : 0;  // the job kinds
}

void ProjectStore::SetQueueJobKind(int32_t kind) {
    platform::ReplaceFileContents(db_dir_ + kQueueJobName, std::to_string(kind) + "\n", 0600);
}

void ProjectStore::ReadQueueEntry(QueueEntry* out) {
    auto& q = T(TableId::kQueue);
    out->url_id = static_cast<int32_t>(q.Number(col_->q_url_id));
    out->level = static_cast<int32_t>(q.Number(col_->q_level));
    out->min_level = static_cast<int32_t>(q.Number(col_->q_min_level));
    out->levels = static_cast<int32_t>(q.Number(col_->q_levels));
    const std::string_view status = q.TextView(col_->q_status);
    out->status = status.empty() ? '0' : status[0];
    out->filter_id = static_cast<int32_t>(q.Number(col_->q_filter_id));
    out->parent_id = static_cast<int32_t>(q.Number(col_->q_parent_id));
    out->auth_id = static_cast<int32_t>(q.Number(col_->q_auth_id));
}

bool ProjectStore::QueueEntryAt(uint32_t row, QueueEntry* out) {
    Guard guard = Lock();
    if (!open_ || T(TableId::kQueue).Go(row) != Result::kSuccess) return false;
    ReadQueueEntry(out);
    return true;
}

uint32_t ProjectStore::SeekQueuedLocked(int32_t url_id) {
    auto& q = T(TableId::kQueue);
    q.SelectTag("URLID");
    // Done entries are deleted but keep their key: a URL is queued once per grab.
    const uint32_t row = q.SeekNumber(url_id) == Result::kSuccess ? q.RecNo() : 0;
    q.SelectTag("LEVEL");  // selecting a tag leaves the cursor where it is
    return row;
}

bool ProjectStore::QueueEntryOf(int32_t url_id, uint32_t* row, QueueEntry* out) {
    Guard guard = Lock();
    if (!open_) return false;
    *row = SeekQueuedLocked(url_id);
    if (*row == 0) return false;
    ReadQueueEntry(out);
    return true;
}

uint32_t ProjectStore::QueueWalker::First() { return Advance(true); }
uint32_t ProjectStore::QueueWalker::Next() { return Advance(false); }

uint32_t ProjectStore::QueueWalker::Advance(bool from_top) {
    ProjectStore& s = *store_;
    Guard guard = s.Lock();
    row_ = 0;
    if (!s.open_) return 0;
    auto& q = s.T(TableId::kQueue);
    q.SelectTag("LEVEL");
    Result r;
    if (from_top || key_.empty()) {
        r = q.Top();
    } else {
        // Stand on the entry we were on (or the next one if it is gone),
        // then move past it: entries added meanwhile are met in order.
        r = q.Seek(key_);
        if (r == Result::kSuccess) r = q.Skip();
    }
    for (; (r == Result::kSuccess || r == Result::kFoundAfter) && !q.Eof(); r = q.Skip()) {
        QueueEntry entry;
        s.ReadQueueEntry(&entry);
        key_ = Key10(entry.level) + Key10(entry.min_level) + Key10(q.RecNo());
        if (q.IsDeleted() || entry.status != '0') continue;
        const uint32_t row = q.RecNo();
        if (!s.FindByIdLocked(entry.url_id)) continue;
        row_ = row;
        return row_;
    }
    return 0;
}

// --- Seeding -----------------------------------------------------------------

bool ProjectStore::QueueStartUrl(int32_t id, StartTest test) {
    UrlProps props;
    if (!SeekProps(id)) return false;
    props = LoadProps(id);
    if (!FindByIdLocked(id)) return false;
    auto& u = T(TableId::kUrl);
    const int32_t kind = static_cast<int32_t>(u.Number(col_->u_kind));
    const int32_t levels = props.levels == -1 ? kUnlimitedLevels : props.levels;
    if (!test(levels, kind)) return false;
    QueueEntry entry;
    entry.url_id = id;
    entry.level = static_cast<int32_t>(u.Number(col_->u_level));
    entry.min_level = static_cast<int32_t>(u.Number(col_->u_min_level));
    entry.levels = levels;
    entry.filter_id = props.filter_id;
    entry.parent_id = 0;
    entry.auth_id = props.credentials.empty() ? 0 : id;
    return QueueAppend(entry);
}

bool ProjectStore::QueueAllStartUrls(StartTest test) {
    std::vector<int32_t> ids;
    auto& p = T(TableId::kProps);
    p.SelectTag("URLID");
    for (Result r = p.Top(); r == Result::kSuccess && !p.Eof(); r = p.Skip()) {
        if (!p.IsDeleted()) ids.push_back(static_cast<int32_t>(p.Number(col_->p_url_id)));
    }
    bool any = false;
    for (int32_t id : ids) any = QueueStartUrl(id, test) || any;
    return any;
}

bool ProjectStore::StartQueue(int32_t id, bool checks) {
    Guard guard = Lock();
    if (!open_ || !QueueEmpty()) return false;
    const StartTest test = checks ? NormalStart : AnyStart;
    if (id < 1) return QueueAllStartUrls(test);
    return QueueStartUrl(id, test);
}

bool ProjectStore::LinkCheckQueue(int32_t id) {
    Guard guard = Lock();
    if (!open_ || !QueueEmpty()) return false;
    if (id < 1) return QueueAllStartUrls(LinkCheckStart);
    return QueueStartUrl(id, LinkCheckStart);
}

bool ProjectStore::ListQueue(std::vector<int32_t>* list, int32_t kind) {
    Guard guard = Lock();
    if (!open_ || list->empty()) return false;
    if (!QueueEmpty()) return false;
    const StartTest test = kind == 4 ? LinkCheckStart : NormalStart;
    bool any = false;
    for (int32_t id : *list) {
        any = (id < 1 ? QueueAllStartUrls(test) : QueueStartUrl(id, test)) || any;
    }
    list->clear();
    return any;
}

}  // namespace fw
