#include "engine/store/xbase/table.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/store/xbase/btree.h"
#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/dbf_file.h"
#include "engine/store/xbase/index_file.h"
#include "engine/store/xbase/key_expression.h"
#include "engine/store/xbase/memo_file.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw::xbase {

namespace {

// What one tag needs done when a row is written.
struct TagChange {
    bool skip = false;    // key and membership unchanged
    bool old_in = false;  // the old row belongs in the tag (it may still be unindexed: keep-row)
    bool insert = false;  // index the new key
    uint32_t displace = 0;  // keep-row: a later row that held the key gives it up
    bool suppress = false;  // keep-row: a row goes unlisted
    std::string old_key;
    std::string new_key;
};

uint32_t MemoBlock(const uint8_t* field) {
    return static_cast<uint32_t>(ParseNumber(std::string_view(reinterpret_cast<const char*>(field), 10)));
}

// A decimal text for a numeric column: optional sign, digits, optional
// fraction, nothing else (blanks around it allowed).
bool IsNumberText(std::string_view text) {
    size_t i = 0, digits = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++digits;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++digits;
    }
    return digits > 0 && i == text.size();
}

class TableImpl final : public Table {
public:
    TableImpl(std::string path, Access access, const TableOptions& options, std::unique_ptr<DbfFile> dbf,
              std::unique_ptr<MemoFile> memo)
        : path_(std::move(path)),
          exclusive_(access == Access::kExclusive),
          options_(options),
          dbf_(std::move(dbf)),
          memo_(std::move(memo)) {
        row_.assign(dbf_->record_length(), ' ');
        stored_ = row_;
        memo_pending_.resize(dbf_->columns().size());
    }
    ~TableImpl() override { Close(); }

    Result OpenIndex() override;
    Result CreateIndex(const std::vector<TagDef>& tags) override;
    bool IndexRebuilt() const override { return rebuilt_; }
    Result Flush() override;
    Result PendingEdits(std::vector<FileEdits>* out) override;
    Result Close() override;
    Result SelectTag(std::string_view name) override;
    Result Top() override;
    Result Bottom() override;
    Result Go(uint32_t row) override;
    Result Skip() override;
    bool Eof() const override { return recno_ == 0 && !appending_; }
    Result Seek(std::string_view key) override;
    Result SeekNumber(double key) override;
    uint32_t RecNo() const override { return recno_; }
    uint32_t RecordCount() const override { return dbf_ ? dbf_->record_count() : 0; }
    int FieldIndex(std::string_view name) const override;
    std::string ReadText(int field) const override;
    std::string_view ReadTextView(int field) const override;
    long long ReadNumber(int field) const override;
    Result WriteText(int field, std::string_view text) override;
    Result WriteNumber(int field, long long value) override;
    Result AppendStart() override;
    Result Append() override;
    Result Update() override;
    Result Delete() override { return SetDeleted(true); }
    Result Undelete() override { return SetDeleted(false); }
    bool IsDeleted() const override;
    Result Zap() override;
    Result Pack() override;

private:
    // One public operation. Shared openers lock the files against other
    // processes for its length, take in what those changed first and write
    // their own changes through at the end.
    class Operation {
    public:
        Operation(TableImpl* table, bool write) : table_(table), write_(write) {
            if (!table->dbf_) {
                result_ = Result::kErrorOpen;
                return;
            }
            result_ = table->Enter(write);
            entered_ = result_ == Result::kSuccess && !table->exclusive_;
            if (result_ != Result::kSuccess && !table->exclusive_) table->dbf_->UnlockRange();
        }
        ~Operation() { Finish(); }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

        // Whether the operation may proceed.
        Result result() const { return result_; }
        // Ends the operation early; the result of writing its changes through.
        Result Finish() {
            if (!entered_) return Result::kSuccess;
            entered_ = false;
            return table_->Leave(write_);
        }

    private:
        TableImpl* table_;
        bool write_;
        bool entered_ = false;
        Result result_ = Result::kSuccess;
    };

    Result Enter(bool write);
    Result Leave(bool write);
    Result Resync(bool write);
    Result TakeInChanges(bool* replaced, bool* changed, bool* stale);
    Result Modify();
    Result FlushFiles();
    Result RebuildIndex();

