// UrlListModel: the files below the URL selected in the tree, for
// CPagewellView: every child of that URL (pages and files alike), or for a
// start URL limited to file types the files downloaded below it, by name.
// Columns "Title", "Skip" ("S" for a URL whose links are not followed) and
// "URL"; sorted by one column at a time, ignoring letter case.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <vector>

#include "app/core/url_labels.h"
#include "engine/interface/fetchwell.h"

namespace corvalin {

class CPagewellDoc;

class UrlListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kTitle = 0, kSkip = 1, kUrl = 2, kColumns = 3 };
    static constexpr int kIdRole = Qt::UserRole + 1;

    UrlListModel(CPagewellDoc* doc, QObject* parent);

    // The rows of `url_id`'s children (none for -1 or without a project),
    // sorted by title, ascending.
    void Fill(int32_t url_id);
    void Clear();

    int32_t IdAt(int row) const;
    int RowOf(int32_t id) const;  // -1 when not listed
    // The "Skip" cell of a row after "Skip URL".
    void SetSkip(int row, bool skip);
    int sort_column() const { return sort_column_; }
    Qt::SortOrder sort_order() const { return sort_order_; }

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The "Skip" column does not sort.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  private:
    struct Row {
        int32_t id = 0;
        QString label;
        bool skip = false;
        QString url;
        UrlImage image = UrlImage::kNotGrabbed;
    };
    QString Text(const Row& row, int column) const;
    // Reads one URL into a row; `file_name`: labelled by the name in its URL.
    fw::HRESULT AddRow(fw::IDizozizUrl* url, bool file_name);

    CPagewellDoc* doc_;
    std::vector<Row> rows_;
    int sort_column_ = kTitle;
    Qt::SortOrder sort_order_ = Qt::AscendingOrder;
};

}  // namespace corvalin
