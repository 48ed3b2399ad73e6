#include "app/views/left_view.h"

#include "app/core/pagewell_doc.h"

namespace corvalin {

CLeftView::CLeftView(CPagewellDoc* doc, QWidget* parent) : QTreeWidget(parent), doc_(doc) {
    setObjectName("UrlTree");
    setHeaderHidden(true);
    setRootIsDecorated(false);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelection);
}

void CLeftView::Refresh() {
    Fill();
    doc_->set_selected_url(-1);
    OnUpdate(kHintSelectionChanged);
}

void CLeftView::Fill() {
    filling_ = true;
    clear();
    if (doc_->project_open()) {
        for (int32_t id : doc_->StartUrlIds()) Append(id);
    }
    filling_ = false;
}

void CLeftView::Append(int32_t id) {
    fw::ComPtr<fw::IDizozizUrl> url = doc_->Url(id);
    if (!url) return;
    std::string label;
    if (fw::Failed(url->get_Title(&label)) || label.empty()) url->get_url(&label);
    auto* item = new QTreeWidgetItem(this, {QString::fromStdString(label)});
    item->setData(0, Qt::UserRole, id);
}

void CLeftView::OnUpdate(int hint) {
    if (hint == kHintUrlAdded && doc_->project_open()) Append(doc_->last_added_url());
}

void CLeftView::OnSelection() {
    if (filling_) return;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    doc_->set_selected_url(selected.isEmpty() ? -1
                                              : selected.front()->data(0, Qt::UserRole).toInt());
}

}  // namespace corvalin