    // Row buffer.
    Result EnsureLoaded() const;
    void MoveTo(uint32_t recno);
    void SetEof();
    Result SettleRow();
    Result WriteRow();
    void RevertRow();
    Result WriteMemos();
    // Fills plan_ for a write of new_row over old_row (nullptr: an append).
    Result PlanTags(const uint8_t* old_row, uint32_t recno, const uint8_t* new_row);
    Result ApplyTags(uint32_t recno);
    Result Promote(size_t tag_index, const std::string& key);
    void PlaceAfterWrite();
    Result SetDeleted(bool deleted);
    bool Recovered(Result r);
    template <typename Step>
    Result Walk(const Step& step);
    Result SeekKey(std::string_view key);
    const ColumnLayout* Column(int field) const;
    void SetField(const ColumnLayout& c, std::string_view text, bool right_aligned);

    std::string path_;
    bool exclusive_;
    TableOptions options_;
    std::unique_ptr<DbfFile> dbf_;
    std::unique_ptr<MemoFile> memo_;
    std::unique_ptr<IndexFile> index_;
    bool rebuilt_ = false;

    uint32_t recno_ = 0;                  // 0: end of file (or a new row)
    mutable std::vector<uint8_t> row_;    // the current row as changed
    mutable std::vector<uint8_t> stored_; // the current row as written
    mutable bool loaded_ = true;          // row_/stored_ hold recno_'s row
    bool changed_ = false;                // row_ has unwritten changes
    bool appending_ = false;              // row_ is a new row (AppendStart)
    std::vector<std::optional<std::string>> memo_pending_;  // per column
    // The tag changes of the write in progress, one per tag. Kept between
    // writes so that their key buffers are reused.
    std::vector<TagChange> plan_;

    bool may_rebuild_ = true;  // the operation holds the files for writing
    int tag_ = -1;             // selected tag, -1: physical order
    std::string tag_name_;     // to find it again after another process rebuilt the index
    TreePosition pos_;         // the current row's place in the selected tag
    bool pos_known_ = false;
};

// --- Operations and sharing ----------------------------------------------------

Result TableImpl::Enter(bool write) {
    if (exclusive_) return Result::kSuccess;
    may_rebuild_ = write;
    if (!dbf_->LockRange(write)) return Result::kErrorLocked;
    return Resync(write);
}

Result TableImpl::Resync(bool write) {
    bool replaced = false, changed = false, stale = false;
    Result r = TakeInChanges(&replaced, &changed, &stale);
    if (r == Result::kSuccess && stale) {
        // Another opener died in the middle of a change: rebuild, which
        // needs the lock for writing.
        if (!write) {
            dbf_->DropCachedRows();
            dbf_->UnlockRange();
            if (!dbf_->LockRange(true)) return Result::kErrorLocked;
            r = Resync(true);
            dbf_->UnlockRange();
            if (r != Result::kSuccess) return r;
            return dbf_->LockRange(false) ? Resync(false) : Result::kErrorLocked;
        }
        r = RebuildIndex();
        changed = true;
    }
    // Cached rows are good only while nobody else changed the table: every
    // writer marks the index before it changes a row, so an unchanged index
    // vouches for them and nothing else does.
    if (r != Result::kSuccess || changed || !index_) dbf_->DropCachedRows();
    if (r != Result::kSuccess) return r;
    if (index_ && changed) {
        tag_ = tag_name_.empty() ? -1 : index_->FindTag(tag_name_);
        pos_known_ = false;
    }
    if (recno_ > dbf_->record_count() || replaced) {
        if (!changed_) SetEof();
    } else if (recno_ != 0 && !changed_) {
        loaded_ = false;
        return EnsureLoaded();
    }
    return Result::kSuccess;
}

// What other openers changed since this one last looked.
Result TableImpl::TakeInChanges(bool* replaced, bool* changed, bool* stale) {
    Result r = dbf_->Refresh(replaced);
    if (r != Result::kSuccess) return r;
    if (memo_) {
        r = memo_->Refresh();
        if (r != Result::kSuccess) return r;
    }
    *changed = *replaced;
    if (!index_) return Result::kSuccess;
    bool index_changed = false;
    r = index_->Refresh(*dbf_, &index_changed, stale);
    *changed = *changed || index_changed;
    return r;
}

Result TableImpl::Leave(bool write) {
    Result r = Result::kSuccess;
    if (write) r = FlushFiles();
    dbf_->UnlockRange();
    return r;
}

