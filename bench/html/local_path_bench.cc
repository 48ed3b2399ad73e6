// Cost of choosing a local file name as one directory fills up: 100,000 URLs
// with the same file name (page.html, page2.html, ...) and 100,000 with
// distinct names, each reserved on disk as the pipeline does. Prints the mean
// time per choice for every block of 10,000, so growth with the number of
// files already present shows.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/content/local_path.h"
#include "platform/file_ops.h"

namespace {

using Clock = std::chrono::steady_clock;

void Fill(const std::string& data, const char* title, bool same_name) {
    constexpr int kNames = 100000;
    constexpr int kBlock = 10000;
    std::printf("%s\n", title);
    double choose_us = 0;
    double reserve_us = 0;
    for (int i = 0; i < kNames; ++i) {
        std::string url = "http://example.com/d" + std::to_string(i) + "/" +
                          (same_name ? std::string("page") : "page_" + std::to_string(i)) + ".html";
        fw::FileNameLock lock;
        std::string path;
        auto start = Clock::now();
        bool ok = fw::MakeLocalPath(lock, url, data, fw::kHostDirectory, &path);
        auto chosen = Clock::now();
        if (!ok || !platform::OpenCreatingDirectories(path)) {
            std::fprintf(stderr, "failed at %d: %s\n", i, path.c_str());
            std::exit(1);
        }
        choose_us += std::chrono::duration<double, std::micro>(chosen - start).count();
        reserve_us += std::chrono::duration<double, std::micro>(Clock::now() - chosen).count();
        if ((i + 1) % kBlock == 0) {
            std::printf("  files %6d-%6d: choose %.2f us/name, reserve %.2f us/name\n",
                        i + 2 - kBlock, i + 1, choose_us / kBlock, reserve_us / kBlock);
            choose_us = reserve_us = 0;
        }
    }
}

}  // namespace

int main() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fwbench-XXXXXX";
    if (!::mkdtemp(pattern.data())) return 1;
    std::string root = pattern + "/";
    Fill(root + "same", "MakeLocalPath, 100,000 same-named files in one directory:", true);
    Fill(root + "distinct", "MakeLocalPath, 100,000 distinct names in one directory:", false);
    platform::RemoveTree(pattern);
    return 0;
}
