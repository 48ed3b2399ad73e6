// Project store benchmark: AddUrl of N distinct URLs (each linked from the
// one before it), then Clean, then Compact, in exclusive mode. Prints URLs per
// second for each phase, for 10,000 and 100,000 URLs by default.
//
//   project_bench [N ...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "engine/store/project_store.h"

namespace {

void Run(int n, const std::string& dir) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    fw::ProjectStore store;
    if (!store.Open(dir, dir, true)) {
        std::fprintf(stderr, "cannot open %s\n", dir.c_str());
        return;
    }
    const int32_t start = store.AddUrl(0, 0, 0, "http://bench.example/").id;
    auto t = fwbench::Clock::now();
    int32_t parent = start;
    for (int i = 0; i < n; ++i) {
        const std::string url = "http://bench.example/section" + std::to_string(i % 97) + "/page" +
                                std::to_string(i) + ".html?session=" + std::to_string(i * 7919);
        parent = store.AddUrl(i % 10 == 0 ? start : parent, 1 + i % 10, 0, url).id;
    }
    const double add = fwbench::SecondsSince(t);
    // A second tree nobody reaches, so Clean has work to do.
    for (int i = 0; i < n / 10; ++i) {
        store.AddUrl(parent, 50, 0, "http://orphan.example/" + std::to_string(i));
    }
    store.RemoveLinksFrom(parent);
    t = fwbench::Clock::now();
    store.Clean();
    const double clean = fwbench::SecondsSince(t);
    t = fwbench::Clock::now();
    store.Compact();
    const double compact = fwbench::SecondsSince(t);
    const size_t left = store.AllUrls().size();
    std::printf("N=%-7d AddUrl %9.0f URLs/s (%6.2f s)   Clean %6.2f s (%8.0f URLs/s)   "
                "Compact %6.2f s (%8.0f URLs/s)   %zu URLs left\n",
                n, n / add, add, clean, (n + n / 10) / clean, compact, left / compact, left);
    store.Close();
    std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {10000, 100000};
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/fw-project-bench/";
    for (int n : sizes) Run(n, dir);
    return 0;
}
