// ZQURL rows and what hangs off them: long-URL pieces, titles, settings,
// links.
#include <ctime>

#include "engine/store/columns.h"
#include "engine/store/project_store.h"
#include "engine/store/stored_file.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

using xbase::Result;

namespace {

// The first of the pieces a URL is stored in: the URL column holds at most
// 240 bytes, never splitting a UTF-8 character and never ending in a blank
// (stored text loses its trailing blanks when read back); the rest goes to
// ZQURLEXT.
std::string_view FirstUrlPiece(std::string_view url) {
    std::string_view piece = platform::CutUtf8(url, kTextColumnWidth);
    while (piece.size() > 1 && piece.size() < url.size() && piece.back() == ' ') {
        piece.remove_suffix(1);
    }
    if (piece.empty()) piece = url.substr(0, 1);  // defensive: always progress
    return piece;
}

// All the pieces of a URL, cut as FirstUrlPiece cuts the first.
std::vector<std::string_view> SplitUrl(std::string_view url) {
    std::vector<std::string_view> pieces;
    while (!url.empty()) {
        const std::string_view piece = FirstUrlPiece(url);
        pieces.push_back(piece);
        url.remove_prefix(piece.size());
    }
    if (pieces.empty()) pieces.emplace_back();
    return pieces;
}

char StatusLetter(int32_t status) {
    if (status == 70) return 'F';
    if (status == 71) return 'G';
    return ' ';
}

int32_t StatusFromLetter(std::string_view text) {
    if (text == "F") return 70;
    if (text == "G") return 71;
    return 0;
}

}  // namespace

bool ProjectStore::FindByIdLocked(int32_t id) {
    auto& u = T(TableId::kUrl);
    u.SelectTag("ID");
    if (u.SeekNumber(id) != Result::kSuccess) return false;
    if (!u.IsDeleted()) return true;
    // A deleted row may be followed by a live one of the same id.
    while (u.Skip() == Result::kSuccess && !u.Eof()) {
        if (!u.IsDeleted()) return u.Number(col_->u_id) == id;
    }
    return false;
}

bool ProjectStore::Exists(int32_t id) {
    Guard guard = Lock();
    return open_ && id > 0 && FindByIdLocked(id);
}

std::string ProjectStore::FullUrlOfCurrentRow() {
    auto& u = T(TableId::kUrl);
    std::string url = u.Text(col_->u_url);
    if (u.TextView(col_->u_urlext) != "1") return url;
    const int32_t id = static_cast<int32_t>(u.Number(col_->u_id));
    auto& x = T(TableId::kUrlExt);
    for (int32_t order = 1;; ++order) {
        const std::string key = Key10(id) + Key10(order);
        if (x.Seek(key) != Result::kSuccess) break;
        bool found = false;
        // Equal keys: the live row wins.
        do {
            if (x.Number(col_->x_url_id) != id || x.Number(col_->x_order) != order) break;
            if (!x.IsDeleted()) {
                url += x.Text(col_->x_text);
                found = true;
                break;
            }
        } while (x.Skip() == Result::kSuccess && !x.Eof());
        if (!found) break;
    }
    return url;
}

void ProjectStore::ReadCurrentUrlRow(UrlRecord* out, std::string_view known_url) {
    auto& u = T(TableId::kUrl);
    out->id = static_cast<int32_t>(u.Number(col_->u_id));
    out->level = static_cast<int32_t>(u.Number(col_->u_level));
    out->min_level = static_cast<int32_t>(u.Number(col_->u_min_level));
    out->kind = static_cast<int32_t>(u.Number(col_->u_kind));
    out->status = StatusFromLetter(u.TextView(col_->u_status));
    out->file.assign(u.TextView(col_->u_file));
    out->content_type.assign(u.TextView(col_->u_content));
    out->created = u.Number(col_->u_created);
    out->modified = u.Number(col_->u_modified);
    out->grabbed = u.Number(col_->u_grabbed);
    out->is_new = static_cast<int32_t>(u.Number(col_->u_new));
    out->error = static_cast<int32_t>(u.Number(col_->u_error));
    if (col_->u_etag >= 0) {
        out->etag.assign(u.TextView(col_->u_etag));
    } else {
        out->etag.clear();
    }
    out->not_appended = false;
    if (known_url.empty()) {
        out->url = FullUrlOfCurrentRow();
    } else {
        out->url.assign(known_url);
    }
}

