// Whole-grab benchmark: a generated site served by fw-test-server (a child
// process, so its CPU is not counted) and grabbed by the engine in this
// process with 8 workers. Prints, per site size: wall time, URLs per second,
// engine CPU per 1,000 URLs and peak memory.
//
//   grab_bench [--keep] [N ...]   (default: 1000 10000 100000)
//
// --keep leaves the projects in place (their paths are printed), so that
// runs on ext4 can follow one another without the deletion slowdown below.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/generated_site.h"
#include "bench/measure.h"
#include "engine/interface/dizoziz.h"
#include "platform/file_ops.h"
#include "platform/profile_file.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Projects are deleted only when every run is over: on ext4 without a
// journal, creating files soon after many were deleted makes the kernel skip
// the recently freed inodes one by one, which would charge one run's clean-up
// to the next run's grab.
void Run(int pages, const std::string& scratch, std::vector<std::string>* projects) {
    const std::string root = scratch + "/site" + std::to_string(pages);
    const std::string project =
        scratch + "/project" + std::to_string(pages) + "-" + std::to_string(getpid()) + "/";
    if (!fs::exists(root)) fwbench::GenerateSite(root, pages);
    fs::remove_all(project);
    fs::create_directories(project);
    projects->push_back(project);

    fwtest::ChildProcess server;
    const uint16_t port = fwtest::FreeLoopbackPort();
    if (!server.Start({std::string(FW_BINARY_DIR) + "/bin/fw-test-server", "--root", root, "--port",
                       std::to_string(port)}) ||
        !fwtest::WaitForLoopbackPort(port, std::chrono::seconds(10))) {
        std::fprintf(stderr, "cannot start fw-test-server\n");
        return;
    }
    auto engine = fw::MakeObject<fw::Dizoziz>();
    engine->ExclusiveMode(1);
    engine->PageOrder(1);
    engine->Open(project);
    fw::ComPtr<fw::IDizozizUrl> start;
    engine->NewUrl(start.Receive());
    start->put_url("http://127.0.0.1:" + std::to_string(port) + "/a0/b0/p0.html");
    start->put_GrabLevels(-1);
    start->Update();

    const fwbench::CpuSeconds cpu_before = fwbench::ProcessCpu();
    const auto wall_before = fwbench::Clock::now();
    engine->Grab(0, 0);
    const double wall = fwbench::SecondsSince(wall_before);
    const fwbench::CpuSeconds cpu_after = fwbench::ProcessCpu();
    // User and system apart: the file system's share of a grab shows in the
    // system time.
    const double user = cpu_after.user - cpu_before.user;
    const double system = cpu_after.system - cpu_before.system;
    size_t urls = 0, grabbed = 0;
    engine->store().ForEachUrl([&](const fw::UrlRecord& row) {
        ++urls;
        grabbed += row.status == fw::kStatusGrabbed;
        return true;
    });
    server.Stop();
    const double per_1000 = 1000.0 / static_cast<double>(std::max<size_t>(urls, 1));
    std::printf(
        "N=%-7d urls=%-7zu grabbed=%-7zu wall=%7.2f s  %7.0f URLs/s  cpu=%6.3f s per 1000 URLs"
        " (user %.3f, system %.3f)  peak=%ld MiB\n",
        pages, urls, grabbed, wall, urls / wall, (user + system) * per_1000, user * per_1000,
        system * per_1000, PeakKiB() / 1024);
    engine->Close();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--keep") {
            keep = true;
        } else {
            sizes.push_back(std::atoi(argv[i]));
        }
    }
    if (sizes.empty()) sizes = {1000, 10000, 100000};
    const char* tmp = std::getenv("TMPDIR");
    const std::string scratch = std::string(tmp && *tmp ? tmp : "/tmp") + "/fw-grab-bench";
    fs::create_directories(scratch);
    const std::string home = scratch + "/home";
    fs::create_directories(home);
    setenv("CORVALIN_HOME", home.c_str(), 1);
    platform::ProfileFile settings(home + "/corvalin.ini");
    settings.WriteString("Network", "MaxThreads", std::string("8"));
    settings.WriteString("Network", "PercentMaxThreads", std::string("100"));
    settings.WriteString("Network", "MaxThreadsPerServer", std::string("8"));
    std::vector<std::string> projects;
    for (int n : sizes) Run(n, scratch, &projects);
    for (const std::string& project : projects) {
        if (keep) {
            std::printf("kept %s\n", project.c_str());
        } else {
            fs::remove_all(project);
        }
    }
    return 0;
}