// Declares that the files are about to change (the index records that it
// may no longer match until the next commit).
Result TableImpl::Modify() { return index_ ? index_->BeginChange() : Result::kSuccess; }

Result TableImpl::FlushFiles() {
    Result r = Result::kSuccess;
    if (dbf_->dirty()) r = Modify();
    if (r == Result::kSuccess) r = dbf_->Flush();
    if (r == Result::kSuccess && memo_) r = memo_->Flush();
    if (r == Result::kSuccess && index_) r = index_->Commit(*dbf_);
    return r;
}

Result TableImpl::RebuildIndex() {
    std::vector<CompiledTag> tags = index_->tags();
    index_.reset();
    Result r = dbf_->Flush();
    if (r == Result::kSuccess) r = IndexFile::Build(path_ + ".CDX", tags, *dbf_);
    bool rebuilt;
    if (r == Result::kSuccess) r = IndexFile::Open(path_ + ".CDX", *dbf_, options_.cache_bytes, &index_, &rebuilt);
    if (r != Result::kSuccess) {
        index_.reset();
        tag_ = -1;
    }
    pos_known_ = false;
    pos_.version = 0;
    return r;
}

// A damaged index page met while working: the table is whole, so the index
// is built again from it and the caller retries once.
bool TableImpl::Recovered(Result r) {
    if ((r != Result::kErrorData && r != Result::kErrorRead) || !index_ || !may_rebuild_) return false;
    const int tag = tag_;
    if (RebuildIndex() != Result::kSuccess) return false;
    tag_ = tag;
    return true;
}

Result TableImpl::OpenIndex() {
    Operation op(this, true);
    Result r = op.result();
    if (r != Result::kSuccess) return r;
    r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (index_) {
        r = FlushFiles();
        index_.reset();
    }
    tag_ = -1;
    tag_name_.clear();
    pos_known_ = false;
    rebuilt_ = false;
    if (r == Result::kSuccess) r = dbf_->Flush();
    if (r == Result::kSuccess) r = IndexFile::Open(path_ + ".CDX", *dbf_, options_.cache_bytes, &index_, &rebuilt_);
    if (r != Result::kSuccess) index_.reset();
    return r;
}

Result TableImpl::CreateIndex(const std::vector<TagDef>& defs) {
    std::vector<CompiledTag> tags;
    if (!dbf_) return Result::kErrorOpen;
    Result r = CompileTags(defs, dbf_->columns(), &tags);
    if (r != Result::kSuccess) return r;
    Operation op(this, true);
    r = op.result();
    if (r != Result::kSuccess) return r;
    r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (index_) r = FlushFiles();
    index_.reset();
    tag_ = -1;
    tag_name_.clear();
    pos_known_ = false;
    if (r == Result::kSuccess) r = dbf_->Flush();
    if (r == Result::kSuccess) r = IndexFile::Build(path_ + ".CDX", tags, *dbf_);
    bool rebuilt;
    if (r == Result::kSuccess) r = IndexFile::Open(path_ + ".CDX", *dbf_, options_.cache_bytes, &index_, &rebuilt);
    if (r != Result::kSuccess) index_.reset();
    return r;
}

Result TableImpl::Flush() {
    Operation op(this, true);
    Result r = op.result();
    if (r != Result::kSuccess) return r;
    // A row begun with AppendStart stays open: it is not a change yet.
    if (!appending_) r = SettleRow();
    if (r != Result::kSuccess) return r;
    r = FlushFiles();
    Result finish = op.Finish();
    return r != Result::kSuccess ? r : finish;
}

Result TableImpl::PendingEdits(std::vector<FileEdits>* out) {
    if (!dbf_) return Result::kErrorOpen;
    Operation op(this, true);
    Result r = op.result();
    if (r != Result::kSuccess) return r;
    if (!appending_) r = SettleRow();
    if (r != Result::kSuccess) return r;
    dbf_->PendingEdits(out);
    return Result::kSuccess;
}

Result TableImpl::Close() {
    if (!dbf_) return Result::kErrorOpen;
    Result r = Flush();
    index_.reset();
    memo_.reset();
    dbf_.reset();  // closing the file releases its locks
    recno_ = 0;
    appending_ = false;
    return r;
}

// --- Row buffer ----------------------------------------------------------------

Result TableImpl::EnsureLoaded() const {
    if (loaded_) return Result::kSuccess;
    loaded_ = true;
    Result r = dbf_->Read(recno_, row_.data());
    if (r != Result::kSuccess) std::fill(row_.begin(), row_.end(), ' ');
    stored_ = row_;
    return r;
}

