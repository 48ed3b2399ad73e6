#include "app/dialogs/file_kinds_box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvalin {
namespace {

constexpr const char* kClassNames[] = {"Applications", "Audio", "Video", "Images"};
constexpr int kIndent = 24;

}  // namespace

FileKindsBox::FileKindsBox(QWidget* parent, const char* const (&captions)[4],
                           QWidget* beside_classes)
    : QWidget(parent), beside_classes_(beside_classes) {
    auto* radios = new QButtonGroup(this);
    exclude_ = new QRadioButton("Exclude these types of files", this);
    exclude_->setObjectName("Exclude");
    exclude_->setChecked(true);
    only_ = new QRadioButton("Only download these types of files", this);
    only_->setObjectName("OnlyTypes");
    radios->addButton(exclude_);
    radios->addButton(only_);
    auto* classes = new QGridLayout;
    classes->setContentsMargins(kIndent, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        classes_[i] = new QCheckBox(captions[i], this);
        classes_[i]->setObjectName(kClassNames[i]);
        classes->addWidget(classes_[i], i / 2, i % 2);
    }
    if (beside_classes) classes->addWidget(beside_classes, 0, 2, Qt::AlignRight);
    classes->setColumnStretch(2, 1);
    types_ = new QLineEdit(this);
    types_->setObjectName("Types");
    auto* types = new QVBoxLayout;
    types->setContentsMargins(kIndent, 0, 0, 0);
    types->addWidget(types_);
    types->addWidget(new QLabel("(Example: zip,exe,pdf)", this));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(exclude_);
    layout->addLayout(classes);
    layout->addWidget(only_);
    layout->addLayout(types);
    connect(radios, &QButtonGroup::buttonToggled, this, &FileKindsBox::UpdateEnabled);
    UpdateEnabled();
}

bool FileKindsBox::only_types() const { return only_->isChecked(); }

void FileKindsBox::set_only_types(bool only) { (only ? only_ : exclude_)->setChecked(true); }

void FileKindsBox::UpdateEnabled() {
    const bool only = only_->isChecked();
    types_->setEnabled(only);
    for (QCheckBox* box : classes_) box->setEnabled(!only);
    if (beside_classes_) beside_classes_->setEnabled(!only);
}

}  // namespace corvalin
