// HtmlScanner throughput with no-op actions over about 200 MB of generated,
// realistic pages (head with meta, link and script, tables, anchors with
// attributes and events, images, forms, comments, paragraphs of text).
// Prints MB/s for each run, the median and the best (the machine may be
// shared, so the best run is the least disturbed one).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/content/html_scanner.h"

namespace {

const char* const kWords[] = {"offline", "copy",    "site",   "page", "the",   "of",
                              "and",     "archive", "browse", "link", "table", "image",
                              "news",    "report",  "update", "index"};

std::string Words(std::mt19937& rng, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        if (i) out += ' ';
        out += kWords[rng() % std::size(kWords)];
    }
    return out;
}

std::string Page(std::mt19937& rng, int number) {
    std::string n = std::to_string(number);
    std::string p;
    p += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n";
    p += "<meta charset=\"utf-8\">\n<meta name=\"viewport\" content=\"width=device-width, "
         "initial-scale=1\">\n";
    p += "<title>" + Words(rng, 5) + "</title>\n";
    p += "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/site.css?v=" + n + "\">\n";
    p += "<script type=\"text/javascript\" src=\"/js/menu.js\"></script>\n";
    p += "<script>\nvar images = [\"img/a" + n +
         ".gif\", 'img/b.jpg'];\nfunction go(u) { if (u.length > 0) "
         "window.location = u; }\n</script>\n";
    p += "<style>body { font-family: sans-serif; margin: 0 } .nav a { color: #336 }</style>\n";
    p += "</head>\n<body bgcolor=\"#ffffff\">\n<!-- navigation -->\n";
    p += "<div class=\"nav\"><ul>\n";
    for (int i = 0; i < 12; ++i) {
        p += "<li><a href=\"/section" + std::to_string(i) +
             "/index.html\" class=\"menu\" title=\"" + Words(rng, 2) + "\">" + Words(rng, 2) +
             "</a></li>\n";
    }
    p += "</ul></div>\n<table width=\"100%\" cellpadding=\"4\" background=\"img/bg.gif\">\n";
    for (int r = 0; r < 20; ++r) {
        p += "<tr><td class=\"c\"><a href=\"item" + std::to_string(r) +
             ".html\" onclick=\"go('item" + std::to_string(r) + ".html'); return false;\">" +
             Words(rng, 3) + "</a></td>";
        p += "<td><img src=\"img/icon" + std::to_string(r % 7) +
             ".png\" width=\"16\" height=\"16\" alt=\"" + Words(rng, 1) + "\"></td><td>" +
             Words(rng, 12) + "</td></tr>\n";
    }
    p += "</table>\n";
    for (int i = 0; i < 15; ++i) {
        p += "<p>" + Words(rng, 40) + " <a href=\"http://example.com/" + Words(rng, 1) + "/" + n +
             ".htm\">" + Words(rng, 2) + "</a> " + Words(rng, 25) + ".</p>\n";
    }
    p += "<form method=\"get\" action=\"/search\"><input type=\"text\" name=\"q\"><input "
         "type=\"image\" "
         "src=\"img/go.gif\"></form>\n";
    p += "<p>&copy; 2024 &amp; later &nbsp; " + Words(rng, 6) + "</p>\n</body>\n</html>\n";
    return p;
}

}  // namespace

int main() {
    const size_t kTarget = 200u << 20;
    std::mt19937 rng(42);
    std::string corpus;
    corpus.reserve(kTarget + (1 << 20));
    for (int i = 0; corpus.size() < kTarget; ++i) corpus += Page(rng, i);
    std::printf("HtmlScanner, no-op actions: %.1f MB of pages, about %zu bytes each\n",
                corpus.size() / 1e6, Page(rng, 0).size());

    fw::HtmlScanner scanner;
    std::vector<double> rates;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        scanner.ScanText(corpus);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rates.push_back(corpus.size() / 1e6 / seconds);
        std::printf("  run %d: %.0f MB/s\n", run + 1, rates.back());
    }
    std::sort(rates.begin(), rates.end());
    std::printf("  median: %.0f MB/s, best: %.0f MB/s (goal >= 200)\n", rates[rates.size() / 2],
                rates.back());
    return 0;
}
