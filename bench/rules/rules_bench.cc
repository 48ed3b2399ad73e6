// Page replacement rules.
//   1. The literal scan: a 6-character literal searched through a 50 MB page
//      that holds it only at the end, in MB/s (the skip table's promise is
//      well over 1 GB/s), for a case-significant and a case-ignoring rule.
//   2. A whole-file and a line rule over the 50 MB page, in MB/s.
//   3. A grab's work per page: three rules (a whole-file literal, a line rule
//      with a tail, a whole-file rule with a set) over a 20 KB page in
//      memory, and applied to 10,000 pages of 20 KB on disk, each read,
//      rewritten to a new file and renamed into place, in processor time per
//      page, user and system apart (the goal is under 0.1 ms; the new file
//      and the rename are the file system's share).
//
// Usage: rules_bench [--mb N] [--pages N]   (defaults 50 and 10000)
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/page_rules.h"
#include "app/core/replacement_pattern.h"
#include "bench/measure.h"

namespace {

using corvalin::PageRewrite;
using corvalin::PageRules;
using corvalin::ReplacementPattern;
using fwbench::Median;
using fwbench::ThreadCpuSeconds;

// HTML-like text of about `bytes` bytes: markup, words and line ends, from a
// fixed seed so runs compare.
std::string PageText(size_t bytes, unsigned seed) {
    static const char* const kWords[] = {
        "offline", "copies",   "of",  "whole",  "sites",  "keep", "their",
        "pages",   "images",   "and", "style",  "sheets", "with", "every",
        "link",    "pointing", "at",  "the",    "stored", "file", "so",
        "copy",    "browses",  "by",  "itself", "<b>",    "</b>", "<a href=\"/docs/page.html\">",
        "</a>",    "&amp;"};
    std::string text = "<!DOCTYPE html>\n<html><head><title>Bench</title></head>\n<body>\n";
    unsigned state = seed * 2654435761u + 1;
    while (text.size() < bytes) {
        text += "<p>";
        for (int w = 0; w < 14; ++w) {
            state = state * 1103515245u + 12345u;
            text += kWords[(state >> 16) % (sizeof kWords / sizeof kWords[0])];
            text += ' ';
        }
        text += "</p>\n";
    }
    text.resize(bytes);
    return text;
}

double ScanSeconds(const ReplacementPattern& pattern, const std::string& text) {
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        const double start = ThreadCpuSeconds();
        auto match = pattern.Search(text);
        runs.push_back(ThreadCpuSeconds() - start);
        if (!match) std::fprintf(stderr, "the literal was not found\n");
    }
    return Median(runs);
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = static_cast<size_t>(fwbench::ArgValue(argc, argv, "--mb", 50));
    const int pages = fwbench::ArgValue(argc, argv, "--pages", 10000);
    const double mb = static_cast<double>(megabytes);

    std::string big = PageText(megabytes << 20, 1);
    big.replace(big.size() - 8, 6, "Zephyr");
    for (const bool ignore_case : {false, true}) {
        auto pattern = ReplacementPattern::Compile("Zephyr", ignore_case);
        const double seconds = ScanSeconds(*pattern, big);
        std::printf("scan for a 6-character literal (%s): %.0f MB/s\n",
                    ignore_case ? "case ignored" : "case significant", mb / seconds);
    }
    const std::pair<const char*, PageRules> whole_page_rules[] = {
        {"whole-file rule \"stored\" -> \"kept\"", PageRules({{"F", "stored", "kept"}})},
        {"line rule \"<a*>\" -> \"<a>\"", PageRules({{"l", "<a*>", "<a>"}})},
    };
    for (const auto& [name, rules] : whole_page_rules) {
        const double start = ThreadCpuSeconds();
        const std::string result = rules.Apply(big);
        const double seconds = ThreadCpuSeconds() - start;
        std::printf("%s over %zu MB: %.0f MB/s (%zu bytes out)\n", name, megabytes, mb / seconds,
                    result.size());
    }
    big.clear();
    big.shrink_to_fit();

    // Pages on disk, as a grab leaves them.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("rules_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<std::string> paths;
    for (int i = 0; i < pages; ++i) {
        paths.push_back((dir / ("page" + std::to_string(i) + ".html")).string());
        std::ofstream(paths.back(), std::ios::binary)
            << PageText(20 << 10, static_cast<unsigned>(i));
    }
    const PageRules three({{"F", "<b>", "<strong>"},
                           {"l", "<a href=\"/docs/*\">", "<a href=\"docs.html\">"},
                           {"f", "[&]amp;", "&#38;"}});
    // The rules alone, on pages in memory.
    const std::string sample = PageText(20 << 10, 7);
    size_t out_bytes = 0;
    double start = ThreadCpuSeconds();
    for (int i = 0; i < pages; ++i) out_bytes += three.Apply(sample).size();
    const double apply_seconds = ThreadCpuSeconds() - start;
    std::printf("three rules over a 20 KB page in memory: %.4f ms per page (%zu bytes out)\n",
                apply_seconds * 1000.0 / pages, out_bytes / static_cast<size_t>(pages));
    // The whole step: read, rules, a new file renamed over the page.
    int rewritten = 0;
    const fwbench::CpuSeconds before = fwbench::ProcessCpu();
    for (const auto& path : paths) {
        if (three.RewritePage(path) == PageRewrite::kRewritten) ++rewritten;
    }
    const fwbench::CpuSeconds after = fwbench::ProcessCpu();
    const double user = (after.user - before.user) * 1000.0 / pages;
    const double system = (after.system - before.system) * 1000.0 / pages;
    std::printf(
        "three rules over %d pages of 20 KB on disk: %.3f ms of processor time per page "
        "(%.3f user, %.3f system; %d rewritten)\n",
        pages, user + system, user, system, rewritten);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
