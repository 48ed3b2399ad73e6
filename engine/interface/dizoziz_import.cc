// Dizoziz: Import of URL lists and Copy from another storage.
#include <cctype>
#include <deque>
#include <fstream>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/content/web_address.h"
#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"
#include "engine/store/stored_file.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

namespace {

// A URL list is read in blocks of this size, so a list of any length takes
// little memory; an address longer than this is not one.
constexpr size_t kImportBlockBytes = 1 << 20;

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// Whether the start of a file reads as HTML (a saved bookmark list): it
// holds a tag or a declaration. An address in angle brackets, as mail
// writes one ("<http://h/>"), is no tag: its word ends in ":".
bool LooksLikeHtml(std::string_view start) {
    for (size_t open = start.find('<'); open != std::string_view::npos;
         open = start.find('<', open + 1)) {
        size_t end = open + 1;
        if (end < start.size() && (start[end] == '!' || start[end] == '/')) return true;
        while (end < start.size() && std::isalnum(static_cast<unsigned char>(start[end]))) ++end;
        if (end == open + 1) continue;
        if (end == start.size() || start[end] == '>' || platform::IsLineWhite(start[end])) {
            return true;
        }
    }
    return false;
}

}  // namespace

HRESULT Dizoziz::Import(const std::string& path) {
    if (!open_) return NotOpen();
    std::ifstream in(path, std::ios::binary);
    if (!in) return S_OK;
    std::string text(kImportBlockBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (LooksLikeHtml(std::string_view(text).substr(0, 80))) {
        return ImportBookmarks(path);
    }
    // Each block is taken up to its last separator; the word cut there
    // begins the next block.
    std::string carried;
    for (;;) {
        const bool last = !in;
        const size_t cut = last ? text.size() : text.find_last_of(" \t\r\n");
        const size_t taken = cut == std::string::npos ? 0 : cut;
        std::vector<int32_t> added;
        {
            auto guard = store_.Lock();
            for (std::string_view url : AddressesInText(std::string_view(text).substr(0, taken))) {
                const ProjectStore::Added row = AddImportedAddress(store_, url);
                if (row.id > 0) added.push_back(row.id);
            }
        }
        for (int32_t id : added) Fire(kOnGrabUrlAdd, id);
        if (last) break;
        carried = text.substr(taken);
        if (carried.size() >= kImportBlockBytes) carried.clear();  // no address is that long
        text.resize(kImportBlockBytes);
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(in.gcount()));
        text.insert(0, carried);
    }
    return S_OK;
}

// --- Copy ---------------------------------------------------------------------

namespace {

struct Inherited {
    int32_t levels = 0;
    int32_t filter_id = 0;
    std::string credentials;
};

// The first positive levels, first positive filter id and first credentials
// found on the URL itself or up its shallower parents.
Inherited FindInherited(ProjectStore& source, int32_t id) {
    Inherited found;
    std::vector<int32_t> pending{id};
    std::unordered_set<int32_t> seen{id};
    for (size_t next = 0; next < pending.size(); ++next) {
        const int32_t url = pending[next];
        const UrlProps props = source.LoadProps(url);
        if (found.levels <= 0 && props.levels > 0) found.levels = props.levels;
        if (found.filter_id <= 0 && props.filter_id > 0) found.filter_id = props.filter_id;
        if (found.credentials.empty()) found.credentials = props.credentials;
        if (found.levels > 0 && found.filter_id > 0 && !found.credentials.empty()) break;
        UrlRecord record;
        if (!source.Load(url, &record)) continue;
        for (int32_t parent : source.Parents(url)) {
            UrlRecord parent_record;
            if (seen.count(parent) || !source.Load(parent, &parent_record)) continue;
            if (parent_record.level < record.level) {
                seen.insert(parent);
                pending.push_back(parent);
            }
        }
    }
    return found;
}

// A file name in `data_dir` that no file uses yet, as close to `file` as
// possible (name2.ext, name3.ext, ...).
std::string FreeFileName(const std::string& data_dir, const std::string& file) {
    if (!platform::FileExists(data_dir + file)) return file;
    const size_t slash = file.find_last_of('/');
    const size_t dot = file.find_last_of('.');
    const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string base = has_ext ? file.substr(0, dot) : file;
    const std::string ext = has_ext ? file.substr(dot) : std::string();
    for (int n = 2;; ++n) {
        std::string candidate = base + std::to_string(n) + ext;
        if (!platform::FileExists(data_dir + candidate)) return candidate;
    }
}

}  // namespace

