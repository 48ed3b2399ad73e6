// Kill benchmark: `fetchwell mirror` of a generated site, killed with SIGKILL
// at random moments (seeded) and started again, until the wanted number of
// kills is reached. After every kill the project must list and every table
// must read with dbfdump; every URL the server answered more than the bound
// before the kill must be in the tables with its file; a resumed grab must
// not ask again for what the killed one finished before the bound. Every
// grab that completes is compared with an uninterrupted grab of the same
// site: the same files, no page with its header twice.
//
//   kill_bench [--pages N] [--kills K] [--seed S] [--bound-ms B] [--max-delay-ms D]
//
// The bound defaults to the commit interval (Data/CommitInterval, 1 s) plus
// one second for a finished fetch to reach its row.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/generated_site.h"
#include "bench/measure.h"
#include "platform/profile_file.h"
#include "tests/support/test_web_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
    int pages = 2000;
    int kills = 50;
    unsigned seed = 20261211;
    int bound_ms = 2000;
    int max_delay_ms = 4000;
};

// Starts argv with standard output and error into files; -1 on failure.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& out, const std::string& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

// Runs argv to its end; its exit status (-1 when it did not exit by itself).
int Run(const std::vector<std::string>& argv, const std::string& out, const std::string& err) {
    const pid_t pid = Spawn(argv, out, err);
    if (pid < 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Listed {
    int status = 0;
    std::string file;
};

// `fetchwell list --tsv`: id, depth, status, error, url, file, title.
std::map<std::string, Listed> ParseList(const std::string& tsv) {
    std::map<std::string, Listed> rows;
    std::istringstream lines(tsv);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
            cells.push_back(line.substr(start, tab - start));
        }
        cells.push_back(line.substr(start));
        if (cells.size() < 6) continue;
        rows[cells[4]] = Listed{std::atoi(cells[2].c_str()), cells[5]};
    }
    return rows;
}

