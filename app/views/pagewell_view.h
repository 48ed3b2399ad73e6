// CPagewellView: the right pane, the files below the URL selected in the
// tree (UrlListModel), or the pages a search of the copy found
// (SearchResultModel). Four ways to show them, as the View menu chooses:
// large icons, small icons, a list, or details with the columns "Title",
// "Skip" and "URL", sorted by a click on a column's header.
#pragma once

#include <QStackedWidget>
#include <cstdint>
#include <vector>

#include "app/core/commands.h"
#include "app/core/copy_search.h"

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTreeView;

namespace corvalin {

class CMainFrame;
class CPagewellDoc;
class SearchResultModel;
class UrlListModel;

class CPagewellView : public QStackedWidget {
    Q_OBJECT
  public:
    CPagewellView(CPagewellDoc* doc, CMainFrame* frame, QWidget* parent);

    // Hint 1 (the tree's selection changed): the children of the document's
    // selected URL.
    void OnUpdate(int hint);
    void OnInitialUpdate();

    void SetMode(ListMode mode);
    ListMode mode() const { return mode_; }
    void ArrangeIcons();

    // The pages a search found, until the tree's selection changes.
    void ShowSearchResults(std::vector<CopySearchHit> hits);
    bool showing_search_results() const { return showing_search_; }

    // The selected URL (-1: none).
    int32_t selected_id() const;
    bool has_selection() const { return selected_id() >= 0; }

    QAbstractItemView* current_view() const;
    UrlListModel* list_model() const { return list_model_; }
    SearchResultModel* search_model() const { return search_model_; }
    QTreeView* details_view() const { return details_; }
    QListView* icon_view() const { return icons_; }

    // A click on a column's header in the details: sorts by it (the "Skip"
    // column does not sort); the same column again reverses the direction.
    void SortByColumn(int column);
    // Opens a row as a double click does.
    void OpenRow(int row);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UseModel(bool search_results);
    void ShowMenu(QAbstractItemView* view, const QPoint& pos);
    void SizeColumns();

    CPagewellDoc* doc_;
    CMainFrame* frame_;
    UrlListModel* list_model_;
    SearchResultModel* search_model_;
    QListView* icons_;  // large icons, small icons, list
    QTreeView* details_;
    QItemSelectionModel* selection_ = nullptr;  // shared by both views
    ListMode mode_ = ListMode::kList;
    bool showing_search_ = false;
    bool columns_sized_ = false;
};

}  // namespace corvalin
