// The full-text index of one project's data directory, and the index search
// built on it.
//
// Files, all in the data directory:
//   search.in1  the index base: a stub naming the database. It is written
//               last, so it exists only for an index that is complete.
//   search.in2  the database, one file.
//   search.in3  the index's format version, in its first line (an index of
//               another version is rebuilt), then the word positions of
//               the documents (position_store.h).
//   index1.tmp  while the index is built: a directory of databases "0",
//               "1", ..., one for each thread that indexes, merged into
//               search.in2 at the end, and beside each its documents' word
//               positions ("0.positions", ...), gathered into search.in3
//               through "search.in3.new".
// A document is one stored file of a page (HTML, indexed without its markup,
// its title weighted higher) or of plain text, named by its path relative to
// the data directory.
//
// Threads: a SearchIndex object belongs to one thread. Users of one data
// directory's index are kept apart by RunIndexSearch and DiscardSearchIndex,
// which hold that directory's index lock while they use its files; neither
// ever takes the project store lock, so callers may hold it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

inline constexpr char kIndexBaseName[] = "search.in1";
inline constexpr char kIndexDatabaseName[] = "search.in2";
inline constexpr char kIndexInfoName[] = "search.in3";
inline constexpr char kIndexWorkName[] = "index1.tmp";
// The part of a stored file that is indexed.
inline constexpr size_t kMaxIndexedBytes = 16 * 1024 * 1024;
// How much more a word of the title weighs than one of the body.
inline constexpr unsigned kTitleWeight = 5;
// Building uses up to this many threads, each indexing at least
// kDocumentsPerThread documents.
inline constexpr unsigned kMaxIndexThreads = 4;
inline constexpr size_t kDocumentsPerThread = 200;

struct IndexDocument {
    std::string file;  // relative to the data directory
    bool html = true;  // false: plain text
};

class SearchIndex {
public:
    SearchIndex();
    ~SearchIndex();  // Close()
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // True when `data_dir` holds a complete index base of this format.
    static bool Exists(const std::string& data_dir);

    // Opens the index base of `data_dir` (ending in "/"). When there is no
    // complete one, or it cannot be read, a new, empty base is started
    // instead and created() is true. False, with last_error() set, when
    // neither works.
    bool Open(const std::string& data_dir);
    bool is_open() const;
    bool created() const { return created_; }

    // Indexes data_dir + file of each document as one document (the first
    // kMaxIndexedBytes of it), on several threads when there are many. A
    // file indexed before is not added again; files that cannot be read are
    // left out. False, with last_error() set, when the index cannot be
    // written. REQUIRES: created().
    bool AddDocuments(const std::vector<IndexDocument>& documents);

    // Completes a new base: its documents become searchable and later Opens
    // find it. False, with last_error() set, on failure. REQUIRES: created().
    bool Commit();

    // Runs `expression` (query_expression.h). On success sets *files to the
    // matching documents' paths, best match first, and returns 0; otherwise
    // returns the SearchError. REQUIRES: is_open(); after Commit for a new
    // base.
    int Query(std::string_view expression, std::vector<std::string>* files);

    // Closes the base. A new base that was never committed is removed,
    // work files and all.
    void Close();

    int last_error() const { return last_error_; }

    // The message for a code Query or last_error() returned.
    static std::string Message(int code);

    // Deletes the index files of `data_dir`, work files included. True when
    // none remain.
    static bool Discard(const std::string& data_dir);

private:
    struct Handles;
    bool Fail(int code, const std::string& what);
    bool Writable() const;
    // Opens the reader of a complete base and its word positions. False
    // when the positions cannot be read or do not fit the database; throws
    // Xapian::Error when the database cannot be read.
    bool OpenReader();
    // Starts databases for shards up to `count`.
    bool AddShards(size_t count);

    std::string data_dir_;
    std::unique_ptr<Handles> handles_;
    bool created_ = false;
    bool committed_ = false;
    int last_error_ = 0;
};

struct IndexSearchResult {
    int error = 0;                   // a SearchError, 0 on success
    std::vector<std::string> files;  // relative paths, best match first
};

// The index search of a project: opens the index of `data_dir`, building it
// first from `documents()` when there is none, runs `expression` and closes
// the index again. `documents` is called without the index lock held.
IndexSearchResult RunIndexSearch(const std::string& data_dir, std::string_view expression,
                                 const std::function<std::vector<IndexDocument>()>& documents);

// Discards the index of `data_dir`, so that the next search rebuilds it;
// every grab start calls it. Waits for a search of that directory that is
// under way.
void DiscardSearchIndex(const std::string& data_dir);

}  // namespace fw
