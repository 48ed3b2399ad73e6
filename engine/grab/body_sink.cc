#include "engine/grab/body_sink.h"

#include "platform/file_ops.h"

namespace fw {

BodySink::BodySink(std::string path) : path_(std::move(path)) { buffer_.reserve(kBufferSize); }

BodySink::~BodySink() { Flush(); }

void BodySink::KeepCopy(size_t limit, std::function<bool()> wanted) {
    copy_limit_ = limit;
    copy_wanted_ = std::move(wanted);
}

std::optional<std::string> BodySink::TakeCopy() {
    if (!copying_) return std::nullopt;
    copying_ = false;
    return std::move(copy_);
}

void BodySink::Copy(const char* data, size_t length) {
    if (copy_wanted_) {
        copying_ = copy_wanted_();
        copy_wanted_ = nullptr;
    }
    if (!copying_) return;
    if (copy_.size() + length > copy_limit_) {
        copying_ = false;
        std::string().swap(copy_);
        return;
    }
    copy_.append(data, length);
}

void BodySink::Write(const char* data, size_t length) {
    if (length == 0) return;
    Copy(data, length);
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
        Open();
    }
    if (!fd_.ok() || !platform::WriteAll(fd_.get(), data, length)) ok_ = false;
}

void BodySink::Open() {
    fd_ = platform::CreateEmptyFile(path_);
    if (!fd_.ok()) ok_ = false;
}

}  // namespace fw
