#include "app/core/url_labels.h"

#include "app/core/display_title.h"
#include "app/core/url_path.h"

namespace corvalin {

UrlImage ListImageOf(int32_t html, int32_t status, int32_t error) {
    switch (html) {
        case fw::kKindText:
        case fw::kKindCss:
            return UrlImage::kText;
        case fw::kKindImage:
            return UrlImage::kImage;
        case fw::kKindOther:
            return UrlImage::kOther;
        default:
            return TreeImageOf(status, error);
    }
}

UrlImage TreeImageOf(int32_t status, int32_t error) {
    return IsGrabbed(status, error) ? UrlImage::kGrabbed : UrlImage::kNotGrabbed;
}

std::string StartUrlLabel(std::string_view notes, std::string_view title, std::string_view url) {
    const SplitNotes split = SplitDisplayTitle(notes);
    if (split.title && !split.title->empty()) return *split.title;
    return UrlLabel(title, url);
}

std::string UrlLabel(std::string_view title, std::string_view url) {
    return std::string(title.empty() ? url : title);
}

std::string FileLabel(std::string_view url) {
    const size_t slash = url.rfind('/');
    return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

}  // namespace corvalin
