#include "app/views/search_result_model.h"

#include "app/icons.h"

namespace corvalin {

void SearchResultModel::SetHits(std::vector<CopySearchHit> hits) {
    beginResetModel();
    hits_ = std::move(hits);
    endResetModel();
}

const CopySearchHit* SearchResultModel::HitAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < hits_.size() ? &hits_[static_cast<size_t>(row)]
                                                               : nullptr;
}

int SearchResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(hits_.size());
}

int SearchResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const {
    const CopySearchHit* hit = HitAt(index.row());
    if (!index.isValid() || !hit) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case kTitle:
                    return QString::fromStdString(hit->title.empty() ? hit->url : hit->title);
                case kUrl:
                    return QString::fromStdString(hit->url);
                case kFile:
                    return QString::fromStdString(hit->file);
                default:
                    return QVariant();
            }
        case Qt::DecorationRole:
            return index.column() == kTitle ? QVariant(UrlIcon(UrlImage::kGrabbed)) : QVariant();
        case Qt::ToolTipRole:
            return QString::fromStdString(hit->url);
        case kIdRole:
            return hit->id;
        default:
            return QVariant();
    }
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const kNames[] = {"Title", "URL", "Local file"};
    return section >= 0 && section < kColumns ? QVariant(kNames[section]) : QVariant();
}

Qt::ItemFlags SearchResultModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace corvalin
