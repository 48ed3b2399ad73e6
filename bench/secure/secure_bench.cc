// The secure fetch path on loopback HTTPS (the test web server behind TLS,
// run as a child process, so the figures are the client's alone):
//  (a) one 100 MB body through SecureHttpFetch into a file, against the curl
//      program fetching the same URL to a file in the same run;
//  (b) 2,000 fetches of 5 KB pages on 8 threads through SecureHttpFetch,
//      against the same fetches made with libcurl directly in this process
//      (a fresh easy handle per fetch): fetches per second and processor
//      time per fetch.
//
//   secure_bench [--rounds N] [--fetches N] [--threads N] [--system-bundle 1]
//
// --system-bundle 1 trusts the system's authorities besides the test one (a
// file as large as the system's), as real grabs do.
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/measure.h"
#include "engine/grab/body_sink.h"
#include "engine/net/internet_library.h"
#include "engine/net/secure_http_fetch.h"
#include "engine/net/test_sinks.h"
#include "platform/file_ops.h"
#include "platform/run_program.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace {

using fwbench::Clock;
using fwbench::Median;

constexpr size_t kBig = 100u << 20;
constexpr int kPages = 100;
constexpr size_t kPageSize = 5 * 1024;

bool RunCurl(const std::string& curl, const std::string& ca, const std::string& url, const std::string& out) {
    return platform::RunProgram({curl, "-s", "--cacert", ca, "-o", out, url}).exit_code == 0;
}

size_t CountBytes(char*, size_t size, size_t count, void* total) {
    *static_cast<size_t*>(total) += size * count;
    return size * count;
}

// One small fetch with libcurl alone, configured as plainly as a program
// using it would be.
bool LibcurlFetch(const std::string& url, const std::string& ca) {
    CURL* h = curl_easy_init();
    if (h == nullptr) return false;
    size_t bytes = 0;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_CAINFO, ca.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CountBytes);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &bytes);
    bool ok = curl_easy_perform(h) == CURLE_OK;
    curl_easy_cleanup(h);
    return ok && bytes == kPageSize;
}

struct SmallRun {
    int good = 0;
    double wall = 0;
    double cpu = 0;
};

