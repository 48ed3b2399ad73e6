// For engine tests: points the engine log at a fresh temporary file for the
// life of the object, so a test can read exactly the lines it caused.
// Header only; the test binary links the engine.
#pragma once

#include <string>
#include <vector>

#include "engine/support/log.h"
#include "tests/support/temp_dir.h"

namespace fwtest {

class LogCapture {
public:
    LogCapture() { fw::ResetLogForTesting(dir_ / "fetchwell.log"); }
    ~LogCapture() { fw::ResetLogForTesting(""); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The texts of the records so far, without their time stamps.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::string all = ReadFile(dir_ / "fetchwell.log");
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string::npos) end = all.size();
            std::string line = all.substr(start, end - start);
            lines.push_back(line.size() >= kStamp ? line.substr(kStamp) : line);
            start = end + 1;
        }
        return lines;
    }

    bool Has(const std::string& text) const {
        for (const std::string& line : Lines()) {
            if (line == text) return true;
        }
        return false;
    }

private:
    static constexpr size_t kStamp = 18;  // "MM/DD/YY hh:mm:ss "
    TempDir dir_;
};

}  // namespace fwtest
