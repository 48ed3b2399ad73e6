#include "engine/grab/body_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_ops.h"

namespace fw {

BodySink::BodySink(std::string path) : path_(std::move(path)) { buffer_.reserve(kBufferSize); }

BodySink::~BodySink() {
    Flush();
    if (fd_ >= 0) ::close(fd_);
}

void BodySink::Write(const char* data, size_t length) {
    if (length == 0) return;
    if (buffer_.size() + length > kBufferSize - 1) {
        Flush();
        WriteOut(data, length);
        return;
    }
    buffer_.insert(buffer_.end(), data, data + length);
}

void BodySink::Flush() {
    if (buffer_.empty()) return;
    WriteOut(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void BodySink::WriteOut(const char* data, size_t length) {
    if (!opened_) {
        opened_ = true;
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0 && platform::OpenCreatingDirectories(path_)) {
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
        }
        if (fd_ < 0) ok_ = false;
    }
    if (fd_ < 0 || !platform::WriteAll(fd_, data, length)) ok_ = false;
}

}  // namespace fw
