#include "engine/content/scanner_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/event.h"

namespace fw {

ScannerInput::~ScannerInput() {
    Close();
}

void ScannerInput::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    text_ = {};
}

bool ScannerInput::OpenFile(const std::string& path) {
    Close();
    since_close_ = 0;
    break_pending_ = false;
    failed_ = false;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

void ScannerInput::SetText(std::string_view text) {
    Close();
    text_ = text;
    since_close_ = 0;
    break_pending_ = false;
    failed_ = false;
}

int ScannerInput::Read(char* buf, int max_size) {
    if (max_size <= 0) return 0;
    // Checked once a read (16 KB as a rule), so a stop ends even a page of
    // gigabytes at once.
    if (stop_ && stop_->IsSet()) {
        failed_ = true;
        return -1;
    }
    if (since_close_ >= window_) {
        since_close_ = 0;
        break_pending_ = true;
        return 0;
    }
    size_t want = std::min(static_cast<size_t>(max_size), max_read_);
    size_t got = 0;
    if (fd_ >= 0) {
        ssize_t n;
        do {
            n = ::read(fd_, buf, want);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            failed_ = true;
            return -1;
        }
        got = static_cast<size_t>(n);
    } else {
        got = std::min(want, text_.size());
        std::memcpy(buf, text_.data(), got);
        text_.remove_prefix(got);
    }
    Account(buf, got);
    return static_cast<int>(got);
}

void ScannerInput::Account(const char* data, size_t size) {
    const void* last = ::memrchr(data, '>', size);
    if (last) {
        since_close_ = size - 1 - static_cast<size_t>(static_cast<const char*>(last) - data);
    } else {
        since_close_ += size;
    }
}

bool ScannerInput::TakeBreak() {
    bool was = break_pending_;
    break_pending_ = false;
    return was;
}

}  // namespace fw
