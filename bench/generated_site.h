// A generated site for the benchmarks that grab a whole site.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fwbench {

// Pages in folders of 100 (three levels: site/aNN/bNN/pN.html), each about
// 20 KB with 10 links, 3 images and a style sheet; 500 distinct images and
// one style sheet per folder.
inline size_t GenerateSite(const std::string& root, int pages) {
    const std::string filler =
        "<p>Offline copies keep the pages, images and style sheets of a site on the local "
        "disk so that it can be read without a network connection.</p>\n";
    std::vector<std::string> paths(pages);
    for (int i = 0; i < pages; ++i) {
        paths[i] = "a" + std::to_string(i / 10000) + "/b" + std::to_string(i / 100 % 100) + "/p" +
                   std::to_string(i) + ".html";
    }
    const std::string gif(60, 'g');
    std::filesystem::create_directories(root + "/img");
    for (int k = 0; k < 500; ++k) {
        std::ofstream(root + "/img/i" + std::to_string(k) + ".gif") << "GIF89a" << gif;
    }
    for (int i = 0; i < pages; ++i) {
        const std::string dir = paths[i].substr(0, paths[i].find_last_of('/'));
        std::filesystem::create_directories(root + "/" + dir);
        if (i % 100 == 0) {
            std::ofstream(root + "/" + dir + "/s.css")
                << "body { background: url(/img/i" << (i / 100) % 500 << ".gif) }\n";
        }
        std::string page = "<html><head><title>Page " + std::to_string(i) +
                           "</title><link rel=\"stylesheet\" type=\"text/css\" href=\"s.css\">"
                           "</head><body>\n";
        for (int k = 0; k < 3; ++k) {
            page += "<img src=\"/img/i" + std::to_string((i * 3 + k) % 500) + ".gif\">\n";
        }
        for (int k = 1; k <= 10; ++k) {
            // Every page is reachable: i links to 10i+1..10i+10, plus a few back links.
            const long target =
                k <= 8 ? (static_cast<long>(i) * 8 + k) % pages : (i + k * 37) % pages;
            page += "<a href=\"/" + paths[target] + "\">link " + std::to_string(k) + "</a>\n";
        }
        while (page.size() < 20000) page += filler;
        page += "</body></html>\n";
        std::ofstream(root + "/" + paths[i]) << page;
    }
    return static_cast<size_t>(pages);
}

// The URL of the generated site's first page, on a server at `base`
// ("http://127.0.0.1:8080").
inline std::string GeneratedSiteStart(const std::string& base) { return base + "/a0/b0/p0.html"; }

}  // namespace fwbench
