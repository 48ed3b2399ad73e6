#include "app/core/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/file_ops.h"
#include "platform/local_time.h"
#include "platform/program_home.h"

namespace corvalin {

ErrorLog::ErrorLog() : path_(platform::AppErrorLogPath()) {}

void ErrorLog::Log(std::string_view text) const {
    std::string line = platform::TimeOfDayStamp();
    line.append(text);
    line += '\n';
    // One write to a file opened for appending, so lines of concurrent
    // writers never interleave.
    // Private: engine messages can name what a user would not show others.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    platform::WriteAll(fd, line.data(), line.size());
    ::close(fd);
}

void ErrorLog::LogEngineError(fw::HRESULT hr, std::string_view description, std::string_view file,
                              int line) const {
    std::string text = EngineErrorText(hr, description);
    text += '\n';
    text.append(file);
    text += '\n';
    text += std::to_string(line);
    Log(text);
}

std::string EngineErrorText(fw::HRESULT hr, std::string_view description) {
    if (!description.empty()) return std::string(description);
    switch (hr) {
        case fw::E_NOTIMPL:
            return "Not implemented";
        case fw::E_NOINTERFACE:
            return "No such interface supported";
        case fw::E_POINTER:
            return "Invalid pointer";
        case fw::E_FAIL:
            return "Unspecified error";
        case fw::E_UNEXPECTED:
            return "Catastrophic failure";
        case fw::E_OUTOFMEMORY:
            return "Not enough memory resources are available to complete this operation.";
        case fw::E_INVALIDARG:
            return "The parameter is incorrect.";
        case fw::DISP_E_EXCEPTION:
            return "Exception occurred.";
        case fw::CLASS_E_CLASSNOTAVAILABLE:
            return "ClassFactory cannot supply requested class";
        default:
            break;
    }
    const auto code = static_cast<uint32_t>(hr);
    char text[40];
    // Interface-specific codes (facility ITF, 0x0200 and above) are
    // numbered from the start of that range.
    if (code >= 0x80040200u && code <= 0x8004FFFFu) {
        std::snprintf(text, sizeof text, "IDispatch error #%u", code - 0x80040200u);
    } else {
        std::snprintf(text, sizeof text, "Unknown error 0x%0X", code);
    }
    return text;
}

}  // namespace corvalin
