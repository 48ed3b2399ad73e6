// Dizoziz: URL tree members that need no companion objects, and maintenance.
#include <algorithm>
#include <optional>
#include <unordered_set>

#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"
#include "engine/store/stored_file.h"
#include "platform/file_ops.h"

namespace fw {

HRESULT Dizoziz::HaveUrl(const std::string& url, int32_t* have) {
    if (!have) return E_POINTER;
    *have = 0;
    if (!open_) return S_OK;
    auto guard = store_.Lock();
    UrlRecord record;
    const int32_t id = store_.FindByUrl(url);
    if (id > 0 && store_.Load(id, &record) && record.url == url && record.status == 71) *have = 1;
    return S_OK;
}

HRESULT Dizoziz::HasChildren(int32_t parent_id, int32_t* has) {
    if (!has) return E_POINTER;
    if (!open_) return NotOpen();
    auto guard = store_.Lock();
    if (parent_id != 0 && !store_.Exists(parent_id)) return ReportError("Invalid URL ID");
    *has = store_.TreeChildren(parent_id, false).empty() ? 0 : 1;
    return S_OK;
}

HRESULT Dizoziz::DeleteUrl(int32_t id) {
    if (!open_) return NotOpen();
    {
        auto guard = store_.Lock();
        if (!store_.Exists(id)) return ReportError("Invalid URL ID");
        if (!store_.DeleteUrl(id)) return ReportError("Error Deleteing URL");
    }
    Fire(kOnGrabUrlDelete, id);
    return S_OK;
}

HRESULT Dizoziz::Clean() {
    if (!open_) return NotOpen();
    store_.Clean();
    return S_OK;
}

HRESULT Dizoziz::Pack() {
    if (!open_) return NotOpen();
    store_.Compact();
    return S_OK;
}

int32_t Dizoziz::TreeLevel(int32_t id) {
    UrlRecord record;
    if (id < 1 || !store_.Load(id, &record)) return -1;
    return record.level;
}

namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// Copies one stored file; an empty FILE has nothing to copy, and one that
// leads out of the content directory is left alone. (Such a FILE is also
// what would lead out of the target directory.)
bool ExportFile(const std::string& data_dir, const std::string& target_dir,
                const UrlRecord& record) {
    if (record.file.empty()) return true;
    const std::optional<std::string> source = StoredFilePath(data_dir, record.id, record.file);
    if (!source) return true;
    return platform::CopyReplacing(*source, target_dir + record.file);
}

}  // namespace

// A page's requisites are what it links to that is no page (images, style
// sheets, scripts, media, files) or was found as a requisite, and everything
// a style sheet among them pulls in, whatever level each was first found at:
// an exported page must show as it does in the project.
void Dizoziz::ExportRequisites(int32_t page, const std::string& target,
                               std::unordered_set<int32_t>* exported) {
    std::vector<int32_t> sheets{page};
    UrlRecord record;
    while (!sheets.empty()) {
        const int32_t from = sheets.back();
        sheets.pop_back();
        for (int32_t child : store_.PlainChildren(from, false)) {
            if (exported->count(child) || !store_.LoadRow(child, &record)) continue;
            // All a style sheet links to is shown with it; of a page's links,
            // those to other pages are not.
            if (from == page && record.kind == kKindHtml && record.min_level != 1) continue;
            exported->insert(child);
            ExportFile(data_dir_, target, record);
            if (record.kind == kKindCss) sheets.push_back(child);
        }
    }
}

HRESULT Dizoziz::ExportPage(int32_t id, const std::string& target_dir) {
    if (!open_) return NotOpen();
    if (target_dir.empty() || data_dir_.empty()) return S_OK;
    const std::string target = WithSlash(target_dir);
    auto guard = store_.Lock();
    UrlRecord record;
    if (id != 0) {
        if (!store_.Load(id, &record)) return S_OK;
        if (record.file.empty() || !ExportFile(data_dir_, target, record)) return S_OK;
    }
    std::unordered_set<int32_t> exported{id};
    ExportRequisites(id, target, &exported);
    return S_OK;
}

HRESULT Dizoziz::ExportTree(int32_t id, const std::string& target_dir) {
    if (!open_) return NotOpen();
    if (target_dir.empty() || data_dir_.empty()) return S_OK;
    const std::string target = WithSlash(target_dir);
    auto guard = store_.Lock();
    UrlRecord record;
    if (id != 0) {
        if (!store_.Load(id, &record)) return S_OK;
        if (record.file.empty() || !ExportFile(data_dir_, target, record)) return S_OK;
    }
    // Breadth first; a URL reached twice (same-level requisites linking each
    // other) is visited once. Every page met also brings its requisites,
    // also those first found elsewhere in the project.
    std::vector<int32_t> visit{id};
    std::unordered_set<int32_t> seen{id};
    std::unordered_set<int32_t> exported{id};
    for (size_t next = 0; next < visit.size(); ++next) {
        const int32_t url = visit[next];
        if (url != 0) ExportRequisites(url, target, &exported);
        const int32_t level = TreeLevel(url);
        for (int32_t child : store_.TreeChildren(url, true)) {
            if (!store_.Load(child, &record)) continue;
            if (!(record.level > level || (record.level == level && record.min_level == 1))) {
                continue;
            }
            if (exported.insert(child).second && !ExportFile(data_dir_, target, record)) {
                return S_OK;
            }
            if (seen.insert(child).second && !store_.TreeChildren(child, false).empty()) {
                visit.push_back(child);
            }
        }
    }
    return S_OK;
}

}  // namespace fw