HRESULT Dizoziz::Copy(const std::string& storage_dir, int32_t id) {
    if (!open_) return NotOpen();
    const std::string source_dir = WithSlash(storage_dir);
    auto guard = store_.Lock();

    if (source_dir == db_dir_ || source_dir == WithSlash(db_dir_)) {
        store_.AddLink(0, id);
        UrlRecord record;
        if (store_.Load(id, &record)) {
            record.level = 0;
            if (store_.LoadProps(id).levels == 0) store_.SetLevels(id, 1);
            store_.Write(&record);
        }
        return S_OK;
    }

    ProjectStore source;
    if (!source.Open(source_dir, source_dir, false) || !source.StartQueue(id, false)) {
        return ReportError("Could not copy from storage");
    }
    UrlRecord root;
    source.Load(id, &root);
    const int32_t base_level = root.level;
    const Inherited inherited = FindInherited(source, id);

    // Breadth first over the source subtree; each source URL is copied once
    // and linked from the copy of the URL that reached it.
    struct Pending {
        int32_t source_id;
        int32_t new_parent;
    };
    std::deque<Pending> pending{{id, 0}};
    std::unordered_map<int32_t, int32_t> copied;  // source id -> id here
    bool first = true;
    while (!pending.empty()) {
        const Pending item = pending.front();
        pending.pop_front();
        if (auto done = copied.find(item.source_id); done != copied.end()) {
            store_.AddLink(item.new_parent, done->second);
            continue;
        }
        UrlRecord from;
        if (!source.Load(item.source_id, &from)) continue;
        int32_t new_id = store_.FindByUrl(from.url);
        if (new_id == 0) {
            // A file of the same path here belongs to another URL: never
            // overwrite it.
            // A row whose FILE leads out of its project is not copied.
            std::string file;
            if (!from.file.empty()) {
                std::optional<std::string> source_file =
                    StoredFilePath(source_dir, from.id, from.file);
                if (!source_file) continue;
                if (!platform::FileExists(*source_file)) {
                    auto in_src = platform::PathInside(source_dir, "src/" + from.file);
                    if (in_src && platform::FileExists(*in_src)) source_file = std::move(in_src);
                }
                file = FreeFileName(data_dir_, from.file);
                const std::optional<std::string> target = platform::PathInside(data_dir_, file);
                if (!target || !platform::CopyReplacing(*source_file, *target)) file = from.file;
            }
            UrlRecord to = store_.NewRecord();
            to.level = std::max(0, from.level - base_level);
            to.min_level = from.min_level;
            to.kind = from.kind;
            to.status = from.status;
            to.url = from.url;
            to.title = from.title;
            to.file = file;
            to.content_type = from.content_type;
            to.modified = from.modified;
            to.grabbed = from.grabbed;
            to.is_new = from.is_new;
            to.error = from.error;
            if (!store_.Write(&to)) continue;
            new_id = to.id;
            if (first) {
                // Inherited levels count from the original start URL; the copy
                // keeps what was left of them, but never none (0), unlimited
                // (-1) or never (-2) by accident of the subtraction.
                const int32_t levels =
                    inherited.levels > 0 ? std::max(1, inherited.levels - base_level) : 0;
                store_.SetLevels(new_id, levels);
                if (!inherited.credentials.empty()) {
                    store_.SetCredentials(new_id, inherited.credentials);
                }
                CopyFilterSet(source, inherited.filter_id, new_id);
            }
        }
        first = false;
        copied[item.source_id] = new_id;
        store_.AddLink(item.new_parent, new_id);
        for (int32_t child : source.TreeChildren(item.source_id, true)) {
            if (!copied.count(child)) pending.push_back({child, new_id});
        }
    }
    source.Close();
    return S_OK;
}

void Dizoziz::CopyFilterSet(ProjectStore& source, int32_t filter_id, int32_t new_url) {
    if (filter_id <= 0) return;
    const auto rows = source.LoadFilterRows(filter_id);
    if (rows.empty()) return;
    const int32_t new_filter_id = store_.NextFilterId();
    for (const auto& row : rows) store_.AppendFilterRow(new_filter_id, row.type, row.text);
    store_.SetFilterId(new_url, new_filter_id);
}

}  // namespace fw