// The copy's files relative to the data directory, tables and the engine's
// own bookkeeping left out.
std::set<std::string> CopyFiles(const std::string& data_dir) {
    std::set<std::string> files;
    if (!fs::exists(data_dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(data_dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        if (name.rfind("ZQ", 0) == 0) continue;
        files.insert(fs::relative(entry.path(), data_dir).string());
    }
    return files;
}

// Pages whose address comment appears more than once.
int DoubledHeaders(const std::string& data_dir) {
    int doubled = 0;
    for (const auto& entry : fs::recursive_directory_iterator(data_dir)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".html") continue;
        const std::string page = ReadAll(entry.path().string());
        const size_t first = page.find("<!-- ");
        if (first != std::string::npos && page.find("<!-- ", first + 1) != std::string::npos) {
            ++doubled;
        }
    }
    return doubled;
}

struct Tally {
    int kills = 0;
    int completed_grabs = 0;
    int runs = 0;
    int list_failures = 0;
    int list_messages = 0;
    int dump_failures = 0;
    long rows_lost = 0;
    long refetched_beyond_bound = 0;
    long refetched_in_flight = 0;
    int copy_mismatches = 0;
    int doubled_headers = 0;
    std::vector<double> kill_delays;
};

class KillBench {
  public:
    KillBench(const Options& options, std::string scratch)
        : options_(options), scratch_(std::move(scratch)), random_(options.seed) {}

    int Main() {
        const std::string root = scratch_ + "/site" + std::to_string(options_.pages);
        if (!fs::exists(root)) fwbench::GenerateSite(root, options_.pages);
        server_ = std::make_unique<fwtest::TestWebServer>(root);
        if (!server_->Start()) {
            std::fprintf(stderr, "kill_bench: cannot start the web server\n");
            return 1;
        }
        start_url_ = fwbench::GeneratedSiteStart(server_->BaseUrl());
        fetchwell_ = std::string(FW_BINARY_DIR) + "/bin/fetchwell";

        const auto before = Clock::now();
        if (Mirror("reference") != 0) {
            std::fprintf(stderr, "kill_bench: the uninterrupted mirror failed\n");
            return 1;
        }
        const double reference_seconds = std::chrono::duration<double>(Clock::now() - before).count();
        reference_ = CopyFiles(scratch_ + "/reference");
        server_->ClearRequests();
        std::printf("site: %d pages, %zu files in an uninterrupted copy (%.2f s)\n", options_.pages,
                    reference_.size(), reference_seconds);

        int cycle = 0;
        while (tally_.kills < options_.kills) {
            const std::string name = "killed" + std::to_string(cycle++);
            RunCycle(name);
        }
        Report();
        return Sound() ? 0 : 1;
    }

  private:
    int Mirror(const std::string& name) {
        return Run(MirrorArgs(name), scratch_ + "/mirror.out", scratch_ + "/mirror.err");
    }

    std::vector<std::string> MirrorArgs(const std::string& name) const {
        return {fetchwell_, "mirror", "-q", "--levels", "all", start_url_, scratch_ + "/" + name + ".cvn"};
    }

    // Kills and resumes one project until a grab of it completes (or the
    // kills run out, when it is finished without a kill).
    void RunCycle(const std::string& name) {
        const std::string data_dir = scratch_ + "/" + name;
        fs::remove_all(data_dir);
        fs::remove(data_dir + ".cvn");
        // URLs answered in an earlier run of this cycle, and those of them
        // answered more than the bound before that run was killed.
        std::set<std::string> asked;
        std::set<std::string> committed;
        std::uniform_int_distribution<int> delay_ms(50, options_.max_delay_ms);
        for (;;) {
            server_->ClearRequests();
            const bool may_kill = tally_.kills < options_.kills;
            const auto delay = std::chrono::milliseconds(delay_ms(random_));
            ++tally_.runs;
            const pid_t pid = Spawn(MirrorArgs(name), scratch_ + "/mirror.out", scratch_ + "/mirror.err");
            if (pid < 0) {
                std::fprintf(stderr, "kill_bench: cannot start %s\n", fetchwell_.c_str());
                std::exit(1);
            }
            const auto started = Clock::now();
            int status = 0;
            bool exited = false;
            while (!(exited = waitpid(pid, &status, WNOHANG) == pid)) {
                if (may_kill && Clock::now() - started >= delay) break;
                std::this_thread::sleep_for(2ms);
            }
            const auto now = Clock::now();
            const std::vector<fwtest::Request> requests = server_->Requests();
            CountRefetches(requests, asked, committed);
            if (exited) {
                CheckCompleted(name, status);
                return;
            }
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            for (const fwtest::Request& request : requests) {
                const std::string url = server_->BaseUrl() + request.path;
                asked.insert(url);
                if (request.at + Bound() < now) committed.insert(url);
            }
            ++tally_.kills;
            tally_.kill_delays.push_back(std::chrono::duration<double>(now - started).count());
            CheckKilled(name, requests, now);
        }
    }

    // A request for a URL a killed grab had been answered for well before
    // its kill is a refetch the resume should have spared.
    void CountRefetches(const std::vector<fwtest::Request>& requests, const std::set<std::string>& asked,
                        const std::set<std::string>& committed) {
        for (const fwtest::Request& request : requests) {
            const std::string url = server_->BaseUrl() + request.path;
            if (committed.count(url) != 0) {
                ++tally_.refetched_beyond_bound;
                if (tally_.refetched_beyond_bound <= 5) {
                    std::fprintf(stderr, "asked again: %s\n", request.path.c_str());
                }
            } else if (asked.count(url) != 0) {
                ++tally_.refetched_in_flight;
            }
        }
    }

    void CheckKilled(const std::string& name, const std::vector<fwtest::Request>& requests,
                     Clock::time_point killed_at) {
        const std::string data_dir = scratch_ + "/" + name;
        const std::string out = scratch_ + "/list.out";
        const std::string err = scratch_ + "/list.err";
        if (Run({fetchwell_, "list", "--tsv", data_dir + ".cvn"}, out, err) != 0) {
            ++tally_.list_failures;
            std::fprintf(stderr, "list failed after kill %d: %s\n", tally_.kills, ReadAll(err).c_str());
            return;
        }
        if (!ReadAll(err).empty()) {
            ++tally_.list_messages;
            std::fprintf(stderr, "list said after kill %d: %s\n", tally_.kills, ReadAll(err).c_str());
        }
        const std::map<std::string, Listed> rows = ParseList(ReadAll(out));
        for (const fwtest::Request& request : requests) {
            if (request.at + Bound() >= killed_at) continue;
            const std::string url = server_->BaseUrl() + request.path;
            const auto row = rows.find(url);
            const bool kept = row != rows.end() && row->second.status >= 70 &&
                              !row->second.file.empty() &&
                              fs::exists(data_dir + "/src/" + row->second.file);
            if (!kept) {
                ++tally_.rows_lost;
                if (tally_.rows_lost <= 5) {
                    std::fprintf(stderr, "lost after kill %d: %s\n", tally_.kills, url.c_str());
                }
            }
        }
        for (const auto& entry : fs::directory_iterator(data_dir)) {
            if (entry.path().extension() != ".DBF") continue;
            if (Run({"/usr/bin/dbfdump", "-m", entry.path().string()}, "/dev/null", err) != 0) {
                ++tally_.dump_failures;
                std::fprintf(stderr, "dbfdump failed on %s after kill %d\n",
                             entry.path().filename().c_str(), tally_.kills);
            }
        }
    }

    void CheckCompleted(const std::string& name, int status) {
        const std::string data_dir = scratch_ + "/" + name;
        ++tally_.completed_grabs;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "a resumed mirror ended with status %d: %s\n", status,
                         ReadAll(scratch_ + "/mirror.err").c_str());
        }
        const std::set<std::string> files = CopyFiles(data_dir);
        if (files != reference_) {
            ++tally_.copy_mismatches;
            std::vector<std::string> extra, missing;
            std::set_difference(files.begin(), files.end(), reference_.begin(), reference_.end(),
                                std::back_inserter(extra));
            std::set_difference(reference_.begin(), reference_.end(), files.begin(), files.end(),
                                std::back_inserter(missing));
            std::fprintf(stderr, "copy %s: %zu extra (%s), %zu missing (%s)\n", name.c_str(),
                         extra.size(), extra.empty() ? "" : extra[0].c_str(), missing.size(),
                         missing.empty() ? "" : missing[0].c_str());
        }
        tally_.doubled_headers += DoubledHeaders(data_dir);
    }

    std::chrono::milliseconds Bound() const { return std::chrono::milliseconds(options_.bound_ms); }

    bool Sound() const {
        return tally_.rows_lost == 0 && tally_.refetched_beyond_bound == 0 &&
               tally_.list_failures == 0 && tally_.dump_failures == 0 &&
               tally_.copy_mismatches == 0 && tally_.doubled_headers == 0;
    }

    void Report() {
        std::vector<double> delays = tally_.kill_delays;
        std::sort(delays.begin(), delays.end());
        const double median = delays.empty() ? 0 : delays[delays.size() / 2];
        std::printf("kills: %d (seed %u, after %.2f to %.2f s, median %.2f s), %d runs, %d grabs completed\n",
                    tally_.kills, options_.seed, delays.empty() ? 0 : delays.front(),
                    delays.empty() ? 0 : delays.back(), median, tally_.runs, tally_.completed_grabs);
        std::printf("rows lost beyond the %d ms bound: %ld\n", options_.bound_ms, tally_.rows_lost);
        std::printf("URLs asked again on resume: %ld answered before the bound, %ld within it (in flight or not yet committed)\n",
                    tally_.refetched_beyond_bound, tally_.refetched_in_flight);
        std::printf("list failures: %d, list messages: %d, tables dbfdump could not read: %d\n",
                    tally_.list_failures, tally_.list_messages, tally_.dump_failures);
        std::printf("completed copies unlike the uninterrupted one: %d, pages with a doubled header: %d\n",
                    tally_.copy_mismatches, tally_.doubled_headers);
        std::printf("%s\n", Sound() ? "sound" : "FAULTS FOUND");
    }

    Options options_;
    std::string scratch_;
    std::mt19937 random_;
    std::unique_ptr<fwtest::TestWebServer> server_;
    std::string start_url_;
    std::string fetchwell_;
    std::set<std::string> reference_;
    Tally tally_;
};