bool ProjectStore::Load(int32_t id, UrlRecord* out) {
    Guard guard = Lock();
    if (!LoadRow(id, out)) return false;
    out->title = Title(id);
    return true;
}

bool ProjectStore::LoadRow(int32_t id, UrlRecord* out) {
    Guard guard = Lock();
    if (!open_ || !FindByIdLocked(id)) return false;
    ReadCurrentUrlRow(out, {});
    out->title.clear();
    return true;
}

bool ProjectStore::SeekUrl(std::string_view url) {
    if (url.empty()) return false;
    const std::string_view first_piece = FirstUrlPiece(url);
    const bool one_piece = first_piece.size() == url.size();
    char buffer[kTextColumnWidth];
    const std::string_view key = PaddedKey(first_piece, buffer);
    auto& u = T(TableId::kUrl);
    u.SelectTag("URL");
    if (u.Seek(key) != Result::kSuccess) return false;
    // Several rows can share the first 240 characters; compare full URLs.
    const std::string_view first = platform::TrimRightBlanks(key);
    do {
        if (u.TextView(col_->u_url) != first) break;
        if (u.IsDeleted()) continue;
        const bool continued = u.TextView(col_->u_urlext) == "1";
        if (one_piece && !continued) return true;
        if (!one_piece && continued && FullUrlOfCurrentRow() == url) return true;
    } while (u.Skip() == Result::kSuccess && !u.Eof());
    return false;
}

int32_t ProjectStore::FindByUrl(std::string_view url) {
    Guard guard = Lock();
    if (!open_ || !SeekUrl(url)) return 0;
    return static_cast<int32_t>(T(TableId::kUrl).Number(col_->u_id));
}

bool ProjectStore::FindUrlRow(std::string_view url, UrlRecord* out) {
    Guard guard = Lock();
    if (!open_ || !SeekUrl(url)) return false;
    // The row's full URL is the one sought: its pieces need not be read.
    ReadCurrentUrlRow(out, url);
    out->title.clear();
    return true;
}

int32_t ProjectStore::FindByFile(std::string_view file) {
    Guard guard = Lock();
    if (!open_ || file.empty()) return 0;
    char buffer[kTextColumnWidth];
    const std::string_view key = PaddedKey(file, buffer);
    auto& u = T(TableId::kUrl);
    u.SelectTag("FILE");
    if (u.Seek(key) != Result::kSuccess) return 0;
    const std::string_view wanted = platform::TrimRightBlanks(key);
    do {
        if (u.TextView(col_->u_file) != wanted) break;
        if (!u.IsDeleted()) return static_cast<int32_t>(u.Number(col_->u_id));
    } while (u.Skip() == Result::kSuccess && !u.Eof());
    return 0;
}

UrlRecord ProjectStore::NewRecord() {
    Guard guard = Lock();
    UrlRecord record;
    record.id = next_url_id_++;
    record.created = record.modified = static_cast<int64_t>(std::time(nullptr));
    record.not_appended = true;
    return record;
}

