// SearchResultModel: the pages a search of the copy found, best first, with
// their title, URL and local file, shown in the list pane until another URL
// is selected in the tree.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "app/core/copy_search.h"

namespace corvalin {

class SearchResultModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kTitle = 0, kUrl = 1, kFile = 2, kColumns = 3 };
    static constexpr int kIdRole = Qt::UserRole + 1;

    explicit SearchResultModel(QObject* parent) : QAbstractTableModel(parent) {}

    void SetHits(std::vector<CopySearchHit> hits);
    const CopySearchHit* HitAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    std::vector<CopySearchHit> hits_;
};

}  // namespace corvalin
