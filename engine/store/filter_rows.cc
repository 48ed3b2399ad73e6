// ZQFILTER rows: the stored entries of filter sets.
#include "engine/store/columns.h"
#include "engine/store/project_store.h"

namespace fw {

using xbase::Result;

std::vector<StoredFilter> ProjectStore::LoadFilterRows(int32_t filter_id) {
    Guard guard = Lock();
    std::vector<StoredFilter> rows;
    if (!open_ || filter_id < 0) return rows;
    auto& f = T(TableId::kFilter);
    if (f.Seek(Key10(filter_id)) == Result::kEof) return rows;
    while (!f.Eof() && f.Number(col_->f_id) == filter_id) {
        StoredFilter row;
        row.row = f.RecNo();
        const std::string type = f.Text(col_->f_type);
        row.type = type.empty() ? ' ' : type[0];
        row.text = f.Text(col_->f_filter);
        rows.push_back(std::move(row));
        if (f.Skip() != Result::kSuccess) break;
    }
    return rows;
}

int32_t ProjectStore::NextFilterId() {
    Guard guard = Lock();
    return next_filter_id_++;
}

uint32_t ProjectStore::AppendFilterRow(int32_t filter_id, char type, std::string_view text) {
    Guard guard = Lock();
    if (!open_) return 0;
    auto& f = T(TableId::kFilter);
    f.AppendStart();
    f.SetNumber(col_->f_id, filter_id);
    f.SetText(col_->f_type, std::string(1, type));
    f.SetText(col_->f_filter, text);
    if (f.Append() != Result::kSuccess) return 0;
    return f.RecNo();
}

bool ProjectStore::RewriteFilterRow(uint32_t row, int32_t filter_id, char type,
                                    std::string_view text) {
    Guard guard = Lock();
    if (!open_) return false;
    auto& f = T(TableId::kFilter);
    if (f.Go(row) != Result::kSuccess) return false;
    f.SetNumber(col_->f_id, filter_id);
    f.SetText(col_->f_type, std::string(1, type));
    f.SetText(col_->f_filter, text);
    return f.Update() == Result::kSuccess;
}

bool ProjectStore::DeleteFilterRow(uint32_t row) {
    Guard guard = Lock();
    if (!open_) return false;
    auto& f = T(TableId::kFilter);
    return f.Go(row) == Result::kSuccess && f.Delete() == Result::kSuccess;
}

}  // namespace fw
