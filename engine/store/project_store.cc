#include "engine/store/project_store.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "engine/store/columns.h"
#include "engine/store/xbase/commit_journal.h"
#include "engine/support/log.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

ProjectStore::ProjectStore() {
    const auto& schemas = ProjectTables();
    for (size_t i = 0; i < schemas.size(); ++i) {
        tables_[i] = std::make_unique<StoreTable>(schemas[i]);
    }
}

ProjectStore::~ProjectStore() { Close(); }

bool ProjectStore::is_open() const { return open_; }

bool ProjectStore::Open(const std::string& db_dir, const std::string& data_dir, bool exclusive) {
    Guard guard = Lock();
    Close();
    db_dir_ = db_dir;
    data_dir_ = data_dir;
    exclusive_ = exclusive;
    open_failure_.clear();
    switch (xbase::ReplayJournal(JournalPath(), db_dir_)) {
        case xbase::ReplayOutcome::kReplayed:
            LogMessage("Completed the last commit of " + db_dir_);
            break;
        case xbase::ReplayOutcome::kFailed:
            LogMessage("Could not complete the last commit of " + db_dir_);
            open_failure_ = std::string("the last commit could not be completed from ") +
                            kJournalName;
            return false;
        case xbase::ReplayOutcome::kNone:
        case xbase::ReplayOutcome::kDiscarded:
            break;
    }
    if (!MayOpenTables()) return false;
    for (auto& table : tables_) {
        if (!table->Open(db_dir_, exclusive_)) {
            open_failure_ = table->open_failure();
            Close();
            return false;
        }
    }
    auto col = std::make_unique<Columns>();
    auto& u = T(TableId::kUrl);
    col->u_id = u.Field("ID");
    col->u_level = u.Field("LEVEL");
    col->u_min_level = u.Field("MINLEVEL");
    col->u_kind = u.Field("HTML");
    col->u_status = u.Field("STATUS");
    col->u_urlext = u.Field("URLEXT");
    col->u_url = u.Field("URL");
    col->u_file = u.Field("FILE");
    col->u_created = u.Field("CREATED");
    col->u_modified = u.Field("MODIFIED");
    col->u_grabbed = u.Field("GRABBED");
    col->u_new = u.Field("NEW");
    col->u_error = u.Field("ERROR");
    col->u_content = u.Field("CONTENT");
    col->u_etag = u.Field("ETAG");
    auto& p = T(TableId::kProps);
    col->p_url_id = p.Field("URLID");
    col->p_levels = p.Field("LEVELS");
    col->p_filter_id = p.Field("FILTERID");
    col->p_schedule = p.Field("SCHEDULE");
    col->p_auth = p.Field("AUTH");
    col->p_notes = p.Field("NOTES");
    auto& l = T(TableId::kLinks);
    col->l_from = l.Field("FROM");
    col->l_to = l.Field("TO");
    auto& t = T(TableId::kTitle);
    col->t_url_id = t.Field("URLID");
    col->t_title = t.Field("TITLE");
    auto& x = T(TableId::kUrlExt);
    col->x_url_id = x.Field("URLID");
    col->x_order = x.Field("ORDER");
    col->x_text = x.Field("URLEXT");
    auto& q = T(TableId::kQueue);
    col->q_url_id = q.Field("URLID");
    col->q_level = q.Field("LEVEL");
    col->q_min_level = q.Field("MINLEVEL");
    col->q_levels = q.Field("LEVELS");
    col->q_status = q.Field("STATUS");
    col->q_filter_id = q.Field("FILTERID");
    col->q_parent_id = q.Field("PARENTID");
    col->q_auth_id = q.Field("AUTHID");
    auto& f = T(TableId::kFilter);
    col->f_id = f.Field("ID");
    col->f_type = f.Field("TYPE");
    col->f_filter = f.Field("FILTER");
    col_ = std::move(col);

    const auto& schemas = ProjectTables();
    for (size_t i = 0; i < schemas.size(); ++i) {
        if (tables_[i]->SelectTag(schemas[i].selected_tag) != xbase::Result::kSuccess) {
            Close();
            return false;
        }
    }
    open_ = true;
    if (!ComputeCounters()) {
        Close();
        return false;
    }
    return true;
}