void TableImpl::MoveTo(uint32_t recno) {
    recno_ = recno;
    appending_ = false;
    changed_ = false;
    for (auto& m : memo_pending_) m.reset();
    loaded_ = false;
    // Shared openers read the row while they hold the lock.
    if (!exclusive_) EnsureLoaded();
}

void TableImpl::SetEof() {
    recno_ = 0;
    appending_ = false;
    changed_ = false;
    for (auto& m : memo_pending_) m.reset();
    std::fill(row_.begin(), row_.end(), ' ');
    stored_ = row_;
    loaded_ = true;
    pos_known_ = false;
}

// Before the cursor leaves its row: write the row's changes, or abandon a
// new row. On failure the changes are dropped and the failure returned.
Result TableImpl::SettleRow() {
    if (appending_) {
        SetEof();
        return Result::kSuccess;
    }
    if (!changed_) return Result::kSuccess;
    Result r = WriteRow();
    if (r != Result::kSuccess) RevertRow();
    return r;
}

void TableImpl::RevertRow() {
    row_ = stored_;
    changed_ = false;
    for (auto& m : memo_pending_) m.reset();
}

Result TableImpl::WriteMemos() {
    for (size_t i = 0; i < memo_pending_.size(); ++i) {
        if (!memo_pending_[i]) continue;
        const ColumnLayout& c = dbf_->columns()[i];
        uint32_t block = 0;
        // An exclusive opener's rows reach the file only at its next flush:
        // until then the memo they name on disk must stay as it is.
        const uint32_t reuse = exclusive_ ? 0 : MemoBlock(&stored_[c.offset]);
        Result r = memo_->Write(reuse, *memo_pending_[i], &block);
        if (r != Result::kSuccess) return r;
        char text[16];
        if (block == 0) {
            std::memset(text, ' ', 10);
        } else {
            std::snprintf(text, sizeof text, "%10u", block);
        }
        std::memcpy(&row_[c.offset], text, 10);
    }
    return Result::kSuccess;
}

Result TableImpl::PlanTags(const uint8_t* old_row, uint32_t recno, const uint8_t* new_row) {
    plan_.resize(index_ ? index_->tag_count() : 0);
    for (size_t i = 0; i < plan_.size(); ++i) {
        const CompiledTag& tag = index_->tag(i);
        TagChange& change = plan_[i];
        change.skip = false;
        change.insert = false;
        change.displace = 0;
        change.suppress = false;
        change.old_in = old_row && tag.Admits(old_row, recno);
        if (change.old_in) tag.key.BuildKey(old_row, recno, &change.old_key);
        const bool new_in = tag.Admits(new_row, recno);
        if (new_in) tag.key.BuildKey(new_row, recno, &change.new_key);
        if (change.old_in && new_in && change.old_key == change.new_key) {
            change.skip = true;
            continue;
        }
        change.insert = new_in;
        if (!new_in || !tag.unique()) continue;
        bool found = false;
        uint32_t holder = 0;
        Result r = index_->tree(i).Find(change.new_key, &found, &holder);
        if (r != Result::kSuccess) return r;
        if (!found) continue;
        if (tag.def.unique == Uniqueness::kRefuse) return Result::kDuplicate;
        // Keep-row: a key is listed under the first row that has it, as
        // when the tag is built from the table.
        change.suppress = true;
        if (recno < holder) {
            change.displace = holder;
        } else {
            change.insert = false;
        }
    }
    return Result::kSuccess;
}

// A keep-row tag lost the row listed under `key`: list the next row with
// that key, if one was left unlisted.
Result TableImpl::Promote(size_t tag_index, const std::string& key) {
    const CompiledTag& tag = index_->tag(tag_index);
    const uint32_t length = dbf_->record_length();
    const uint32_t batch = std::max<uint32_t>(1, (1u << 20) / length);
    std::vector<uint8_t> rows(size_t{batch} * length);
    std::string candidate;
    for (uint32_t first = 1; first <= dbf_->record_count(); first += batch) {
        const uint32_t n = std::min(batch, dbf_->record_count() - first + 1);
        Result r = dbf_->ReadRange(first, n, rows.data());
        if (r != Result::kSuccess) return r;
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* row = &rows[size_t{i} * length];
            if (!tag.Admits(row, first + i)) continue;
            tag.key.BuildKey(row, first + i, &candidate);
            if (candidate == key) return index_->tree(tag_index).Insert(key, first + i);
        }
    }
    return Result::kSuccess;
}

