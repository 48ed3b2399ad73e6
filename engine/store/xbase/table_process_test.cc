// Tables used by several processes: writers killed at any moment while
// appending must leave a table that opens again with every row they
// completely wrote and indexes that agree; shared writers must not step on
// each other.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>

#include "engine/store/xbase/tag_oracle.h"
#include "engine/store/xbase/table.h"
#include "engine/store/xbase/test_shapes.h"
#include "tests/support/temp_dir.h"

namespace fw::xbase {
namespace {

using testing::UrlShape;

constexpr uint32_t kMaxRows = 25000;  // bounds the work of each check

std::string Url(uint32_t n) {
    return "http://site" + std::to_string(n % 41) + ".example/" + std::string(n % 17, 'p') + "/" +
           std::to_string(n * 7919u % 100003u);
}

// The child: appends rows whose values follow from their row number,
// deleting some, and writes on `report` the row count it knows is safe: in
// shared mode every appended row, in exclusive mode the rows at each Flush.
[[noreturn]] void AppendUntilKilled(const std::string& path, Access access, int report, uint32_t seed) {
    std::mt19937 rng(seed);
    Result r;
    auto t = Table::Open(path, access, &r);
    if (!t || t->OpenIndex() != Result::kSuccess) ::_exit(2);
    // The child before may have been killed between appending its last row
    // and deleting it; that deletion is done here before any row counts as
    // safe.
    const uint32_t last = t->RecordCount();
    if (last > 0 && last % 13 == 0) {
        if (t->Go(last) != Result::kSuccess || (!t->IsDeleted() && t->Delete() != Result::kSuccess)) ::_exit(7);
    }
    uint32_t flush_at = t->RecordCount() + 1 + rng() % 500;
    while (t->RecordCount() < kMaxRows) {
        const uint32_t n = t->RecordCount() + 1;
        if (t->AppendStart() != Result::kSuccess || t->WriteNumber(0, n) != Result::kSuccess ||
            t->WriteText(1, std::to_string(n % 7)) != Result::kSuccess ||
            t->WriteText(2, n % 3 ? "0" : "1") != Result::kSuccess || t->WriteText(6, Url(n)) != Result::kSuccess ||
            t->WriteText(7, Url(n).substr(7)) != Result::kSuccess || t->Append() != Result::kSuccess) {
            ::_exit(3);
        }
        if (n % 13 == 0 && t->Delete() != Result::kSuccess) ::_exit(4);
        bool safe = access == Access::kShared;
        if (!safe && n >= flush_at) {
            if (t->Flush() != Result::kSuccess) ::_exit(5);
            flush_at = n + 1 + rng() % 500;
            safe = true;
        }
        if (safe && ::write(report, &n, sizeof n) != sizeof n) ::_exit(6);
    }
    ::pause();
    ::_exit(0);
}

// Runs a child and kills it after `delay_ms`; returns the last row count it
// reported as safe (0 if none).
uint32_t RunAndKill(const std::string& path, Access access, uint32_t seed, int delay_ms) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        AppendUntilKilled(path, access, fds[1], seed);
    }
    ::close(fds[1]);
    uint32_t safe = 0;
    auto read_report = [&] {
        uint32_t n;
        if (::read(fds[0], &n, sizeof n) != sizeof n) return false;
        safe = n;
        return true;
    };
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(delay_ms);
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        struct pollfd p = {fds[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        if (::poll(&p, 1, static_cast<int>(left) + 1) > 0 && !read_report()) break;
    }
    ::kill(pid, SIGKILL);

    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "child ended early with status " << WEXITSTATUS(status);
    // Reports written before the kill are still in the pipe.
    for (struct pollfd p = {fds[0], POLLIN, 0}; ::poll(&p, 1, 0) > 0 && read_report();) {
    }
    ::close(fds[0]);
    return safe;
}

void CheckAfterKill(const std::string& path, uint32_t safe, int* rebuilds) {
    Result r;
    auto t = Table::Open(path, Access::kExclusive, &r);
    ASSERT_TRUE(t) << ResultName(r);
    ASSERT_EQ(t->OpenIndex(), Result::kSuccess);
    if (t->IndexRebuilt()) ++*rebuilds;
    ASSERT_GE(t->RecordCount(), safe);
    ASSERT_EQ(t->SelectTag(""), Result::kSuccess);
    uint32_t n = 0;
    for (Result s = t->Top(); s == Result::kSuccess; s = t->Skip()) {
        ++n;
        ASSERT_EQ(t->RecNo(), n);
        ASSERT_EQ(t->ReadNumber(0), n);
        ASSERT_EQ(t->ReadText(6), Url(n));
        // A row past the last reported one may have been killed between its
        // append and its deletion.
        if (n <= safe) {
            ASSERT_EQ(t->IsDeleted(), n % 13 == 0) << n;
        }
    }
    ASSERT_EQ(n, t->RecordCount());
    testing::ExpectTagsAgreeWithTable(*t, path, UrlShape().tags);
}

void KillRepeatedly(Access access, int rounds) {
    fwtest::TempDir dir;
    const std::string path = dir / "ZQURL";
    {
        Result r;
        auto t = Table::Create(path, UrlShape().fields, access, &r);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->CreateIndex(UrlShape().tags), Result::kSuccess);
    }
    std::mt19937 rng(4711);
    int rebuilds = 0;
    uint32_t safe = 0;  // rows once reported safe stay safe in every later round
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        safe = std::max(safe, RunAndKill(path, access, static_cast<uint32_t>(rng()), 1 + static_cast<int>(rng() % 80)));
        CheckAfterKill(path, safe, &rebuilds);
        if (::testing::Test::HasFatalFailure()) return;
    }
    std::printf("%d kills, %d index rebuilds\n", rounds, rebuilds);
}

