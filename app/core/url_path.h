// The path of a URL: where the user looks at it, locally or on the web.
#pragma once

#include <cstdint>
#include <string>

#include "engine/interface/fetchwell.h"

namespace corvalin {

enum class UrlPathKind : int {
    kLocal = 0,      // the local copy when grabbed, otherwise the URL
    kRemote = 1,     // the URL
    kLocalFile = 2,  // the local copy when grabbed, otherwise ""
};

// What the rule reads of a URL.
struct UrlFacts {
    int32_t status = 0;
    int32_t error = 0;
    std::string file;  // relative to the content directory
    std::string url;
};

// A URL counts as grabbed when its status is 71 and its error below 1000 (an
// HTTP error page was still saved; a failed connection left nothing).
inline bool IsGrabbed(int32_t status, int32_t error) {
    return status == fw::kStatusGrabbed && error < 1000;
}

// `content_dir` ends in "/".
std::string UrlPath(UrlPathKind kind, const UrlFacts& facts, const std::string& content_dir);

// Reads status, error, file and url from the engine's URL object.
fw::HRESULT ReadUrlFacts(fw::IDizozizUrl* url, UrlFacts* facts);

}  // namespace corvalin
