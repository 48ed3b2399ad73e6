// Dizoziz: opening and closing, mode flags, events, and the members that are
// not built yet.
#include "engine/interface/dizoziz.h"

#include "engine/interface/error_info.h"
#include "engine/interface/prefs_object.h"
#include "engine/net/cookie_store.h"
#include "engine/search/search_index.h"
#include "engine/support/log.h"

namespace fw {

namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

Dizoziz::Dizoziz() {
    // Cookies are kept for the program, shared by every fetch, plain or secure.
    InstallProgramCookieStore();
    DialUpHooks hooks;
    hooks.dial_if_needed = [this] { return dial_up_.DialIfNeeded(grab_prefs_); };
    hooks.connection_alive = [this] { return dial_up_.ConnectionAlive(); };
    hooks.hang_up_if_dialled = [this] { dial_up_.HangUpIfDialled(); };
    grab_.set_dial_up(std::move(hooks));
    // A new job starts from a fresh index: the old one no longer matches.
    grab_.set_before_start([this] { DiscardSearchIndex(data_dir_); });
}

Dizoziz::~Dizoziz() {
    grab_.EndAnyGrab();
    if (open_) {
        LogMessage("Closing " + db_dir_);
        store_.Close();
    }
}

HRESULT Dizoziz::NotOpen() { return ReportError("Storage is not open"); }

HRESULT Dizoziz::Open(const std::string& path) {
    const std::string dir = WithSlash(path);
    return OpenAt(dir, dir);
}

HRESULT Dizoziz::OpenPlus(const std::string& db_dir, const std::string& data_dir) {
    return OpenAt(db_dir, WithSlash(data_dir));
}

HRESULT Dizoziz::OpenAt(const std::string& db_dir, const std::string& data_dir) {
    if (open_) {
        if (data_dir == data_dir_) {
            ++open_count_;
            return S_OK;
        }
        return ReportError("A Storage is already open");
    }
    data_dir_ = data_dir;
    db_dir_ = db_dir;
    LogMessage("Opening " + db_dir_ + " " + (exclusive_mode_ ? "1" : "0"));
    if (!store_.Open(db_dir_, data_dir_, exclusive_mode_)) {
        LogMessage("Error Opening " + db_dir_);
        return ReportError("Error opening storage");
    }
    open_count_ = 1;
    open_ = true;
    return S_OK;
}

HRESULT Dizoziz::Close() {
    if (!open_) return NotOpen();
    if (open_count_ >= 2) {
        --open_count_;
        return S_OK;
    }
    grab_.EndAnyGrab();  // a grab never outlives the tables it works on
    LogMessage("Closing " + db_dir_);
    store_.Close();
    open_count_ = 0;
    open_ = false;
    return S_OK;
}

HRESULT Dizoziz::IsOpen(int32_t* open) {
    if (!open) return E_POINTER;
    *open = open_ ? 1 : 0;
    return S_OK;
}

HRESULT Dizoziz::UseEdgeLink(const std::string& edge_file) {
    std::lock_guard<std::mutex> guard(edge_mutex_);
    edge_file_ = edge_file;
    return S_OK;
}

std::string Dizoziz::edge_file() {
    std::lock_guard<std::mutex> guard(edge_mutex_);
    return edge_file_;
}

HRESULT Dizoziz::ExclusiveMode(int32_t flag) {
    exclusive_mode_ = flag != 0;
    return S_OK;
}

HRESULT Dizoziz::EarlyNotify(int32_t flag) {
    early_notify_ = flag != 0;
    return S_OK;
}

HRESULT Dizoziz::PageOrder(int32_t flag) {
    page_order_ = flag != 0;
    return S_OK;
}

HRESULT Dizoziz::HelpMode(int32_t flag) {
    help_mode_ = flag != 0;
    return S_OK;
}

HRESULT Dizoziz::Advise(IDizozizEvents* sink, uint32_t* cookie) {
    return events_.Advise(sink, cookie);
}

HRESULT Dizoziz::Unadvise(uint32_t cookie) { return events_.Unadvise(cookie); }

namespace {

// A preferences object that keeps its engine (and so the preferences it
// reads and writes) alive for as long as the caller holds it.
class BoundPrefs : public PrefsObject {
public:
    explicit BoundPrefs(Dizoziz* engine) : PrefsObject(&engine->prefs()), engine_(engine) {}

private:
    ComPtr<Dizoziz> engine_;
};

}  // namespace

HRESULT Dizoziz::Preferences(IDizozizPrefs** prefs) {
    if (!prefs) return E_POINTER;
    return HandOut(MakeObject<BoundPrefs>(this), prefs);
}

HRESULT Dizoziz::UpdateUrl(IDizozizUrl**) { return ReportError("Method Not Implemented"); }

HRESULT Dizoziz::GetUrlFile(const std::string&, std::string*, int32_t*) { return S_OK; }

}  // namespace fw
