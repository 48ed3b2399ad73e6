// The table engine against SQLite on the work of a large grab: a table shaped
// like ZQURL with its four tags, then
//   N appends; N seeks of random existing URLs; N seeks of random ids; a
//   walk through the whole URL order; reopening the table.
// SQLite gets the same rows and equivalent indexes, one transaction,
// synchronous=OFF and a page cache as large as ours. Prints both times and
// their ratio. Usage: xbase_bench [rows] [directory] [--engine-only]
#include <sqlite3.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "engine/store/xbase/table.h"
#include "engine/store/xbase/test_shapes.h"

namespace {

using fw::xbase::Result;

// Wall and processor time of one phase. The machine is shared, so wall time
// includes waiting for a processor; processor time does not.
struct Span {
    double wall = 0, cpu = 0;
};

struct Timer {
    fwbench::Clock::time_point wall = fwbench::Clock::now();
    double cpu = fwbench::ProcessCpuSeconds();
    Span Stop() const {
        return {fwbench::SecondsSince(wall), fwbench::ProcessCpuSeconds() - cpu};
    }
};

// A crawl-like URL for row i: many hosts, a few directory levels, scattered
// so that key order has nothing to do with row order.
std::string Url(uint32_t i) {
    uint64_t h = (i + 1) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    std::string url = "http://www.site" + std::to_string(h % 3000) + ".example.com/";
    url += "section" + std::to_string((h >> 12) % 40) + "/";
    if ((h >> 20) % 3 == 0) url += "archive/" + std::to_string(2000 + (h >> 24) % 25) + "/";
    url += "page" + std::to_string(i) + ".html";
    return url;
}

std::string FileOf(uint32_t i) { return Url(i).substr(11); }

long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

long long FileSize(const std::string& path) {
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    return f ? static_cast<long long>(f.tellg()) : 0;
}

struct Figures {
    Span append, seek_url, seek_id, walk, reopen, rebuild;
};

void Fail(const char* what) {
    std::fprintf(stderr, "benchmark failed: %s\n", what);
    std::exit(1);
}

constexpr size_t kCacheBytes = 32u << 20;

Figures RunOurs(const std::string& dir, uint32_t rows, const std::vector<uint32_t>& probes) {
    using namespace fw::xbase;
    Figures f;
    const std::string path = dir + "/ZQURL";
    const auto shape = testing::UrlShape();
    TableOptions options;
    options.cache_bytes = kCacheBytes;
    Result r;
    auto t = Table::Create(path, shape.fields, Access::kExclusive, &r, options);
    if (!t || t->CreateIndex(shape.tags) != Result::kSuccess) Fail("create");
    const int id = t->FieldIndex("ID"), level = t->FieldIndex("LEVEL"), minlevel = t->FieldIndex("MINLEVEL"),
              url = t->FieldIndex("URL"), file = t->FieldIndex("FILE"), created = t->FieldIndex("CREATED"),
              content = t->FieldIndex("CONTENT");

    Timer timer;
    for (uint32_t i = 1; i <= rows; ++i) {
        t->AppendStart();
        t->WriteNumber(id, i);
        t->WriteNumber(level, i % 7);
        t->WriteText(minlevel, i % 5 ? "0" : "1");
        t->WriteText(url, Url(i));
        t->WriteText(file, FileOf(i));
        t->WriteNumber(created, 1700000000 + i);
        t->WriteText(content, "text/html");
        if (t->Append() != Result::kSuccess) Fail("append");
    }
    if (t->Flush() != Result::kSuccess) Fail("flush");
    f.append = timer.Stop();

    t->SelectTag("URL");
    timer = Timer();
    for (uint32_t i : probes) {
        if (t->Seek(Url(i)) != Result::kSuccess || t->ReadNumber(id) != i) Fail("seek url");
    }
    f.seek_url = timer.Stop();

    t->SelectTag("ID");
    timer = Timer();
    for (uint32_t i : probes) {
        if (t->SeekNumber(i) != Result::kSuccess || t->ReadText(file).size() < 10) Fail("seek id");
    }
    f.seek_id = timer.Stop();

    t->SelectTag("URL");
    timer = Timer();
    uint32_t seen = 0;
    long long sum = 0;
    for (Result s = t->Top(); s == Result::kSuccess; s = t->Skip()) {
        sum += t->ReadNumber(id);
        ++seen;
    }
    f.walk = timer.Stop();
    if (seen != rows || sum != static_cast<long long>(rows) * (rows + 1) / 2) Fail("walk");
    if (t->Close() != Result::kSuccess) Fail("close");
    t.reset();

    timer = Timer();
    t = Table::Open(path, Access::kExclusive, &r, options);
    if (!t || t->OpenIndex() != Result::kSuccess) Fail("reopen");
    f.reopen = timer.Stop();
    if (t->IndexRebuilt()) Fail("reopen rebuilt a valid index");

    timer = Timer();
    if (t->CreateIndex(shape.tags) != Result::kSuccess) Fail("rebuild");
    f.rebuild = timer.Stop();
    return f;
}

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

Figures RunSqlite(const std::string& dir, uint32_t rows, const std::vector<uint32_t>& probes) {
    Figures f;
    const std::string path = dir + "/zqurl.sqlite";
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db, "open");
    auto exec = [&](const std::string& sql) { Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str()); };
    exec("PRAGMA synchronous=OFF");
    exec("PRAGMA cache_size=-" + std::to_string(kCacheBytes / 1024));
    exec("CREATE TABLE zqurl(id INTEGER, level TEXT, minlevel TEXT, html TEXT, status TEXT, urlext TEXT, url TEXT,"
         " file TEXT, created INTEGER, modified INTEGER, grabbed INTEGER, new INTEGER, error INTEGER, content TEXT)");
    exec("CREATE INDEX zqurl_id ON zqurl(id)");
    exec("CREATE INDEX zqurl_level ON zqurl(level, minlevel)");
    exec("CREATE INDEX zqurl_url ON zqurl(url)");
    exec("CREATE INDEX zqurl_file ON zqurl(file)");

    Timer timer;
    exec("BEGIN");
    sqlite3_stmt* insert = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "INSERT INTO zqurl(id, level, minlevel, html, status, urlext, url, file, created,"
                             " modified, grabbed, new, error, content) VALUES(?,?,?,'0','','0',?,?,?,0,0,0,0,?)",
                             -1, &insert, nullptr),
          db, "prepare insert");
    for (uint32_t i = 1; i <= rows; ++i) {
        const std::string url = Url(i), file = FileOf(i), level = std::to_string(i % 7);
        sqlite3_bind_int64(insert, 1, i);
        sqlite3_bind_text(insert, 2, level.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, i % 5 ? "0" : "1", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, file.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 6, 1700000000 + i);
        sqlite3_bind_text(insert, 7, "text/html", -1, SQLITE_STATIC);
        Check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec("COMMIT");
    f.append = timer.Stop();

    sqlite3_stmt* by_url = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT id FROM zqurl WHERE url = ?", -1, &by_url, nullptr), db, "prepare url");
    timer = Timer();
    for (uint32_t i : probes) {
        const std::string url = Url(i);
        sqlite3_bind_text(by_url, 1, url.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(by_url) != SQLITE_ROW || sqlite3_column_int64(by_url, 0) != i) Fail("sqlite seek url");
        sqlite3_reset(by_url);
    }
    f.seek_url = timer.Stop();
    sqlite3_finalize(by_url);

    sqlite3_stmt* by_id = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT file FROM zqurl WHERE id = ?", -1, &by_id, nullptr), db, "prepare id");
    timer = Timer();
    for (uint32_t i : probes) {
        sqlite3_bind_int64(by_id, 1, i);
        if (sqlite3_step(by_id) != SQLITE_ROW || sqlite3_column_bytes(by_id, 0) < 10) Fail("sqlite seek id");
        sqlite3_reset(by_id);
    }
    f.seek_id = timer.Stop();
    sqlite3_finalize(by_id);

    sqlite3_stmt* walk = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT id FROM zqurl ORDER BY url", -1, &walk, nullptr), db, "prepare walk");
    timer = Timer();
    uint32_t seen = 0;
    long long sum = 0;
    while (sqlite3_step(walk) == SQLITE_ROW) {
        sum += sqlite3_column_int64(walk, 0);
        ++seen;
    }
    f.walk = timer.Stop();
    sqlite3_finalize(walk);
    if (seen != rows || sum != static_cast<long long>(rows) * (rows + 1) / 2) Fail("sqlite walk");
    sqlite3_close(db);

    timer = Timer();
    Check(sqlite3_open(path.c_str(), &db), db, "reopen");
    sqlite3_stmt* one = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT id FROM zqurl WHERE url = ?", -1, &one, nullptr), db, "prepare after reopen");
    f.reopen = timer.Stop();
    sqlite3_finalize(one);
    sqlite3_close(db);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    std::string dir = argc > 2 ? argv[2] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    dir += "/xbase-bench-" + std::to_string(::getpid());
    if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) Fail("mkdir");

    std::mt19937 rng(42);
    std::vector<uint32_t> probes(rows);
    for (auto& p : probes) p = 1 + rng() % rows;

    const Figures ours = RunOurs(dir, rows, probes);
    if (argc > 3 && std::string(argv[3]) == "--engine-only") {
        std::printf("appends %.3fs (cpu %.3fs), seeks by URL %.3fs (%.3fs), seeks by ID %.3fs (%.3fs), walk %.3fs (%.3fs)\n",
                    ours.append.wall, ours.append.cpu, ours.seek_url.wall, ours.seek_url.cpu, ours.seek_id.wall,
                    ours.seek_id.cpu, ours.walk.wall, ours.walk.cpu);
        std::system(("rm -rf '" + dir + "'").c_str());
        return 0;
    }
    const long ours_rss = PeakRssKiB();
    const long long dbf = FileSize(dir + "/ZQURL.DBF"), cdx = FileSize(dir + "/ZQURL.CDX");
    const Figures lite = RunSqlite(dir, rows, probes);
    const long long sqlite_size = FileSize(dir + "/zqurl.sqlite");

    std::printf("%u rows, ZQURL shape with tags ID, LEVEL, URL, FILE; page cache %zu MiB each\n", rows,
                kCacheBytes >> 20);
    std::printf("%-20s %13s %13s %9s   %13s %13s %9s\n", "", "engine wall", "SQLite wall", "ratio", "engine cpu",
                "SQLite cpu", "ratio");
    auto line = [](const char* what, Span a, Span b) {
        std::printf("%-20s %12.3fs %12.3fs %9.2f   %12.3fs %12.3fs %9.2f\n", what, a.wall, b.wall,
                    a.wall > 0 ? b.wall / a.wall : 0, a.cpu, b.cpu, a.cpu > 0 ? b.cpu / a.cpu : 0);
    };
    line("appends", ours.append, lite.append);
    line("seeks by URL", ours.seek_url, lite.seek_url);
    line("seeks by ID", ours.seek_id, lite.seek_id);
    line("walk in URL order", ours.walk, lite.walk);
    line("reopen", ours.reopen, lite.reopen);
    std::printf("ratio: SQLite time / engine time (above 1: the engine is faster)\n");
    std::printf("engine: reopen with valid indexes %.2f ms (no rebuild); building all four tags from the table %.3fs"
                " (cpu %.3fs)\n",
                ours.reopen.wall * 1000, ours.rebuild.wall, ours.rebuild.cpu);
    std::printf("peak RSS after the table engine's run (rebuild included): %.1f MiB\n", ours_rss / 1024.0);
    std::printf("files: DBF %.1f MiB, CDX %.1f MiB; SQLite %.1f MiB\n", dbf / 1048576.0, cdx / 1048576.0,
                sqlite_size / 1048576.0);
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
