// Desktop program benchmark. Prints figures; never part of the test run.
//
//   desktop_bench [open] [grab] [--pages N]
//
// open: a project of 100,000 URLs (built with the engine's store, once, in
//   a scratch folder): the time until the main window shows its tree, the
//   time to expand a page with 10,000 children and to list them, and the
//   program's memory (measured in a process of its own, so that building
//   the project does not count).
// grab: a generated site of N pages (default 10,000) served by
//   fw-test-server, grabbed once by the fetchwell CLI and once through the
//   main window with the grab window shown: URLs per second of each, and
//   the UI thread's event-loop latency during the window's grab (a 10 ms
//   timer that records how late it fires).
//
// Both run offscreen unless QT_QPA_PLATFORM says otherwise.
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "app/main_frame.h"
#include "app/views/grab_window.h"
#include "app/views/left_view.h"
#include "app/views/pagewell_view.h"
#include "app/views/url_list_model.h"
#include "app/views/url_tree_model.h"
#include "bench/measure.h"
#include "engine/interface/dizoziz.h"
#include "platform/profile_file.h"
#include "platform/run_program.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUrls = 100000;
constexpr int kBigPageChildren = 10000;

long StatusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    }
    return 0;
}

// Settles the event loop: everything posted so far and what it posts, for
// at most `ms`.
void Settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// --- open ----------------------------------------------------------------------------------

