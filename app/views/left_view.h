// CLeftView: the left pane, the URL tree. The start URLs form the top
// level (a start URL is renamed in place: its display title); pages that
// lead further appear below them when a node is first expanded. Selecting a
// URL tells the list which children to show.
#pragma once

#include <QTreeView>
#include <cstdint>

namespace corvalin {

class CMainFrame;
class CPagewellDoc;
class UrlTreeModel;

class CLeftView : public QTreeView {
    Q_OBJECT
  public:
    CLeftView(CPagewellDoc* doc, CMainFrame* frame, QWidget* parent);

    // Rebuilds the tree from the engine, clears the document's selection and
    // tells the other views (hint 1).
    void Refresh();
    // A notice from the document (ViewHint): hint 2 appends the URL added.
    void OnUpdate(int hint);
    // Each time a project is opened or closed.
    void OnInitialUpdate() { Refresh(); }

    UrlTreeModel* tree_model() const { return model_; }
    // The selected URL (-1: none) and whether it is a start URL.
    int32_t selected_id() const;
    bool selection_is_start_url() const;
    bool has_items() const;
    // Re-reads the label of the selected start URL (its title changed).
    void ReloadSelectedLabel();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

  private:
    CPagewellDoc* doc_;
    CMainFrame* frame_;
    UrlTreeModel* model_;
    bool filling_ = false;  // selection notices are ignored while filling
};

}  // namespace corvalin
