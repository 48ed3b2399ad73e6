#include "app/dialogs/property_sheet.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace corvalin {

void SheetPage::FillOnce() {
    if (filled_) return;
    filled_ = true;
    Fill();
}

void SheetPage::showEvent(QShowEvent* event) {
    FillOnce();
    QWidget::showEvent(event);
}

PropertySheet::PropertySheet(QWidget* parent, const QString& caption, const QString& help)
    : QDialog(parent), help_(help) {
    setWindowTitle(caption);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("Pages");
    buttons_ = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons_->button(QDialogButtonBox::Help)->setText("&Help");
    tabs_->setMinimumWidth(500);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
    connect(buttons_, &QDialogButtonBox::helpRequested, this,
            [this] { QMessageBox::information(this, windowTitle(), help_); });
    connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::CurrentChanged);
}

void PropertySheet::AddPage(SheetPage* page, const QString& caption) {
    tabs_->addTab(page, caption);
}

void PropertySheet::CurrentChanged(int index) {
    if (switching_back_) return;
    auto* left = qobject_cast<SheetPage*>(tabs_->widget(current_));
    if (left && left->filled() && !left->CanLeave()) {
        switching_back_ = true;
        tabs_->setCurrentIndex(current_);
        switching_back_ = false;
        return;
    }
    current_ = index;
}

void PropertySheet::accept() {
    auto* page = qobject_cast<SheetPage*>(tabs_->currentWidget());
    if (page && page->filled() && !page->CanLeave()) return;
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* each = qobject_cast<SheetPage*>(tabs_->widget(i));
        if (each && each->filled()) each->Write();
    }
    Written();
    QDialog::accept();
}

void ShowDialogMessage(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, "Corvalin", text);
}

}  // namespace corvalin
