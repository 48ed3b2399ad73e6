#include "engine/search/search_index.h"

#include <xapian.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_set>

#include "engine/search/page_text.h"
#include "engine/search/query_builder.h"
#include "engine/search/query_expression.h"
#include "engine/search/search_error.h"
#include "engine/search/word_breaker.h"
#include "engine/support/log.h"
#include "platform/file_ops.h"

namespace fw {

namespace {

constexpr char kFormat[] = "corvalin search index 1\n";

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

}  // namespace

struct SearchIndex::Handles {
    std::optional<Xapian::WritableDatabase> writer;  // a new base until Commit
    std::optional<Xapian::Database> reader;          // an opened or committed base
    std::unordered_set<std::string> added;           // files of the new base
};

SearchIndex::SearchIndex() = default;

SearchIndex::~SearchIndex() { Close(); }

bool SearchIndex::Exists(const std::string& data_dir) {
    std::string format;
    return platform::FileExists(data_dir + kIndexBaseName) &&
           platform::ReadFilePrefix(data_dir + kIndexInfoName, sizeof kFormat, &format) &&
           format == kFormat;
}

bool SearchIndex::is_open() const {
    return handles_ && (handles_->writer || handles_->reader);
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
            handles_->reader.emplace(data_dir + kIndexBaseName);
            return true;
        } catch (const Xapian::Error& e) {
            LogMessage("Search index " + data_dir + " cannot be read, rebuilding it: " +
                       e.get_description());
        }
    }
    Discard(data_dir);
    try {
        // The index can always be rebuilt from the stored files, so it is
        // not worth waiting for the disk at every flush.
        handles_->writer.emplace(data_dir + kIndexDatabaseName,
                                 Xapian::DB_CREATE_OR_OVERWRITE | Xapian::DB_BACKEND_GLASS |
                                     Xapian::DB_NO_SYNC);
    } catch (const Xapian::Error& e) {
        handles_.reset();
        return Fail(kIndexUnavailable, "cannot be created: " + e.get_description());
    }
    created_ = true;
    return true;
}

bool SearchIndex::AddDocument(const IndexDocument& document) {
    if (!created_ || committed_ || !handles_ || !handles_->writer) return false;
    if (!handles_->added.insert(document.file).second) return true;
    std::string bytes;
    if (!platform::ReadFilePrefix(data_dir_ + document.file, kMaxIndexedBytes, &bytes)) {
        return false;
    }
    const PageText text = StoredPageText(bytes, document.html);
    try {
        Xapian::Document doc;
        doc.set_data(document.file);
        Xapian::termpos pos = 0;
        std::string word;
        for (WordReader title(text.title); title.Next(&word);) {
            doc.add_posting(word, ++pos, kTitleWeight);
        }
        ++pos;  // so that no phrase runs on from the title into the body
        for (WordReader body(text.body); body.Next(&word);) doc.add_posting(word, ++pos);
        handles_->writer->add_document(doc);
    } catch (const Xapian::Error& e) {
        return Fail(kIndexUnavailable, "cannot add " + document.file + ": " + e.get_description());
    }
    return true;
}

bool SearchIndex::Commit() {
    if (!created_ || committed_ || !handles_ || !handles_->writer) return false;
    try {
        handles_->writer->commit();
        handles_->writer->close();
        handles_->writer.reset();
    } catch (const Xapian::Error& e) {
        return Fail(kIndexUnavailable, "cannot be written: " + e.get_description());
    }
    // The base goes last: its presence says the rest is complete.
    if (!platform::ReplaceFileContents(data_dir_ + kIndexInfoName, kFormat) ||
        !platform::ReplaceFileContents(data_dir_ + kIndexBaseName,
                                       std::string("auto ") + kIndexDatabaseName + "\n")) {
        return Fail(kIndexUnavailable, "cannot write its base file");
    }
    committed_ = true;
    try {
        handles_->reader.emplace(data_dir_ + kIndexBaseName);
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
        Xapian::Enquire enquire(db);
        enquire.set_query(BuildXapianQuery(parsed.root, db));
        const Xapian::MSet matches = enquire.get_mset(0, db.get_doccount());
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
    } catch (const Xapian::Error& e) {
        files->clear();
        // A damaged index is rebuilt by the next search.
        Fail(kIndexUnavailable, "cannot be searched, discarding it: " + e.get_description());
        handles_->reader.reset();
        Discard(data_dir_);
        return last_error_;
    } catch (const std::bad_alloc&) {
        files->clear();
        Fail(kIndexUnavailable, "out of memory running a query");
        return last_error_;
    }
    return last_error_ = kSearchOk;
}

void SearchIndex::Close() {
    if (!handles_) return;
    const bool abandoned = created_ && !committed_;
    if (handles_->writer) {
        try {
            handles_->writer->close();
        } catch (const Xapian::Error&) {
            // Removed below all the same.
        }
    }
    handles_.reset();
    if (abandoned) platform::RemoveTree(data_dir_ + kIndexDatabaseName);
    created_ = false;
    committed_ = false;
}

std::string SearchIndex::Message(int code) { return SearchErrorMessage(code); }

bool SearchIndex::Discard(const std::string& data_dir) {
    const bool base = platform::RemoveFile(data_dir + kIndexBaseName);
    const bool info = platform::RemoveFile(data_dir + kIndexInfoName);
    const bool database = platform::RemoveTree(data_dir + kIndexDatabaseName);
    return base && info && database;
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
            for (const IndexDocument& document : *listed) index.AddDocument(document);
            if (!index.Commit()) {
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
    if (!SearchIndex::Discard(data_dir)) LogMessage("Search index " + data_dir + " cannot be deleted");
}

}  // namespace fw
