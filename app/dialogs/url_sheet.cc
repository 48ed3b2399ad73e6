#include "app/dialogs/url_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/core/launch.h"
#include "app/core/pagewell_doc.h"
#include "app/core/start_url.h"
#include "app/core/url_fields.h"

namespace corvalin {
namespace {

constexpr char kHelp[] =
    "Grab: the address, its local copy and how many levels of links below it are "
    "grabbed. A page below a start URL may leave Levels blank to follow its start URL.\n\n"
    "Filter: whether the grab stays on the site or in the directory, and which kinds of "
    "files it leaves out or keeps (Advanced... edits every filter).\n\n"
    "Authentication: the user name and password the site asks for.\n\n"
    "Notes: your own notes.";
constexpr char kNotANumberText[] = "Please enter an integer.";
constexpr const char* kClassCaptions[4] = {"A&pplications", "&Audio", "&Video", "&Images"};

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QLabel* Buddy(const char* text, QWidget* field) {
    auto* label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    return label;
}

}  // namespace

// --- Grab --------------------------------------------------------------------------

PageGrabProperties::PageGrabProperties(CPagewellDoc* doc, UrlSheetValues* values, bool start_url)
    : doc_(doc), values_(values), start_url_(start_url) {
    setObjectName("PageGrabProperties");
    title_ = new QLineEdit(this);
    title_->setObjectName("Title");
    title_->setMinimumWidth(340);
    url_ = new QLineEdit(this);
    url_->setObjectName("Url");
    folder_ = new QLineEdit(this);
    folder_->setObjectName("Folder");
    folder_->setReadOnly(true);
    file_ = new QLineEdit(this);
    file_->setObjectName("File");
    file_->setReadOnly(true);
    title_->setReadOnly(!start_url);
    url_->setReadOnly(!start_url);
    auto* form = new QFormLayout;
    form->addRow(Buddy("&Title:", title_), title_);
    form->addRow(Buddy("&Url:", url_), url_);
    form->addRow(Buddy("Folder:", folder_), folder_);
    form->addRow(Buddy("File:", file_), file_);

    auto* download = new QGroupBox("Download", this);
    auto* group = new QButtonGroup(this);
    levels_radio_ = new QRadioButton("&Levels", download);
    levels_radio_->setObjectName("LevelsRadio");
    levels_ = new QLineEdit(download);
    levels_->setObjectName("Levels");
    levels_->setMaximumWidth(80);
    levels_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("-?[0-9]{0,10}"), levels_));
    up_ = new QToolButton(download);
    up_->setObjectName("LevelsUp");
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(download);
    down_->setObjectName("LevelsDown");
    down_->setArrowType(Qt::DownArrow);
    all_levels_ = new QRadioButton("&All Levels", download);
    all_levels_->setObjectName("AllLevels");
    skip_ = new QRadioButton("&Skip this URL", download);
    skip_->setObjectName("Skip");
    skip_->setEnabled(!start_url);
    for (QRadioButton* radio : {levels_radio_, all_levels_, skip_}) group->addButton(radio);
    auto* levels_row = new QHBoxLayout;
    levels_row->addWidget(levels_radio_);
    levels_row->addWidget(levels_);
    levels_row->addWidget(up_);
    levels_row->addWidget(down_);
    levels_row->addStretch();
    auto* download_layout = new QVBoxLayout(download);
    download_layout->addLayout(levels_row);
    download_layout->addWidget(all_levels_);
    download_layout->addWidget(skip_);

    browse_ = new QPushButton("&Browse", this);
    browse_->setObjectName("Browse");
    launch_ = new QPushButton("Launc&h", this);
    launch_->setObjectName("Launch");
    auto* actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(browse_);
    actions->addWidget(launch_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(download);
    layout->addLayout(actions);
    layout->addStretch();

    connect(group, &QButtonGroup::buttonToggled, this, &PageGrabProperties::UpdateEnabled);
    connect(up_, &QToolButton::clicked, this, [this] { Spin(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Spin(-1); });
    connect(browse_, &QPushButton::clicked, this, [this] { ShellOpen(S(folder_->text())); });
    connect(launch_, &QPushButton::clicked, this, &PageGrabProperties::Launch);
    connect(title_, &QLineEdit::textChanged, this,
            [this](const QString& text) { title_changed_ = S(text) != loaded_title_; });
}

void PageGrabProperties::Fill() {
    loaded_title_ = values_->title;
    loaded_url_ = values_->url;
    title_->setText(Q(values_->title));
    url_->setText(Q(values_->url));
    folder_->setText(Q(values_->folder));
    file_->setText(Q(values_->file));
    levels_->setText(Q(values_->levels));
    switch (values_->levels_choice) {
        case LevelsChoice::kSkip: skip_->setChecked(true); break;
        case LevelsChoice::kAllLevels: all_levels_->setChecked(true); break;
        case LevelsChoice::kLevels: levels_radio_->setChecked(true); break;
    }
    browse_->setEnabled(!values_->folder.empty());
    launch_->setEnabled(!values_->file.empty());
    UpdateEnabled();
}

void PageGrabProperties::UpdateEnabled() {
    const bool levels = levels_radio_->isChecked();
    levels_->setEnabled(levels);
    up_->setEnabled(levels);
    down_->setEnabled(levels);
}

void PageGrabProperties::Spin(int step) {
    levels_->setText(Q(SpinLevels(S(levels_->text()), step)));
}

void PageGrabProperties::Launch() {
    std::string path = S(folder_->text());
    if (!path.empty() && path.back() != '/') path += '/';
    path += S(file_->text());
    if (values_->open_with_shell) {
        ShellOpen(path);
    } else {
        OpenInBrowser(doc_->settings(), path);
    }
}

bool PageGrabProperties::CanLeave() {
    if (levels_radio_->isChecked()) {
        const LevelsCheck check = CheckLevelsField(S(levels_->text()), start_url_);
        if (check != LevelsCheck::kOk) {
            ShowDialogMessage(this, check == LevelsCheck::kNotANumber ? kNotANumberText
                                                                      : LevelsMessage(check));
            levels_->setFocus();
            return false;
        }
    }
    // A start URL's changed address must still be one a grab can start from.
    if (start_url_ && S(url_->text()) != loaded_url_ && !CheckWizardUrl(S(url_->text()))) {
        ShowDialogMessage(this, kInvalidUrlText);
        url_->setFocus();
        return false;
    }
    return true;
}

void PageGrabProperties::Write() {
    values_->title = S(title_->text());
    const std::string url = S(url_->text());
    values_->url = url == loaded_url_ ? url : CheckWizardUrl(url).value_or(url);
    values_->levels = S(levels_->text());
    values_->levels_choice = skip_->isChecked()         ? LevelsChoice::kSkip
                             : all_levels_->isChecked() ? LevelsChoice::kAllLevels
                                                        : LevelsChoice::kLevels;
}

// --- Filter ------------------------------------------------------------------------

PageFilter::PageFilter(UrlSheetValues* values, EditFilterRow edit)
    : editor_(&values->filters), edit_(std::move(edit)) {
    setObjectName("PageFilter");
    auto* remain = new QGroupBox("Remain in", this);
    stay_site_ = new QCheckBox("&Site", remain);
    stay_site_->setObjectName("StayOnSite");
    stay_dir_ = new QCheckBox("&Directory", remain);
    stay_dir_->setObjectName("StayInDir");
    auto* remain_layout = new QHBoxLayout(remain);
    remain_layout->addWidget(stay_site_);
    remain_layout->addWidget(stay_dir_);
    remain_layout->addStretch();

    auto* advanced = new QPushButton("Ad&vanced...", this);
    advanced->setObjectName("Advanced");
    kinds_ = new FileKindsBox(this, kClassCaptions, advanced);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(remain);
    layout->addWidget(kinds_);
    layout->addStretch();

    connect(advanced, &QPushButton::clicked, this, &PageFilter::Advanced);
}

void PageFilter::Fill() {
    stay_site_->setChecked(editor_->stay_on_site);
    stay_dir_->setChecked(editor_->stay_in_dir);
    for (int i = 0; i < 4; ++i) {
        kinds_->class_box(i)->setChecked(editor_->MediaClassExcluded(kMediaClasses[i]));
    }
    kinds_->types()->setText(Q(editor_->TypeList()));
    kinds_->set_only_types(editor_->HasTypeList());
}

void PageFilter::Write() {
    editor_->stay_on_site = stay_site_->isChecked();
    editor_->stay_in_dir = stay_dir_->isChecked();
    for (int i = 0; i < 4; ++i) {
        editor_->SetMediaClassExcluded(kMediaClasses[i], kinds_->class_box(i)->isChecked());
    }
    editor_->SetTypeList(kinds_->only_types() ? NormaliseTypeList(S(kinds_->types()->text())) : "");
}

void PageFilter::Advanced() {
    Write();
    CAdvancedFilterDialog dialog(this, editor_, edit_);
    if (dialog.exec() == QDialog::Accepted) Fill();
}

// --- Authentication and Notes -------------------------------------------------------

PageAuthent::PageAuthent(UrlSheetValues* values) : values_(values) {
    setObjectName("PageAuthent");
    user_ = new QLineEdit(this);
    user_->setObjectName("User");
    password_ = new QLineEdit(this);
    password_->setObjectName("Password");
    password_->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(Buddy("&User Name:", user_), user_);
    form->addRow(Buddy("&Password:", password_), password_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Enter a user name and password if required by this site:", this));
    layout->addLayout(form);
    layout->addStretch();
}

void PageAuthent::Fill() {
    user_->setText(Q(values_->user));
    password_->setText(Q(values_->password));
}

void PageAuthent::Write() {
    values_->user = S(user_->text());
    values_->password = S(password_->text());
}

PageNotes::PageNotes(UrlSheetValues* values) : values_(values) {
    setObjectName("PageNotes");
    notes_ = new QPlainTextEdit(this);
    notes_->setObjectName("Notes");
    notes_->setTabChangesFocus(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Buddy("Notes:", notes_));
    layout->addWidget(notes_);
}

void PageNotes::Fill() { notes_->setPlainText(Q(values_->notes)); }

void PageNotes::Write() { values_->notes = S(notes_->toPlainText()); }

// --- The sheet ---------------------------------------------------------------------

CUrlSheet::CUrlSheet(QWidget* parent, CPagewellDoc* doc, int32_t url_id, bool start_url,
                     EditFilterRow edit)
    : PropertySheet(parent, kUrlSheetCaption, kHelp),
      doc_(doc),
      url_id_(url_id),
      start_url_(start_url) {
    setObjectName("UrlSheet");
    if (const fw::HRESULT hr = LoadUrlSheet(doc->engine(), doc->content_dir(), url_id, &values_);
        fw::Failed(hr)) {
        doc->LogEngineError(hr);
    }
    grab_page_ = new PageGrabProperties(doc, &values_, start_url);
    AddPage(grab_page_, "Grab");
    AddPage(new PageFilter(&values_, std::move(edit)), "Filter");
    AddPage(new PageAuthent(&values_), "Authentication");
    AddPage(new PageNotes(&values_), "Notes");
}

void CUrlSheet::Written() {
    const bool title_changed = grab_page_->title_changed();
    if (const fw::HRESULT hr =
            SaveUrlSheet(doc_->engine(), url_id_, start_url_, title_changed, values_);
        fw::Failed(hr)) {
        doc_->LogEngineError(hr);
        return;
    }
    saved_title_ = start_url_ && title_changed;
}

}  // namespace corvalin
