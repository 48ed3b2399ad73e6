#include "engine/search/search_index.h"

#include <xapian.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "engine/search/page_text.h"
#include "engine/search/position_filter.h"
#include "engine/search/position_store.h"
#include "engine/search/query_builder.h"
#include "engine/search/query_expression.h"
#include "engine/search/search_error.h"
#include "engine/search/word_breaker.h"
#include "engine/support/crash_report.h"
#include "engine/support/log.h"
#include "platform/file_ops.h"

namespace fw {

namespace {

// The first line of search.in3, which holds the word positions after it.
constexpr std::string_view kFormatLine = "corvalin search index 2\n";
// Documents between flushes of a new database. The writer buffers postings
// in trees that slow down as they grow, while each flush rewrites the blocks
// it touches: this is the balance measured with pages of about 20 KB.
constexpr unsigned kDocumentsPerFlush = 100;

// One lock per data directory, for the life of the process (a process opens
// few projects).
std::mutex& DirectoryLock(const std::string& data_dir) {
    static std::mutex registry_lock;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(data_dir, ec).string();
    if (ec) key = data_dir;
    std::lock_guard<std::mutex> guard(registry_lock);
    std::unique_ptr<std::mutex>& lock = locks[key];
    if (!lock) lock = std::make_unique<std::mutex>();
    return *lock;
}

std::string ShardName(size_t shard) {
    return std::string(kIndexWorkName) + "/" + std::to_string(shard);
}

// A database of a new base being written by one thread, and the word
// positions of its documents.
struct Shard {
    explicit Shard(Xapian::WritableDatabase database) : db(std::move(database)) {}
    Xapian::WritableDatabase db;
    PositionShardWriter positions;
    unsigned unflushed = 0;  // documents since the last flush
};

// Indexes one file into `shard`. A file that cannot be read is left out;
// false when the positions cannot be written. Throws Xapian::Error when the
// database cannot be written.
bool IndexFile(Shard* shard, const std::string& data_dir, const IndexDocument& document) {
    std::string bytes;
    if (!platform::ReadFilePrefix(data_dir + document.file, kMaxIndexedBytes, &bytes)) return true;
    const PageText text = StoredPageText(bytes, document.html);
    PositionShardWriter& positions = shard->positions;
    uint32_t pos = 0;
    std::string word;
    for (WordReader title(text.title); title.Next(&word);) positions.Add(word, ++pos, kTitleWeight);
    ++pos;  // so that no phrase runs on from the title into the body
    for (WordReader body(text.body); body.Next(&word);) positions.Add(word, ++pos);
    if (!positions.EndDocument()) return false;
    Xapian::Document doc;
    doc.set_data(document.file);
    for (size_t i = 0; i < positions.term_count(); ++i) {
        doc.add_term(positions.term(i), positions.frequency(i));
    }
    shard->db.add_document(doc);
    if (++shard->unflushed == kDocumentsPerFlush) {
        shard->db.commit();
        shard->unflushed = 0;
    }
    return true;
}

// Indexes documents[begin, end) into `shard`; on failure sets *error.
void IndexRange(Shard* shard, const std::string& data_dir,
                const std::vector<const IndexDocument*>& documents, size_t begin, size_t end,
                std::string* error) {
    size_t i = begin;
    try {
        for (; i < end; ++i) {
            if (!IndexFile(shard, data_dir, *documents[i])) {
                *error = "cannot write the word positions of " + documents[i]->file;
                return;
            }
        }
    } catch (const Xapian::Error& e) {
        *error = "cannot add " + documents[i]->file + ": " + e.get_description();
    } catch (const std::bad_alloc&) {
        *error = "out of memory adding " + documents[i]->file;
    }
}

}  // namespace

struct SearchIndex::Handles {
    std::vector<std::unique_ptr<Shard>> shards;  // a new base, until Commit
    std::optional<Xapian::Database> reader;      // an opened or committed base
    PositionStore positions;                     // the reader's word positions
    std::unordered_set<std::string> added;       // files of the new base
};

SearchIndex::SearchIndex() = default;

SearchIndex::~SearchIndex() { Close(); }

bool SearchIndex::Exists(const std::string& data_dir) {
    std::string format;
    return platform::FileExists(data_dir + kIndexBaseName) &&
           platform::ReadFilePrefix(data_dir + kIndexInfoName, kFormatLine.size(), &format) &&
           format == kFormatLine;
}

bool SearchIndex::is_open() const {
    return handles_ && (!handles_->shards.empty() || handles_->reader);
}

bool SearchIndex::Writable() const {
    return created_ && !committed_ && handles_ && !handles_->shards.empty();
}

bool SearchIndex::Fail(int code, const std::string& what) {
    LogMessage("Search index " + data_dir_ + ": " + what);
    last_error_ = code;
    return false;
}

bool SearchIndex::Open(const std::string& data_dir) {
    Close();
    data_dir_ = data_dir;
    last_error_ = kSearchOk;
    handles_ = std::make_unique<Handles>();
    if (Exists(data_dir)) {
        try {
            if (OpenReader()) return true;
            LogMessage("Search index " + data_dir + " has damaged word positions, rebuilding it");
        } catch (const Xapian::Error& e) {
            LogMessage("Search index " + data_dir + " cannot be read, rebuilding it: " +
                       e.get_description());
        }
        handles_->reader.reset();
    }
    Discard(data_dir);
    // The index goes beside the stored files; it never makes their directory.
    if (!platform::DirectoryExists(data_dir) ||
        !platform::CreateDirectories(data_dir + kIndexWorkName) || !AddShards(1)) {
        handles_.reset();
        if (last_error_ == kSearchOk) Fail(kIndexUnavailable, "cannot be created");
        return false;
    }
    created_ = true;
    return true;
}

bool SearchIndex::AddShards(size_t count) {
    try {
        while (handles_->shards.size() < count) {
            // Nothing reads a new base before it is complete, and it can
            // always be rebuilt from the stored files: it is written in
            // place, without waiting for the disk.
            const std::string name = data_dir_ + ShardName(handles_->shards.size());
            auto shard = std::make_unique<Shard>(
                Xapian::WritableDatabase(name, Xapian::DB_CREATE_OR_OVERWRITE |
                                                   Xapian::DB_BACKEND_GLASS | Xapian::DB_NO_SYNC |
                                                   Xapian::DB_DANGEROUS | Xapian::DB_NO_TERMLIST));
            if (!shard->positions.Open(name + ".positions")) {
                return Fail(kIndexUnavailable, "cannot create " + name + ".positions");
            }
            handles_->shards.push_back(std::move(shard));
        }
    } catch (const Xapian::Error& e) {
        return Fail(kIndexUnavailable, "cannot be created: " + e.get_description());
    }
    return true;
}

bool SearchIndex::AddDocuments(const std::vector<IndexDocument>& documents) {
    if (!Writable()) return false;
    std::vector<const IndexDocument*> fresh;
    for (const IndexDocument& document : documents) {
        if (handles_->added.insert(document.file).second) fresh.push_back(&document);
    }
    if (fresh.empty()) return true;
    const size_t wanted = std::min<size_t>(std::thread::hardware_concurrency(),
                                           fresh.size() / kDocumentsPerThread);
    const size_t threads = std::clamp<size_t>(wanted, 1, kMaxIndexThreads);
    if (!AddShards(threads)) return false;
    // Each thread takes a run of documents of its own, so the databases
    // together keep the documents in the order given.
    std::vector<std::string> errors(threads);
    std::vector<std::thread> workers;
    const auto begin_of = [&](size_t t) { return fresh.size() * t / threads; };
    const auto index_run = [&](size_t t) {
        IndexRange(handles_->shards[t].get(), data_dir_, fresh, begin_of(t), begin_of(t + 1),
                   &errors[t]);
    };
    std::vector<size_t> left_over;  // runs no thread could be started for
    for (size_t t = 1; t < threads; ++t) {
        try {
            workers.emplace_back([&, t] {
                if (!RunGuarded(ThreadRole::MainEngine, [&] { index_run(t); })) {
                    errors[t] = "indexing thread failed";
                }
            });
        } catch (const std::system_error&) {
            left_over.push_back(t);
        }
    }
    index_run(0);
    for (size_t t : left_over) index_run(t);
    for (std::thread& worker : workers) worker.join();
    for (const std::string& error : errors) {
        if (!error.empty()) return Fail(kIndexUnavailable, error);
    }
    return true;
}

bool SearchIndex::Commit() {
    if (!Writable()) return false;
    try {
        // The threads' databases are merged into one compact file, in the
        // order of their documents: each database's documents stay together,
        // numbered on from the database before, which is the numbering the
        // positions follow.
        Xapian::Database all;
        std::vector<const PositionShardWriter*> positions;
        for (size_t i = 0; i < handles_->shards.size(); ++i) {
            Shard& shard = *handles_->shards[i];
            shard.db.commit();
            shard.db.close();
            all.add_database(Xapian::Database(data_dir_ + ShardName(i)));
            if (!shard.positions.Flush()) {
                return Fail(kIndexUnavailable, "cannot write the word positions");
            }
            positions.push_back(&shard.positions);
        }
        all.compact(data_dir_ + kIndexDatabaseName, Xapian::DBCOMPACT_SINGLE_FILE);
        std::string error;
        if (!WritePositionStore(data_dir_ + kIndexInfoName, kFormatLine, positions, &error)) {
            return Fail(kIndexUnavailable, "cannot write the word positions: " + error);
        }
        handles_->shards.clear();
    } catch (const Xapian::Error& e) {
        return Fail(kIndexUnavailable, "cannot be written: " + e.get_description());
    }
    platform::RemoveTree(data_dir_ + kIndexWorkName);
    // The base goes last: its presence says the rest is complete.
    if (!platform::ReplaceFileContents(data_dir_ + kIndexBaseName,
                                       std::string("auto ") + kIndexDatabaseName + "\n")) {
        return Fail(kIndexUnavailable, "cannot write its base file");
    }
    committed_ = true;
    try {
        if (!OpenReader()) return Fail(kIndexUnavailable, "wrote word positions it cannot read");
    } catch (const Xapian::Error& e) {
        return Fail(kIndexUnavailable, "cannot be opened: " + e.get_description());
    }
    return true;
}

int SearchIndex::Query(std::string_view expression, std::vector<std::string>* files) {
    files->clear();
    const ParsedQuery parsed = ParseQueryExpression(expression);
    if (parsed.error != kSearchOk) return last_error_ = parsed.error;
    if (!handles_ || !handles_->reader) return last_error_ = kIndexUnavailable;
    const Xapian::Database& db = *handles_->reader;
    try {
        const LeafWords words = ExpandLeaves(parsed.root, db);
        Xapian::Enquire enquire(db);
        enquire.set_query(BuildXapianQuery(parsed.root, words));
        std::optional<PositionFilter> filter;
        if (HasPositionalGroup(parsed.root)) {
            filter.emplace(parsed.root, words, handles_->positions);
        }
        const Xapian::MSet matches =
            enquire.get_mset(0, db.get_doccount(), 0, nullptr, filter ? &*filter : nullptr);
        files->reserve(matches.size());
        for (auto it = matches.begin(); it != matches.end(); ++it) {
            files->push_back(it.get_document().get_data());
        }
    } catch (const Xapian::DatabaseModifiedError&) {
        files->clear();
        return last_error_ = kDocumentModified;
    } catch (const Xapian::DocNotFoundError&) {
        files->clear();
        return last_error_ = kDocumentModified;
    } catch (const Xapian::DatabaseError& e) {
        files->clear();
        // A damaged index is rebuilt by the next search.
        Fail(kIndexUnavailable, "cannot be searched, discarding it: " + e.get_description());
        handles_->reader.reset();
        Discard(data_dir_);
        return last_error_;
    } catch (const Xapian::Error& e) {
        files->clear();
        Fail(kIndexUnavailable, "cannot run a query: " + e.get_description());
        return last_error_;
    } catch (const std::bad_alloc&) {
        files->clear();
        Fail(kIndexUnavailable, "out of memory running a query");
        return last_error_;
    }
    return last_error_ = kSearchOk;
}

bool SearchIndex::OpenReader() {
    handles_->reader.emplace(data_dir_ + kIndexBaseName);
    // Documents are numbered from 1 without gaps, as the positions are.
    return handles_->positions.Open(data_dir_ + kIndexInfoName, kFormatLine) &&
           handles_->reader->get_doccount() == handles_->positions.documents() &&
           handles_->reader->get_lastdocid() == handles_->positions.documents();
}

void SearchIndex::Close() {
    if (!handles_) return;
    const bool abandoned = created_ && !committed_;
    for (const auto& shard : handles_->shards) {
        try {
            shard->db.close();
        } catch (const Xapian::Error&) {
            // Removed below all the same.
        }
    }
    handles_.reset();
    if (abandoned) {
        platform::RemoveTree(data_dir_ + kIndexWorkName);
        platform::RemoveTree(data_dir_ + kIndexDatabaseName);
        platform::RemoveFile(data_dir_ + kIndexInfoName);
    }
    created_ = false;
    committed_ = false;
}

std::string SearchIndex::Message(int code) { return SearchErrorMessage(code); }

bool SearchIndex::Discard(const std::string& data_dir) {
    const bool base = platform::RemoveFile(data_dir + kIndexBaseName);
    const bool info = platform::RemoveFile(data_dir + kIndexInfoName);
    const bool info_aside = platform::RemoveFile(PositionStoreAsidePath(data_dir + kIndexInfoName));
    const bool database = platform::RemoveTree(data_dir + kIndexDatabaseName);
    const bool work = platform::RemoveTree(data_dir + kIndexWorkName);
    return base && info && info_aside && database && work;
}

IndexSearchResult RunIndexSearch(const std::string& data_dir, std::string_view expression,
                                 const std::function<std::vector<IndexDocument>()>& documents) {
    std::optional<std::vector<IndexDocument>> listed;
    for (int attempt = 0;; ++attempt) {
        // The documents are listed outside the index lock (listing takes the
        // store lock, which a grab start may hold while it discards).
        if (!listed && (attempt > 0 || !SearchIndex::Exists(data_dir))) listed = documents();
        std::lock_guard<std::mutex> guard(DirectoryLock(data_dir));
        SearchIndex index;
        IndexSearchResult result;
        if (!index.Open(data_dir)) {
            result.error = index.last_error();
            return result;
        }
        if (index.created()) {
            if (!listed) continue;  // discarded since it was looked for
            if (!index.AddDocuments(*listed) || !index.Commit()) {
                result.error = index.last_error();
                return result;
            }
        }
        result.error = index.Query(expression, &result.files);
        return result;
    }
}

void DiscardSearchIndex(const std::string& data_dir) {
    std::lock_guard<std::mutex> guard(DirectoryLock(data_dir));
    if (!SearchIndex::Discard(data_dir)) {
        LogMessage("Search index " + data_dir + " cannot be deleted");
    }
}

}  // namespace fw
