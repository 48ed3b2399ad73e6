// ParsedUrl: the engine's one URL record. It splits URL text into fixed-size
// components, resolves relative links by scanning the link *into* a copy of
// the base, normalises dot segments, and builds the canonical absolute text
// that the project tables store and compare.
//
// Scheme words and host names are case-insensitive and stored in lower case;
// a host name in UTF-8 letters is stored in its ASCII (IDNA) form. Paths and
// queries keep what was written (UTF-8 names, marks such as '"'); the fetch
// percent-encodes them. There is no default-port removal and no
// percent-decoding; the fragment, the user and the password are kept as
// components but are never part of the text.
// Nothing reports an error: unrecognised characters are skipped, over-long
// components are cut to their capacity, and a record that cannot be made
// absolute has no text.
//
// A ParsedUrl is a plain value owned by its user and reused through Reset or
// Parse. It does not allocate; the scanner it uses keeps its buffers, one
// scanner per thread. Not safe for concurrent use of one object, not even of
// the const members (Text fills a cache).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fw {

// Scheme numbers are plain numbers that other parts store and compare.
enum class UrlScheme : int32_t {
    None = 0,
    Http = 1,
    Https = 2,
    Mailto = 3,
    Ftp = 4,
    Wais = 5,
    Gopher = 6,
    Telnet = 7,
    News = 8,
    File = 9,
};

class ParsedUrl {
public:
    // Capacities in bytes, not counting the terminating zero.
    static constexpr size_t kTextCapacity = 2048;  // also the longest text scanned
    static constexpr size_t kUserCapacity = 63;
    static constexpr size_t kPasswordCapacity = 63;
    static constexpr size_t kHostCapacity = 127;
    static constexpr size_t kPathCapacity = 2048;
    static constexpr size_t kQueryCapacity = 2048;
    static constexpr size_t kFragmentCapacity = 127;

    ParsedUrl() { Reset(); }

    // Empties every component; port -1, scheme None.
    void Reset();

    // Reset, then scan `text` (at most its first kTextCapacity bytes).
    void Parse(std::string_view text);

    // Scans `text` into the current components without resetting them. This
    // is link resolution: CopyFrom(base), then ParseRelative(link).
    void ParseRelative(std::string_view text);

    // Becomes a copy of `other` (Reset when `other` has no scheme). The
    // components go through the setters, so the path is normalised again.
    void CopyFrom(const ParsedUrl& other);

    // The absolute text, or null when the record is not absolute: Http, Https
    // and Ftp need a host, the other schemes a path. Never holds the user
    // or the password. Built on first use and
    // cached until the next setter; cut at kTextCapacity bytes. The pointer
    // stays valid until the next non-const call.
    const char* Text() const;

    UrlScheme scheme() const { return scheme_; }
    int32_t port() const { return port_; }  // -1 when the URL names none
    // Null when empty.
    const char* user() const { return user_.OrNull(); }
    const char* password() const { return password_.OrNull(); }
    const char* host() const { return host_.OrNull(); }
    // "/" when empty.
    const char* path() const { return path_.len ? path_.text : "/"; }
    // Null when empty; they include their leading "?" and "#".
    const char* query() const { return query_.OrNull(); }
    const char* fragment() const { return fragment_.OrNull(); }

    // The setters, as the scanner calls them. Each empties the cached text and
    // the components after it in URL order, as stated per setter.

    // From a scheme other than Http or Https, Reset first; then store. So a
    // scheme scanned onto an Http base keeps the base's other components
    // until later tokens replace them.
    void SetScheme(UrlScheme scheme);
    // "user:password@": split at the first ":" and the following "@"; the
    // same as SetUser then SetPassword.
    void SetUserPassword(std::string_view token);
    // Empties password, host, path, query and fragment.
    void SetUser(std::string_view user);
    // Empties host, path, query and fragment.
    void SetPassword(std::string_view password);
    // Empties path, query and fragment, and forgets the port: a link that
    // names a host without a port must not inherit the base's port. The
    // host is stored in lower case, a UTF-8 name in its ASCII form (no host
    // when it has none).
    void SetHost(std::string_view host);
    // `digits` is a run of decimal digits; values beyond 2^31-1 saturate.
    void SetPort(std::string_view digits);
    // Empties query and fragment, then merges `path` with the current path:
    // a path starting with "/" (or any path of Mailto and News) replaces it;
    // a relative path replaces the last segment (all of a path without "/");
    // onto an empty path it becomes "/" + path ("path" alone for File). Http,
    // Https, Ftp and File paths are then normalised with NormaliseDots.
    void SetPath(std::string_view path);
    // Store only.
    void SetQuery(std::string_view query);
    void SetFragment(std::string_view fragment);

private:
    template <size_t kCapacity>
    struct Component {
        uint32_t len;
        char text[kCapacity + 1];

        void Clear() {
            len = 0;
            text[0] = '\0';
        }
        void Assign(std::string_view value);
        void Append(std::string_view value);
        const char* OrNull() const { return len ? text : nullptr; }
        std::string_view view() const { return {text, len}; }
    };

    void ScanInto(std::string_view text);
    void BuildText() const;
    void CanonicalHost();

    UrlScheme scheme_;
    int32_t port_;
    Component<kUserCapacity> user_;
    Component<kPasswordCapacity> password_;
    Component<kHostCapacity> host_;
    Component<kPathCapacity> path_;
    Component<kQueryCapacity> query_;
    Component<kFragmentCapacity> fragment_;

    enum class TextState : uint8_t { Stale, Built, Absent };
    mutable TextState text_state_;
    mutable Component<kTextCapacity> text_;
};

// Removes "." and ".." segments and collapses runs of "/" in place, in one
// left-to-right pass; returns the new length. A segment of n dots climbs n - 1
// levels ("/a/b/../c" -> "/a/c", "/a/.../c" -> "/c"), never above the start;
// a dot segment is only removed when a "/" follows it.
size_t NormaliseDots(char* path, size_t len);

}  // namespace fw
