#include "app/dialogs/project_sheet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/core/project_options.h"

namespace corvalin {
namespace {

constexpr char kHelp[] =
    "General: a command run after every grab of this project. Pick one of the scripts in "
    "the program directory or type a command; the placeholders below are filled in when "
    "it runs.\n\n"
    "Replace: search-and-replace rules applied to every page a grab finishes.\n\n"
    "Edge: what links that lead outside the grabbed site point to in the copy.";

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

bool DefaultEditRule(QWidget* parent, ReplacementRule* rule) {
    CEditReplacementDialog dialog(parent, *rule);
    if (dialog.exec() != QDialog::Accepted) return false;
    *rule = dialog.rule();
    return true;
}

}  // namespace

// --- Run After ---------------------------------------------------------------------

RunAfterCombo::RunAfterCombo(QWidget* parent, QString script_dir)
    : QComboBox(parent), script_dir_(std::move(script_dir)) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& name : ListRunAfterScripts(S(script_dir_))) addItem(Q(name));
    connect(this, &QComboBox::activated, this, &RunAfterCombo::Chosen);
}

void RunAfterCombo::showPopup() {
    text_before_ = currentText();
    index_before_ = currentIndex();
    open_ = true;
    QComboBox::showPopup();
}

void RunAfterCombo::hidePopup() {
    QComboBox::hidePopup();
    // Qt also closes a list that is not open (when the box is disabled).
    if (!open_) return;
    open_ = false;
    // Closed without a choice: what was typed stays. A choice follows as
    // `activated`.
    setCurrentIndex(index_before_);
    setEditText(text_before_);
}

void RunAfterCombo::Chosen(int index) {
    if (index < 0 || index == index_before_) {
        setEditText(text_before_);
        return;
    }
    setEditText(Q(RunAfterTextForScript(S(script_dir_), S(itemText(index)))));
}

PagePropsGrab::PagePropsGrab(const ProjectFile& project, QString script_dir)
    : project_(project), script_dir_(std::move(script_dir)) {
    setObjectName("PagePropsGrab");
    auto* group = new QGroupBox("Run After", this);
    run_after_ = new QCheckBox("&Run this command when a grab has ended:", group);
    run_after_->setObjectName("RunAfter");
    command_ = new RunAfterCombo(group, script_dir_);
    command_->setObjectName("RunCmd");
    command_->setMinimumWidth(320);
    auto* legend = new QGridLayout;
    const char* placeholders[][2] = {
        {"%b", "Browser"},
        {"%d", "Data directory"},
        {"%i", "Application directory"},
        {"%f", "Fully qualified project file name"},
        {"%g", "Project file name"},
        {"%c", "Shell (/bin/sh -c)"},
    };
    int row = 0;
    for (const auto& [mark, meaning] : placeholders) {
        legend->addWidget(new QLabel(mark, group), row, 0);
        legend->addWidget(new QLabel(meaning, group), row, 1);
        ++row;
    }
    legend->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(run_after_);
    layout->addWidget(command_);
    layout->addLayout(legend);
    auto* page = new QVBoxLayout(this);
    page->addWidget(group);
    page->addStretch();
    connect(run_after_, &QCheckBox::toggled, command_, &QWidget::setEnabled);
}

void PagePropsGrab::Fill() {
    run_after_->setChecked(project_.RunAfter());
    command_->setEditText(Q(project_.RunCmd()));
    command_->setEnabled(run_after_->isChecked());
}

void PagePropsGrab::Write() {
    project_.SetRunAfter(run_after_->isChecked());
    project_.SetRunCmd(S(command_->currentText()));
}

// --- Replace -----------------------------------------------------------------------

