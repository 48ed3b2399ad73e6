// Filter evaluation as a crawl does it (a start URL's set tested against
// every link found), and the text search's pattern matcher over grabbed
// HTML, searched one 1 MB file at a time.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/filter/filter_set.h"
#include "engine/filter/grep_pattern.h"

namespace {

fw::FilterSet TenFilters() {
    fw::FilterSet set;
    const std::pair<char, const char*> rows[] = {
        {'U', "S"},           {'U', "EIPcgi-bin"},    {'U', "EIPlogout"},
        {'U', "EIE*.exe"},    {'U', "EIBmailto:"},    {'U', "EIP/calendar/"},
        {'U', "IIP/docs/"},   {'U', "IIP/blog/"},     {'Z', "IIPhtm,html,gif,jpg"},
        {'M', "EIBvideo"},
    };
    for (const auto& [type, text] : rows) set.filters.push_back(fw::DecodeFilter(type, text));
    fw::BindStayFilters(&set, "http://www.example.com/index.html");
    return set;
}

std::vector<std::string> Links() {
    const char* const shapes[] = {
        "http://www.example.com/docs/guide/page%d.html",
        "http://www.example.com/blog/2023/%d/post.html?ref=home",
        "http://www.example.com/cgi-bin/search?q=%d",
        "http://cdn.other.net/assets/img%d.jpg",
        "http://www.Example.com/Downloads/setup%d.EXE",
        "http://www.example.com/news/item%d.htm#comments",
    };
    std::vector<std::string> links;
    char buf[256];
    for (int i = 0; i < 1200; ++i) {
        std::snprintf(buf, sizeof buf, shapes[i % 6], i);
        links.push_back(buf);
    }
    return links;
}

void BM_AcceptsTenFilters(benchmark::State& state) {
    const fw::FilterSet set = TenFilters();
    const std::vector<std::string> links = Links();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fw::Accepts(set, fw::FilterType::Url, links[i]));
        if (++i == links.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AcceptsTenFilters);

constexpr size_t kFileSize = 1 << 20;
constexpr size_t kFiles = 200;

// 200 MB of plausible HTML: tags, attributes, text, numbers.
const std::string& Html() {
    static const std::string html = [] {
        const char* const words[] = {
            "the",     "site",     "page",     "offline", "browse", "archive", "of",
            "and",     "index",    "content",  "article", "search", "results", "March",
            "network", "download", "Copyright", "with",   "about",  "contact", "home",
        };
        const char* const tags[] = {
            "<p>", "</p>\n", "<div class=\"entry\">", "</div>\n", "<a href=\"/docs/page.html\">",
            "</a>", "<span style=\"color:#336699\">", "</span>", "<li>", "</li>\n",
            "<img src=\"images/photo.jpg\" alt=\"\" width=\"120\">",
        };
        std::mt19937 random(7);
        std::string out;
        out.reserve(kFileSize * kFiles + 256);
        while (out.size() < kFileSize * kFiles) {
            if (random() % 4 == 0) {
                out += tags[random() % 11];
            } else {
                out += words[random() % 21];
                out += random() % 9 == 0 ? ", " : " ";
            }
            if (random() % 50 == 0) out += std::to_string(random() % 100000);
        }
        out.resize(kFileSize * kFiles);
        return out;
    }();
    return html;
}

void SearchFiles(benchmark::State& state, const char* text, size_t files = kFiles) {
    const std::string_view html = std::string_view(Html()).substr(0, files * kFileSize);
    fw::GrepPattern pattern;
    if (!pattern.Compile(text, nullptr)) {
        state.SkipWithError("pattern rejected");
        return;
    }
    for (auto _ : state) {
        int64_t found = 0;
        for (size_t f = 0; f < files; ++f) {
            found += pattern.Find(html.substr(f * kFileSize, kFileSize)) >= 0;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}

void BM_GrepLiteralWord(benchmark::State& state) { SearchFiles(state, "corvalin"); }
BENCHMARK(BM_GrepLiteralWord)->Unit(benchmark::kMillisecond);

void BM_GrepLiteralCommonStart(benchmark::State& state) { SearchFiles(state, "the offline site map"); }
BENCHMARK(BM_GrepLiteralCommonStart)->Unit(benchmark::kMillisecond);

void BM_GrepClassFirst(benchmark::State& state) { SearchFiles(state, "[cC]orvalin"); }
BENCHMARK(BM_GrepClassFirst)->Unit(benchmark::kMillisecond);

void BM_GrepFrequentClassRun(benchmark::State& state) { SearchFiles(state, "[a-e]+xyzzy"); }
BENCHMARK(BM_GrepFrequentClassRun)->Unit(benchmark::kMillisecond);

// Repetitions that backtracking would take quadratic time over: the search
// hands over to the linear matcher. Slow, so over the first 20 files only.
void BM_GrepNestedRepetition(benchmark::State& state) { SearchFiles(state, "e.*t.*xq", 20); }
BENCHMARK(BM_GrepNestedRepetition)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
