#include "app/views/pagewell_view.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QHeaderView>
#include <QListView>
#include <QTreeView>

#include "app/core/launch.h"
#include "app/core/pagewell_doc.h"
#include "app/main_frame.h"
#include "app/views/drop_target.h"
#include "app/views/search_result_model.h"
#include "app/views/url_list_model.h"

namespace corvalin {

CPagewellView::CPagewellView(CPagewellDoc* doc, CMainFrame* frame, QWidget* parent)
    : QStackedWidget(parent),
      doc_(doc),
      frame_(frame),
      list_model_(new UrlListModel(doc, this)),
      search_model_(new SearchResultModel(this)),
      icons_(new QListView(this)),
      details_(new QTreeView(this)) {
    setObjectName("UrlList");
    icons_->setObjectName("UrlIcons");
    details_->setObjectName("UrlDetails");
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(true);
    details_->header()->setSortIndicator(UrlListModel::kTitle, Qt::AscendingOrder);
    connect(details_->header(), &QHeaderView::sectionClicked, this, &CPagewellView::SortByColumn);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { ShowMenu(view, pos); });
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { OpenRow(index.row()); });
        new DropTarget(frame, view->viewport());
        addWidget(view);
    }
    details_->viewport()->installEventFilter(this);
    UseModel(false);
    SetMode(ListMode::kList);
}

bool CPagewellView::eventFilter(QObject* watched, QEvent* event) {
    // The details get their real width when they are first laid out shown.
    if (watched == details_->viewport() && event->type() == QEvent::Resize) SizeColumns();
    return QStackedWidget::eventFilter(watched, event);
}

void CPagewellView::UseModel(bool search_results) {
    showing_search_ = search_results;
    QAbstractItemModel* model = search_results ? static_cast<QAbstractItemModel*>(search_model_)
                                               : static_cast<QAbstractItemModel*>(list_model_);
    QItemSelectionModel* old = selection_;
    selection_ = new QItemSelectionModel(model, this);
    icons_->setModel(model);
    details_->setModel(model);
    icons_->setSelectionModel(selection_);
    details_->setSelectionModel(selection_);
    connect(selection_, &QItemSelectionModel::currentChanged, frame_, &CMainFrame::UpdateCommands);
    if (old) old->deleteLater();
    details_->header()->setSortIndicatorShown(!search_results);
    columns_sized_ = false;
    SizeColumns();
}

void CPagewellView::SizeColumns() {
    // The columns share the pane's width as 46 %, 6 % and 45 % (the search's
    // three as 35 %, 35 % and 30 %), once, when the width is known: a hidden
    // page of the stack keeps whatever size it last had.
    const int width = details_->viewport()->width();
    if (columns_sized_ || !details_->isVisible() || width <= 0) return;
    columns_sized_ = true;
    const double shares[2][3] = {{0.46, 0.06, 0.45}, {0.35, 0.35, 0.30}};
    for (int column = 0; column < 3; ++column) {
        details_->setColumnWidth(column, static_cast<int>(width * shares[showing_search_][column]));
    }
}

void CPagewellView::OnInitialUpdate() {
    UseModel(false);
    list_model_->Clear();
    details_->header()->setSortIndicator(UrlListModel::kTitle, Qt::AscendingOrder);
}

void CPagewellView::OnUpdate(int hint) {
    if (hint != kHintSelectionChanged) return;
    if (showing_search_) UseModel(false);
    list_model_->Fill(doc_->selected_url());
    details_->header()->setSortIndicator(list_model_->sort_column(), list_model_->sort_order());
    SizeColumns();
}

void CPagewellView::ShowSearchResults(std::vector<CopySearchHit> hits) {
    search_model_->SetHits(std::move(hits));
    UseModel(true);
}

void CPagewellView::SetMode(ListMode mode) {
    mode_ = mode;
    if (mode == ListMode::kDetails) {
        setCurrentWidget(details_);
        SizeColumns();
        return;
    }
    const bool large = mode == ListMode::kLargeIcons;
    icons_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    icons_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    icons_->setFlow(mode == ListMode::kList ? QListView::TopToBottom : QListView::LeftToRight);
    icons_->setWrapping(true);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(mode == ListMode::kList ? QListView::Static : QListView::Snap);
    icons_->setUniformItemSizes(true);
    icons_->setGridSize(large ? QSize(120, 72) : QSize());
    icons_->setWordWrap(large);
    icons_->setSpacing(large ? 4 : 1);
    setCurrentWidget(icons_);
}

void CPagewellView::ArrangeIcons() {
    if (mode_ == ListMode::kLargeIcons || mode_ == ListMode::kSmallIcons) icons_->doItemsLayout();
}

QAbstractItemView* CPagewellView::current_view() const {
    return mode_ == ListMode::kDetails ? static_cast<QAbstractItemView*>(details_)
                                       : static_cast<QAbstractItemView*>(icons_);
}

int32_t CPagewellView::selected_id() const {
    const QModelIndex current = selection_->currentIndex();
    if (!current.isValid() || !selection_->isSelected(current)) return -1;
    if (showing_search_) {
        const CopySearchHit* hit = search_model_->HitAt(current.row());
        return hit ? hit->id : -1;
    }
    return list_model_->IdAt(current.row());
}

void CPagewellView::SortByColumn(int column) {
    if (showing_search_ || column == UrlListModel::kSkip) {
        details_->header()->setSortIndicator(list_model_->sort_column(), list_model_->sort_order());
        return;
    }
    Qt::SortOrder order = Qt::AscendingOrder;
    if (column == list_model_->sort_column() && list_model_->sort_order() == Qt::AscendingOrder) {
        order = Qt::DescendingOrder;
    }
    list_model_->sort(column, order);
    details_->header()->setSortIndicator(column, order);
}

void CPagewellView::OpenRow(int row) {
    if (showing_search_) {
        const CopySearchHit* hit = search_model_->HitAt(row);
        if (hit) OpenInBrowser(doc_->settings(), hit->file.empty() ? hit->url : hit->file);
        return;
    }
    const int32_t id = list_model_->IdAt(row);
    if (id >= 0) OpenInBrowser(doc_->settings(), doc_->PathOfUrl(id, UrlPathKind::kLocal));
}

void CPagewellView::ShowMenu(QAbstractItemView* view, const QPoint& pos) {
    // A click over a row names it; the keyboard's menu key, the current row.
    QModelIndex index = view->indexAt(pos);
    QPoint at = pos;
    if (!index.isValid()) {
        index = selection_->currentIndex();
        at = view->visualRect(index).bottomLeft();
    }
    if (!index.isValid()) return;
    const int32_t id = showing_search_
                           ? search_model_->data(index, SearchResultModel::kIdRole).toInt()
                           : list_model_->IdAt(index.row());
    const UrlMenuOutcome outcome =
        frame_->ShowUrlMenu(view->viewport()->mapToGlobal(at), id, false, true);
    if (outcome.skip && !showing_search_)
        list_model_->SetSkip(list_model_->RowOf(id), *outcome.skip);
}

}  // namespace corvalin
