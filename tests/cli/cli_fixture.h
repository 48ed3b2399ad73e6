// The fixture of the whole-program tests: a private program home and a
// working directory per test, and helpers to run fetchwell in them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/temp_dir.h"

namespace clitest {

class CliTest : public ::testing::Test {
protected:
    CliResult Run(const std::vector<std::string>& args) {
        CliProcess process(home_.path(), work_.path());
        return process.Run(args);
    }

    // A path in the working directory.
    std::string Work(const std::string& name) const { return work_ / name; }

    // Every file below `dir` (relative path -> content), to show that a
    // failed command changed nothing.
    static std::map<std::string, std::string> Snapshot(const std::string& dir) {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            const std::string relative = std::filesystem::relative(entry.path(), dir).string();
            files[relative] = entry.is_regular_file() ? fwtest::ReadFile(entry.path()) : "<dir>";
        }
        return files;
    }

    // The lines of a text.
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

    fwtest::TempDir home_;
    fwtest::TempDir work_;
};

}  // namespace clitest
