// Link extraction and the Fix step of a 50 KB page with 200 links, against a
// project of 100,000 URLs. Half of the page's anchors name URLs the project
// has stored (so the Fix step writes relative paths); the other links are new
// to the project in the first run, which records them, and known (and
// queued) in the later runs, which extract the same pages again under new
// page URLs. Prints the time per page of each run, and the median of the
// later runs.
//
// Usage: links_bench [urls] [pages]   (defaults 100000 and 200)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "engine/content/css_links.h"
#include "engine/content/link_extractor.h"
#include "engine/content/link_fixer.h"
#include "engine/store/project_store.h"
#include "engine/support/log.h"

namespace {

using fwbench::Clock;
using fwbench::Median;

std::string StoredUrl(int n) {
    return "http://site" + std::to_string(n % 40) + ".example/dir" + std::to_string(n % 97) +
           "/page" + std::to_string(n) + ".html";
}

std::string StoredFile(int n) {
    return "site" + std::to_string(n % 40) + ".example/page" + std::to_string(n) + ".html";
}

// A page of about 50 KB: 200 links (anchors, images, a style sheet,
// backgrounds, script strings, a frame), between paragraphs of text.
std::string Page(int page, int urls) {
    std::string p =
        "<!DOCTYPE html>\n<html><head><title>Page " + std::to_string(page) + "</title>\n";
    p += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n";
    p += "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/site.css\">\n";
    p += "<script>var pics = [\"img/a.gif\", 'img/b.jpg']; function go(u) { location = u; }"
         "</script>\n</head>\n<body background=\"img/bg.gif\">\n";
    const std::string filler =
        "Offline copies of whole sites keep their pages, images and style sheets together, "
        "with every link pointing at the stored file so the copy browses by itself. ";
    int links = 5;
    for (int i = 0; links < 200; ++i) {
        const int known = (page * 131 + i * 7919) % urls;
        std::string text = "<p>" + filler;
        if (i % 2 == 0) {
            text += "<a href=\"" + StoredUrl(known) + "#s" + std::to_string(i) + "\">stored " +
                    std::to_string(known) + "</a> ";
        } else {
            text += "<a href=\"/new/p" + std::to_string(page) + "-" + std::to_string(i) +
                    ".html\" onmouseover=\"hi('img/h" + std::to_string(i % 9) + ".gif')\">new</a> ";
            ++links;
        }
        ++links;
        if (i % 4 == 1) {
            text += "<img src=\"img/i" + std::to_string(i % 23) + ".png\" alt=\"icon\" width=16>";
            ++links;
        }
        p += text + filler + "</p>\n";
    }
    while (p.size() < 50 * 1024) p += "<p>" + filler + filler + "</p>\n";
    p += "<iframe src=\"frame.html\"></iframe>\n</body></html>\n";
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    const int urls = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pages = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::string dir = std::filesystem::temp_directory_path().string() + "/links_bench_" +
                            std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    fw::ResetLogForTesting(dir + "fetchwell.log");

    fw::ProjectStore store;
    if (!store.Open(dir, dir, true)) {
        std::fprintf(stderr, "cannot open a project in %s\n", dir.c_str());
        return 1;
    }
    auto start = Clock::now();
    {
        auto guard = store.Lock();
        for (int n = 0; n < urls; ++n) {
            fw::UrlRecord row = store.NewRecord();
            row.url = StoredUrl(n);
            row.level = 1 + n % 3;
            row.status = 71;
            row.kind = 1;
            row.file = StoredFile(n);
            store.Write(&row);
            store.AddLink(0, row.id);
        }
    }
    std::printf("project of %d URLs built in %.1f s\n", urls, fwbench::SecondsSince(start));

    const std::string page_file = dir + "page.html";
    const std::string fixed_file = dir + "fixed.html";
    std::vector<std::string> texts;
    for (int i = 0; i < pages; ++i) texts.push_back(Page(i, urls));
    std::printf("pages: %zu bytes each (about)\n", texts[0].size());

    std::vector<double> extract_ms, fix_ms, extract_cpu_ms, fix_cpu_ms;
    for (int run = 0; run < 5; ++run) {
        double extract = 0, fix = 0, extract_cpu = 0, fix_cpu = 0;
        for (int i = 0; i < pages; ++i) {
            const std::string url =
                "http://bench.example/r" + std::to_string(run) + "/p" + std::to_string(i) + ".html";
            int32_t id;
            {
                auto guard = store.Lock();
                id = store.AddUrl(0, 1, 0, url).id;
            }
            std::ofstream(page_file, std::ios::binary | std::ios::trunc) << texts[i];
            auto t = Clock::now();
            double cpu = fwbench::ThreadCpuSeconds();
            {
                auto guard = store.Lock();
                fw::ExtractLinks(page_file, id, 3, store, url, 0, 0, {});
            }
            extract += fwbench::SecondsSince(t);
            extract_cpu += fwbench::ThreadCpuSeconds() - cpu;
            // As in a grab, the page is fixed into a place no file holds.
            std::filesystem::remove(fixed_file);
            t = Clock::now();
            cpu = fwbench::ThreadCpuSeconds();
            fw::FixPageFile(page_file, fixed_file, store, "bench.example/p.html", url, "");
            fix += fwbench::SecondsSince(t);
            fix_cpu += fwbench::ThreadCpuSeconds() - cpu;
        }
        extract_ms.push_back(extract * 1000 / pages);
        fix_ms.push_back(fix * 1000 / pages);
        extract_cpu_ms.push_back(extract_cpu * 1000 / pages);
        fix_cpu_ms.push_back(fix_cpu * 1000 / pages);
        std::printf(
            "  run %d%s: ExtractLinks %.2f ms/page (cpu %.2f), FixPageFile %.2f ms/page (cpu "
            "%.2f)\n",
            run + 1, run == 0 ? " (half the links new)" : "", extract_ms.back(),
            extract_cpu_ms.back(), fix_ms.back(), fix_cpu_ms.back());
    }
    const auto later = [](std::vector<double> v) { return Median({v.begin() + 1, v.end()}); };
    std::printf(
        "median of runs 2-5: ExtractLinks %.2f ms/page (cpu %.2f), FixPageFile %.2f "
        "ms/page (cpu %.2f); goal < 2 ms each\n",
        later(extract_ms), later(extract_cpu_ms), later(fix_ms), later(fix_cpu_ms));
    store.Close();
    std::filesystem::remove_all(dir);
    return 0;
}
