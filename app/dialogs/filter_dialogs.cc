#include "app/dialogs/filter_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/core/start_url.h"
#include "app/core/url_fields.h"
#include "app/core/url_sheet_values.h"
#include "app/dialogs/property_sheet.h"

namespace corvalin {
namespace {

constexpr char kHelp[] =
    "Stay On Site and Stay In Directory keep a grab below this address. Document Size "
    "skips files larger than the size given. Only download files of type keeps files of "
    "the listed types only (for example zip,exe,pdf).\n\n"
    "The list holds the other filters: + keeps and - discards what matches, by the URL "
    "text or by the content type (Mime) the server names.";

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QRadioButton* Radio(const char* text, const char* name, QWidget* parent, QButtonGroup* group) {
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(name);
    group->addButton(radio);
    return radio;
}

bool DefaultEditRow(QWidget* parent, FilterRow* row) {
    CEditFilterDialog dialog(parent, *row);
    if (dialog.exec() != QDialog::Accepted) return false;
    *row = dialog.row();
    return true;
}

}  // namespace

// --- Edit Filter -------------------------------------------------------------------

CEditFilterDialog::CEditFilterDialog(QWidget* parent, const FilterRow& row)
    : QDialog(parent), row_(row) {
    setObjectName("EditFilterDialog");
    setWindowTitle("Edit Filter");
    auto* based = new QGroupBox("Filter documents based on:", this);
    auto* based_group = new QButtonGroup(this);
    url_ = Radio("&URL", "Url", based, based_group);
    mime_ = Radio("&Mime Type", "Mime", based, based_group);
    zip_ = Radio("&Zip", "Zip", based, based_group);
    zip_->setEnabled(false);
    zip_->hide();
    auto* based_layout = new QHBoxLayout(based);
    based_layout->addWidget(url_);
    based_layout->addWidget(mime_);
    based_layout->addWidget(zip_);
    based_layout->addStretch();

    auto* keep = new QGroupBox("Documents that match this filter should be:", this);
    auto* keep_group = new QButtonGroup(this);
    kept_ = Radio("&Kept", "Kept", keep, keep_group);
    discarded_ = Radio("&Discarded", "Discarded", keep, keep_group);
    auto* keep_layout = new QHBoxLayout(keep);
    keep_layout->addWidget(kept_);
    keep_layout->addWidget(discarded_);
    keep_layout->addStretch();

    case_sensitive_ = new QCheckBox("Filter is case &sensitive", this);
    case_sensitive_->setObjectName("CaseSensitive");
    text_ = new QLineEdit(Q(row.data), this);
    text_->setObjectName("MatchText");
    text_->setMinimumWidth(300);
    auto* text_label = new QLabel("Match the &text:", this);
    text_label->setBuddy(text_);

    auto* match = new QGroupBox("Match documents with type that:", this);
    auto* match_group = new QButtonGroup(this);
    begins_ = Radio("&Begin with the above text", "BeginsWith", match, match_group);
    ends_ = Radio("&End with the above text", "EndsWith", match, match_group);
    contains_ = Radio("&Contain the above text", "Contains", match, match_group);
    exactly_ = Radio("E&xactly match the above text", "Equals", match, match_group);
    auto* match_layout = new QVBoxLayout(match);
    for (QRadioButton* radio : {begins_, ends_, contains_, exactly_}) match_layout->addWidget(radio);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(based);
    layout->addWidget(keep);
    layout->addWidget(case_sensitive_);
    layout->addWidget(text_label);
    layout->addWidget(text_);
    layout->addWidget(match);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (row.type == fw::kFilterUrl) url_->setChecked(true);
    if (row.type == fw::kFilterContentType) mime_->setChecked(true);
    if (row.type == fw::kFilterExtensions) zip_->setChecked(true);
    (row.includes ? kept_ : discarded_)->setChecked(true);
    case_sensitive_->setChecked(row.case_sensitive != 0);
    switch (row.match) {
        case fw::kMatchBeginsWith: begins_->setChecked(true); break;
        case fw::kMatchEndsWith: ends_->setChecked(true); break;
        case fw::kMatchContains: contains_->setChecked(true); break;
        default: exactly_->setChecked(true); break;
    }
}

FilterRow CEditFilterDialog::row() const {
    FilterRow row = row_;
    if (url_->isChecked()) row.type = fw::kFilterUrl;
    if (mime_->isChecked()) row.type = fw::kFilterContentType;
    if (zip_->isChecked()) row.type = fw::kFilterExtensions;
    row.includes = kept_->isChecked() ? 1 : 0;
    row.case_sensitive = case_sensitive_->isChecked() ? 1 : 0;
    row.data = S(text_->text());
    if (begins_->isChecked()) row.match = fw::kMatchBeginsWith;
    if (ends_->isChecked()) row.match = fw::kMatchEndsWith;
    if (contains_->isChecked()) row.match = fw::kMatchContains;
    if (exactly_->isChecked()) row.match = fw::kMatchEquals;
    return row;
}

QString FilterLineType(const FilterRow& row) {
    QString text = row.includes ? "+" : "-";
    if (row.type == fw::kFilterUrl) return text + "URL";
    if (row.type == fw::kFilterExtensions) return text + "Zip";
    return text + "Mime";
}

// --- Advanced Filter Management ----------------------------------------------------

CAdvancedFilterDialog::CAdvancedFilterDialog(QWidget* parent, FilterSetEditor* editor,
                                             EditFilterRow edit)
    : QDialog(parent),
      editor_(editor),
      edit_(edit ? std::move(edit) : EditFilterRow(DefaultEditRow)),
      rows_(editor->rows()) {
    setObjectName("AdvancedFilterDialog");
    setWindowTitle("Advanced Filter Management");
    stay_site_ = new QCheckBox("Stay On Site", this);
    stay_site_->setObjectName("StayOnSite");
    stay_dir_ = new QCheckBox("Stay In Directory", this);
    stay_dir_->setObjectName("StayInDir");
    use_size_ = new QCheckBox("Document Size", this);
    use_size_->setObjectName("UseSize");
    size_ = new QLineEdit(this);
    size_->setObjectName("Size");
    size_->setValidator(new QIntValidator(0, 2097151, size_));
    size_->setMaximumWidth(100);
    use_types_ = new QCheckBox("Only download files of type:", this);
    use_types_->setObjectName("UseTypes");
    types_ = new QLineEdit(this);
    types_->setObjectName("Types");
    list_ = new RowList(this, "Filters", {"Type", "Data"}, {30, 70});
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Help)->setText("&Help");

