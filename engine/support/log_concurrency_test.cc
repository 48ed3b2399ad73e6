#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/support/log.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;

// Writers, a thread deleting the log under them (each deletion makes the
// next record open a new file) and one opening and closing another file, so
// that a descriptor number freed too early would be handed out again there.
// Every record must end up whole in some generation of the log, never in
// the other file, and the records written after the last deletion must all
// be in the log that is left.
TEST(LogConcurrencyTest, ReopeningTheLogNeverLosesOrMisdirectsARecord) {
    TempDir dir;
    const std::string log = dir / "fetchwell.log";
    const std::string bystander = dir / "bystander";
    ResetLogForTesting(log);

    std::atomic<bool> writing{true};
    std::thread deleter([&] {
        while (writing.load()) {
            platform::RemoveFile(log);
            std::this_thread::yield();
        }
    });
    std::thread opener([&] {
        while (writing.load()) {
            int fd = ::open(bystander.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd >= 0) ::close(fd);
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 500; ++i) {
                LogMessage("writer " + std::to_string(t) + " record " + std::to_string(i));
            }
        });
    }
    for (auto& w : writers) w.join();
    writing = false;
    deleter.join();
    opener.join();

    for (int t = 0; t < 4; ++t) LogMessage("writer " + std::to_string(t) + " done");
    const std::string text = ReadFile(log);
    ResetLogForTesting("");

    EXPECT_EQ(ReadFile(bystander), "");
    size_t start = 0;
    int done = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string body = text.substr(start + 18, end - start - 18);
        EXPECT_EQ(body.rfind("writer ", 0), 0u) << body;
        if (body.size() > 5 && body.compare(body.size() - 5, 5, " done") == 0) ++done;
        start = end + 1;
    }
    EXPECT_EQ(done, 4);
}

}  // namespace
}  // namespace fw