namespace {

// Whether `dir` + `prefix` names only what a new project may hold: files
// beginning with "ZQ" (ours: tables, their indexes, the journal, the name
// reservations), the engine's scratch files (".fw-"), and the content
// directory. A directory that cannot be listed passes: creating the tables
// will then fail and say so.
bool HoldsNoOtherFiles(const std::string& db_dir, const std::string& data_dir) {
    const size_t slash = db_dir.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : db_dir.substr(0, slash + 1);
    const std::string prefix = slash == std::string::npos ? db_dir : db_dir.substr(slash + 1);
    std::error_code error;
    std::filesystem::directory_iterator entries(dir, error);
    if (error) return true;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string_view rest = std::string_view(name).substr(prefix.size());
        if (platform::EqualsIgnoreCase(rest.substr(0, 2), "ZQ") || rest.starts_with(".fw-")) continue;
        if (prefix.empty() && dir + name + "/" == data_dir) continue;
        return false;
    }
    return true;
}

// Whether the data file at `path` holds no row, as a table just created
// does: its header counts none and nothing follows the header but the end
// mark.
bool EmptyTableFile(const std::string& path) {
    std::string header;
    if (!platform::ReadFilePrefix(path, 32, &header) || header.size() < 32) return false;
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(header[i])); };
    const uint32_t rows = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
    const uint32_t header_length = byte(8) | byte(9) << 8;
    const long long size = platform::FileSize(path);
    return rows == 0 && size >= 0 && size <= static_cast<long long>(header_length) + 1;
}

}  // namespace

bool ProjectStore::MayOpenTables() {
    std::string missing;
    size_t present = 0;
    bool all_empty = true;  // the present tables
    for (const auto& table : tables_) {
        const std::string file = std::string(table->name()) + ".DBF";
        if (platform::FileExists(db_dir_ + file)) {
            ++present;
            all_empty = all_empty && EmptyTableFile(db_dir_ + file);
        } else {
            missing += (missing.empty() ? "" : ", ") + file;
        }
    }
    if (missing.empty()) return true;
    // Empty tables beside missing ones are a new project whose creation a
    // kill cut short: the rest are created. Beside a table with rows, a
    // missing one was lost.
    if (present > 0 && !all_empty) {
        open_failure_ = missing + (present + 1 < tables_.size() ? " are missing" : " is missing");
    } else if (!HoldsNoOtherFiles(db_dir_, data_dir_)) {
        open_failure_ = db_dir_ + " holds no project tables but other files: it is not a "
                                  "project's data directory";
    } else {
        return true;
    }
    LogMessage("Not opening " + db_dir_ + ": " + open_failure_);
    return false;
}

bool ProjectStore::ComputeCounters() {
    auto& u = T(TableId::kUrl);
    u.SelectTag("ID");
    // Deleted rows count until compaction, so a deleted highest id is never
    // handed out again before then.
    next_url_id_ = 1;
    xbase::Result r = u.Bottom();
    if (r == xbase::Result::kSuccess && !u.Eof()) {
        next_url_id_ = static_cast<int32_t>(u.Number(col_->u_id)) + 1;
    } else if (xbase::IsError(r)) {
        return false;
    }
    auto& f = T(TableId::kFilter);
    next_filter_id_ = 1;
    r = f.Bottom();
    if (r == xbase::Result::kSuccess && !f.Eof()) {
        next_filter_id_ = static_cast<int32_t>(f.Number(col_->f_id)) + 1;
    } else if (xbase::IsError(r)) {
        return false;
    }
    return true;
}

void ProjectStore::Close() {
    Guard guard = Lock();
    if (open_) Commit();
    for (auto& table : tables_) table->Close();
    col_.reset();
    open_ = false;
}

bool ProjectStore::Commit() {
    Guard guard = Lock();
    if (!open_ || !exclusive_) return true;
    std::vector<xbase::FileEdits> edits;
    for (auto& table : tables_) {
        if (table->PendingEdits(&edits) != xbase::Result::kSuccess) return false;
    }
    if (edits.empty()) return true;
    // Content files the new rows name reach the disk before the rows do.
    if (sync_commits_) platform::SyncFileSystem(db_dir_);
    const std::string journal = JournalPath();
    if (xbase::WriteJournal(journal, db_dir_, edits, sync_commits_) != xbase::Result::kSuccess) {
        LogMessage("Could not write the commit journal " + journal);
        xbase::RemoveJournal(journal);
        return false;
    }
    bool ok = true;
    for (auto& table : tables_) ok = table->Flush() == xbase::Result::kSuccess && ok;
    if (!ok) return false;  // the journal stays: the next open completes the commit
    if (sync_commits_) platform::SyncFileSystem(db_dir_);
    xbase::RemoveJournal(journal);
    return true;
}

bool ProjectStore::FlushIfShared() {
    if (exclusive_) return true;
    bool ok = T(TableId::kUrl).Flush() == xbase::Result::kSuccess;
    ok = T(TableId::kProps).Flush() == xbase::Result::kSuccess && ok;
    ok = T(TableId::kTitle).Flush() == xbase::Result::kSuccess && ok;
    return ok;
}

}  // namespace fw
