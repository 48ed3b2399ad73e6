// The full-text index at project scale: builds the index of generated pages
// of about 20 KB each and runs a thousand queries of each kind through the
// index search, as IndexSearch does (open, query, close).
//
// Usage: search_bench [pages] [directory] [--queries N]
//   pages      how many pages to generate (default 10000)
//   directory  where to put them (default: a new directory under $TMPDIR,
//              removed afterwards)
//   --queries  queries of each kind (default 1000; 0 measures indexing only)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench/measure.h"
#include "engine/search/page_text.h"
#include "engine/search/search_index.h"
#include "engine/search/word_breaker.h"
#include "platform/file_ops.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kVocabulary = 40000;
constexpr size_t kPageBytes = 20000;
constexpr int kQueriesPerKind = 1000;

// Pronounceable made-up words, most frequent first.
std::vector<std::string> MakeVocabulary(std::mt19937& random) {
    static const char* const syllables[] = {
        "ka", "lo", "mi", "ne", "ru", "ta", "be", "so", "di", "ga", "pe", "vo", "zu", "fi",
        "ha", "jo", "ce", "ly", "qua", "tre", "ston", "mar", "vel", "dor", "ish", "an", "el",
    };
    std::vector<std::string> words;
    std::unordered_set<std::string> seen;
    std::uniform_int_distribution<int> count(1, 4);
    std::uniform_int_distribution<size_t> pick(0, std::size(syllables) - 1);
    while (words.size() < kVocabulary) {
        std::string word;
        for (int n = count(random); n > 0; --n) word += syllables[pick(random)];
        if (seen.insert(word).second) words.push_back(word);
    }
    return words;
}

// Zipf-distributed word ranks.
class WordPicker {
public:
    explicit WordPicker(size_t n) : cdf_(n) {
        double sum = 0;
        for (size_t i = 0; i < n; ++i) cdf_[i] = (sum += 1.0 / static_cast<double>(i + 1));
        for (double& c : cdf_) c /= sum;
    }
    size_t operator()(std::mt19937& random) {
        const double u = std::uniform_real_distribution<double>(0, 1)(random);
        return static_cast<size_t>(std::lower_bound(cdf_.begin(), cdf_.end(), u) - cdf_.begin());
    }

private:
    std::vector<double> cdf_;
};

struct Corpus {
    std::vector<fw::IndexDocument> documents;
    std::vector<std::pair<std::string, std::string>> adjacent;  // word pairs seen in pages
    size_t bytes = 0;
};

Corpus Generate(const std::string& dir, int pages, const std::vector<std::string>& words,
                std::mt19937& random) {
    WordPicker pick(words.size());
    Corpus corpus;
    std::uniform_int_distribution<int> sentence(6, 18);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int p = 0; p < pages; ++p) {
        std::string html = "<html>\n<!-- http://www.example.com/p" + std::to_string(p) +
                           ".htm -->\n<html><head><title>";
        for (int i = 0; i < 5; ++i) html += words[pick(random)] + " ";
        html += "</title>\n<script>var tracker = 'x';</script>\n</head><body>\n";
        std::string previous;
        while (html.size() < kPageBytes) {
            html += "<p>";
            for (int n = sentence(random); n > 0; --n) {
                const std::string& word = words[pick(random)];
                if (!previous.empty() && corpus.adjacent.size() < kQueriesPerKind &&
                    percent(random) == 0 && pick(random) > 20) {
                    corpus.adjacent.emplace_back(previous, word);
                }
                html += word;
                html += percent(random) < 8 ? ", " : " ";
                previous = word;
            }
            html += percent(random) < 20 ? "<a href=\"p2.htm\">link text</a></p>\n" : "</p>\n";
        }
        html += "</body></html>\n";
        const std::string name = "www.example.com/p" + std::to_string(p) + ".htm";
        platform::CreateDirectories(dir + "www.example.com");
        platform::ReplaceFileContents(dir + name, html);
        corpus.documents.push_back({name, true});
        corpus.bytes += html.size();
    }
    return corpus;
}

