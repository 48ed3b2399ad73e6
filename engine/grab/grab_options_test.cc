#include "engine/grab/grab_options.h"

#include <gtest/gtest.h>

#include "platform/profile_file.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

TEST(GrabOptionsTest, SettingsOutOfRangeAreTakenAtTheNearerEndAndLogged) {
    fwtest::TempDir dir;
    const std::string path = dir / "corvalin.ini";
    platform::ProfileFile file(path);
    fwtest::LogCapture log;
    struct Setting {
        const char* section;
        const char* key;
        const char* value;
    } written[] = {
        {"Network", "MaxThreads", "0"},
        {"Network", "PercentMaxThreads", "250"},
        {"Network", "MaxThreadsPerServer", "-3"},
        {"Data", "FileFlags", "99"},
        {"Limits", "ByteLimit", "1"},
        {"Limits", "Bytes", "-5"},
        {"Limits", "TimeLimit", "1"},
        {"Limits", "Hours", "-1"},
        {"Limits", "Minutes", "2"},
        {"Limits", "ResponseBytes", "-1"},
    };
    for (const Setting& s : written) file.WriteString(s.section, s.key, s.value);

    GrabOptions options;
    options.ReadPreferences(EnginePreferences(path));
    EXPECT_EQ(options.thread_count, 1);  // 100 % of 1
    EXPECT_EQ(options.per_host_limit, 1);
    EXPECT_EQ(options.file_flags, 4u);  // a set of bits has no nearer end: the default
    EXPECT_EQ(options.byte_limit, 0);
    EXPECT_EQ(options.time_limit, 120);
    EXPECT_EQ(options.response_cap, 0);
    for (const char* line : {
             "Setting PercentMaxThreads=250 is out of range 1 to 100; 100 used",
             "Setting MaxThreads=0 is out of range 1 to 1000; 1 used",
             "Setting MaxThreadsPerServer=-3 is out of range 1 to 1000; 1 used",
             "Setting FileFlags=99 is out of range 0 to 15; 4 used",
             "Setting LimitKiloBytes=-5 is out of range 0 to 2147483647; 0 used",
             "Setting LimitHours=-1 is out of range 0 to 100000; 0 used",
             "Setting LimitResponseKiloBytes=-1 is out of range 0 to 2147483647; 0 used",
         }) {
        EXPECT_TRUE(log.Has(line)) << line;
    }
    EXPECT_EQ(log.Lines().size(), 7u);  // nothing about the values in range

    // In range, nothing is logged and the values are used as they stand.
    fwtest::LogCapture quiet;
    file.WriteString("Network", "MaxThreads", "1000");
    file.WriteString("Network", "PercentMaxThreads", "50");
    file.WriteString("Data", "FileFlags", "15");
    options.ReadPreferences(EnginePreferences(path));
    EXPECT_EQ(options.thread_count, 500);
    EXPECT_EQ(options.file_flags, 15u);
    EXPECT_EQ(quiet.Lines().size(), 4u);  // the three limits still out of range
}

}  // namespace
}  // namespace fw