CEditReplacementDialog::CEditReplacementDialog(QWidget* parent, const ReplacementRule& rule)
    : QDialog(parent) {
    setObjectName("EditReplacementDialog");
    setWindowTitle("Edit Replacement");
    auto* type = new QGroupBox("Type", this);
    text_ = new QRadioButton("&Text only (does not search in HTML tags)", type);
    text_->setObjectName("Text");
    file_ = new QRadioButton("&File (multiline matches, includes HTML tags)", type);
    file_->setObjectName("File");
    line_ = new QRadioButton("&Line (singled line matches, includes HTML tags)", type);
    line_->setObjectName("Line");
    auto* type_layout = new QVBoxLayout(type);
    type_layout->addWidget(text_);
    type_layout->addWidget(file_);
    type_layout->addWidget(line_);
    search_ = new QLineEdit(Q(rule.search), this);
    search_->setObjectName("Search");
    search_->setMinimumWidth(320);
    replace_ = new QLineEdit(Q(rule.replace), this);
    replace_->setObjectName("Replace");
    case_sensitive_ = new QCheckBox("&Case Sensitive", this);
    case_sensitive_->setObjectName("CaseSensitive");
    auto* search_label = new QLabel("&Search for:", this);
    search_label->setBuddy(search_);
    auto* replace_label = new QLabel("&Replace with:", this);
    replace_label->setBuddy(replace_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(type);
    layout->addWidget(search_label);
    layout->addWidget(search_);
    layout->addWidget(replace_label);
    layout->addWidget(replace_);
    layout->addWidget(case_sensitive_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    switch (ReplacementKindOf(rule.type)) {
        case ReplacementKind::kFile: file_->setChecked(true); break;
        case ReplacementKind::kLine: line_->setChecked(true); break;
        case ReplacementKind::kText: text_->setChecked(true); break;
    }
    case_sensitive_->setChecked(ReplacementCaseSensitive(rule.type));
}

ReplacementRule CEditReplacementDialog::rule() const {
    ReplacementKind kind = ReplacementKind::kText;
    if (file_->isChecked()) kind = ReplacementKind::kFile;
    if (line_->isChecked()) kind = ReplacementKind::kLine;
    return {ReplacementTypeLetter(kind, case_sensitive_->isChecked()), S(search_->text()),
            S(replace_->text())};
}

PageReplace::PageReplace(const ProjectFile& project, EditRule edit)
    : project_(project), edit_(edit ? std::move(edit) : EditRule(DefaultEditRule)) {
    setObjectName("PageReplace");
    list_ = new RowList(this, "Rules", {"Type", "Case Sensitive", "Search", "Replace"}, {15, 7, 39, 38});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    connect(list_, &RowList::newRequested, this, &PageReplace::AddRule);
    connect(list_, &RowList::editRequested, this, &PageReplace::ChangeRule);
    connect(list_, &RowList::deleteRequested, this, &PageReplace::DeleteRule);
}

void PageReplace::Fill() {
    rules_ = project_.ReadRules();
    list_->Clear();
    for (int i = 0; i < static_cast<int>(rules_.size()); ++i) ShowRule(i);
}

void PageReplace::ShowRule(int row) {
    const ReplacementRule& rule = rules_[row];
    list_->SetLine(row, {Q(ReplacementTypeText(rule.type)), Q(ReplacementCaseText(rule.type)),
                         Q(rule.search), Q(rule.replace)});
}

void PageReplace::AddRule() {
    ReplacementRule rule;
    if (!edit_(this, &rule)) return;
    rules_.push_back(rule);
    ShowRule(static_cast<int>(rules_.size()) - 1);
    changed_ = true;
}

void PageReplace::ChangeRule(int row) {
    ReplacementRule rule = rules_[row];
    if (!edit_(this, &rule)) return;
    rules_[row] = rule;
    ShowRule(row);
    changed_ = true;
}

void PageReplace::DeleteRule(int row) {
    rules_.erase(rules_.begin() + row);
    list_->RemoveLine(row);
    changed_ = true;
}

void PageReplace::Write() {
    SaveReplacementRules(project_, rules_, changed_);
}

// --- Edge --------------------------------------------------------------------------

PageEdge::PageEdge(const ProjectFile& project) : project_(project) {
    setObjectName("PageEdge");
    full_url_ = new QRadioButton("Full URL (http://...)", this);
    full_url_->setObjectName("FullUrl");
    file_ = new QRadioButton("Edge &file:", this);
    file_->setObjectName("EdgeFileRadio");
    edge_file_ = new QLineEdit(this);
    edge_file_->setObjectName("EdgeFile");
    auto* hint = new QLabel("Enter filename from the edge directory or a fully qualified URL.", this);
    hint->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(file_);
    row->addWidget(edge_file_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(full_url_);
    layout->addLayout(row);
    layout->addWidget(hint);
    layout->addStretch();
    connect(file_, &QRadioButton::toggled, edge_file_, &QWidget::setEnabled);
}

void PageEdge::Fill() {
    (project_.UseEdgeFile() ? file_ : full_url_)->setChecked(true);
    edge_file_->setText(Q(project_.EdgeFile()));
    edge_file_->setEnabled(file_->isChecked());
}

void PageEdge::Write() {
    const EdgeChoice choice = EdgeChoiceToStore(file_->isChecked(), S(edge_file_->text()));
    project_.SetUseEdgeFile(choice.use_edge_file);
    project_.SetEdgeFile(choice.edge_file);
}

CPropSheet::CPropSheet(QWidget* parent, const ProjectFile& project, const QString& script_dir,
                       EditRule edit)
    : PropertySheet(parent, kProjectSheetCaption, kHelp) {
    setObjectName("ProjectSheet");
    AddPage(new PagePropsGrab(project, script_dir), "General");
    AddPage(new PageReplace(project, std::move(edit)), "Replace");
    AddPage(new PageEdge(project), "Edge");
}

}  // namespace corvalin
