#include "app/core/copy_search.h"

#include "app/core/error_log.h"
#include "platform/text.h"

namespace corvalin {
namespace {

std::string EngineMessage(const EngineLoader& loader, fw::HRESULT hr) {
    std::string description;
    loader.TakeError(&description);
    return EngineErrorText(hr, description);
}

}  // namespace

CopySearchQuery ParseCopySearch(std::string_view input) {
    CopySearchQuery query;
    std::string_view text = platform::TrimView(input);
    if (text.size() >= 3 && platform::EqualsIgnoreCase(text.substr(0, 3), "re:")) {
        query.pattern = true;
        text = platform::TrimView(text.substr(3));
    }
    query.text = std::string(text);
    return query;
}

CopySearchResult RunCopySearch(fw::IDizoziz* engine, const EngineLoader& loader,
                               const CopySearchQuery& query, const std::string& content_dir) {
    CopySearchResult result;
    if (query.text.empty()) return result;
    fw::ComPtr<fw::IDizozizEnumUrl> found;
    fw::HRESULT hr = fw::S_OK;
    if (query.pattern) {
        hr = engine->Search(query.text, found.Receive());
    } else {
        std::string verdict;
        hr = engine->ValidIndexSearch(query.text, &verdict);
        if (fw::Succeeded(hr) && !verdict.empty()) {
            result.error = verdict;
            return result;
        }
        if (fw::Succeeded(hr)) hr = engine->IndexSearch(query.text, found.Receive());
    }
    int32_t count = 0;
    if (fw::Succeeded(hr)) hr = found->get_Count(&count);
    if (fw::Failed(hr)) {
        result.error = EngineMessage(loader, hr);
        return result;
    }
    for (int32_t i = 1; i <= count; ++i) {
        fw::ComPtr<fw::IDizozizUrl> url;
        CopySearchHit hit;
        // A page deleted since the search ran is left out.
        if (fw::Failed(found->get_Item(i, url.Receive())) || fw::Failed(url->get_id(&hit.id)) ||
            fw::Failed(url->get_url(&hit.url)) || fw::Failed(url->get_Title(&hit.title)) ||
            fw::Failed(url->get_file(&hit.file))) {
            continue;
        }
        if (!hit.file.empty()) hit.file = content_dir + hit.file;
        result.hits.push_back(std::move(hit));
    }
    return result;
}

}  // namespace corvalin
