// URL list import benchmark: Import of a text file of N identical lines and
// of N distinct lines into a fresh project, in exclusive mode. Prints lines
// per second for each (the goal is at least 100,000 either way), for
// 200,000 and 1,000,000 lines by default.
//
//   import_bench [N ...]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "engine/interface/dizoziz.h"

namespace {

double ImportSeconds(const std::string& dir, const std::string& list, size_t* rows) {
    std::filesystem::remove_all(dir + "p/");
    std::filesystem::create_directories(dir + "p/");
    fw::ComPtr<fw::Dizoziz> engine = fw::MakeObject<fw::Dizoziz>();
    engine->ExclusiveMode(1);
    if (engine->Open(dir + "p/") != fw::S_OK) {
        std::fprintf(stderr, "cannot open %sp/\n", dir.c_str());
        std::exit(1);
    }
    const auto start = fwbench::Clock::now();
    engine->Import(list);
    engine->Close();
    const double seconds = fwbench::SecondsSince(start);
    fw::ProjectStore check;
    check.Open(dir + "p/", dir + "p/", false);
    *rows = check.AllUrls().size();
    check.Close();
    return seconds;
}

void Run(int n, const std::string& dir) {
    std::filesystem::create_directories(dir);
    const std::string list = dir + "list.txt";
    for (const bool distinct : {false, true}) {
        {
            std::ofstream out(list, std::ios::binary | std::ios::trunc);
            for (int i = 0; i < n; ++i) {
                out << "http://bench.example/section/page" << (distinct ? i : 0) << ".html\n";
            }
        }
        size_t rows = 0;
        const double seconds = ImportSeconds(dir, list, &rows);
        std::printf("N=%-8d %-9s %10.0f lines/s (%6.2f s, %zu rows)\n", n,
                    distinct ? "distinct" : "identical", n / seconds, seconds, rows);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {200000, 1000000};
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp ? tmp : "/tmp") + "/fw_import_bench/";
    for (int n : sizes) Run(n, dir);
    std::filesystem::remove_all(dir);
    return 0;
}
