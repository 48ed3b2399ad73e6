// Scanner throughput on pages made to stall a scanner: NUL bytes, constructs
// left open to the end (comments, attribute values, script strings, tags),
// deep nesting, and runs of the letters the attribute rules look for. Each
// page is 64 MB; each goes through the HTML scanner with no-op actions, a
// pass that writes everything back (to a discarding stream), and the title
// scanner. Prints MB/s of processor time (the machine may be shared), best of
// three runs, against the goal of 100 MB/s.
#include <algorithm>
#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>

#include "bench/measure.h"
#include "engine/content/page_rewriter.h"
#include "engine/content/title_scanner.h"

namespace {

constexpr size_t kPageBytes = 64u << 20;

std::string Repeat(const std::string& head, const std::string& unit, const std::string& tail = "") {
    std::string page = head;
    page.reserve(kPageBytes + unit.size() + tail.size());
    while (page.size() + tail.size() < kPageBytes) page += unit;
    return page + tail;
}

struct Case {
    const char* name;
    std::string page;
};

// Takes and forgets everything.
class NullBuffer : public std::streambuf {
  protected:
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

class PassThrough : public fw::PageRewriter {};

template <typename Scan>
double Rate(const std::string& page, Scan scan) {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const double start = fwbench::ThreadCpuSeconds();
        scan(page);
        const double seconds = std::max(fwbench::ThreadCpuSeconds() - start, 1e-9);
        best = std::max(best, page.size() / 1e6 / seconds);
    }
    return best;
}

}  // namespace

int main() {
    using namespace std::string_literals;
    const Case cases[] = {
        {"zeros", Repeat("", "\0"s)},
        {"zeros in an href", Repeat("<a href=\"x", "\0"s)},
        {"zeros in a tag", Repeat("<div ", "\0"s)},
        {"unterminated comment", Repeat("<!--", "- <a href=x> -")},
        {"unterminated href", Repeat("<a href=\"", "p.htm ")},
        {"unterminated bare value", Repeat("<img src=", "i.gif")},
        {"unterminated tag", Repeat("<div", " class=x")},
        {"unterminated script string", Repeat("<script>var s = \"", "text <b> ")},
        {"unterminated style block", Repeat("<style>", "a{background:url(x.png)}")},
        {"deep nesting", Repeat("", "<div><span><a href=\"#\"><b>", "</b></a></span></div>")},
        {"nested open tags", Repeat("", "<td <meta <frame <a ")},
        {"attribute letters", Repeat("<p ", "ssttyyhhoo")},
        {"style prefixes", Repeat("<div ", "styl")},
        {"open brackets", Repeat("", "<")},
    };
    std::printf("Scanners on hostile pages of %zu MB, MB/s of processor time (goal >= 100)\n",
                kPageBytes >> 20);
    std::printf("%-28s %10s %10s %10s\n", "page", "scan", "rewrite", "title");
    NullBuffer null_buffer;
    std::ostream null_stream(&null_buffer);
    double worst = 1e9;
    for (const Case& c : cases) {
        const double scan = Rate(c.page, [](const std::string& page) {
            fw::HtmlScanner scanner;
            scanner.ScanText(page);
        });
        const double rewrite = Rate(c.page, [&](const std::string& page) {
            PassThrough scanner;
            scanner.set_output(&null_stream);
            scanner.ScanText(page);
        });
        const double title =
            Rate(c.page, [](const std::string& page) { fw::TitleScanner().ScanText(page); });
        worst = std::min({worst, scan, rewrite, title});
        std::printf("%-28s %10.0f %10.0f %10.0f\n", c.name, scan, rewrite, title);
    }
    std::printf("slowest: %.0f MB/s\n", worst);
    return 0;
}
