#include "app/views/grab_url_model.h"

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

bool GrabUrlModel::Remove(int32_t id) {
    const auto found = row_of_.constFind(id);
    if (found == row_of_.constEnd()) return false;
    const int row = found.value();
    beginRemoveRows(QModelIndex(), row, row);
    rows_.erase(rows_.begin() + row);
    row_of_.erase(found);
    for (size_t i = static_cast<size_t>(row); i < rows_.size(); ++i) {
        row_of_[rows_[i].id] = static_cast<int>(i);
    }
    endRemoveRows();
    return true;
}

void GrabUrlModel::Clear() {
    beginResetModel();
    rows_.clear();
    row_of_.clear();
    endResetModel();
}

void GrabUrlModel::SetState(int32_t id, const QString& status, int32_t bytes) {
    const auto found = row_of_.constFind(id);
    if (found == row_of_.constEnd()) return;
    Row& row = rows_[static_cast<size_t>(found.value())];
    row.status = status;
    if (bytes != 0) row.bytes = QString::number(bytes);
    emit dataChanged(index(found.value(), kStatus), index(found.value(), kBytes));
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
