#include "app/dialogs/url_wizard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

#include "app/core/pagewell_doc.h"
#include "app/dialogs/property_sheet.h"

// The pictures live in this static library: their registration must be
// called for, or the linker leaves it out.
static void InitWizardPictures() { Q_INIT_RESOURCE(dialogs); }

namespace corvalin {
namespace {

constexpr const char* kCaptions[] = {"URL Wizard (step 1 of 4)", "URL Wizard (step 2 of 4)",
                                     "URL Wizard (step 3 of 4)", "URL Wizard (4 of 4)"};
constexpr const char* kPictures[] = {":/wizard/address.svg", ":/wizard/levels.svg",
                                     ":/wizard/filter.svg", ":/wizard/start.svg"};
constexpr const char* kClassCaptions[4] = {"A&pplications", "Au&dio", "&Video", "&Images"};

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

void SetPicture(QWizardPage* page, int step) {
    page->setPixmap(QWizard::WatermarkPixmap, QPixmap(kPictures[step]));
}

}  // namespace

URLWizSelect::URLWizSelect(QWidget* parent, const QString& initial_url) : QWizardPage(parent) {
    setObjectName("URLWizSelect");
    SetPicture(this, 0);
    url_ = new QLineEdit(initial_url.isEmpty() ? QString(kUrlWizardDefaultText) : initial_url, this);
    url_->setObjectName("Url");
    url_->setMinimumWidth(320);
    auto* url_label = new QLabel("&URL to Add:", this);
    url_label->setBuddy(url_);
    stay_site_ = new QCheckBox("Remain On &Site", this);
    stay_site_->setObjectName("StayOnSite");
    stay_site_->setChecked(true);
    stay_dir_ = new QCheckBox("Remain in &Directory", this);
    stay_dir_->setObjectName("StayInDir");
    notes_ = new QPlainTextEdit(this);
    notes_->setObjectName("Notes");
    notes_->setTabChangesFocus(true);
    auto* notes_label = new QLabel("&Notes:", this);
    notes_label->setBuddy(notes_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(url_label);
    layout->addWidget(url_);
    layout->addWidget(stay_site_);
    layout->addWidget(stay_dir_);
    layout->addWidget(notes_label);
    layout->addWidget(notes_, 1);
}

bool URLWizSelect::validatePage() {
    const std::optional<std::string> shown = CheckWizardUrl(S(url_->text()));
    if (!shown) {
        ShowDialogMessage(this, kInvalidUrlText);
        url_->setFocus();
        return false;
    }
    url_->setText(Q(*shown));
    return true;
}

void URLWizSelect::Take(WizardChoices* choices) const {
    choices->url = S(url_->text());
    choices->stay_on_site = stay_site_->isChecked();
    choices->stay_in_dir = stay_dir_->isChecked();
    choices->notes = S(notes_->toPlainText());
}

URLWizConfig::URLWizConfig(QWidget* parent) : QWizardPage(parent) {
    setObjectName("URLWizConfig");
    SetPicture(this, 1);
    auto* question =
        new QLabel("Select the number of levels of this web site you wish to download", this);
    question->setWordWrap(true);
    auto* group = new QButtonGroup(this);
    levels_radio_ = new QRadioButton("&Levels", this);
    levels_radio_->setObjectName("LevelsRadio");
    levels_radio_->setChecked(true);
    levels_ = new QSpinBox(this);
    levels_->setObjectName("Levels");
    levels_->setRange(1, std::numeric_limits<int32_t>::max());
    levels_->setValue(2);
    all_levels_ = new QRadioButton("&All Levels", this);
    all_levels_->setObjectName("AllLevels");
    group->addButton(levels_radio_);
    group->addButton(all_levels_);
    auto* row = new QHBoxLayout;
    row->addWidget(levels_radio_);
    row->addWidget(levels_);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addLayout(row);
    layout->addWidget(all_levels_);
    layout->addStretch();
    connect(levels_radio_, &QRadioButton::toggled, levels_, &QWidget::setEnabled);
}

void URLWizConfig::Take(WizardChoices* choices) const {
    choices->all_levels = all_levels_->isChecked();
    choices->levels = levels_->value();
}

URLWizFilter::URLWizFilter(QWidget* parent) : QWizardPage(parent) {
    setObjectName("URLWizFilter");
    SetPicture(this, 2);
    kinds_ = new FileKindsBox(this, kClassCaptions);
    const WizardChoices defaults;
    for (int i = 0; i < 4; ++i) kinds_->class_box(i)->setChecked(defaults.exclude[i]);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(kinds_);
    layout->addStretch();
}

void URLWizFilter::Take(WizardChoices* choices) const {
    choices->only_types = kinds_->only_types();
    choices->types = S(kinds_->types()->text());
    for (int i = 0; i < 4; ++i) choices->exclude[i] = kinds_->class_box(i)->isChecked();
}

URLWizSched::URLWizSched(QWidget* parent) : QWizardPage(parent) {
    setObjectName("URLWizSched");
    SetPicture(this, 3);
    auto* group = new QButtonGroup(this);
    now_ = new QRadioButton("&Immediately after this wizard", this);
    now_->setObjectName("Immediately");
    now_->setChecked(true);
    later_ = new QRadioButton("&Later", this);
    later_->setObjectName("Later");
    group->addButton(now_);
    group->addButton(later_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("When would you like to begin this download?", this));
    layout->addWidget(now_);
    layout->addWidget(later_);
    layout->addStretch();
}

bool URLWizSched::immediately() const { return now_->isChecked(); }

URLWiz::URLWiz(QWidget* parent, CPagewellDoc* doc, const QString& initial_url)
    : QWizard(parent), doc_(doc) {
    setObjectName("URLWiz");
    InitWizardPictures();
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    select_ = new URLWizSelect(this, initial_url);
    config_ = new URLWizConfig(this);
    filter_ = new URLWizFilter(this);
    sched_ = new URLWizSched(this);
    for (QWizardPage* page : {static_cast<QWizardPage*>(select_), static_cast<QWizardPage*>(config_),
                              static_cast<QWizardPage*>(filter_), static_cast<QWizardPage*>(sched_)}) {
        addPage(page);
    }
    connect(this, &QWizard::currentIdChanged, this, &URLWiz::ShowCaption);
    ShowCaption(0);
}

void URLWiz::ShowCaption(int id) {
    if (id >= 0 && id < 4) setWindowTitle(kCaptions[id]);
}

WizardChoices URLWiz::Choices() const {
    WizardChoices choices;
    select_->Take(&choices);
    config_->Take(&choices);
    filter_->Take(&choices);
    return choices;
}

void URLWiz::accept() {
    const std::optional<StartUrlOptions> options = WizardStartUrl(Choices());
    if (!options) {  // step 1 refuses such an address; nothing is created
        QWizard::reject();
        return;
    }
    int32_t id = 0;
    const fw::HRESULT hr = AddStartUrl(doc_->engine(), *options, &id);
    if (fw::Failed(hr)) doc_->LogEngineError(hr);
    // A URL that got as far as its Update exists, with or without filters.
    if (id > 0) {
        result_.added = true;
        result_.url_id = id;
        result_.grab_now = fw::Succeeded(hr) && sched_->immediately();
        doc_->NoteUrlAdded(id);
    }
    QWizard::accept();
}

}  // namespace corvalin
