// Dizoziz: the two searches of a project's stored pages, the pattern grep
// (Search) and the full-text index (IndexSearch, ValidIndexSearch).
#include <string_view>

#include "engine/filter/grep_pattern.h"
#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"
#include "engine/interface/url_collection.h"
#include "engine/search/search_error.h"
#include "engine/search/search_index.h"
#include "engine/store/stored_file.h"
#include "platform/file_ops.h"

namespace fw {

namespace {

// The part of each file the pattern grep reads.
constexpr size_t kGrepBytes = 1048576;

bool IsSearchedPage(const UrlRecord& record) {
    return record.status == kStatusGrabbed &&
           (record.kind == kKindHtml || record.kind == kKindText) && !record.file.empty();
}

struct StoredPage {
    int32_t id;
    std::string file;
    bool html;
};

// The grabbed pages and text files, in table order, but those whose FILE
// leads out of `data_dir`. The files are read afterwards, without the store
// lock, so a running grab is not held up.
std::vector<StoredPage> SearchedPages(ProjectStore& store, const std::string& data_dir) {
    std::vector<StoredPage> pages;
    store.ForEachUrl([&](const UrlRecord& record) {
        if (IsSearchedPage(record) && StoredFilePath(data_dir, record.id, record.file)) {
            pages.push_back({record.id, record.file, record.kind == kKindHtml});
        }
        return true;
    });
    return pages;
}

}  // namespace

std::vector<int32_t> Dizoziz::SearchFiles(const std::string& pattern, std::string* error) {
    GrepPattern grep;
    if (!grep.Compile(pattern, error)) return {};
    std::vector<int32_t> found;
    std::string text;
    for (const StoredPage& page : SearchedPages(store_, data_dir_)) {
        if (!platform::ReadFilePrefix(data_dir_ + page.file, kGrepBytes, &text)) continue;
        std::string_view view(text);
        view = view.substr(0, view.find('\0'));
        if (grep.Find(view) >= 0) found.push_back(page.id);
    }
    return found;
}

HRESULT Dizoziz::Search(const std::string& pattern, IDizozizEnumUrl** found) {
    if (!found) return E_POINTER;
    if (!open_) return NotOpen();
    std::string error;
    std::vector<int32_t> ids = SearchFiles(pattern, &error);
    if (!error.empty()) return ReportError(error);
    return HandOutUrls(this, std::move(ids), found);
}

namespace {

IndexSearchResult IndexSearchOf(Dizoziz* engine, const std::string& expression) {
    return RunIndexSearch(engine->data_dir(), expression, [engine] {
        std::vector<IndexDocument> documents;
        for (StoredPage& page : SearchedPages(engine->store(), engine->data_dir())) {
            documents.push_back({std::move(page.file), page.html});
        }
        return documents;
    });
}

}  // namespace

HRESULT Dizoziz::IndexSearch(const std::string& expression, IDizozizEnumUrl** found) {
    if (!found) return E_POINTER;
    if (!open_) return NotOpen();
    const IndexSearchResult result = IndexSearchOf(this, expression);
    if (result.error != kSearchOk) return ReportError(SearchIndex::Message(result.error));
    std::vector<int32_t> ids;
    auto guard = store_.Lock();
    for (const std::string& file : result.files) {
        // A file whose row went since the index was built is left out.
        const int32_t id = store_.FindByFile(file);
        if (id > 0) ids.push_back(id);
    }
    guard.unlock();
    return HandOutUrls(this, std::move(ids), found);
}

HRESULT Dizoziz::ValidIndexSearch(const std::string& expression, std::string* message) {
    if (!message) return E_POINTER;
    if (!open_) return NotOpen();
    const IndexSearchResult result = IndexSearchOf(this, expression);
    // An index that cannot be built or read says nothing about the
    // expression: that is a failure of the call, not a verdict.
    if (result.error == kIndexUnavailable) return ReportError(SearchIndex::Message(result.error));
    *message = result.error == kSearchOk ? std::string() : SearchIndex::Message(result.error);
    return S_OK;
}

}  // namespace fw
