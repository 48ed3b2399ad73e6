// HtmlScanner throughput with no-op actions over about 200 MB of generated,
// realistic pages, of two kinds: pages built with tables (head with meta,
// link and script, tables, anchors with attributes and events, images,
// forms, comments, paragraphs of text), and pages as they are built today
// (style sheets linked without a type, a minified style block, style
// attributes, classes on every element, responsive pictures with srcset and
// sizes, lazy-loaded images, video with poster and sources).
// Prints MB/s for each run, the median and the best (the machine may be
// shared, so the best run is the least disturbed one).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/measure.h"
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

std::string TodaysPage(std::mt19937& rng, int number) {
    std::string n = std::to_string(number);
    std::string p;
    p += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    p += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    p += "<title>" + Words(rng, 5) + "</title>\n";
    p += "<link rel=\"stylesheet\" href=\"/assets/app." + n + ".css\">\n";
    p += "<link rel=\"icon\" href=\"/favicon.ico\">\n<link rel=\"preload\" "
         "href=\"/fonts/inter.woff2\" as=\"font\" crossorigin>\n";
    p += "<style>:root{--accent:#336}.hero{background:url(/img/hero." + n +
         ".jpg) center/cover no-repeat}.card{border-radius:4px;box-shadow:0 1px 2px "
         "rgba(0,0,0,.2)}@media (max-width:600px){.nav{display:none}}</style>\n";
    p += "<script type=\"module\" src=\"/assets/app.js\"></script>\n</head>\n";
    p += "<body class=\"page\">\n<header class=\"site-header\" style=\"background-image: "
         "url('/img/band.png')\">\n<nav class=\"nav\"><ul class=\"nav-list\">\n";
    for (int i = 0; i < 10; ++i) {
        p += "<li class=\"nav-item\"><a class=\"nav-link\" href=\"/section" + std::to_string(i) +
             "/\">" + Words(rng, 2) + "</a></li>\n";
    }
    p += "</ul></nav>\n</header>\n<main class=\"content\">\n";
    for (int c = 0; c < 12; ++c) {
        const std::string k = std::to_string(c);
        p += "<article class=\"card\" data-id=\"" + k + "\">\n<picture>\n";
        p += "<source type=\"image/webp\" srcset=\"/img/c" + k + "-480.webp 480w, /img/c" + k +
             "-960.webp 960w\" sizes=\"(max-width: 600px) 100vw, 50vw\">\n";
        p += "<img class=\"card-img\" src=\"/img/c" + k + "-480.jpg\" srcset=\"/img/c" + k +
             "-480.jpg 480w, /img/c" + k + "-960.jpg 960w\" loading=\"lazy\" alt=\"" +
             Words(rng, 2) + "\">\n</picture>\n";
        p += "<h2 class=\"card-title\"><a href=\"/post/" + n + "-" + k + "\">" + Words(rng, 4) +
             "</a></h2>\n<p class=\"card-text\">" + Words(rng, 30) + "</p>\n</article>\n";
    }
    p += "<img class=\"lazy\" src=\"/img/blank.gif\" data-src=\"/img/late.jpg\" "
         "data-srcset=\"/img/late-2x.jpg 2x\" alt=\"\">\n";
    p += "<video class=\"clip\" poster=\"/media/poster.jpg\" controls preload=\"none\">"
         "<source src=\"/media/clip.webm\" type=\"video/webm\"><source src=\"/media/clip.mp4\" "
         "type=\"video/mp4\"></video>\n";
    for (int i = 0; i < 6; ++i) {
        p += "<p>" + Words(rng, 45) + " <span class=\"tag\">" + Words(rng, 1) + "</span> " +
             Words(rng, 20) + ".</p>\n";
    }
    p += "</main>\n<footer class=\"site-footer\"><p>&copy; 2024 " + Words(rng, 4) +
         "</p></footer>\n</body>\n</html>\n";
    return p;
}

void Measure(const char* kind, std::string (*page)(std::mt19937&, int)) {
    const size_t kTarget = 200u << 20;
    std::mt19937 rng(42);
    std::string corpus;
    corpus.reserve(kTarget + (1 << 20));
    for (int i = 0; corpus.size() < kTarget; ++i) corpus += page(rng, i);
    std::printf("HtmlScanner, no-op actions, %s: %.1f MB of pages, about %zu bytes each\n", kind,
                corpus.size() / 1e6, page(rng, 0).size());

    fw::HtmlScanner scanner;
    std::vector<double> rates;
    for (int run = 0; run < 5; ++run) {
        auto start = fwbench::Clock::now();
        scanner.ScanText(corpus);
        const double seconds = fwbench::SecondsSince(start);
        rates.push_back(corpus.size() / 1e6 / seconds);
        std::printf("  run %d: %.0f MB/s\n", run + 1, rates.back());
    }
    std::sort(rates.begin(), rates.end());
    std::printf("  median: %.0f MB/s, best: %.0f MB/s (goal >= 200)\n", rates[rates.size() / 2],
                rates.back());
}

}  // namespace

int main() {
    Measure("pages built with tables", &Page);
    Measure("pages of today", &TodaysPage);
    return 0;
}