bool ProjectStore::Write(UrlRecord* record) {
    Guard guard = Lock();
    if (!open_) return false;
    auto& u = T(TableId::kUrl);
    // Whether ZQURLEXT may hold pieces of this id: a new row cleans up
    // after any earlier life of its id; a row that was not continued has
    // none to replace or delete.
    bool had_pieces = true;
    if (record->not_appended) {
        if (u.AppendStart() != Result::kSuccess) return false;
    } else if (!FindByIdLocked(record->id)) {
        return false;
    } else {
        had_pieces = u.TextView(col_->u_urlext) == "1";
    }
    const auto pieces = SplitUrl(record->url);
    u.SetNumber(col_->u_id, record->id);
    u.SetNumber(col_->u_level, record->level);
    u.SetNumber(col_->u_min_level, record->min_level);
    u.SetNumber(col_->u_kind, record->kind);
    u.SetText(col_->u_status, std::string(1, StatusLetter(record->status)));
    u.SetText(col_->u_urlext, pieces.size() > 1 ? "1" : "0");
    u.SetText(col_->u_url, pieces[0]);
    u.SetText(col_->u_file, record->file);
    u.SetText(col_->u_content, record->content_type);
    u.SetNumber(col_->u_created, record->created);
    u.SetNumber(col_->u_modified, record->modified);
    u.SetNumber(col_->u_grabbed, record->grabbed);
    u.SetNumber(col_->u_new, record->is_new ? 1 : 0);
    u.SetNumber(col_->u_error, record->error);
    if (col_->u_etag >= 0) {
        // A tag cut to the width would never match again: one that does not
        // fit is not kept.
        const bool fits = record->etag.size() <= kEtagWidth;
        u.SetText(col_->u_etag, fits ? std::string_view(record->etag) : std::string_view());
    }
    Result r = record->not_appended ? u.Append() : u.Update();
    if (r != Result::kSuccess) return false;
    if (had_pieces || pieces.size() > 1) WriteUrlPieces(record->id, record->url);
    if (!record->title.empty()) SetTitle(record->id, record->title);
    FlushIfShared();
    record->not_appended = false;
    return true;
}

bool ProjectStore::WriteUrlPieces(int32_t id, std::string_view url) {
    const auto pieces = SplitUrl(url);
    auto& x = T(TableId::kUrlExt);
    bool ok = true;
    for (size_t k = 1; k < pieces.size(); ++k) {
        const int32_t order = static_cast<int32_t>(k);
        // Reuse the row of this piece (live or deleted) so pieces never pile up.
        if (x.Seek(Key10(id) + Key10(order)) == Result::kSuccess) {
            x.SetText(col_->x_text, pieces[k]);
            if (x.IsDeleted()) x.Undelete();
            ok = x.Update() == Result::kSuccess && ok;
        } else {
            x.AppendStart();
            x.SetNumber(col_->x_url_id, id);
            x.SetNumber(col_->x_order, order);
            x.SetText(col_->x_text, pieces[k]);
            ok = x.Append() == Result::kSuccess && ok;
        }
    }
    DeleteUrlPieces(id, static_cast<int32_t>(pieces.size()));
    return ok;
}

void ProjectStore::DeleteUrlPieces(int32_t id, int32_t from_order) {
    auto& x = T(TableId::kUrlExt);
    std::vector<uint32_t> rows;
    if (x.Seek(Key10(id)) == Result::kEof) return;
    while (!x.Eof() && x.Number(col_->x_url_id) == id) {
        if (x.Number(col_->x_order) >= from_order && !x.IsDeleted()) rows.push_back(x.RecNo());
        if (x.Skip() != Result::kSuccess) break;
    }
    for (uint32_t row : rows) {
        if (x.Go(row) == Result::kSuccess) x.Delete();
    }
}

bool ProjectStore::SetStatus(int32_t id, int32_t status) {
    Guard guard = Lock();
    if (!open_ || !FindByIdLocked(id)) return false;
    auto& u = T(TableId::kUrl);
    u.SetText(col_->u_status, std::string(1, StatusLetter(status)));
    bool ok = u.Update() == Result::kSuccess;
    FlushIfShared();
    return ok;
}

// --- Titles ---------------------------------------------------------------

bool ProjectStore::PositionTitle(int32_t id) {
    auto& t = T(TableId::kTitle);
    if (t.SeekNumber(id) != Result::kSuccess) return false;
    do {
        if (t.Number(col_->t_url_id) != id) return false;
        if (!t.IsDeleted()) return true;
    } while (t.Skip() == Result::kSuccess && !t.Eof());
    return false;
}

