// The byte source behind the page scanners: a file or a caller's memory
// buffer, handed to the generated scanner one piece at a time. The scanner
// asks for as much as its buffer has room for: 16 KB while tokens are short;
// only a long token makes the buffer (and so the reads) grow, which keeps the
// cost of moving a partial token to the buffer's start linear.
//
// Untrusted pages may hold constructs (tags, attribute values, quoted strings)
// of any length, and the generated scanner grows its buffer to hold the token
// it is matching. No token of the scanners holds a ">" except as its last
// character (or within a short run of a fixed bound), so the source bounds
// what a token can span: once `window` bytes have gone by without a ">", it reports
// a break (a pretend end of input). The scanner then takes the longest match
// it has, and resumes with the rest of the input as if it were a new file.
// A construct longer than the window is therefore seen in pieces, and the
// scanner's buffer never needs to grow much beyond the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class StopEvent;
}

namespace fw {

class ScannerInput {
  public:
    static constexpr size_t kDefaultWindow = 1024 * 1024;

    ScannerInput() = default;
    ~ScannerInput();
    ScannerInput(const ScannerInput&) = delete;
    ScannerInput& operator=(const ScannerInput&) = delete;

    // Reads from the file at `path` from now on. False when it cannot be
    // opened (the source is then empty).
    bool OpenFile(const std::string& path);

    // Reads from `text` from now on. REQUIRES: `text` outlives the scan.
    void SetText(std::string_view text);

    // Lets go of the file or text; the source is empty afterwards.
    void Close();

    // Bytes that may pass without a ">" before a break is reported.
    // REQUIRES: window > 0.
    void set_window(size_t window) { window_ = window; }

    // Caps every read (tests use tiny reads to place breaks anywhere).
    // REQUIRES: max_read > 0.
    void set_max_read(size_t max_read) { max_read_ = max_read; }

    // Once `stop` is set, reads fail, which ends the scan. nullptr: never.
    // Not owned; REQUIRES: it outlives the scans.
    void set_stop(const platform::StopEvent* stop) { stop_ = stop; }

    // Copies up to max_size bytes into `buf`. Returns the count, 0 at the
    // end of the input or at a break, -1 on a read error.
    int Read(char* buf, int max_size);

    // True once after Read returned 0 for a break rather than the end.
    bool TakeBreak();

    // True when a read failed (or the stop was set) since the last
    // OpenFile/SetText.
    bool failed() const { return failed_; }

  private:
    void Account(const char* data, size_t size);

    int fd_ = -1;
    std::string_view text_;   // memory source; empty when reading a file
    size_t since_close_ = 0;  // bytes handed out since the last ">"
    size_t window_ = kDefaultWindow;
    size_t max_read_ = SIZE_MAX;
    const platform::StopEvent* stop_ = nullptr;
    bool break_pending_ = false;  // the last 0 from Read was a break
    bool failed_ = false;
};

}  // namespace fw
