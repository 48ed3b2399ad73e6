// The programs' error log ("corvalin.log" in the program home): one line per
// failure caught at the boundary of a user operation.
#pragma once

#include <string>
#include <string_view>

#include "engine/interface/com.h"

namespace corvalin {

class ErrorLog {
public:
    // The log in the program home.
    ErrorLog();
    explicit ErrorLog(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Appends "hh:mm:ss " (local time), the text and a line feed. A log that
    // cannot be opened loses the line silently.
    void Log(std::string_view text) const;

    // Logs a failed engine call as "text\nfile\nline", the text being
    // EngineErrorText(hr, description).
    void LogEngineError(fw::HRESULT hr, std::string_view description, std::string_view file,
                        int line) const;

private:
    std::string path_;
};

// The text of a failed engine call: the message the engine recorded when
// there is one, otherwise the standard text of the result code ("IDispatch
// error #n" for interface-specific codes, "Unknown error 0x%X" for others).
std::string EngineErrorText(fw::HRESULT hr, std::string_view description);

}  // namespace corvalin
