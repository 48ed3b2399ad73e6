#include "app/views/left_view.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>

#include "app/core/pagewell_doc.h"
#include "app/main_frame.h"
#include "app/views/drop_target.h"
#include "app/views/url_tree_model.h"

namespace corvalin {
namespace {

// The edit box of a start URL's new title: at most 200 characters.
class TitleDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(UrlTreeModel::kMaxTitle);
        return editor;
    }
};

}  // namespace

CLeftView::CLeftView(CPagewellDoc* doc, CMainFrame* frame, QWidget* parent)
    : QTreeView(parent), doc_(doc), frame_(frame), model_(new UrlTreeModel(doc, this)) {
    setObjectName("UrlTree");
    filling_ = true;  // setting the model is no choice of the user's
    setModel(model_);
    filling_ = false;
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setItemDelegate(new TitleDelegate(this));
    new DropTarget(frame, viewport());
}

void CLeftView::Refresh() {
    filling_ = true;
    model_->Fill();
    filling_ = false;
    doc_->set_selected_url(-1);
    frame_->UpdateAllViews(kHintSelectionChanged);
    if (model_->rowCount() > 0) {
        // The first start URL looks selected; choosing it makes it current
        // and tells the list.
        filling_ = true;
        selectionModel()->select(model_->index(0, 0), QItemSelectionModel::ClearAndSelect);
        filling_ = false;
        QTimer::singleShot(0, frame_, [frame = frame_] { frame->FocusViews(); });
    }
    frame_->UpdateCommands();
}

void CLeftView::OnUpdate(int hint) {
    if (hint == kHintUrlAdded && doc_->project_open()) {
        model_->AppendStartUrl(doc_->last_added_url());
        frame_->UpdateCommands();
    }
}

// The selection is the current item: the first start URL only looks
// selected after a fill until it is chosen.
int32_t CLeftView::selected_id() const {
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? model_->IdOf(current) : -1;
}

bool CLeftView::selection_is_start_url() const {
    return selected_id() >= 0 && model_->IsStartUrl(currentIndex());
}

bool CLeftView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // A click on the item that only looks selected chooses it; it does not
    // start renaming it.
    if (trigger == SelectedClicked && index != currentIndex()) return false;
    return QTreeView::edit(index, trigger, event);
}

bool CLeftView::has_items() const {
    return model_->rowCount() > 0;
}

void CLeftView::ReloadSelectedLabel() {
    if (selected_id() >= 0) model_->ReloadLabel(currentIndex());
}

void CLeftView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (filling_) return;
    doc_->set_selected_url(current.isValid() ? model_->IdOf(current) : -1);
    frame_->UpdateAllViews(kHintSelectionChanged);
    frame_->UpdateCommands();
}

void CLeftView::contextMenuEvent(QContextMenuEvent* event) {
    QModelIndex index;
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        index = indexAt(event->pos());
    } else {
        index = currentIndex();
        at = viewport()->mapToGlobal(visualRect(index).bottomLeft());
    }
    if (!index.isValid()) return;
    const UrlMenuOutcome outcome =
        frame_->ShowUrlMenu(at, model_->IdOf(index), model_->IsStartUrl(index), false);
    if (outcome.deleted) {
        Refresh();
    } else if (outcome.title_changed) {
        model_->ReloadLabel(index);
    }
}

}  // namespace corvalin