Result TableImpl::ApplyTags(uint32_t recno) {
    for (size_t i = 0; i < plan_.size(); ++i) {
        const TagChange& change = plan_[i];
        if (change.skip) continue;
        BTree& tree = index_->tree(i);
        const bool keep_row = index_->tag(i).def.unique == Uniqueness::kKeepRow;
        if (change.old_in) {
            Result r = tree.Erase(change.old_key, recno);
            if (r == Result::kSuccess && keep_row && index_->suppressed(i)) r = Promote(i, change.old_key);
            if (r != Result::kSuccess && r != Result::kEof) return r;
        }
        if (change.suppress) index_->set_suppressed(i);
        if (change.displace != 0) {
            Result r = tree.Erase(change.new_key, change.displace);
            if (r != Result::kSuccess) return r;
        }
        if (change.insert) {
            Result r = tree.Insert(change.new_key, recno);
            if (r != Result::kSuccess) return r;
        }
    }
    return Result::kSuccess;
}

// After the current row was written: its place in the selected tag is where
// its new key sorts.
void TableImpl::PlaceAfterWrite() {
    if (tag_ < 0 || !index_) return;
    pos_ = TreePosition();
    pos_.at_end = false;
    pos_.version = 0;  // never current: the next step seeks from the key
    index_->tag(tag_).key.BuildKey(stored_.data(), recno_, &pos_.key);
    pos_.row = recno_;
    pos_known_ = true;
}

Result TableImpl::WriteRow() {
    if (!exclusive_) {
        // Another opener may have rewritten the row since we read it; the
        // old keys to remove are those of the row as it is now.
        Result r = dbf_->Read(recno_, stored_.data());
        if (r != Result::kSuccess) return r;
    }
    // Writing back what is stored changes nothing on disk.
    const bool memos = std::any_of(memo_pending_.begin(), memo_pending_.end(), [](const auto& m) { return m.has_value(); });
    if (!memos && row_ == stored_) {
        changed_ = false;
        return Result::kSuccess;
    }
    Result r = PlanTags(stored_.data(), recno_, row_.data());
    if (Recovered(r)) r = PlanTags(stored_.data(), recno_, row_.data());
    if (r != Result::kSuccess) return r;
    r = Modify();
    if (r == Result::kSuccess) r = WriteMemos();
    if (r == Result::kSuccess) r = dbf_->Write(recno_, row_.data());
    if (r != Result::kSuccess) return r;
    stored_ = row_;
    changed_ = false;
    for (auto& m : memo_pending_) m.reset();
    r = ApplyTags(recno_);
    if (Recovered(r)) r = Result::kSuccess;  // the rebuilt index holds the row as written
    PlaceAfterWrite();
    return r;
}

// --- Public operations -------------------------------------------------------------

Result TableImpl::SelectTag(std::string_view name) {
    if (!dbf_) return Result::kErrorOpen;
    if (name.empty()) {
        tag_ = -1;
        tag_name_.clear();
        pos_known_ = false;
        return Result::kSuccess;
    }
    if (!index_) return Result::kNoIndex;
    if (tag_ >= 0 && name == tag_name_) return Result::kSuccess;
    int tag = index_->FindTag(name);
    if (tag < 0) return Result::kNoTag;
    if (tag != tag_) pos_known_ = false;
    tag_ = tag;
    tag_name_ = std::string(name);
    return Result::kSuccess;
}

// Runs one step of a walk in the selected tag and puts the cursor on the
// entry it arrives at.
template <typename Step>
Result TableImpl::Walk(const Step& step) {
    auto run = [&] {
        Result r = step(index_->tree(static_cast<size_t>(tag_)));
        // An entry naming a row the table does not have: the index is out of step.
        if (r == Result::kSuccess && (pos_.row == 0 || pos_.row > dbf_->record_count())) r = Result::kErrorData;
        return r;
    };
    Result r = run();
    if (Recovered(r)) r = run();
    if (r == Result::kEof) {
        SetEof();
        return Result::kEof;
    }
    if (r != Result::kSuccess) return r;
    MoveTo(pos_.row);
    pos_known_ = true;
    return Result::kSuccess;
}

