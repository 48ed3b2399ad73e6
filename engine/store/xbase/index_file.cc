#include "engine/store/xbase/index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/file_io.h"
#include "engine/store/xbase/key_sorter.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw::xbase {

namespace {

constexpr char kHeaderMagic[8] = {'F', 'W', 'C', 'D', 'X', '0', '0', '1'};
constexpr char kDefinitionMagic[8] = {'F', 'W', 'C', 'D', 'X', 'D', 'E', 'F'};
constexpr uint32_t kStateClean = 0;
constexpr uint32_t kStateChanging = 1;
constexpr size_t kBuildBudget = 24u << 20;  // bytes of keys sorted in memory, all tags together
constexpr size_t kScanBatch = 1u << 20;     // bytes of rows read at once while building

// Header field offsets (page 0).
enum : uint32_t {
    kPageSizeAt = 12,
    kPageCountAt = 16,
    kFreeHeadAt = 20,
    kStateAt = 24,
    kTagCountAt = 28,
    kInstanceAt = 32,
    kGenerationAt = 40,
    kTableSizeAt = 48,
    kTableTimeAt = 56,
    kTableRowsAt = 64,
    kRecordLengthAt = 68,
    kRootsAt = 72,
    kSuppressedAt = kRootsAt + 4 * kMaxTags,
};

bool ValidTagName(const std::string& name) {
    if (name.empty() || name.size() > 10) return false;
    for (char c : name) {
        char u = platform::ToUpperAscii(c);
        if (!((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_')) return false;
    }
    return true;
}

std::vector<uint8_t> DefinitionPage(const std::vector<CompiledTag>& tags, bool* fits) {
    std::vector<uint8_t> page(kPageSize, 0);
    std::memcpy(&page[4], kDefinitionMagic, 8);
    StoreLE16(&page[12], static_cast<uint16_t>(tags.size()));
    size_t at = 14;
    *fits = true;
    for (const CompiledTag& t : tags) {
        const std::string& e = t.def.expression;
        const std::string& f = t.def.filter;
        const size_t need = 1 + t.def.name.size() + 1 + 2 + e.size() + 2 + f.size();
        if (at + need > kPageSize || e.size() > 0xFFFF || f.size() > 0xFFFF) {
            *fits = false;
            return page;
        }
        page[at++] = static_cast<uint8_t>(t.def.name.size());
        std::memcpy(&page[at], t.def.name.data(), t.def.name.size());
        at += t.def.name.size();
        page[at++] = static_cast<uint8_t>(t.def.unique);
        StoreLE16(&page[at], static_cast<uint16_t>(e.size()));
        std::memcpy(&page[at + 2], e.data(), e.size());
        at += 2 + e.size();
        StoreLE16(&page[at], static_cast<uint16_t>(f.size()));
        std::memcpy(&page[at + 2], f.data(), f.size());
        at += 2 + f.size();
    }
    PageFile::Seal(page.data());
    return page;
}

std::string Directory(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

uint64_t RandomInstance() {
    std::random_device device;
    return (uint64_t{device()} << 32) ^ device();
}

}  // namespace

Result CompileTags(const std::vector<TagDef>& defs, const std::vector<ColumnLayout>& columns,
                   std::vector<CompiledTag>* out) {
    if (defs.empty() || defs.size() > kMaxTags) return Result::kErrorExpression;
    std::vector<CompiledTag> tags;
    for (const TagDef& def : defs) {
        if (!ValidTagName(def.name)) return Result::kErrorExpression;
        for (const CompiledTag& other : tags) {
            if (platform::EqualsIgnoreCase(other.def.name, def.name)) return Result::kErrorExpression;
        }
        if (def.unique != Uniqueness::kNone && def.unique != Uniqueness::kRefuse &&
            def.unique != Uniqueness::kKeepRow) {
            return Result::kErrorExpression;
        }
        CompiledTag tag;
        tag.def = def;
        for (char& c : tag.def.name) c = platform::ToUpperAscii(c);
        if (!tag.key.Compile(def.expression, columns) || tag.key.type() == ValueType::kLogical ||
            tag.key.key_length() == 0) {
            return Result::kErrorExpression;
        }
        if (!platform::TrimView(def.filter).empty() &&
            (!tag.filter.Compile(def.filter, columns) || tag.filter.type() != ValueType::kLogical)) {
            return Result::kErrorExpression;
        }
        tags.push_back(std::move(tag));
    }
    bool fits;
    DefinitionPage(tags, &fits);
    if (!fits) return Result::kErrorExpression;
    *out = std::move(tags);
    return Result::kSuccess;
}

IndexFile::~IndexFile() {
    pages_.reset();
    if (fd_ >= 0) ::close(fd_);
}

int IndexFile::FindTag(std::string_view name) const {
    for (size_t i = 0; i < tags_.size(); ++i) {
        if (platform::EqualsIgnoreCase(tags_[i].def.name, name)) return static_cast<int>(i);
    }
    return -1;
}

Result IndexFile::ReadDefinitions(int fd, const std::vector<ColumnLayout>& columns, std::vector<CompiledTag>* out) {
    std::vector<uint8_t> page(kPageSize);
    if (!PReadAll(fd, page.data(), kPageSize, kPageSize)) return Result::kErrorData;
    if (!PageFile::SealIntact(page.data()) || std::memcmp(&page[4], kDefinitionMagic, 8) != 0) {
        return Result::kErrorData;
    }
    const size_t count = LoadLE16(&page[12]);
    std::vector<TagDef> defs;
    size_t at = 14;
    auto text = [&](size_t length, std::string* s) {
        if (at + length > kPageSize) return false;
        s->assign(reinterpret_cast<const char*>(&page[at]), length);
        at += length;
        return true;
    };
    for (size_t i = 0; i < count; ++i) {
        TagDef def;
        if (at + 1 > kPageSize || !text(page[at++], &def.name) || at + 3 > kPageSize) return Result::kErrorData;
        def.unique = static_cast<Uniqueness>(page[at++]);
        const size_t expression_length = LoadLE16(&page[at]);
        at += 2;
        if (!text(expression_length, &def.expression) || at + 2 > kPageSize) return Result::kErrorData;
        const size_t filter_length = LoadLE16(&page[at]);
        at += 2;
        if (!text(filter_length, &def.filter)) return Result::kErrorData;
        defs.push_back(std::move(def));
    }
    return CompileTags(defs, columns, out) == Result::kSuccess ? Result::kSuccess : Result::kErrorData;
}

Result IndexFile::Open(const std::string& path, const DbfFile& table, size_t cache_bytes,
                       std::unique_ptr<IndexFile>* out, bool* rebuilt) {
    *rebuilt = false;
    std::unique_ptr<IndexFile> index(new IndexFile());
    index->path_ = path;
    index->cache_bytes_ = cache_bytes;
    index->fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (index->fd_ < 0) return Result::kErrorOpen;
    Result r = ReadDefinitions(index->fd_, table.columns(), &index->tags_);
    if (r != Result::kSuccess) return r;
    if (index->LoadHeader(table, true) != Result::kSuccess) {
        const std::vector<CompiledTag> tags = index->tags_;
        index.reset();
        r = Build(path, tags, table);
        if (r != Result::kSuccess) return r;
        *rebuilt = true;
        index.reset(new IndexFile());
        index->path_ = path;
        index->cache_bytes_ = cache_bytes;
        index->fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (index->fd_ < 0) return Result::kErrorOpen;
        index->tags_ = tags;
        r = index->LoadHeader(table, true);
        if (r != Result::kSuccess) return r;
    }
    *out = std::move(index);
    return Result::kSuccess;
}

Result IndexFile::LoadHeader(const DbfFile& table, bool check_stamp) {
    std::vector<uint8_t> page(kPageSize);
    if (!PReadAll(fd_, page.data(), kPageSize, 0)) return Result::kErrorData;
    if (!PageFile::SealIntact(page.data()) || std::memcmp(&page[4], kHeaderMagic, 8) != 0 ||
        LoadLE32(&page[kPageSizeAt]) != kPageSize || LoadLE32(&page[kTagCountAt]) != tags_.size()) {
        return Result::kErrorData;
    }
    const uint32_t page_count = LoadLE32(&page[kPageCountAt]);
    const uint32_t free_head = LoadLE32(&page[kFreeHeadAt]);
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Result::kErrorRead;
    if (page_count < kFirstDataPage + tags_.size() ||
        static_cast<uint64_t>(st.st_size) < uint64_t{page_count} * kPageSize ||
        (free_head != 0 && (free_head < kFirstDataPage || free_head >= page_count))) {
        return Result::kErrorData;
    }
    if (check_stamp) {
        FileStamp stamp;
        Result r = table.Stamp(&stamp);
        if (r != Result::kSuccess) return r;
        if (LoadLE32(&page[kStateAt]) != kStateClean || LoadLE64(&page[kTableSizeAt]) != stamp.size ||
            static_cast<int64_t>(LoadLE64(&page[kTableTimeAt])) != stamp.mtime_ns ||
            LoadLE32(&page[kTableRowsAt]) != table.record_count() ||
            LoadLE32(&page[kRecordLengthAt]) != table.record_length()) {
            return Result::kErrorData;
        }
    }
    auto pages = std::make_unique<PageFile>(fd_, cache_bytes_, &BTree::ValidPage);
    pages->SetAllocation(page_count, free_head);
    std::vector<std::unique_ptr<BTree>> trees;
    for (size_t i = 0; i < tags_.size(); ++i) {
        const uint32_t root = LoadLE32(&page[kRootsAt + 4 * i]);
        PageFile::Ref ref;
        if (root < kFirstDataPage || root >= page_count || pages->Get(root, &ref) != Result::kSuccess ||
            ref.data()[5] != i || ref.data()[4] > 2) {
            return Result::kErrorData;
        }
        trees.push_back(std::make_unique<BTree>(pages.get(), static_cast<uint8_t>(i), tags_[i].key.key_length(), root));
    }
    suppressed_.assign(tags_.size(), false);
    for (size_t i = 0; i < tags_.size(); ++i) suppressed_[i] = page[kSuppressedAt + i] != 0;
    trees_ = std::move(trees);
    pages_ = std::move(pages);
    instance_ = LoadLE64(&page[kInstanceAt]);
    generation_ = LoadLE64(&page[kGenerationAt]);
    stamp_.size = LoadLE64(&page[kTableSizeAt]);
    stamp_.mtime_ns = static_cast<int64_t>(LoadLE64(&page[kTableTimeAt]));
    stamp_rows_ = LoadLE32(&page[kTableRowsAt]);
    record_length_ = LoadLE32(&page[kRecordLengthAt]);
    changing_ = false;
    return Result::kSuccess;
}

Result IndexFile::Build(const std::string& path, const std::vector<CompiledTag>& tags, const DbfFile& table) {
    bool fits;
    const std::vector<uint8_t> definitions = DefinitionPage(tags, &fits);
    if (!fits) return Result::kErrorExpression;
    const std::string temp = path + ".new";
    // Keys are column text, credentials among them: private like the table.
    int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC,
                    platform::ModeForReplacing(path, 0600));
    if (fd < 0) return Result::kErrorCreate;
    auto fail = [&](Result failure) {
        ::close(fd);
        ::unlink(temp.c_str());
        return failure;
    };

    const std::string directory = Directory(path);
    std::vector<std::unique_ptr<KeySorter>> sorters;
    for (size_t i = 0; i < tags.size(); ++i) {
        sorters.push_back(std::make_unique<KeySorter>(directory, kBuildBudget / tags.size()));
    }
    const uint32_t length = table.record_length();
    const uint32_t batch = std::max<uint32_t>(1, static_cast<uint32_t>(kScanBatch / length));
    std::vector<uint8_t> rows(size_t{batch} * length);
    std::string key;
    for (uint32_t first = 1; first <= table.record_count(); first += batch) {
        const uint32_t n = std::min(batch, table.record_count() - first + 1);
        Result r = table.ReadRange(first, n, rows.data());
        if (r != Result::kSuccess) return fail(r);
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* row = &rows[size_t{i} * length];
            for (size_t t = 0; t < tags.size(); ++t) {
                if (!tags[t].Admits(row, first + i)) continue;
                tags[t].key.BuildKey(row, first + i, &key);
                r = sorters[t]->Add(key, first + i);
                if (r != Result::kSuccess) return fail(r);
            }
        }
    }

    uint32_t next_page = kFirstDataPage;
    std::vector<uint32_t> roots;
    std::vector<bool> suppressed(tags.size(), false);
    for (size_t t = 0; t < tags.size(); ++t) {
        TreeBuilder builder(fd, static_cast<uint8_t>(t), &next_page);
        std::string previous;
        bool first = true;
        // Of rows with equal keys a unique tag keeps the first.
        Result r = sorters[t]->Finish([&](std::string_view k, uint32_t row) {
            if (tags[t].unique() && !first && CompareKeys(k, previous) == 0) {
                suppressed[t] = true;
                return Result::kSuccess;
            }
            first = false;
            previous.assign(k);
            return builder.Add(k, row);
        });
        sorters[t].reset();
        uint32_t root = 0;
        if (r == Result::kSuccess) r = builder.Finish(&root);
        if (r != Result::kSuccess) return fail(r);
        roots.push_back(root);
    }

    FileStamp stamp;
    Result r = table.Stamp(&stamp);
    if (r != Result::kSuccess) return fail(r);
    std::vector<uint8_t> header(kPageSize, 0);
    std::memcpy(&header[4], kHeaderMagic, 8);
    StoreLE32(&header[kPageSizeAt], kPageSize);
    StoreLE32(&header[kPageCountAt], next_page);
    StoreLE32(&header[kStateAt], kStateClean);
    StoreLE32(&header[kTagCountAt], static_cast<uint32_t>(tags.size()));
    StoreLE64(&header[kInstanceAt], RandomInstance());
    StoreLE64(&header[kGenerationAt], 1);
    StoreLE64(&header[kTableSizeAt], stamp.size);
    StoreLE64(&header[kTableTimeAt], static_cast<uint64_t>(stamp.mtime_ns));
    StoreLE32(&header[kTableRowsAt], table.record_count());
    StoreLE32(&header[kRecordLengthAt], length);
    for (size_t t = 0; t < roots.size(); ++t) {
        StoreLE32(&header[kRootsAt + 4 * t], roots[t]);
        header[kSuppressedAt + t] = suppressed[t] ? 1 : 0;
    }
    PageFile::Seal(header.data());
    if (!PWriteAll(fd, definitions.data(), kPageSize, kPageSize) || !PWriteAll(fd, header.data(), kPageSize, 0) ||
        ::ftruncate(fd, static_cast<off_t>(uint64_t{next_page} * kPageSize)) != 0) {
        return fail(Result::kErrorWrite);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(Result::kErrorCreate);
    ::close(fd);
    return Result::kSuccess;
}

Result IndexFile::WriteHeader() {
    std::vector<uint8_t> header(kPageSize, 0);
    std::memcpy(&header[4], kHeaderMagic, 8);
    StoreLE32(&header[kPageSizeAt], kPageSize);
    StoreLE32(&header[kPageCountAt], pages_->page_count());
    StoreLE32(&header[kFreeHeadAt], pages_->free_head());
    StoreLE32(&header[kStateAt], changing_ ? kStateChanging : kStateClean);
    StoreLE32(&header[kTagCountAt], static_cast<uint32_t>(tags_.size()));
    StoreLE64(&header[kInstanceAt], instance_);
    StoreLE64(&header[kGenerationAt], generation_);
    StoreLE64(&header[kTableSizeAt], stamp_.size);
    StoreLE64(&header[kTableTimeAt], static_cast<uint64_t>(stamp_.mtime_ns));
    StoreLE32(&header[kTableRowsAt], stamp_rows_);
    StoreLE32(&header[kRecordLengthAt], record_length_);
    for (size_t t = 0; t < trees_.size(); ++t) {
        StoreLE32(&header[kRootsAt + 4 * t], trees_[t]->root());
        header[kSuppressedAt + t] = suppressed_[t] ? 1 : 0;
    }
    PageFile::Seal(header.data());
    return PWriteAll(fd_, header.data(), kPageSize, 0) ? Result::kSuccess : Result::kErrorWrite;
}

Result IndexFile::BeginChange() {
    if (changing_) return Result::kSuccess;
    changing_ = true;
    ++generation_;
    Result r = WriteHeader();
    if (r != Result::kSuccess) changing_ = false;
    return r;
}

Result IndexFile::Commit(const DbfFile& table) {
    if (!changing_) return Result::kSuccess;
    Result r = pages_->WriteDirty();
    if (r != Result::kSuccess) return r;
    r = table.Stamp(&stamp_);
    if (r != Result::kSuccess) return r;
    stamp_rows_ = table.record_count();
    record_length_ = table.record_length();
    changing_ = false;
    ++generation_;
    r = WriteHeader();
    if (r != Result::kSuccess) changing_ = true;
    return r;
}

Result IndexFile::Refresh(const DbfFile& table, bool* changed, bool* stale) {
    *changed = false;
    *stale = false;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Result::kErrorRead;
    if (st.st_nlink == 0) {
        // Rebuilt by another opener: the file under our name is a new one.
        int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) return Result::kErrorOpen;
        pages_.reset();
        trees_.clear();
        ::close(fd_);
        fd_ = fd;
        *changed = true;
        // Unreadable parts leave the old tag list, to rebuild from.
        if (ReadDefinitions(fd_, table.columns(), &tags_) != Result::kSuccess ||
            LoadHeader(table, false) != Result::kSuccess) {
            *stale = true;
        }
        return Result::kSuccess;
    }
    uint8_t head[kRootsAt];
    if (!PReadAll(fd_, head, sizeof head, 0)) return Result::kErrorRead;
    if (LoadLE64(head + kInstanceAt) == instance_ && LoadLE64(head + kGenerationAt) == generation_) {
        return Result::kSuccess;
    }
    *changed = true;
    if (LoadHeader(table, false) != Result::kSuccess || LoadLE32(head + kStateAt) != kStateClean) *stale = true;
    return Result::kSuccess;
}

}  // namespace fw::xbase