std::string ProjectStore::Title(int32_t id) {
    Guard guard = Lock();
    if (!open_ || !PositionTitle(id)) return std::string();
    return T(TableId::kTitle).Text(col_->t_title);
}

void ProjectStore::SetTitle(int32_t id, std::string_view title) {
    Guard guard = Lock();
    if (!open_) return;
    auto& t = T(TableId::kTitle);
    if (PositionTitle(id)) {
        t.SetText(col_->t_title, title);
        t.Update();
    } else {
        t.AppendStart();
        t.SetNumber(col_->t_url_id, id);
        t.SetText(col_->t_title, title);
        t.Append();
    }
    FlushIfShared();
}

// --- Settings ---------------------------------------------------------------

bool ProjectStore::SeekProps(int32_t id) {
    auto& p = T(TableId::kProps);
    if (p.SeekNumber(id) != Result::kSuccess) return false;
    do {
        if (p.Number(col_->p_url_id) != id) return false;
        if (!p.IsDeleted()) return true;
    } while (p.Skip() == Result::kSuccess && !p.Eof());
    return false;
}

bool ProjectStore::EnsureProps(int32_t id) {
    if (SeekProps(id)) return true;
    auto& p = T(TableId::kProps);
    if (p.AppendStart() != Result::kSuccess) return false;
    p.SetNumber(col_->p_url_id, id);
    p.SetNumber(col_->p_levels, 0);
    p.SetNumber(col_->p_filter_id, 0);
    return p.Append() == Result::kSuccess && SeekProps(id);
}

bool ProjectStore::HasProps(int32_t id) {
    Guard guard = Lock();
    return open_ && SeekProps(id);
}

UrlProps ProjectStore::LoadProps(int32_t id) {
    Guard guard = Lock();
    UrlProps props;
    if (!open_ || !SeekProps(id)) return props;
    auto& p = T(TableId::kProps);
    props.levels = static_cast<int32_t>(p.Number(col_->p_levels));
    props.filter_id = static_cast<int32_t>(p.Number(col_->p_filter_id));
    const std::string schedule = p.Text(col_->p_schedule);
    if (!schedule.empty() && schedule[0] >= '0' && schedule[0] <= '9') {
        props.schedule = schedule[0] - '0';
    }
    props.credentials = p.Text(col_->p_auth);
    props.notes = p.Text(col_->p_notes);
    return props;
}

void ProjectStore::SetLevels(int32_t id, int32_t levels) {
    Guard guard = Lock();
    if (!open_ || !EnsureProps(id)) return;
    auto& p = T(TableId::kProps);
    p.SetNumber(col_->p_levels, levels);
    p.Update();
    FlushIfShared();
}

void ProjectStore::SetFilterId(int32_t id, int32_t filter_id) {
    Guard guard = Lock();
    if (!open_ || !EnsureProps(id)) return;
    auto& p = T(TableId::kProps);
    p.SetNumber(col_->p_filter_id, filter_id);
    p.Update();
    FlushIfShared();
}

void ProjectStore::SetSchedule(int32_t id, int32_t schedule) {
    Guard guard = Lock();
    if (!open_) return;
    if (!(schedule != 0 ? EnsureProps(id) : SeekProps(id))) return;
    auto& p = T(TableId::kProps);
    // The first character holds the digit; values outside 0..9 keep a digit.
    const char digit = static_cast<char>('0' + ((schedule % 10 + 10) % 10));
    p.SetText(col_->p_schedule, std::string(1, digit));
    p.Update();
    FlushIfShared();
}

void ProjectStore::SetNotes(int32_t id, std::string_view notes) {
    Guard guard = Lock();
    if (!open_) return;
    if (!(!notes.empty() ? EnsureProps(id) : SeekProps(id))) return;
    auto& p = T(TableId::kProps);
    p.SetText(col_->p_notes, notes);
    p.Update();
    FlushIfShared();
}

