// Two figures for the plain HTTP client on loopback:
//  (a) one 100 MB body through HttpFetch into a file, against the curl
//      program fetching the same URL to a file in the same run;
//  (b) 20,000 fetches of 5 KB pages on 8 threads: fetches per second and
//      processor time per fetch (this process only; the server is a child).
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/measure.h"
#include "engine/grab/body_sink.h"
#include "engine/net/http_fetch.h"
#include "engine/net/test_sinks.h"
#include "platform/event.h"
#include "platform/file_ops.h"
#include "platform/run_program.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

using fwbench::Clock;

bool RunCurl(const std::string& curl, const std::string& url, const std::string& out) {
    return platform::RunProgram({curl, "-s", "-o", out, url}).exit_code == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = fwbench::ArgValue(argc, argv, "--rounds", 3);
    const int fetches = fwbench::ArgValue(argc, argv, "--fetches", 20000);
    const int threads = fwbench::ArgValue(argc, argv, "--threads", 8);
    constexpr size_t kBig = 100u << 20;
    constexpr int kPages = 100;

    fwtest::TempDir dir;
    {
        std::string chunk(1 << 20, '\0');
        for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>('a' + i % 26);
        int fd = ::open((dir / "site/big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            platform::CreateDirectories(dir / "site");
            fd = ::open((dir / "site/big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        for (size_t i = 0; i < kBig / chunk.size(); ++i) platform::WriteAll(fd, chunk.data(), chunk.size());
        ::close(fd);
        for (int i = 0; i < kPages; ++i) {
            fwtest::WriteFile(dir / ("site/p" + std::to_string(i) + ".html"), std::string(5 * 1024, 'p'));
        }
    }

    fwtest::ChildProcess server;
    std::string program = std::string(FW_BINARY_DIR) + "/bin/fw-test-server";
    if (!server.Start({program, "--root", dir / "site"}, dir / "server.out")) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        return 1;
    }
    int port = 0;
    for (int i = 0; i < 500 && port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        port = std::atoi(fwtest::ReadFile(dir / "server.out").c_str());
    }
    if (port == 0) {
        std::fprintf(stderr, "the test server did not start\n");
        return 1;
    }
    const std::string big_url = "http://127.0.0.1:" + std::to_string(port) + "/big.bin";

    // (a) one large body.
    const std::string curl = fwtest::FindProgram("curl");
    std::printf("(a) 100 MB body into a file, %d rounds\n", rounds);
    std::vector<double> ours, theirs;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        {
            fw::BodySink sink(dir / "ours.bin");
            fw::HttpFetch body(&sink);
            body.SetTarget("127.0.0.1", port, "/big.bin");
            body.Run();
            if (body.state() != fw::kFetchDone || body.body_bytes() != kBig) {
                std::fprintf(stderr, "fetch failed: state %d, %llu bytes\n", body.state(),
                             static_cast<unsigned long long>(body.body_bytes()));
                return 1;
            }
        }
        ours.push_back(kBig / 1048576.0 / fwbench::SecondsSince(start));
        if (!curl.empty()) {
            start = Clock::now();
            if (RunCurl(curl, big_url, dir / "curl.bin")) {
                theirs.push_back(kBig / 1048576.0 / fwbench::SecondsSince(start));
            }
        }
        std::printf("    round %d: HttpFetch %7.0f MB/s", r + 1, ours.back());
        if (theirs.size() == ours.size()) std::printf("   curl %7.0f MB/s", theirs.back());
        std::printf("\n");
    }
    std::printf("    median: HttpFetch %.0f MB/s", fwbench::Median(ours));
    if (!theirs.empty()) {
        std::printf(", curl %.0f MB/s, ratio %.0f%%\n", fwbench::Median(theirs),
                    100.0 * fwbench::Median(ours) / fwbench::Median(theirs));
    } else {
        std::printf(" (curl not installed: no comparison)\n");
    }

    // (b) many small pages.
    std::printf("(b) %d fetches of 5 KB pages on %d threads\n", fetches, threads);
    platform::StopEvent stop;
    std::atomic<int> next{0}, good{0};
    double cpu_before = fwbench::ProcessCpuSeconds();
    auto start = Clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = next++; i < fetches; i = next++) {
                fw::CountingSink sink;
                fw::HttpFetch fetch(&sink);
                fetch.SetTarget("127.0.0.1", port, "/p" + std::to_string(i % kPages) + ".html");
                fetch.set_stop_event(&stop);
                fetch.Run();
                if (fetch.state() == fw::kFetchDone && sink.bytes == 5 * 1024) ++good;
            }
        });
    }
    for (auto& w : workers) w.join();
    double wall = fwbench::SecondsSince(start);
    double cpu = fwbench::ProcessCpuSeconds() - cpu_before;
    std::printf("    %d of %d complete, %.2f s: %.0f fetches/s, %.3f ms processor time per fetch\n",
                good.load(), fetches, wall, fetches / wall, 1000.0 * cpu / fetches);
    server.Stop();
    return good.load() == fetches ? 0 : 1;
}