// Two processes appending to one shared table at the same time: every row
// of both arrives whole and the tags list them all.
TEST(SharedProcessTest, TwoWritersAppendAtTheSameTime) {
    fwtest::TempDir dir;
    const std::string path = dir / "ZQURL";
    {
        Result r;
        auto t = Table::Create(path, UrlShape().fields, Access::kShared, &r);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->CreateIndex(UrlShape().tags), Result::kSuccess);
    }
    constexpr int kRowsEach = 1500;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        if (children[c] != 0) continue;
        Result r;
        auto t = Table::Open(path, Access::kShared, &r);
        if (!t || t->OpenIndex() != Result::kSuccess) ::_exit(2);
        for (int i = 0; i < kRowsEach; ++i) {
            const long long id = c * 100000 + i;
            if (t->AppendStart() != Result::kSuccess || t->WriteNumber(0, id) != Result::kSuccess ||
                t->WriteText(6, "http://writer" + std::to_string(c) + "/" + std::to_string(i)) != Result::kSuccess ||
                t->Append() != Result::kSuccess) {
                ::_exit(3);
            }
            // Read back through the index what the other one may just have written.
            if (t->SelectTag("ID") != Result::kSuccess || t->SeekNumber(static_cast<double>(id)) != Result::kSuccess) {
                ::_exit(4);
            }
        }
        ::_exit(t->Close() == Result::kSuccess ? 0 : 5);
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    Result r;
    auto t = Table::Open(path, Access::kExclusive, &r);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->OpenIndex(), Result::kSuccess);
    EXPECT_FALSE(t->IndexRebuilt());
    ASSERT_EQ(t->RecordCount(), 2u * kRowsEach);
    ASSERT_EQ(t->SelectTag("ID"), Result::kSuccess);
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kRowsEach; i += 97) {
            ASSERT_EQ(t->SeekNumber(c * 100000 + i), Result::kSuccess);
            EXPECT_EQ(t->ReadText(6), "http://writer" + std::to_string(c) + "/" + std::to_string(i));
        }
    }
    testing::ExpectTagsAgreeWithTable(*t, path, UrlShape().tags);
}

// A shared opener writes each change through before the call returns: a
// process ending without any cleanup after any operation leaves the rows an
// orderly Close leaves, and an index that needs no rebuild.
TEST(SharedProcessTest, ChangesSurviveAnExitWithoutCleanupAfterAnyOperation) {
    auto append = [](Table& t, long long id, const std::string& url) {
        Result r = t.AppendStart();
        if (r == Result::kSuccess) r = t.WriteNumber(0, id);
        if (r == Result::kSuccess) r = t.WriteText(6, url);
        return r == Result::kSuccess ? t.Append() : r;
    };
    auto on_row = [](uint32_t row, const std::function<Result(Table&)>& then) {
        return [row, then](Table& t) {
            Result r = t.Go(row);
            return r == Result::kSuccess ? then(t) : r;
        };
    };
    const std::vector<std::function<Result(Table&)>> steps = {
        [&](Table& t) { return append(t, 1, "http://a/"); },
        [&](Table& t) { return append(t, 2, "http://b/"); },
        [](Table& t) { return t.Delete(); },  // the row just appended
        on_row(1, [](Table& t) { return t.Delete(); }),
        on_row(2, [](Table& t) {
            Result r = t.WriteText(6, "http://c/");
            return r == Result::kSuccess ? t.Update() : r;
        }),
        on_row(1, [](Table& t) { return t.Undelete(); }),
        [&](Table& t) { return append(t, 3, "http://d/"); },
        on_row(3, [](Table& t) {
            // Written by the move, not by Update.
            Result r = t.WriteText(6, "http://e/");
            return r == Result::kSuccess ? t.Top() : r;
        }),
    };
    auto make = [](const std::string& path) {
        Result r;
        auto t = Table::Create(path, UrlShape().fields, Access::kShared, &r);
        return t && t->CreateIndex(UrlShape().tags) == Result::kSuccess ? std::move(t) : nullptr;
    };
    for (size_t done = 0; done <= steps.size(); ++done) {
        SCOPED_TRACE(done);
        fwtest::TempDir dir;
        const std::string path = dir / "ZQURL";
        ASSERT_TRUE(make(path));
        const pid_t pid = ::fork();
        if (pid == 0) {
            Result r;
            auto t = Table::Open(path, Access::kShared, &r);
            if (!t || t->OpenIndex() != Result::kSuccess) ::_exit(2);
            for (size_t i = 0; i < done; ++i) {
                if (steps[i](*t) != Result::kSuccess) ::_exit(3);
            }
            ::_exit(0);  // no Close, no destructors: as if killed here
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

        const std::string orderly = dir / "ORDERLY";
        {
            auto t = make(orderly);
            ASSERT_TRUE(t);
            for (size_t i = 0; i < done; ++i) ASSERT_EQ(steps[i](*t), Result::kSuccess) << i;
            ASSERT_EQ(t->Close(), Result::kSuccess);
        }
        EXPECT_EQ(testing::ReadRawTable(path + ".DBF").rows, testing::ReadRawTable(orderly + ".DBF").rows);
        Result r;
        auto t = Table::Open(path, Access::kExclusive, &r);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->OpenIndex(), Result::kSuccess);
        EXPECT_FALSE(t->IndexRebuilt());
        testing::ExpectTagsAgreeWithTable(*t, path, UrlShape().tags);
    }
}

TEST(KillTest, ExclusiveWriterKilledDuringAppends) { KillRepeatedly(Access::kExclusive, 30); }

TEST(KillTest, SharedWriterKilledDuringAppends) { KillRepeatedly(Access::kShared, 20); }

}  // namespace
}  // namespace fw::xbase
