// In-memory copies of the rows the project store hands out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fw {

// One ZQURL row (with its title from ZQTITLE and its full URL text).
struct UrlRecord {
    int32_t id = 0;
    int32_t level = 0;      // link depth below the start URL
    int32_t min_level = 0;  // 1: found as a page requisite at its page's depth
    int32_t kind = 0;       // UrlKind
    int32_t status = 0;     // 0, 70 ('F') or 71 ('G')
    std::string url;        // full length
    std::string title;
    std::string file;       // relative to the data directory
    std::string content_type;
    int64_t created = 0;    // calendar seconds
    int64_t modified = 0;
    int64_t grabbed = 0;
    int32_t is_new = 0;     // 0/1
    int32_t error = 0;
    // The entity tag (ETag) of the last fetch's response, sent back as
    // If-None-Match; empty when none was sent or it was too long to keep.
    std::string etag;
    // Set by ProjectStore::NewRecord: the row does not exist yet and Write
    // appends it.
    bool not_appended = false;
};

// One ZQPROPS row: the settings of a URL that has its own.
struct UrlProps {
    int32_t levels = 0;    // n >= 1; 0 none/inherit; -1 unlimited; -2 never
    int32_t schedule = 0;  // JobKind
    int32_t filter_id = 0;
    std::string notes;
    std::string credentials;  // Base64 of "user:password", empty when none
};

// One ZQQUEUE row.
struct QueueEntry {
    int32_t url_id = 0;
    int32_t level = 0;
    int32_t min_level = 0;
    int32_t levels = 0;      // remaining depth; 2147483647 = unlimited
    char status = '0';       // '0' waiting, '1' taken, '2' done
    int32_t filter_id = 0;
    int32_t parent_id = 0;
    int32_t auth_id = 0;
};

inline constexpr int32_t kUnlimitedLevels = 2147483647;

// The width of ZQURL's ETAG column: the longest entity tag a row keeps.
inline constexpr size_t kEtagWidth = 80;

}  // namespace fw
