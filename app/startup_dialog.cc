#include "app/startup_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QStyle>

namespace corvalin {
namespace {

constexpr char kMoreFiles[] = "More Files...";

QLabel* Icon(QStyle::StandardPixmap which, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(parent->style()->standardIcon(which).pixmap(32, 32));
    return label;
}

}  // namespace

CStartupDialog::CStartupDialog(const std::vector<std::string>& recent, QWidget* parent)
    : QDialog(parent) {
    setObjectName("StartupDialog");
    setWindowTitle("Corvalin");
    new_ = new QRadioButton("Create a &new Project", this);
    open_ = new QRadioButton("&Open an existing Project", this);
    list_ = new QListWidget(this);
    list_->addItem(kMoreFiles);
    for (const std::string& file : recent) {
        if (!file.empty()) list_->addItem(QString::fromStdString(file));
    }
    list_->setCurrentRow(0);
    list_->setMinimumWidth(420);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Icon(QStyle::SP_FileIcon, this), 0, 0);
    layout->addWidget(new_, 0, 1);
    layout->addWidget(Icon(QStyle::SP_DirOpenIcon, this), 1, 0);
    layout->addWidget(open_, 1, 1);
    layout->addWidget(list_, 2, 1);
    layout->addWidget(buttons, 3, 0, 1, 2);

    (list_->count() > 1 ? open_ : new_)->setChecked(true);
    UpdateList();
    connect(new_, &QRadioButton::toggled, this, &CStartupDialog::UpdateList);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CStartupDialog::UpdateList() {
    list_->setEnabled(open_->isChecked());
}

CStartupDialog::Choice CStartupDialog::choice() const {
    if (new_->isChecked()) return Choice::kNew;
    return list_->currentRow() <= 0 ? Choice::kOpenOther : Choice::kOpenRecent;
}

std::string CStartupDialog::chosen_file() const {
    const QListWidgetItem* item = list_->currentItem();
    return choice() == Choice::kOpenRecent && item ? item->text().toStdString() : std::string();
}

}  // namespace corvalin
