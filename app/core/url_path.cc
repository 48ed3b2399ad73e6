#include "app/core/url_path.h"

namespace corvalin {

std::string UrlPath(UrlPathKind kind, const UrlFacts& facts, const std::string& content_dir) {
    const bool local = IsGrabbed(facts.status, facts.error) && !facts.file.empty();
    switch (kind) {
        case UrlPathKind::kRemote:
            return facts.url;
        case UrlPathKind::kLocal:
            return local ? content_dir + facts.file : facts.url;
        case UrlPathKind::kLocalFile:
            return local ? content_dir + facts.file : std::string();
    }
    return std::string();
}

fw::HRESULT ReadUrlFacts(fw::IDizozizUrl* url, UrlFacts* facts) {
    if (!url || !facts) return fw::E_POINTER;
    fw::HRESULT hr = url->get_Status(&facts->status);
    if (fw::Succeeded(hr)) hr = url->get_Error(&facts->error);
    if (fw::Succeeded(hr)) hr = url->get_file(&facts->file);
    if (fw::Succeeded(hr)) hr = url->get_url(&facts->url);
    return hr;
}

}  // namespace corvalin
