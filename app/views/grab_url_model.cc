#include "app/views/grab_url_model.h"

#include <algorithm>

namespace corvalin {

bool GrabUrlModel::Add(int32_t id) {
    if (row_of_.contains(id)) return false;
    const int row = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), row, row);
    rows_.push_back({id, QString::number(id), QString(), QString(), QString()});
    row_of_.insert(id, row);
    endInsertRows();
    return true;
}

void GrabUrlModel::Describe(int32_t id, const QString& url, int32_t level) {
    const auto found = row_of_.constFind(id);
    if (found == row_of_.constEnd()) return;
    Row& row = rows_[static_cast<size_t>(found.value())];
    if (!url.isEmpty()) row.url = url;
    row.level = QString::number(level + 1);
    emit dataChanged(index(found.value(), kUrl), index(found.value(), kLevel));
}

int GrabUrlModel::Remove(const QSet<int32_t>& ids) {
    int removed = 0;
    int first_changed = static_cast<int>(rows_.size());
    // From the last row up, a run of neighbouring rows at a time.
    int row = static_cast<int>(rows_.size()) - 1;
    while (row >= 0) {
        if (!ids.contains(rows_[static_cast<size_t>(row)].id)) {
            --row;
            continue;
        }
        const int last = row;
        while (row > 0 && ids.contains(rows_[static_cast<size_t>(row - 1)].id)) --row;
        beginRemoveRows(QModelIndex(), row, last);
        for (int gone = row; gone <= last; ++gone)
            row_of_.remove(rows_[static_cast<size_t>(gone)].id);
        rows_.erase(rows_.begin() + row, rows_.begin() + last + 1);
        endRemoveRows();
        removed += last - row + 1;
        first_changed = row;
        --row;
    }
    // Only the rows below the first one removed moved up.
    for (size_t i = static_cast<size_t>(first_changed); i < rows_.size(); ++i) {
        row_of_[rows_[i].id] = static_cast<int>(i);
    }
    return removed;
}

void GrabUrlModel::Clear() {
    beginResetModel();
    rows_.clear();
    row_of_.clear();
    endResetModel();
}

void GrabUrlModel::SetStates(const std::vector<RowState>& states) {
    int first = -1, last = -1;
    for (const RowState& state : states) {
        const auto found = row_of_.constFind(state.id);
        if (found == row_of_.constEnd()) continue;
        Row& row = rows_[static_cast<size_t>(found.value())];
        const QString bytes = state.bytes != 0 ? QString::number(state.bytes) : row.bytes;
        if (row.status == state.status && row.bytes == bytes) continue;
        row.status = state.status;
        row.bytes = bytes;
        first = first < 0 ? found.value() : std::min(first, found.value());
        last = std::max(last, found.value());
    }
    if (first >= 0) emit dataChanged(index(first, kStatus), index(last, kBytes));
}

std::vector<int32_t> GrabUrlModel::ids() const {
    std::vector<int32_t> ids;
    ids.reserve(rows_.size());
    for (const Row& row : rows_) ids.push_back(row.id);
    return ids;
}

int GrabUrlModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GrabUrlModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant GrabUrlModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole ||
        static_cast<size_t>(index.row()) >= rows_.size()) {
        return QVariant();
    }
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (index.column()) {
        case kUrl:
            return row.url;
        case kStatus:
            return row.status;
        case kBytes:
            return row.bytes;
        case kLevel:
            return row.level;
        default:
            return QVariant();
    }
}

QVariant GrabUrlModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const kNames[] = {"URL", "Status", "Bytes", "Level"};
    return section >= 0 && section < kColumns ? QVariant(kNames[section]) : QVariant();
}

}  // namespace corvalin
