// Dizoziz: members that hand out URL objects and collections.
#include <algorithm>
#include <unordered_set>

#include "engine/content/parsed_url.h"
#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"
#include "engine/interface/url_collection.h"
#include "engine/interface/url_object.h"

namespace fw {

namespace {

HRESULT InvalidId(int32_t id) { return ReportError("Invalid URL ID: " + std::to_string(id)); }

bool IsBadLink(int32_t error) { return error >= 400 && error <= 599; }

}  // namespace

HRESULT Dizoziz::EditUrl(int32_t id, IDizozizUrl** url) {
    if (!url) return E_POINTER;
    if (!open_) return NotOpen();
    auto guard = store_.Lock();
    UrlRecord record;
    if (!store_.Load(id, &record)) return InvalidId(id);
    return HandOut(UrlObject::Loaded(this, true, record, store_.LoadProps(id), std::string()), url);
}

HRESULT Dizoziz::NewUrl(IDizozizUrl** url) {
    if (!url) return E_POINTER;
    if (!open_) return NotOpen();
    return HandOut(UrlObject::New(this), url);
}

HRESULT Dizoziz::ReadUrl(int32_t id, IDizozizUrl** url) {
    if (!url) return E_POINTER;
    if (!open_) return NotOpen();
    if (!store_.Exists(id)) return InvalidId(id);
    return HandOut(UrlObject::Lazy(this, id), url);
}

HRESULT Dizoziz::GetUrl(const std::string& url, IDizozizUrl** found) {
    if (!found) return E_POINTER;
    if (!open_) return NotOpen();
    auto guard = store_.Lock();
    int32_t id = store_.FindByUrl(url);
    if (id < 1) {
        // Also by the form the project stores an address in (scheme and host
        // in lower case, a host's ASCII form, no user or password).
        ParsedUrl parsed;
        parsed.Parse(url);
        if (parsed.Text() != nullptr && url != parsed.Text()) id = store_.FindByUrl(parsed.Text());
    }
    UrlRecord record;
    if (id < 1 || !store_.Load(id, &record)) return ReportError("Invalid URL: " + url);
    return HandOut(UrlObject::Loaded(this, false, record, store_.LoadProps(id), data_dir_), found);
}

HRESULT Dizoziz::EnumChildren(int32_t parent_id, IDizozizEnumChild** children) {
    if (!children) return E_POINTER;
    if (!open_) return NotOpen();
    // The walk reads the columns the rule needs; no child row is loaded.
    int32_t level = -1;
    std::vector<int32_t> kept;
    for (const ProjectStore::TreeChild& child : store_.TreeChildColumns(parent_id, true, &level)) {
        if (child.level > level ||
            (child.level == level && child.min_level == 1 && child.kind != kKindHtml)) {
            kept.push_back(child.id);
        }
    }
    return HandOutChildren(this, std::move(kept), children);
}

HRESULT Dizoziz::NewEnumChildren(int32_t parent_id, int32_t safe, IDizozizEnumUrl** children) {
    if (!children) return E_POINTER;
    if (!open_) return NotOpen();
    auto guard = store_.Lock();
    if (parent_id != 0) {
        UrlRecord parent;
        if (!store_.Load(parent_id, &parent)) return ReportError("Invalid URL ID");
        if (parent.kind == kKindLinkCheck) return HandOutUrls(this, BadLinks(parent_id), children);
        if (parent.kind == kKindSearchFolder) {
            guard.unlock();
            return Search(parent.url, children);
        }
    }
    return HandOutUrls(this, store_.PlainChildren(parent_id, safe != 0), children);
}

HRESULT Dizoziz::EnumParents(int32_t child_id, IDizozizEnumUrl** parents) {
    if (!parents) return E_POINTER;
    if (!open_) return NotOpen();
    return HandOutUrls(this, store_.Parents(child_id), parents);
}

HRESULT Dizoziz::EnumBadLinks(int32_t id, IDizozizEnumUrl** bad) {
    if (!bad) return E_POINTER;
    if (!open_) return NotOpen();
    return HandOutUrls(this, BadLinks(id), bad);
}

std::vector<int32_t> Dizoziz::BadLinks(int32_t id) {
    auto guard = store_.Lock();
    std::vector<int32_t> bad;
    if (id == 0) {
        store_.ForEachUrl([&](const UrlRecord& record) {
            if (IsBadLink(record.error)) bad.push_back(record.id);
            return true;
        });
        return bad;
    }
    if (grab_.running() || !store_.HasProps(id)) return bad;
    // Every URL of the start URL's tree, in queue order (by level, requisites
    // after pages, then as found). The walk reaches every URL of the tree,
    // whatever level it was first recorded on.
    struct Found {
        int32_t id, level, min_level;
        size_t order;
    };
    std::vector<Found> reached;
    std::vector<int32_t> pending{id};
    std::unordered_set<int32_t> seen{id};
    UrlRecord record;
    for (size_t next = 0; next < pending.size(); ++next) {
        if (!store_.Load(pending[next], &record)) continue;
        if (IsBadLink(record.error)) {
            reached.push_back({record.id, record.level, record.min_level, next});
        }
        for (int32_t child : store_.TreeChildren(record.id, false)) {
            if (seen.insert(child).second) pending.push_back(child);
        }
    }
    std::stable_sort(reached.begin(), reached.end(), [](const Found& a, const Found& b) {
        if (a.level != b.level) return a.level < b.level;
        if (a.min_level != b.min_level) return a.min_level < b.min_level;
        return a.order < b.order;
    });
    for (const Found& f : reached) bad.push_back(f.id);
    return bad;
}

}  // namespace fw