    auto* grid = new QGridLayout;
    grid->addWidget(stay_site_, 0, 0);
    grid->addWidget(stay_dir_, 1, 0);
    auto* size_row = new QHBoxLayout;
    size_row->addWidget(size_);
    size_row->addWidget(new QLabel("KBytes", this));
    size_row->addStretch();
    grid->addWidget(use_size_, 2, 0);
    grid->addLayout(size_row, 2, 1);
    grid->addWidget(use_types_, 3, 0);
    grid->addWidget(types_, 3, 1);
    grid->addWidget(new QLabel("(Example: zip,exe,pdf)", this), 4, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(520, 420);

    connect(use_size_, &QCheckBox::toggled, size_, &QWidget::setEnabled);
    connect(use_types_, &QCheckBox::toggled, types_, &QWidget::setEnabled);
    connect(list_, &RowList::newRequested, this, &CAdvancedFilterDialog::NewRow);
    connect(list_, &RowList::editRequested, this, &CAdvancedFilterDialog::EditLine);
    connect(list_, &RowList::deleteRequested, this, &CAdvancedFilterDialog::DeleteLine);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAdvancedFilterDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { QMessageBox::information(this, windowTitle(), kHelp); });

    stay_site_->setChecked(editor->stay_on_site);
    stay_dir_->setChecked(editor->stay_in_dir);
    use_size_->setChecked(editor->size_limit > 0);
    size_->setText(editor->size_limit > 0 ? QString::number(editor->size_limit / 1024) : "1");
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        const FilterRow& row = rows_[i];
        if (row.deleted) continue;
        if (type_row_ < 0 && row.type == fw::kFilterExtensions) {
            type_row_ = i;
            continue;
        }
        AddLine(i);
    }
    use_types_->setChecked(type_row_ >= 0);
    if (type_row_ >= 0) types_->setText(Q(rows_[type_row_].data));
    size_->setEnabled(use_size_->isChecked());
    types_->setEnabled(use_types_->isChecked());
}

void CAdvancedFilterDialog::AddLine(int row) {
    line_rows_.push_back(row);
    ShowLine(static_cast<int>(line_rows_.size()) - 1);
}

void CAdvancedFilterDialog::ShowLine(int line) {
    const FilterRow& row = rows_[line_rows_[line]];
    list_->SetLine(line, {FilterLineType(row), Q(row.data)});
}

void CAdvancedFilterDialog::NewRow() {
    FilterRow row;
    if (!edit_(this, &row)) return;
    rows_.push_back(row);
    AddLine(static_cast<int>(rows_.size()) - 1);
}

void CAdvancedFilterDialog::EditLine(int line) {
    FilterRow row = rows_[line_rows_[line]];
    if (!edit_(this, &row)) return;
    rows_[line_rows_[line]] = row;
    ShowLine(line);
}

void CAdvancedFilterDialog::DeleteLine(int line) {
    rows_[line_rows_[line]].deleted = true;
    line_rows_.erase(line_rows_.begin() + line);
    list_->RemoveLine(line);
}

void CAdvancedFilterDialog::accept() {
    const int64_t kilobytes = FieldNumber(S(size_->text())).value_or(0);
    if (use_size_->isChecked() && kilobytes <= 0) {
        ShowDialogMessage(this, kSizeFilterText);
        size_->setFocus();
        return;
    }
    // A list of nothing but commas and blanks lists no type either.
    const std::string types = NormaliseTypeList(S(types_->text()));
    if (use_types_->isChecked() && types.empty()) {
        ShowDialogMessage(this, kTypeListText);
        types_->setFocus();
        return;
    }
    editor_->stay_on_site = stay_site_->isChecked();
    editor_->stay_in_dir = stay_dir_->isChecked();
    editor_->size_limit = use_size_->isChecked() ? SizeLimitFromKiloBytes(kilobytes) : 0;
    // The type field edits the row it showed, else the first type-list row
    // there is (even a deleted one), else a new one.
    int target = type_row_;
    for (int i = 0; target < 0 && i < static_cast<int>(rows_.size()); ++i) {
        if (rows_[i].type == fw::kFilterExtensions) target = i;
    }
    if (use_types_->isChecked()) {
        if (target < 0) {
            rows_.emplace_back();
            rows_.back().type = fw::kFilterExtensions;
            target = static_cast<int>(rows_.size()) - 1;
        }
        rows_[target].deleted = false;
        rows_[target].data = types;
    } else if (target >= 0) {
        rows_[target].deleted = true;
    }
    editor_->rows() = rows_;
    QDialog::accept();
}

}  // namespace corvalin