void ProjectStore::SetCredentials(int32_t id, std::string_view credentials) {
    Guard guard = Lock();
    if (!open_) return;
    if (!(!credentials.empty() ? EnsureProps(id) : SeekProps(id))) return;
    auto& p = T(TableId::kProps);
    p.SetText(col_->p_auth, credentials);
    p.Update();
    FlushIfShared();
}

// --- Adding and removing ---------------------------------------------------

ProjectStore::Added ProjectStore::AddUrl(int32_t parent, int32_t level, int32_t min_level,
                                         std::string_view url, int32_t kind) {
    Guard guard = Lock();
    Added added;
    if (!open_) return added;
    added.id = FindByUrl(url);
    if (added.id == 0) {
        UrlRecord record = NewRecord();
        record.level = level;
        record.min_level = min_level;
        record.kind = kind;
        record.url = std::string(url);
        if (!Write(&record)) return Added{};
        added.id = record.id;
        added.created = true;
        if (level == 0 && min_level == 0) SetLevels(added.id, 1);
    }
    AddLink(parent, added.id);
    return added;
}

int32_t ProjectStore::AddSearchFolder(std::string_view text) {
    Guard guard = Lock();
    if (!open_ || text.empty()) return 0;
    UrlRecord record = NewRecord();
    record.kind = 5;
    record.url = std::string(text);
    if (!Write(&record)) return 0;
    AddLink(0, record.id);
    return record.id;
}

void ProjectStore::AddLink(int32_t from, int32_t to) {
    Guard guard = Lock();
    if (!open_) return;
    auto& l = T(TableId::kLinks);
    l.AppendStart();
    l.SetNumber(col_->l_from, from);
    l.SetNumber(col_->l_to, to);
    if (l.Append() != Result::kDuplicate) return;
    // The pair exists: a link deleted earlier comes back.
    if (l.Seek(Key10(from) + Key10(to)) == Result::kSuccess && l.IsDeleted()) {
        l.Undelete();
        l.Update();
    }
}

void ProjectStore::RemoveLinksFrom(int32_t id) {
    Guard guard = Lock();
    if (!open_) return;
    auto& l = T(TableId::kLinks);
    std::vector<uint32_t> rows;
    if (l.Seek(Key10(id)) != Result::kEof) {
        while (!l.Eof() && l.Number(col_->l_from) == id) {
            if (!l.IsDeleted()) rows.push_back(l.RecNo());
            if (l.Skip() != Result::kSuccess) break;
        }
    }
    for (uint32_t row : rows) {
        if (l.Go(row) == Result::kSuccess) l.Delete();
    }
}

bool ProjectStore::DeleteUrl(int32_t id) {
    Guard guard = Lock();
    if (!open_ || !FindByIdLocked(id)) return false;
    auto& u = T(TableId::kUrl);
    const uint32_t url_row = u.RecNo();
    if (const auto path = StoredFilePath(data_dir_, id, u.Text(col_->u_file))) {
        platform::RemoveFile(*path);
    }

    if (SeekProps(id)) T(TableId::kProps).Delete();
    if (PositionTitle(id)) T(TableId::kTitle).Delete();
    DeleteUrlPieces(id, 1);
    RemoveLinksFrom(id);
    // Links to the URL, found through the TO tag, which holds live links only.
    auto& l = T(TableId::kLinks);
    std::vector<uint32_t> rows;
    l.SelectTag("TO");
    if (l.Seek(Key10(id)) != Result::kEof) {
        while (!l.Eof() && l.Number(col_->l_to) == id) {
            rows.push_back(l.RecNo());
            if (l.Skip() != Result::kSuccess) break;
        }
    }
    for (uint32_t row : rows) {
        if (l.Go(row) == Result::kSuccess) l.Delete();
    }
    l.SelectTag("LINKS");

    bool ok = u.Go(url_row) == Result::kSuccess && u.Delete() == Result::kSuccess;
    FlushIfShared();
    return ok;
}

}  // namespace fw
