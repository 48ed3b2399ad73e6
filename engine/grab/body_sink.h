// The body sink of a fetch: writes the local file through a 20480-byte
// buffer. The first flush creates (truncates) the file, later flushes
// append; a fetch that delivers no body bytes leaves the file untouched.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/net/url_fetch.h"
#include "platform/unique_fd.h"

namespace fw {

class BodySink : public FetchSink {
public:
    static constexpr size_t kBufferSize = 20480;

    explicit BodySink(std::string path);
    ~BodySink() override;
    BodySink(const BodySink&) = delete;
    BodySink& operator=(const BodySink&) = delete;

    // Writes the buffer out; a chunk that would fill the buffer past its
    // last byte is written together with it.
    void Write(const char* data, size_t length) override;
    // Writes what is buffered.
    void Flush();

    // Keeps a copy of the body in memory too, so a page can be parsed without
    // reading its file back. `wanted` is asked at the first body byte (the
    // response headers are known by then); a body longer than `limit` keeps
    // no copy.
    void KeepCopy(size_t limit, std::function<bool()> wanted);
    // Hands over the whole body when a copy was kept; none otherwise.
    std::optional<std::string> TakeCopy();

    // Whether any byte reached (or was meant for) the file.
    bool wrote() const { return opened_; }
    // False once a write failed (a full disk): the file is then incomplete.
    bool ok() const { return ok_; }

private:
    void WriteOut(const char* data, size_t length);
    void Open();

    void Copy(const char* data, size_t length);

    std::string path_;
    std::vector<char> buffer_;
    std::function<bool()> copy_wanted_;
    size_t copy_limit_ = 0;
    bool copying_ = false;  // copy_ holds every body byte so far
    std::string copy_;
    platform::UniqueFd fd_;  // opened by the first write
    bool opened_ = false;
    bool ok_ = true;
};

}  // namespace fw
