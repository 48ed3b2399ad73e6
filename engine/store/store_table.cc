#include "engine/store/store_table.h"

#include <algorithm>
#include <cstdio>

#include "engine/store/xbase/key_expression.h"
#include "engine/support/log.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

using xbase::Result;

namespace {

bool Quiet(Result r, std::initializer_list<Result> expected) {
    for (Result e : expected) {
        if (r == e) return true;
    }
    return r == Result::kSuccess;
}

}  // namespace

std::string Key10(long long value) {
    char text[xbase::kMaxIntegerText];
    const size_t n = xbase::FormatInteger(value, text);
    std::string key(n < 10 ? 10 - n : 0, ' ');
    key.append(text, n);
    return key;
}

std::string_view PaddedKey(std::string_view text, std::span<char> buffer) {
    const std::string_view cut = platform::CutUtf8(text, buffer.size());
    std::copy(cut.begin(), cut.end(), buffer.begin());
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(cut.size()), buffer.end(), ' ');
    return {buffer.data(), buffer.size()};
}

bool StoreTable::Open(const std::string& dir, bool exclusive) {
    const auto access = exclusive ? xbase::Access::kExclusive : xbase::Access::kShared;
    const std::string path = dir + schema_.name;
    Result r = Result::kSuccess;
    bool created = false;
    if (platform::FileExists(path + ".DBF")) {
        table_ = xbase::Table::Open(path, access, &r);
    } else {
        table_ = xbase::Table::Create(path, schema_.fields, access, &r);
        created = true;
    }
    if (!table_) {
        LogFailure(created ? "create" : "open", r);
        return false;
    }
    if (!created) r = table_->OpenIndex();
    if (created || r != Result::kSuccess) r = table_->CreateIndex(schema_.tags);
    if (r != Result::kSuccess) {
        LogFailure("index", r);
        table_.reset();
        return false;
    }
    return true;
}

bool StoreTable::Recreate(const std::string& dir, bool exclusive) {
    Close();
    const std::string path = dir + schema_.name;
    platform::RemoveFile(path + ".CDX");
    platform::RemoveFile(path + ".DBF");
    platform::RemoveFile(path + ".FPT");
    return Open(dir, exclusive);
}

void StoreTable::Close() {
    if (table_) table_->Close();
    table_.reset();
}

void StoreTable::LogFailure(const char* op, Result result) const {
    char code[16];
    std::snprintf(code, sizeof code, "(%d)", static_cast<int>(result));
    LogMessage(std::string("ZQCB<") + schema_.name + ">::" + op + " " + xbase::ResultName(result) +
               code);
}

Result StoreTable::SelectTag(std::string_view tag) {
    Result r = table_->SelectTag(tag);
    if (r != Result::kSuccess) LogFailure("SelectTag", r);
    return r;
}

Result StoreTable::Top() {
    Result r = table_->Top();
    if (!Quiet(r, {Result::kEof})) LogFailure("Top", r);
    return r;
}

Result StoreTable::Bottom() {
    Result r = table_->Bottom();
    if (!Quiet(r, {Result::kEof})) LogFailure("Bottom", r);
    return r;
}

Result StoreTable::Go(uint32_t row) {
    Result r = table_->Go(row);
    if (!Quiet(r, {})) LogFailure("Go", r);
    return r;
}

Result StoreTable::Skip() {
    Result r = table_->Skip();
    if (!Quiet(r, {Result::kEof})) LogFailure("Skip", r);
    return r;
}

Result StoreTable::Seek(std::string_view key) {
    Result r = table_->Seek(key);
    if (!Quiet(r, {Result::kFoundAfter, Result::kEof})) LogFailure("Seek(const char *)", r);
    return r;
}

Result StoreTable::SeekNumber(double key) {
    Result r = table_->SeekNumber(key);
    if (!Quiet(r, {Result::kFoundAfter, Result::kEof})) LogFailure("Seek(double)", r);
    return r;
}

Result StoreTable::AppendStart() {
    Result r = table_->AppendStart();
    if (!Quiet(r, {})) LogFailure("appendStart", r);
    return r;
}

Result StoreTable::Append() {
    Result r = table_->Append();
    if (!Quiet(r, {Result::kDuplicate})) LogFailure("append", r);
    return r;
}

Result StoreTable::Update() {
    Result r = table_->Update();
    if (!Quiet(r, {Result::kFoundAfter, Result::kEof})) LogFailure("tagSync", r);
    return r;
}

Result StoreTable::Delete() {
    Result r = table_->Delete();
    if (!Quiet(r, {})) LogFailure("delete", r);
    return r;
}

Result StoreTable::Undelete() {
    Result r = table_->Undelete();
    if (!Quiet(r, {})) LogFailure("recall", r);
    return r;
}

Result StoreTable::Flush() {
    Result r = table_->Flush();
    if (!Quiet(r, {})) LogFailure("flush", r);
    return r;
}

Result StoreTable::PendingEdits(std::vector<xbase::FileEdits>* out) {
    Result r = table_->PendingEdits(out);
    if (r != Result::kSuccess) LogFailure("commit", r);
    return r;
}

Result StoreTable::Zap() {
    Result r = table_->Zap();
    if (!Quiet(r, {})) LogFailure("zap", r);
    return r;
}

Result StoreTable::Pack() {
    Result r = table_->Pack();
    if (!Quiet(r, {})) LogFailure("pack", r);
    return r;
}

void StoreTable::SetText(int field, std::string_view text) {
    Result r = table_->WriteText(field, text);
    if (!Quiet(r, {})) LogFailure("assign", r);
}

void StoreTable::SetNumber(int field, long long value) {
    Result r = table_->WriteNumber(field, value);
    if (!Quiet(r, {})) LogFailure("assignLong", r);
}

}  // namespace fw
