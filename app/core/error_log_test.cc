#include "app/core/error_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;

TEST(ErrorLogTest, EachCallAppendsOneTimeStampedLine) {
    TempDir dir;
    ErrorLog log(dir / "corvalin.log");
    log.Log("first");
    log.Log("second");
    EXPECT_TRUE(std::regex_match(ReadFile(dir / "corvalin.log"),
                                 std::regex("\\d\\d:\\d\\d:\\d\\d first\n"
                                            "\\d\\d:\\d\\d:\\d\\d second\n")))
        << ReadFile(dir / "corvalin.log");
    EXPECT_EQ(std::filesystem::status(dir / "corvalin.log").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(ErrorLogTest, EngineErrorsNameTextFileAndLine) {
    TempDir dir;
    ErrorLog log(dir / "corvalin.log");
    log.LogEngineError(fw::DISP_E_EXCEPTION, "Invalid URL ID: 7", "cli/main.cc", 42);
    EXPECT_EQ(ReadFile(dir / "corvalin.log").substr(9), "Invalid URL ID: 7\ncli/main.cc\n42\n");
}

TEST(ErrorLogTest, ErrorTextPrefersTheEngineMessage) {
    struct Case {
        fw::HRESULT hr;
        const char* description;
        const char* text;
    } cases[] = {
        {fw::DISP_E_EXCEPTION, "Storage is not open", "Storage is not open"},
        {fw::DISP_E_EXCEPTION, "", "Exception occurred."},
        {fw::E_INVALIDARG, "", "The parameter is incorrect."},
        {fw::E_NOTIMPL, "", "Not implemented"},
        {fw::MakeResult(0x80040205u), "", "IDispatch error #5"},
        {fw::MakeResult(0x80070002u), "", "Unknown error 0x80070002"},
    };
    for (const auto& c : cases) EXPECT_EQ(EngineErrorText(c.hr, c.description), c.text);
}

}  // namespace
}  // namespace corvalin