Result TableImpl::Top() {
    Operation op(this, changed_);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (tag_ < 0) {
        if (dbf_->record_count() == 0) {
            SetEof();
            return Result::kEof;
        }
        MoveTo(1);
        return Result::kSuccess;
    }
    return Walk([this](BTree& tree) { return tree.First(&pos_); });
}

Result TableImpl::Bottom() {
    Operation op(this, changed_);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (tag_ < 0) {
        if (dbf_->record_count() == 0) {
            SetEof();
            return Result::kEof;
        }
        MoveTo(dbf_->record_count());
        return Result::kSuccess;
    }
    return Walk([this](BTree& tree) { return tree.Last(&pos_); });
}

Result TableImpl::Go(uint32_t row) {
    Operation op(this, changed_);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (row == 0 || row > dbf_->record_count()) return Result::kErrorRecord;
    MoveTo(row);
    pos_known_ = false;
    return Result::kSuccess;
}

Result TableImpl::Skip() {
    Operation op(this, changed_);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (recno_ == 0) return Result::kEof;
    if (tag_ < 0) {
        if (recno_ >= dbf_->record_count()) {
            SetEof();
            return Result::kEof;
        }
        MoveTo(recno_ + 1);
        return Result::kSuccess;
    }
    if (!pos_known_) {
        // Where the row's key sorts (it may not be in the tag at all).
        r = EnsureLoaded();
        if (r != Result::kSuccess) return r;
        pos_ = TreePosition();
        pos_.at_end = false;
        index_->tag(tag_).key.BuildKey(stored_.data(), recno_, &pos_.key);
        pos_.row = recno_;
    }
    return Walk([this](BTree& tree) { return tree.Next(&pos_); });
}

Result TableImpl::SeekKey(std::string_view key) {
    const size_t length = static_cast<size_t>(index_->tag(tag_).key.key_length());
    int beyond = 0;  // how the part of a too-long key past the key length compares to blanks
    if (key.size() > length) {
        for (char c : key.substr(length)) {
            if (c != ' ') {
                beyond = static_cast<unsigned char>(c) < ' ' ? -1 : 1;
                break;
            }
        }
        key = key.substr(0, length);
    }
    const std::string_view sought = key;
    Result r = Walk([&](BTree& tree) {
        if (beyond <= 0) return tree.LowerBound(sought, &pos_);
        // Greater than every entry sharing the key: the one after them all.
        std::string full(sought);
        full.resize(length, ' ');
        return tree.After(full, UINT32_MAX, &pos_);
    });
    if (r != Result::kSuccess) return r;
    const bool exact = beyond == 0 && pos_.key.compare(0, sought.size(), sought) == 0;
    return exact ? Result::kSuccess : Result::kFoundAfter;
}

Result TableImpl::Seek(std::string_view key) {
    Operation op(this, changed_);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (tag_ < 0 || !index_) return Result::kNoTag;
    if (index_->tag(tag_).key.type() == ValueType::kNumeric) {
        const std::string_view text = platform::TrimView(key);
        if (!text.empty() && !IsNumberText(text)) return Result::kErrorExpression;
        return SeekKey(NumberKey(ParseNumber(text)));
    }
    return SeekKey(key);
}

Result TableImpl::SeekNumber(double value) {
    Operation op(this, changed_);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    if (tag_ < 0 || !index_) return Result::kNoTag;
    const KeyExpression& key = index_->tag(tag_).key;
    if (key.type() == ValueType::kNumeric) return SeekKey(NumberKey(value));
    // A character tag holds numbers as STR() writes them.
    if (!(std::fabs(value) < 1e18)) return Result::kErrorExpression;
    std::string text = std::to_string(std::llround(value));
    const size_t width = std::min<size_t>(static_cast<size_t>(key.key_length()), 10);
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return SeekKey(text);
}