bool IntOption(int argc, char** argv, int* i, const char* name, int* value) {
    if (std::strcmp(argv[*i], name) != 0 || *i + 1 >= argc) return false;
    *value = std::atoi(argv[++*i]);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        int seed = 0;
        if (IntOption(argc, argv, &i, "--pages", &options.pages) ||
            IntOption(argc, argv, &i, "--kills", &options.kills) ||
            IntOption(argc, argv, &i, "--bound-ms", &options.bound_ms) ||
            IntOption(argc, argv, &i, "--max-delay-ms", &options.max_delay_ms)) {
            continue;
        }
        if (IntOption(argc, argv, &i, "--seed", &seed)) {
            options.seed = static_cast<unsigned>(seed);
            continue;
        }
        std::fprintf(stderr,
                     "usage: kill_bench [--pages N] [--kills K] [--seed S] [--bound-ms B] "
                     "[--max-delay-ms D]\n");
        return 2;
    }
    if (options.pages < 1 || options.kills < 0 || options.bound_ms < 0 || options.max_delay_ms < 50) {
        std::fprintf(stderr, "kill_bench: out-of-range option\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const char* tmp = std::getenv("TMPDIR");
    const std::string scratch = std::string(tmp && *tmp ? tmp : "/tmp") + "/fw-kill-bench-" +
                                std::to_string(getpid());
    fs::create_directories(scratch + "/home");
    setenv("CORVALIN_HOME", (scratch + "/home").c_str(), 1);
    platform::ProfileFile settings(scratch + "/home/corvalin.ini");
    settings.WriteString("Network", "MaxThreads", std::string("8"));
    settings.WriteString("Network", "PercentMaxThreads", std::string("100"));
    settings.WriteString("Network", "MaxThreadsPerServer", std::string("8"));
    const int result = KillBench(options, scratch).Main();
    fs::remove_all(scratch);
    return result;
}