SmallRun RunSmall(int fetches, int threads, const std::function<bool(int)>& fetch) {
    std::atomic<int> next{0}, good{0};
    double cpu_before = fwbench::ProcessCpuSeconds();
    auto start = Clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = next++; i < fetches; i = next++) {
                if (fetch(i)) ++good;
            }
        });
    }
    for (auto& w : workers) w.join();
    return {good.load(), fwbench::SecondsSince(start), fwbench::ProcessCpuSeconds() - cpu_before};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = fwbench::ArgValue(argc, argv, "--rounds", 3);
    const int fetches = fwbench::ArgValue(argc, argv, "--fetches", 2000);
    const int threads = fwbench::ArgValue(argc, argv, "--threads", 8);
    const bool system_bundle = fwbench::ArgValue(argc, argv, "--system-bundle", 0) != 0;

    fwtest::TempDir dir;
    fwtest::TestAuthority authority(dir.path());
    fwtest::CertificateFiles cert = authority.Issue("server");
    if (!authority.ok() || cert.cert.empty()) {
        std::fprintf(stderr, "cannot make the test certificates\n");
        return 1;
    }
    {
        platform::CreateDirectories(dir / "site");
        std::string chunk(1 << 20, '\0');
        for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>('a' + i % 26);
        int fd = ::open((dir / "site/big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (size_t i = 0; i < kBig / chunk.size(); ++i) platform::WriteAll(fd, chunk.data(), chunk.size());
        ::close(fd);
        for (int i = 0; i < kPages; ++i) {
            fwtest::WriteFile(dir / ("site/p" + std::to_string(i) + ".html"), std::string(kPageSize, 'p'));
        }
    }

    fwtest::ChildProcess server;
    std::string program = std::string(FW_BINARY_DIR) + "/bin/fw-test-server";
    if (!server.Start({program, "--root", dir / "site", "--tls-cert", cert.cert, "--tls-key", cert.key},
                      dir / "server.out")) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        return 1;
    }
    int port = 0;
    for (int i = 0; i < 500 && port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string out = fwtest::ReadFile(dir / "server.out");
        size_t line = out.find('\n');
        if (line != std::string::npos && out.find('\n', line + 1) != std::string::npos) {
            port = std::atoi(out.c_str() + line + 1);
        }
    }
    if (port == 0) {
        std::fprintf(stderr, "the test server did not start\n");
        return 1;
    }
    const std::string base = "https://127.0.0.1:" + std::to_string(port);
    std::string ca = authority.ca_file();
    if (system_bundle) {
        fwtest::WriteFile(dir / "bundle.pem",
                          fwtest::ReadFile("/etc/ssl/certs/ca-certificates.crt") + fwtest::ReadFile(ca));
        ca = dir / "bundle.pem";
    }
    fw::InternetLibrary::Instance();

    // (a) one large body.
    const std::string curl = fwtest::FindProgram("curl");
    std::printf("(a) 100 MB body over HTTPS into a file, %d rounds\n", rounds);
    std::vector<double> ours, theirs;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        {
            fw::BodySink sink(dir / "ours.bin");
            fw::SecureHttpFetch body(&sink);
            body.set_cookie_jar(nullptr);
            body.set_ca_file(ca);
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
            if (RunCurl(curl, ca, base + "/big.bin", dir / "curl.bin")) {
                theirs.push_back(kBig / 1048576.0 / fwbench::SecondsSince(start));
            }
        }
        std::printf("    round %d: SecureHttpFetch %6.0f MB/s", r + 1, ours.back());
        if (theirs.size() == ours.size()) std::printf("   curl %6.0f MB/s", theirs.back());
        std::printf("\n");
    }
    std::printf("    median: SecureHttpFetch %.0f MB/s", Median(ours));
    if (!theirs.empty()) {
        std::printf(", curl %.0f MB/s, ratio %.0f%% (goal: at least 90%%)\n", Median(theirs),
                    100.0 * Median(ours) / Median(theirs));
    } else {
        std::printf(" (curl not installed: no comparison)\n");
    }

    // (b) many small pages, ours and libcurl's alone, alternately.
    std::printf("(b) %d fetches of 5 KB pages on %d threads, %d rounds\n", fetches, threads, rounds);
    auto page = [](int i) { return "/p" + std::to_string(i % kPages) + ".html"; };
    auto secure = [&](int i) {
        fw::CountingSink sink;
        fw::SecureHttpFetch fetch(&sink);
        fetch.set_cookie_jar(nullptr);
        fetch.set_ca_file(ca);
        fetch.SetTarget("127.0.0.1", port, page(i));
        fetch.Run();
        return fetch.state() == fw::kFetchDone && sink.bytes == kPageSize;
    };
    auto plain_libcurl = [&](int i) { return LibcurlFetch(base + page(i), ca); };
    std::vector<double> our_rate, their_rate, our_cpu, their_cpu;
    bool all_good = true;
    for (int r = 0; r < rounds; ++r) {
        SmallRun a = RunSmall(fetches, threads, secure);
        SmallRun b = RunSmall(fetches, threads, plain_libcurl);
        all_good = all_good && a.good == fetches && b.good == fetches;
        our_rate.push_back(fetches / a.wall);
        their_rate.push_back(fetches / b.wall);
        our_cpu.push_back(1000.0 * a.cpu / fetches);
        their_cpu.push_back(1000.0 * b.cpu / fetches);
        std::printf("    round %d: SecureHttpFetch %5.0f fetches/s %.3f ms CPU/fetch (%d ok)   "
                    "libcurl %5.0f fetches/s %.3f ms CPU/fetch (%d ok)\n",
                    r + 1, our_rate.back(), our_cpu.back(), a.good, their_rate.back(), their_cpu.back(),
                    b.good);
    }
    std::printf("    median: SecureHttpFetch %.0f fetches/s, %.3f ms CPU/fetch; libcurl %.0f fetches/s, "
                "%.3f ms CPU/fetch; rate ratio %.0f%% (goal: at least 80%%)\n",
                Median(our_rate), Median(our_cpu), Median(their_rate), Median(their_cpu),
                100.0 * Median(our_rate) / Median(their_rate));
    server.Stop();
    return all_good ? 0 : 1;
}