int TableImpl::FieldIndex(std::string_view name) const {
    if (!dbf_) return -1;
    const auto& columns = dbf_->columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (platform::EqualsIgnoreCase(columns[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

const ColumnLayout* TableImpl::Column(int field) const {
    if (!dbf_ || field < 0 || static_cast<size_t>(field) >= dbf_->columns().size()) return nullptr;
    return &dbf_->columns()[static_cast<size_t>(field)];
}

std::string TableImpl::ReadText(int field) const {
    const ColumnLayout* c = Column(field);
    if (!c || Eof()) return std::string();
    EnsureLoaded();
    if (c->type == 'M') {
        const auto& pending = memo_pending_[static_cast<size_t>(field)];
        if (pending) return *pending;
        std::string text;
        if (!memo_) return text;
        const bool lock = !exclusive_ && dbf_->LockRange(false);
        memo_->Read(MemoBlock(&row_[c->offset]), &text);
        if (lock) dbf_->UnlockRange();
        return text;
    }
    return std::string(ReadTextView(field));
}

std::string_view TableImpl::ReadTextView(int field) const {
    const ColumnLayout* c = Column(field);
    if (!c || c->type == 'M' || Eof()) return std::string_view();
    EnsureLoaded();
    const char* text = reinterpret_cast<const char*>(&row_[c->offset]);
    if (c->type == 'N') return platform::TrimView(std::string_view(text, c->width));
    return platform::TrimRightBlanks(std::string_view(text, static_cast<size_t>(c->width)));
}

long long TableImpl::ReadNumber(int field) const {
    const ColumnLayout* c = Column(field);
    if (!c || Eof()) return 0;
    if (c->type == 'M') return platform::LeadingInteger(ReadText(field));
    EnsureLoaded();
    return platform::LeadingInteger(std::string_view(reinterpret_cast<const char*>(&row_[c->offset]), c->width));
}

void TableImpl::SetField(const ColumnLayout& c, std::string_view text, bool right_aligned) {
    uint8_t* field = &row_[c.offset];
    std::memset(field, ' ', c.width);
    const size_t at = right_aligned ? c.width - text.size() : 0;
    if (!text.empty()) std::memcpy(field + at, text.data(), text.size());
    changed_ = true;
}

Result TableImpl::WriteText(int field, std::string_view text) {
    const ColumnLayout* c = Column(field);
    if (!dbf_) return Result::kErrorOpen;
    if (!c) return Result::kErrorField;
    if (Eof()) return Result::kEof;
    Result r = EnsureLoaded();
    if (r != Result::kSuccess) return r;
    if (c->type == 'M') {
        memo_pending_[static_cast<size_t>(field)] = std::string(text);
        changed_ = true;
        return Result::kSuccess;
    }
    if (c->type == 'N') {
        text = platform::TrimView(text);
        if ((!text.empty() && !IsNumberText(text)) || text.size() > static_cast<size_t>(c->width)) {
            return Result::kErrorField;
        }
        SetField(*c, text, true);
        return Result::kSuccess;
    }
    SetField(*c, platform::CutUtf8(text, static_cast<size_t>(c->width)), false);
    return Result::kSuccess;
}

Result TableImpl::WriteNumber(int field, long long value) {
    const ColumnLayout* c = Column(field);
    if (!dbf_) return Result::kErrorOpen;
    if (!c || c->type == 'M') return Result::kErrorField;
    if (Eof()) return Result::kEof;
    Result r = EnsureLoaded();
    if (r != Result::kSuccess) return r;
    char text[kMaxIntegerText];
    const size_t n = FormatInteger(value, text);
    if (n > static_cast<size_t>(c->width)) return Result::kErrorField;
    SetField(*c, std::string_view(text, n), true);
    return Result::kSuccess;
}

bool TableImpl::IsDeleted() const {
    if (Eof()) return false;
    EnsureLoaded();
    return row_[0] == '*';
}

Result TableImpl::AppendStart() {
    Operation op(this, changed_);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    SetEof();
    appending_ = true;
    return Result::kSuccess;
}

Result TableImpl::Append() {
    Operation op(this, true);
    Result r = op.result();
    if (r != Result::kSuccess) return r;
    if (!appending_) return Result::kErrorRecord;
    const uint32_t recno = dbf_->record_count() + 1;
    r = PlanTags(nullptr, recno, row_.data());
    if (Recovered(r)) r = PlanTags(nullptr, recno, row_.data());
    if (r != Result::kSuccess) return r;
    std::fill(stored_.begin(), stored_.end(), ' ');  // no memo blocks to reuse
    r = Modify();
    if (r == Result::kSuccess) r = WriteMemos();
    if (r == Result::kSuccess) r = dbf_->Append(row_.data());
    if (r != Result::kSuccess) return r;
    appending_ = false;
    recno_ = recno;
    stored_ = row_;
    loaded_ = true;
    changed_ = false;
    for (auto& m : memo_pending_) m.reset();
    r = ApplyTags(recno);
    if (Recovered(r)) r = Result::kSuccess;
    PlaceAfterWrite();
    Result finish = op.Finish();
    return r != Result::kSuccess ? r : finish;
}

Result TableImpl::Update() {
    if (appending_) return Append();
    Operation op(this, true);
    Result r = op.result();
    if (r != Result::kSuccess) return r;
    if (recno_ == 0) return Result::kEof;
    if (!changed_) return Result::kSuccess;
    r = WriteRow();
    if (r == Result::kDuplicate) RevertRow();
    Result finish = op.Finish();
    return r != Result::kSuccess ? r : finish;
}

Result TableImpl::SetDeleted(bool deleted) {
    if (appending_) {
        row_[0] = deleted ? '*' : ' ';
        return Result::kSuccess;
    }
    Operation op(this, true);
    Result r = op.result();
    if (r != Result::kSuccess) return r;
    if (recno_ == 0) return Result::kEof;
    r = EnsureLoaded();
    if (r != Result::kSuccess) return r;
    row_[0] = deleted ? '*' : ' ';
    changed_ = true;
    r = WriteRow();
    if (r != Result::kSuccess) RevertRow();
    Result finish = op.Finish();
    return r != Result::kSuccess ? r : finish;
}

Result TableImpl::Zap() {
    Operation op(this, true);
    Result r = op.result();
    if (r != Result::kSuccess) return r;
    SetEof();
    r = Modify();
    if (r == Result::kSuccess) r = dbf_->Truncate();
    if (r == Result::kSuccess) r = dbf_->Flush();
    if (r == Result::kSuccess && memo_) r = memo_->Reset();
    if (r == Result::kSuccess && index_) r = RebuildIndex();
    Result finish = op.Finish();
    return r != Result::kSuccess ? r : finish;
}

Result TableImpl::Pack() {
    Operation op(this, true);
    Result r = op.result();
    if (r == Result::kSuccess) r = SettleRow();
    if (r != Result::kSuccess) return r;
    SetEof();
    r = Modify();
    if (r == Result::kSuccess) r = dbf_->Compact([](const uint8_t* record) { return record[0] != '*'; });
    if (r == Result::kSuccess && index_) r = RebuildIndex();
    Result finish = op.Finish();
    return r != Result::kSuccess ? r : finish;
}

}  // namespace

// --- Opening -------------------------------------------------------------------------

std::unique_ptr<Table> Table::Open(const std::string& path, Access access, Result* result,
                                   const TableOptions& options) {
    std::unique_ptr<DbfFile> dbf;
    *result = DbfFile::Open(path + ".DBF", access == Access::kExclusive, options.row_cache_bytes, &dbf);
    if (*result != Result::kSuccess) return nullptr;
    std::unique_ptr<MemoFile> memo;
    if (dbf->has_memo()) {
        *result = MemoFile::Open(path + ".FPT", &memo);
        if (*result != Result::kSuccess) return nullptr;
    }
    return std::make_unique<TableImpl>(path, access, options, std::move(dbf), std::move(memo));
}

std::unique_ptr<Table> Table::Create(const std::string& path, const std::vector<FieldDef>& fields, Access access,
                                     Result* result, const TableOptions& options) {
    // The memo file first: a data file that exists always has the memo file
    // its columns need, whenever a process creating them was stopped.
    uint32_t record_length = 0;
    bool memo_columns = false;
    *result = DbfFile::CheckFields(fields, &record_length, &memo_columns);
    if (*result == Result::kSuccess) *result = DbfFile::CheckReplaceable(path + ".DBF");
    if (*result != Result::kSuccess) return nullptr;
    std::unique_ptr<MemoFile> memo;
    if (memo_columns) {
        *result = MemoFile::Create(path + ".FPT", &memo);
        if (*result != Result::kSuccess) return nullptr;
    }
    std::unique_ptr<DbfFile> dbf;
    *result = DbfFile::Create(path + ".DBF", fields, access == Access::kExclusive,
                              options.row_cache_bytes, &dbf);
    if (*result != Result::kSuccess) return nullptr;
    // The old index and memo file describe the old table.
    platform::RemoveFile(path + ".CDX");
    if (!memo_columns) platform::RemoveFile(path + ".FPT");
    return std::make_unique<TableImpl>(path, access, options, std::move(dbf), std::move(memo));
}

}  // namespace fw::xbase
