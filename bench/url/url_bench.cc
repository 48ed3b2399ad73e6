// Link resolution as the link extractor does it: CopyFrom(base),
// ParseRelative(link), Text, over a mix of links typical of real pages.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/content/parsed_url.h"

namespace {

std::vector<std::string> MakeLinks(size_t count) {
    static const char* const kWords[] = {"index", "about", "products", "news", "images",
                                         "css",   "js",    "article",  "2023", "photo_01"};
    std::mt19937 random(42);
    auto word = [&] { return std::string(kWords[random() % 10]); };
    std::vector<std::string> links;
    links.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(random() % 1000);
        switch (random() % 10) {
            case 0: links.push_back(word() + n + ".html"); break;
            case 1: links.push_back("../" + word() + "/" + word() + n + ".jpg"); break;
            case 2: links.push_back("/" + word() + "/" + word() + ".php?id=" + n + "&lang=en"); break;
            case 3: links.push_back("http://www.example.com/" + word() + "/" + n + ".htm"); break;
            case 4: links.push_back("https://cdn.example.net/" + word() + "/lib-" + n + ".js"); break;
            case 5: links.push_back(word() + ".html#section-" + n); break;
            case 6: links.push_back("?page=" + n + "&sort=asc"); break;
            case 7: links.push_back("./" + word() + "/../" + word() + n + ".css"); break;
            case 8: links.push_back("//static.example.org/" + word() + "/" + n + ".png"); break;
            default: links.push_back("/" + word() + "/" + word() + "/" + n + "/"); break;
        }
    }
    return links;
}

void BM_ResolveLinks(benchmark::State& state) {
    static const std::vector<std::string> links = MakeLinks(1000000);
    fw::ParsedUrl base;
    base.Parse("http://www.example.com/catalogue/shoes/index.html?ref=home");
    fw::ParsedUrl url;
    size_t i = 0;
    for (auto _ : state) {
        url.CopyFrom(base);
        url.ParseRelative(links[i]);
        benchmark::DoNotOptimize(url.Text());
        if (++i == links.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolveLinks)->Iterations(1000000)->Repetitions(3);

void BM_ParseAbsolute(benchmark::State& state) {
    fw::ParsedUrl url;
    for (auto _ : state) {
        url.Parse("http://www.example.com/catalogue/shoes/item.php?id=1234&lang=en");
        benchmark::DoNotOptimize(url.Text());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseAbsolute);

}  // namespace

BENCHMARK_MAIN();
