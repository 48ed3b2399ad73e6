// GrabUrlModel: the rows of the grab window, one per URL being fetched:
// "URL", "Status", "Bytes", "Level". A row comes with the engine's
// OnGrabUrlNew and goes with its OnGrabUrlDone; the window's tick fills in
// the state and the bytes received.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <cstdint>
#include <vector>

namespace corvalin {

class GrabUrlModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kUrl = 0, kStatus = 1, kBytes = 2, kLevel = 3, kColumns = 4 };

    explicit GrabUrlModel(QObject* parent) : QAbstractTableModel(parent) {}

    // A row for `id`, showing the id until Describe gives its URL. A second
    // row for the same id is not made; false then.
    bool Add(int32_t id);
    // The row's URL text and level (shown plus one).
    void Describe(int32_t id, const QString& url, int32_t level);
    bool Contains(int32_t id) const { return row_of_.contains(id); }
    // Removes the rows of `ids` (those that have one) in one pass, so a fast
    // grab's many ends cost one sweep per delivery. Returns how many went.
    int Remove(const QSet<int32_t>& ids);
    // False when there was no row for `id`.
    bool Remove(int32_t id) { return Remove(QSet<int32_t>{id}) == 1; }
    void Clear();
    // The tick's reading of the rows; `bytes` 0 leaves the cell as it was.
    // One change notice covers every row that changed.
    struct RowState {
        int32_t id = 0;
        QString status;
        int32_t bytes = 0;
    };
    void SetStates(const std::vector<RowState>& states);

    std::vector<int32_t> ids() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Row {
        int32_t id = 0;
        QString url;
        QString status;
        QString bytes;
        QString level;
    };
    std::vector<Row> rows_;
    QHash<int32_t, int> row_of_;  // id -> row
};

}  // namespace corvalin