// The size of a file, or of everything under a directory.
uintmax_t DiskSize(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return std::filesystem::file_size(path, ec);
    uintmax_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ec)) {
        if (entry.is_regular_file(ec)) total += entry.file_size(ec);
    }
    return total;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) == 0) {
            ++i;  // an option's value
        } else {
            positional.push_back(argv[i]);
        }
    }
    const int pages = !positional.empty() ? std::max(1, std::atoi(positional[0].c_str())) : 10000;
    const int queries = std::max(0, fwbench::ArgValue(argc, argv, "--queries", kQueriesPerKind));
    std::string dir;
    bool remove = false;
    if (positional.size() > 1) {
        dir = positional[1];
        if (dir.back() != '/') dir += '/';
        platform::CreateDirectories(dir);
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/search-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) return 1;
        dir = pattern + "/";
        remove = true;
    }

    std::mt19937 random(20240611);
    const std::vector<std::string> words = MakeVocabulary(random);
    const Corpus corpus = Generate(dir, pages, words, random);
    std::printf("pages: %d, %.1f MB of HTML (%.1f KB a page)\n", pages, corpus.bytes / 1e6,
                corpus.bytes / 1e3 / pages);

    {
        // Our own share of indexing: reading the pages and cutting their
        // text into words, without the index.
        const double text_start = fwbench::ThreadCpuSeconds();
        size_t words = 0;
        std::string bytes, word;
        for (const fw::IndexDocument& document : corpus.documents) {
            if (!platform::ReadFilePrefix(dir + document.file, fw::kMaxIndexedBytes, &bytes)) {
                return 1;
            }
            const fw::PageText text = fw::StoredPageText(bytes, document.html);
            for (fw::WordReader reader(text.title); reader.Next(&word);) ++words;
            for (fw::WordReader reader(text.body); reader.Next(&word);) ++words;
        }
        const double text_cpu = fwbench::ThreadCpuSeconds() - text_start;
        std::printf("page text alone: %.3f ms of processor a page, %.0f words a page\n",
                    text_cpu * 1e3 / pages, static_cast<double>(words) / pages);
    }

    const auto start = Clock::now();
    const std::clock_t cpu_start = std::clock();
    {
        fw::SearchIndex index;
        if (!index.Open(dir) || !index.created()) return 1;
        if (!index.AddDocuments(corpus.documents)) return 1;
        const double adding = fwbench::SecondsSince(start);
        if (!index.Commit()) return 1;
        std::printf("adding documents %.1f s, writing the index %.1f s\n", adding,
                    fwbench::SecondsSince(start) - adding);
    }
    const double seconds = fwbench::SecondsSince(start);
    const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    // The machine may be shared: processor time says what the work costs.
    const double database_size = DiskSize(dir + fw::kIndexDatabaseName) / 1e6;
    const double positions_size = DiskSize(dir + fw::kIndexInfoName) / 1e6;
    std::printf("indexing: %.1f s (%.1f s of processor), %.0f pages/s (%.0f per processor "
                "second); index size %.1f MB (database %.1f, word positions %.1f)\n",
                seconds, cpu, pages / seconds, pages / cpu, database_size + positions_size,
                database_size, positions_size);

    if (queries == 0) {
        if (remove) platform::RemoveTree(dir);
        return 0;
    }

    // Words of middling frequency, as people tend to search for.
    std::uniform_int_distribution<size_t> middling(50, 5000);
    const auto word = [&] { return words[middling(random)]; };
    const auto list = [] { return std::vector<fw::IndexDocument>(); };  // never rebuilt here
    struct Kind {
        const char* name;
        std::function<std::string(int)> expression;
    };
    const Kind kinds[] = {
        {"word", [&](int) { return word(); }},
        {"AND", [&](int) { return word() + " AND " + word(); }},
        {"phrase",
         [&](int i) {
             const auto& pair = corpus.adjacent[static_cast<size_t>(i) % corpus.adjacent.size()];
             return "\"" + pair.first + " " + pair.second + "\"";
         }},
        {"proximity", [&](int) { return "[" + word() + " " + word() + "]:10"; }},
        {"wildcard", [&](int) { return word().substr(0, 4) + "*"; }},
    };
    std::printf("%-10s %10s %10s %12s\n", "query", "median ms", "p99 ms", "avg results");
    for (const Kind& kind : kinds) {
        std::vector<double> latencies;
        size_t results = 0;
        for (int i = 0; i < queries; ++i) {
            const std::string expression = kind.expression(i);
            const auto begin = Clock::now();
            const fw::IndexSearchResult result = fw::RunIndexSearch(dir, expression, list);
            const auto took = std::chrono::duration<double, std::milli>(Clock::now() - begin);
            latencies.push_back(took.count());
            if (result.error != 0) {
                std::printf("error %d for %s\n", result.error, expression.c_str());
                return 1;
            }
            results += result.files.size();
        }
        std::printf("%-10s %10.2f %10.2f %12.1f\n", kind.name, Percentile(latencies, 0.5),
                    Percentile(latencies, 0.99), static_cast<double>(results) / queries);
    }
    if (remove) platform::RemoveTree(dir);
    return 0;
}
