#include "app/dialogs/row_list.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace corvalin {

RowList::RowList(QWidget* parent, const char* name, const QStringList& headers,
                 std::vector<int> percents)
    : QWidget(parent), percents_(std::move(percents)) {
    list_ = new QTreeWidget(this);
    list_->setObjectName(name);
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels(headers);
    list_->header()->setStretchLastSection(false);
    auto* add = new QPushButton("&New...", this);
    add->setObjectName("New");
    edit_ = new QPushButton("&Edit...", this);
    edit_->setObjectName("Edit");
    delete_ = new QPushButton("&Delete", this);
    delete_->setObjectName("Delete");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add);
    buttons->addWidget(edit_);
    buttons->addWidget(delete_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &RowList::newRequested);
    auto edit_selected = [this] {
        if (const int line = SelectedLine(); line >= 0) emit editRequested(line);
    };
    connect(edit_, &QPushButton::clicked, this, edit_selected);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, edit_selected);
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (const int line = SelectedLine(); line >= 0) emit deleteRequested(line);
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &RowList::UpdateEnabled);
    UpdateEnabled();
}

int RowList::lines() const { return list_->topLevelItemCount(); }

void RowList::SetLine(int line, const QStringList& texts) {
    if (line == lines()) list_->addTopLevelItem(new QTreeWidgetItem(list_));
    QTreeWidgetItem* item = list_->topLevelItem(line);
    for (int i = 0; i < texts.size(); ++i) item->setText(i, texts[i]);
}

void RowList::RemoveLine(int line) {
    delete list_->takeTopLevelItem(line);
    if (lines() > 0) {
        list_->setCurrentItem(list_->topLevelItem(0));
        list_->topLevelItem(0)->setSelected(true);
    }
    UpdateEnabled();
}

void RowList::Clear() {
    list_->clear();
    UpdateEnabled();
}

int RowList::SelectedLine() const {
    QTreeWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? list_->indexOfTopLevelItem(item) : -1;
}

void RowList::UpdateEnabled() {
    const bool selected = !list_->selectedItems().isEmpty();
    edit_->setEnabled(selected);
    delete_->setEnabled(selected);
}

void RowList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The list spans this widget; its viewport may not have its new size yet.
    const int width = event->size().width() - 2 * list_->frameWidth() - 4;
    // Each column takes its share, but never less than its caption needs;
    // what that costs comes off the columns that have room to spare.
    const int n = static_cast<int>(percents_.size());
    std::vector<int> widths(n), least(n);
    int total = 0, spare = 0;
    for (int i = 0; i < n; ++i) {
        least[i] = list_->header()->sectionSizeHint(i);
        widths[i] = std::max(width * percents_[i] / 100, least[i]);
        total += widths[i];
        spare += widths[i] - least[i];
    }
    const int excess = std::min(std::max(total - width, 0), spare);
    for (int i = 0; i < n; ++i) {
        if (spare > 0) widths[i] -= excess * (widths[i] - least[i]) / spare;
        list_->setColumnWidth(i, widths[i]);
    }
}

}  // namespace corvalin
