// UrlTreeModel: the project's URL tree for CLeftView. The start URLs form the
// top level; below each URL are the pages that lead further, read from the
// engine the first time the node is expanded (canFetchMore / fetchMore), so a
// project of 100,000 URLs opens as fast as one of ten. The model keeps only
// what the tree shows: id, label, grabbed, and whether a node may have
// children.
#pragma once

#include <QAbstractItemModel>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvalin {

class CPagewellDoc;

class UrlTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    static constexpr int kIdRole = Qt::UserRole + 1;
    static constexpr int kMaxTitle = 200;  // characters of a new display title

    UrlTreeModel(CPagewellDoc* doc, QObject* parent);
    ~UrlTreeModel() override;

    // Reads the start URLs again; every node below them is forgotten.
    void Fill();
    // Appends a start URL at the end of the top level (a URL was added).
    void AppendStartUrl(int32_t id);

    int32_t IdOf(const QModelIndex& index) const;
    bool IsStartUrl(const QModelIndex& index) const {
        return index.isValid() && !index.parent().isValid();
    }
    // Reads the label of a start URL again from the engine.
    void ReloadLabel(const QModelIndex& index);

    // QAbstractItemModel
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    struct Node;
    Node* NodeOf(const QModelIndex& index) const;
    std::unique_ptr<Node> MakeNode(int32_t id, bool start_url, Node* parent) const;
    // The children a node shows: HTML pages that have children of their own,
    // sorted by label. None for a start URL limited to file types.
    std::vector<std::unique_ptr<Node>> ReadChildren(Node* node) const;

    CPagewellDoc* doc_;
    std::unique_ptr<Node> root_;
};

}  // namespace corvalin