// One start URL, ten section pages below it; section 0 is the page with
// 10,000 child pages, the others share the rest; every page has one image.
void BuildBigProject(const std::string& project_path) {
    std::string message;
    if (!corvalin::CreateProject(project_path, &message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        std::exit(1);
    }
    const std::string data = corvalin::DataDirectoryFor(project_path);
    auto engine = fw::MakeObject<fw::Dizoziz>();
    engine->ExclusiveMode(1);
    if (fw::Failed(engine->OpenPlus(data, data + "src/"))) std::exit(1);
    fw::ProjectStore& store = engine->store();
    int urls = 0;
    const auto add = [&](int32_t parent, int32_t level, int32_t min_level, const std::string& url,
                         int32_t kind, const std::string& title) {
        const int32_t id = store.AddUrl(parent, level, min_level, url, kind).id;
        fw::UrlRecord row;
        store.Load(id, &row);
        row.status = fw::kStatusGrabbed;
        row.kind = kind;
        row.title = title;
        store.Write(&row);
        ++urls;
        return id;
    };
    const std::string site = "http://bench.example/";
    const int32_t start = add(0, 0, 0, site, fw::kKindHtml, "Bench site");
    store.SetLevels(start, -1);
    const int per_section = (kUrls - 11 - 2 * kBigPageChildren) / 2 / 9;
    for (int s = 0; s < 10; ++s) {
        const std::string section = site + "s" + std::to_string(s) + "/";
        const int32_t page =
            add(start, 1, 0, section, fw::kKindHtml, "Section " + std::to_string(s));
        const int children = s == 0 ? kBigPageChildren : per_section;
        for (int c = 0; c < children; ++c) {
            const std::string name = section + "p" + std::to_string(c);
            const int32_t child =
                add(page, 2, 0, name + ".html", fw::kKindHtml, "Page " + std::to_string(c));
            add(child, 2, 1, name + ".gif", fw::kKindImage, "");
        }
        std::fprintf(stderr, "\rbuilding: %d URLs", urls);
    }
    std::fprintf(stderr, "\n");
    engine->Close();
}

// In a process of its own: the window with the project, the big page
// expanded and listed.
int MeasureOpen(const std::string& project_path) {
    int argc = 1;
    char name[] = "desktop_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const long before_kib = StatusKiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    corvalin::CMainFrame frame(corvalin::AppSettings(project_path + ".ini"));
    std::string why;
    if (!frame.doc().CreateEngine(&why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    frame.show();
    if (!frame.OpenProject(project_path)) return 1;
    QCoreApplication::processEvents();
    const double shown_ms = clock.nsecsElapsed() / 1e6;

    corvalin::CLeftView* tree = frame.left_view();
    corvalin::UrlTreeModel* model = tree->tree_model();
    const QModelIndex start = model->index(0, 0);
    tree->expand(start);
    QModelIndex big;
    for (int row = 0; row < model->rowCount(start); ++row) {
        if (model->index(row, 0, start).data().toString() == "Section 0")
            big = model->index(row, 0, start);
    }
    clock.restart();
    tree->expand(big);
    QCoreApplication::processEvents();
    const double expand_ms = clock.nsecsElapsed() / 1e6;
    const int shown_children = model->rowCount(big);

    clock.restart();
    tree->setCurrentIndex(big);
    QCoreApplication::processEvents();
    const double list_ms = clock.nsecsElapsed() / 1e6;
    const int listed = frame.right_view()->list_model()->rowCount();
    Settle(200);
    std::printf(
        "open:   tree shown in %.0f ms; expanding a page of %d child pages: %.0f ms; "
        "listing its %d files: %.0f ms\n",
        shown_ms, shown_children, expand_ms, listed, list_ms);
    std::printf("        memory: %ld MiB now, %ld MiB at most (%ld MiB before the window)\n",
                StatusKiB("VmRSS") / 1024, StatusKiB("VmHWM") / 1024, before_kib / 1024);
    return 0;
}

// CPU time of the calling thread.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// --- grab ----------------------------------------------------------------------------------

// Pages p0 .. pN-1 in folders of 100, each about 5 KB with 10 links and an
// image: every page is reachable from p0.
void GenerateSite(const std::string& root, int pages) {
    if (fs::exists(root + "/done")) return;
    const std::string filler =
        "<p>Offline copies keep the pages of a site on the local disk.</p>\n";
    for (int i = 0; i < pages; ++i) {
        const std::string dir = root + "/d" + std::to_string(i / 100);
        fs::create_directories(dir);
        std::string page =
            "<html><head><title>Page " + std::to_string(i) + "</title></head><body>\n";
        page += "<img src=\"/i" + std::to_string(i % 50) + ".gif\">\n";
        for (int k = 1; k <= 10; ++k) {
            const long target = (static_cast<long>(i) * 10 + k) % pages;
            page += "<a href=\"/d" + std::to_string(target / 100) + "/p" + std::to_string(target) +
                    ".html\">link</a>\n";
        }
        while (page.size() < 5000) page += filler;
        page += "</body></html>\n";
        std::ofstream(dir + "/p" + std::to_string(i) + ".html") << page;
    }
    for (int k = 0; k < 50; ++k)
        std::ofstream(root + "/i" + std::to_string(k) + ".gif") << "GIF89a....";
    std::ofstream(root + "/done") << "";
}

size_t CountUrls(const std::string& project_path) {
    const std::string data = corvalin::DataDirectoryFor(project_path);
    auto engine = fw::MakeObject<fw::Dizoziz>();
    size_t urls = 0;
    if (fw::Succeeded(engine->OpenPlus(data, data + "src/"))) {
        engine->store().ForEachUrl([&](const fw::UrlRecord& row) {
            urls += row.status == fw::kStatusGrabbed;
            return true;
        });
        engine->Close();
    }
    return urls;
}

int MeasureGrab(const std::string& scratch, int pages) {
    const std::string root = scratch + "/site" + std::to_string(pages);
    GenerateSite(root, pages);
    fwtest::ChildProcess server;
    const uint16_t port = fwtest::FreeLoopbackPort();
    if (!server.Start({std::string(FW_BINARY_DIR) + "/bin/fw-test-server", "--root", root, "--port",
                       std::to_string(port)}) ||
        !fwtest::WaitForLoopbackPort(port, std::chrono::seconds(10))) {
        std::fprintf(stderr, "cannot start fw-test-server\n");
        return 1;
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/d0/p0.html";
    const std::string run = std::to_string(getpid());

    // The command-line program, once before and once after the desktop
    // program, so a change in the machine's load shows as a difference
    // between the two.
    const auto run_cli = [&](const std::string& project, size_t* urls) {
        fwtest::ChildProcess cli;
        const auto start = fwbench::Clock::now();
        cli.Start({std::string(FW_BINARY_DIR) + "/bin/fetchwell", "mirror", url, project,
                   "--levels", "all", "-q"});
        cli.Wait();
        const double seconds = fwbench::SecondsSince(start);
        *urls = CountUrls(project);
        return seconds;
    };
    const std::string cli_project = scratch + "/cli-" + run + ".cvn";
    const std::string cli_project2 = scratch + "/cli2-" + run + ".cvn";
    size_t cli_urls = 0, cli_urls2 = 0;
    const double cli_seconds = run_cli(cli_project, &cli_urls);
    auto wall = fwbench::Clock::now();

    // The desktop program, with the grab window shown.
    int argc = 1;
    char name[] = "desktop_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const std::string gui_project = scratch + "/gui-" + run + ".cvn";
    size_t gui_urls = 0;
    double gui_seconds = 0;
    std::vector<double> late_ms;
    int most_rows = 0;
    double ui_cpu_seconds = 0;
    {
        corvalin::CMainFrame frame(corvalin::AppSettings(scratch + "/gui.ini"));
        std::string message;
        if (!frame.doc().CreateEngine(&message) ||
            !corvalin::CreateProject(gui_project, &message) || !frame.OpenProject(gui_project)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
        frame.doc().project_file().SetRunAfter(false);
        frame.show();
        corvalin::StartUrlOptions options;
        options.url = url;
        options.levels = -1;
        int32_t id = 0;
        corvalin::AddStartUrl(frame.doc().engine(), options, &id);
        frame.doc().NoteUrlAdded(id);

        QElapsedTimer since_tick;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            late_ms.push_back(std::max(0.0, since_tick.nsecsElapsed() / 1e6 - 10.0));
            since_tick.restart();
            most_rows = std::max(most_rows, frame.grab_window()->rows());
        });
        const double ui_cpu_before = ThreadCpuSeconds();
        wall = fwbench::Clock::now();
        frame.RunCommand(corvalin::CommandId::kGrabSites);
        since_tick.start();
        probe.start();
        // The program's own event loop, as in the program: processEvents with
        // a time limit would spin and take a core from the grab.
        QEventLoop loop;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (frame.done_box()) loop.quit();
        });
        watch.start(20);
        loop.exec();
        gui_seconds = fwbench::SecondsSince(wall);
        ui_cpu_seconds = ThreadCpuSeconds() - ui_cpu_before;
        probe.stop();
        frame.done_box()->accept();
        Settle(100);
    }
    gui_urls = CountUrls(gui_project);
    const double cli_seconds2 = run_cli(cli_project2, &cli_urls2);
    server.Stop();
    std::sort(late_ms.begin(), late_ms.end());
    const auto pct = [&](double p) {
        return late_ms.empty()
                   ? 0.0
                   : late_ms[std::min(late_ms.size() - 1, static_cast<size_t>(p * late_ms.size()))];
    };
    const double cli_rate = cli_urls / cli_seconds;
    const double cli_rate2 = cli_urls2 / cli_seconds2;
    const double gui_rate = gui_urls / gui_seconds;
    std::printf(
        "grab:   fetchwell %zu URLs in %.2f s = %.0f URLs/s, after corvalin %zu URLs in %.2f s "
        "= %.0f URLs/s\n"
        "        corvalin %zu URLs in %.2f s = %.0f URLs/s (%.0f %% of fetchwell's mean)\n",
        cli_urls, cli_seconds, cli_rate, cli_urls2, cli_seconds2, cli_rate2, gui_urls, gui_seconds,
        gui_rate, 200.0 * gui_rate / (cli_rate + cli_rate2));
    std::printf("        grab window: at most %d rows; UI thread busy %.1f s of the %.1f s\n",
                most_rows, ui_cpu_seconds, gui_seconds);
    std::printf(
        "        UI event-loop lateness over %zu ticks: median %.1f ms, 99th percentile "
        "%.1f ms, worst %.1f ms\n",
        late_ms.size(), pct(0.5), pct(0.99), late_ms.empty() ? 0.0 : late_ms.back());
    for (const std::string& p : {cli_project, cli_project2, gui_project}) {
        fs::remove_all(corvalin::DataDirectoryFor(p));
        fs::remove(p);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--measure-open") return MeasureOpen(argv[2]);
    bool open = false, grab = false;
    for (int i = 1; i < argc; ++i) {
        open = open || std::string(argv[i]) == "open";
        grab = grab || std::string(argv[i]) == "grab";
    }
    if (!open && !grab) open = grab = true;
    const int pages = fwbench::ArgValue(argc, argv, "--pages", 10000);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const char* tmp = std::getenv("TMPDIR");
    const std::string scratch = std::string(tmp && *tmp ? tmp : "/tmp") + "/fw-desktop-bench";
    fs::create_directories(scratch + "/home");
    ::setenv("CORVALIN_HOME", (scratch + "/home").c_str(), 1);
    platform::ProfileFile settings(scratch + "/home/corvalin.ini");
    settings.WriteString("Network", "MaxThreads", std::string("8"));
    settings.WriteString("Network", "MaxThreadsPerServer", std::string("8"));
    int status = 0;
    if (open) {
        const std::string project = scratch + "/big.cvn";
        if (!fs::exists(project)) BuildBigProject(project);
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        platform::RunLimits limits;
        limits.timeout = std::chrono::minutes(10);
        const platform::ProgramRun run =
            platform::RunProgram({std::string(self, static_cast<size_t>(std::max<ssize_t>(n, 0))),
                                  "--measure-open", project},
                                 limits);
        std::fputs(run.out.c_str(), stdout);
        std::fputs(run.err.c_str(), stderr);
        status |= run.exit_code != 0;
    }
    if (grab) status |= MeasureGrab(scratch, pages);
    return status;
}
