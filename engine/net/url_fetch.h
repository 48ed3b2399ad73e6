// The fetch record every fetch kind shares (plain HTTP, the secure path, FTP):
// progress state, where it failed, byte counters and the body sink. One
// object per URL, one Run, on the calling thread.
//
// State and counters may be read from another thread while Run is going (the
// engine's live status of a URL); everything else is read after Run.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/interface/fetchwell.h"

namespace fw {

// 0 Pending, 1 Lookup, 2 Connect, 3 Send, 4 Receive, 5 Done, 6 Error (7
// Fixing is the pipeline's own). The values are the ones callers see.
using FetchState = FetchStateCode;

// Where a fetch puts the body bytes. The pipeline's sink buffers and writes
// the local file; it is expected to buffer, as chunks arrive in read-sized
// pieces.
class FetchSink {
public:
    virtual ~FetchSink() = default;
    virtual void Write(const char* data, size_t length) = 0;
};

class UrlFetch {
public:
    // `sink` is not owned and may be null (the body is then discarded and
    // not counted). REQUIRES: the sink outlives Run.
    explicit UrlFetch(FetchSink* sink) : sink_(sink) {}
    virtual ~UrlFetch() = default;
    UrlFetch(const UrlFetch&) = delete;
    UrlFetch& operator=(const UrlFetch&) = delete;

    // Performs the whole fetch synchronously. Call once.
    virtual void Run() = 0;

    FetchState state() const { return state_.load(std::memory_order_relaxed); }
    // The state that was current when the fetch moved to Error.
    FetchState failed_at() const { return failed_at_.load(std::memory_order_relaxed); }
    // Request bytes sent; raw bytes read (headers included); body bytes
    // handed to the sink. Counted in 64 bits so a large body cannot wrap them.
    uint64_t bytes_sent() const { return bytes_sent_.load(std::memory_order_relaxed); }
    uint64_t bytes_received() const { return bytes_received_.load(std::memory_order_relaxed); }
    uint64_t body_bytes() const { return body_bytes_.load(std::memory_order_relaxed); }
    // The URL's error code (UrlErrorCode, or a proxy's refusing status) for
    // a failure that neither a response status nor failed_at() tells; 0
    // otherwise.
    int32_t failure_code() const { return failure_code_; }

    // A body longer than `bytes` is not kept: the fetch ends as soon as it
    // passes the limit, whatever the server announced, so an endless body
    // cannot hold a worker. No limit unless set; set before Run.
    void set_body_limit(uint64_t bytes) { body_limit_ = bytes; }
    bool body_limit_passed() const { return body_limit_passed_; }

    // A body longer than `bytes` is cut: unlike the body limit, which turns
    // away a file that is not wanted, the cap ends the fetch as a broken
    // transfer (Error, failed at Receive) with CapReason() in the log, so an
    // endless response cannot fill the disk. No cap unless set; set before
    // Run.
    void set_response_cap(uint64_t bytes) { response_cap_ = bytes; }
    bool response_cap_passed() const { return response_cap_passed_; }
    std::string CapReason() const {
        return "receive error: the response passed its cap of " + std::to_string(response_cap_) +
               " bytes";
    }

protected:
    void SetState(FetchState state) { state_.store(state, std::memory_order_relaxed); }
    // Records the current state as the failed-at state and moves to Error.
    void Fail() {
        failed_at_.store(state(), std::memory_order_relaxed);
        SetState(kFetchError);
    }
    void set_failure_code(int32_t code) { failure_code_ = code; }
    // Fail() with the code failure_code() reports.
    void FailWithCode(int32_t code) {
        failure_code_ = code;
        Fail();
    }
    void CountSent(uint64_t n) { bytes_sent_.fetch_add(n, std::memory_order_relaxed); }
    void CountReceived(uint64_t n) { bytes_received_.fetch_add(n, std::memory_order_relaxed); }
    // Hands body bytes to the sink and counts them. False, with nothing
    // written, once the body passes the body limit or the response cap: the
    // caller ends the fetch.
    bool WriteBody(const char* data, size_t length) {
        body_offered_ += length;
        if (body_offered_ > body_limit_) {
            body_limit_passed_ = true;
            return false;
        }
        if (body_offered_ > response_cap_) {
            response_cap_passed_ = true;
            return false;
        }
        if (sink_ == nullptr || length == 0) return true;
        sink_->Write(data, length);
        body_bytes_.fetch_add(length, std::memory_order_relaxed);
        return true;
    }

private:
    FetchSink* sink_;
    std::atomic<FetchState> state_{kFetchPending};
    std::atomic<FetchState> failed_at_{kFetchPending};
    std::atomic<uint64_t> bytes_sent_{0};
    std::atomic<uint64_t> bytes_received_{0};
    std::atomic<uint64_t> body_bytes_{0};
    uint64_t body_limit_ = UINT64_MAX;
    uint64_t response_cap_ = UINT64_MAX;
    uint64_t body_offered_ = 0;  // body bytes seen, kept or not
    bool body_limit_passed_ = false;
    bool response_cap_passed_ = false;
    int32_t failure_code_ = 0;
};

}  // namespace fw
