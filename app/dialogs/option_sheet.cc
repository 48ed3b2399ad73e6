#include "app/dialogs/option_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/core/pagewell_doc.h"

namespace corvalin {
namespace {

constexpr char kHelp[] =
    "General: the browser that shows grabbed pages (the desktop's default browser, or a "
    "program of your choice) and the editor for HTML files.\n\n"
    "Grabbing: how many connections a grab opens, how often a failed URL is tried again, "
    "when a grab stops on its own (bytes received or time spent), how grabbed files are "
    "named, and the User-Agent sent to servers.\n\n"
    "Proxy: the proxy every grab goes through, or the one your browser uses.";

// Upper bounds that keep a grab sane on one machine; the engine refuses
// what lies outside its own ranges.
constexpr int kMaxThreads = 500;
constexpr int kMaxRetries = 100;
constexpr int kMaxFieldNumber = 999999999;

QString DefaultChooseProgram(QWidget* parent, const QString& current) {
    QFileDialog dialog(parent, "Open", current);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter("All Files (*)");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QLineEdit* NumberField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setValidator(new QIntValidator(0, kMaxFieldNumber, field));
    return field;
}

QSpinBox* SpinField(QWidget* parent, const char* name, int min, int max) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(min, max);
    return spin;
}

QLabel* Buddy(const char* text, QWidget* field) {
    auto* label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    return label;
}

}  // namespace

void ShowRefusedSetting(QWidget* parent) {
    ShowDialogMessage(parent,
                      "A setting was refused and not stored. The error log says which one and why.");
}

// --- General -----------------------------------------------------------------------

PageGeneralGrab::PageGeneralGrab(CPagewellDoc* doc, ChooseProgram choose)
    : doc_(doc), choose_(choose ? std::move(choose) : ChooseProgram(DefaultChooseProgram)) {
    setObjectName("PageGeneralGrab");
    auto* browse_group = new QGroupBox("Browse Web Pages With:", this);
    default_browser_ = new QCheckBox("Default Browser", browse_group);
    default_browser_->setObjectName("DefaultBrowser");
    browser_ = new QLineEdit(browse_group);
    browser_->setObjectName("Browser");
    browser_->setMinimumWidth(280);
    browse_browser_ = new QPushButton("...", browse_group);
    browse_browser_->setObjectName("BrowseBrowser");
    browse_browser_->setFixedWidth(browse_browser_->fontMetrics().horizontalAdvance("....") + 24);
    auto* browse_layout = new QGridLayout(browse_group);
    browse_layout->addWidget(default_browser_, 0, 0, 1, 2);
    browse_layout->addWidget(browser_, 1, 0);
    browse_layout->addWidget(browse_browser_, 1, 1);

    auto* editor_group = new QGroupBox("HTML Editor", this);
    editor_ = new QLineEdit(editor_group);
    editor_->setObjectName("HtmlEditor");
    auto* browse_editor = new QPushButton("...", editor_group);
    browse_editor->setObjectName("BrowseEditor");
    browse_editor->setFixedWidth(browse_browser_->width());
    auto* editor_layout = new QHBoxLayout(editor_group);
    editor_layout->addWidget(editor_);
    editor_layout->addWidget(browse_editor);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browse_group);
    layout->addWidget(editor_group);
    layout->addStretch();

    connect(default_browser_, &QCheckBox::toggled, this, &PageGeneralGrab::UpdateEnabled);
    connect(browse_browser_, &QPushButton::clicked, this, [this] {
        const QString path = choose_(this, browser_->text());
        if (!path.isEmpty()) browser_->setText(path);
    });
    connect(browse_editor, &QPushButton::clicked, this, [this] {
        const QString path = choose_(this, editor_->text());
        if (!path.isEmpty()) editor_->setText(path);
    });
}

void PageGeneralGrab::Fill() {
    const GeneralOptions options = ReadGeneralOptions(doc_->settings());
    editor_->setText(Q(options.html_editor));
    default_browser_->setChecked(options.use_default_browser);
    browser_->setText(Q(options.browser));
    UpdateEnabled();
}

void PageGeneralGrab::UpdateEnabled() {
    const bool own = !default_browser_->isChecked();
    browser_->setEnabled(own);
    browse_browser_->setEnabled(own);
}

void PageGeneralGrab::Write() {
    GeneralOptions options;
    options.html_editor = S(editor_->text());
    options.use_default_browser = default_browser_->isChecked();
    options.browser = S(browser_->text());
    WriteGeneralOptions(doc_->settings(), options);
}

// --- Grabbing ----------------------------------------------------------------------

PageGrabbing::PageGrabbing(CPagewellDoc* doc) : doc_(doc) {
    setObjectName("PageGrabbing");
    auto* limits = new QGroupBox("Limits", this);
    threads_ = SpinField(limits, "MaxThreads", 1, kMaxThreads);
    per_server_ = SpinField(limits, "MaxThreadsPerServer", 1, kMaxThreads);
    retries_ = SpinField(limits, "Retries", 0, kMaxRetries);
    use_bytes_ = new QCheckBox("Maximum &Bytes to Grab (in Kilobytes):", limits);
    use_bytes_->setObjectName("UseByteLimit");
    kilobytes_ = NumberField(limits, "LimitKiloBytes");
    use_time_ = new QCheckBox("Maximum &Amout of Time to Grab (HH:MM):", limits);
    use_time_->setObjectName("UseTimeLimit");
    hours_ = NumberField(limits, "LimitHours");
    minutes_ = NumberField(limits, "LimitMinutes");
    for (QLineEdit* field : {kilobytes_, hours_, minutes_}) field->setMaximumWidth(90);
    auto* time = new QHBoxLayout;
    time->addWidget(hours_);
    time->addWidget(new QLabel(":", limits));
    time->addWidget(minutes_);
    time->addStretch();
    auto* grid = new QGridLayout(limits);
    grid->addWidget(Buddy("Maximum Number of &Threads:", threads_), 0, 0);
    grid->addWidget(threads_, 0, 1, Qt::AlignLeft);
    grid->addWidget(Buddy("Maximum Threads &Per Server:", per_server_), 1, 0);
    grid->addWidget(per_server_, 1, 1, Qt::AlignLeft);
    grid->addWidget(Buddy("Maximum &Retries:", retries_), 2, 0);
    grid->addWidget(retries_, 2, 1, Qt::AlignLeft);
    grid->addWidget(use_bytes_, 3, 0);
    grid->addWidget(kilobytes_, 3, 1, Qt::AlignLeft);
    grid->addWidget(use_time_, 4, 0);
    grid->addLayout(time, 4, 1);
    grid->setColumnStretch(1, 1);

    auto* storage = new QGroupBox("File Storage Structure", this);
    short_names_ = new QCheckBox("Use &MS-DOS 8.3 Filenames", storage);
    short_names_->setObjectName("ShortFileNames");
    site_structure_ = new QCheckBox("Preserve &Site Structure", storage);
    site_structure_->setObjectName("SiteStructure");
    domain_dirs_ = new QCheckBox("Use &Domain in Directory", storage);
    domain_dirs_->setObjectName("DomainDirectory");
    auto* storage_layout = new QVBoxLayout(storage);
    storage_layout->addWidget(short_names_);
    storage_layout->addWidget(site_structure_);
    storage_layout->addWidget(domain_dirs_);

    auto* emulation = new QGroupBox("Web Browser Emulation", this);
    user_agent_ = new QLineEdit(emulation);
    user_agent_->setObjectName("UserAgent");
    auto* emulation_layout = new QFormLayout(emulation);
    emulation_layout->addRow(Buddy("User Agent:", user_agent_), user_agent_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(limits);
    layout->addWidget(storage);
    layout->addWidget(emulation);
    layout->addStretch();

    connect(use_bytes_, &QCheckBox::toggled, this, &PageGrabbing::UpdateEnabled);
    connect(use_time_, &QCheckBox::toggled, this, &PageGrabbing::UpdateEnabled);
}

void PageGrabbing::Fill() {
    GrabbingOptions options;
    fw::ComPtr<fw::IDizozizPrefs> prefs = doc_->Preferences();
    if (!prefs) return;
    if (const fw::HRESULT hr = ReadGrabbingOptions(prefs.get(), &options); fw::Failed(hr)) {
        doc_->LogEngineError(hr);
    }
    threads_->setValue(options.max_threads);
    per_server_->setValue(options.max_threads_per_server);
    retries_->setValue(options.retries);
    use_bytes_->setChecked(options.use_byte_limit);
    kilobytes_->setText(Q(options.kilobytes));
    hours_->setText(Q(options.hours));
    minutes_->setText(Q(options.minutes));
    use_time_->setChecked(options.use_time_limit);
    short_names_->setChecked(options.file_flags & kShortFileNames);
    site_structure_->setChecked(options.file_flags & kSiteStructure);
    domain_dirs_->setChecked(options.file_flags & kDomainDirectory);
    user_agent_->setText(Q(options.user_agent));
    UpdateEnabled();
}

void PageGrabbing::UpdateEnabled() {
    kilobytes_->setEnabled(use_bytes_->isChecked());
    hours_->setEnabled(use_time_->isChecked());
    minutes_->setEnabled(use_time_->isChecked());
}

GrabbingOptions PageGrabbing::Values() const {
    GrabbingOptions options;
    options.max_threads = threads_->value();
    options.max_threads_per_server = per_server_->value();
    options.retries = retries_->value();
    options.use_byte_limit = use_bytes_->isChecked();
    options.kilobytes = S(kilobytes_->text());
    options.use_time_limit = use_time_->isChecked();
    options.hours = S(hours_->text());
    options.minutes = S(minutes_->text());
    options.file_flags = (short_names_->isChecked() ? kShortFileNames : 0) |
                         (site_structure_->isChecked() ? kSiteStructure : 0) |
                         (domain_dirs_->isChecked() ? kDomainDirectory : 0);
    options.user_agent = S(user_agent_->text());
    return options;
}

bool PageGrabbing::CanLeave() {
    GrabbingOptions values = Values();
    if (GrabbingOptionsCanLeave(values)) return true;
    // Refused without a message: the field that holds the page gets the focus.
    values.use_time_limit = false;
    (GrabbingOptionsCanLeave(values) ? hours_ : kilobytes_)->setFocus();
    return false;
}

void PageGrabbing::Write() {
    fw::ComPtr<fw::IDizozizPrefs> prefs = doc_->Preferences();
    if (!prefs) return;
    if (const fw::HRESULT hr = WriteGrabbingOptions(prefs.get(), Values()); fw::Failed(hr)) {
        doc_->LogEngineError(hr);
        ShowRefusedSetting(this);
    }
}

// --- Proxy -------------------------------------------------------------------------

PageProxy::PageProxy(CPagewellDoc* doc) : doc_(doc) {
    setObjectName("PageProxy");
    use_browsers_ = new QCheckBox("Use Browser's Proxy Settings", this);
    use_browsers_->setObjectName("UseBrowsers");
    use_proxy_ = new QCheckBox("&Enable Proxy", this);
    use_proxy_->setObjectName("UseProxy");
    server_ = new QLineEdit(this);
    server_->setObjectName("ProxyServer");
    server_->setMinimumWidth(240);
    port_ = SpinField(this, "ProxyPort", 1, 65535);
    type_ = new QComboBox(this);
    type_->setObjectName("ProxyType");
    for (int i = 0; i < kProxyKindCount; ++i) type_->addItem(kProxyKinds[i].name, i);
    user_ = new QLineEdit(this);
    user_->setObjectName("ProxyUsername");
    password_ = new QLineEdit(this);
    password_->setObjectName("ProxyPassword");
    password_->setEchoMode(QLineEdit::Password);

    auto* form = new QFormLayout;
    form->addRow(Buddy("&Server:", server_), server_);
    form->addRow(Buddy("Port:", port_), port_);
    form->addRow(Buddy("&Type:", type_), type_);
    form->addRow(Buddy("&Username:", user_), user_);
    form->addRow(Buddy("&Password:", password_), password_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(use_browsers_);
    layout->addWidget(use_proxy_);
    layout->addLayout(form);
    layout->addStretch();

    connect(use_browsers_, &QCheckBox::toggled, this, &PageProxy::UpdateEnabled);
    connect(use_proxy_, &QCheckBox::toggled, this, &PageProxy::UpdateEnabled);
    connect(type_, &QComboBox::currentIndexChanged, this, &PageProxy::UpdateEnabled);
}

void PageProxy::Fill() {
    ProxyOptions options;
    fw::ComPtr<fw::IDizozizPrefs> prefs = doc_->Preferences();
    if (prefs) {
        if (const fw::HRESULT hr = ReadProxyOptions(doc_->settings(), prefs.get(), &options);
            fw::Failed(hr)) {
            doc_->LogEngineError(hr);
        }
    }
    use_browsers_->setChecked(options.use_browsers);
    type_->setCurrentIndex(options.kind);
    use_proxy_->setChecked(options.use_proxy);
    server_->setText(Q(options.server));
    user_->setText(Q(options.user));
    password_->setText(Q(options.password));
    port_->setValue(options.port);
    UpdateEnabled();
}

void PageProxy::UpdateEnabled() {
    const ProxyControlStates states = ProxyControlStatesFor(
        use_browsers_->isChecked(), use_proxy_->isChecked(), type_->currentIndex());
    use_proxy_->setEnabled(states.enable_proxy);
    server_->setEnabled(states.server);
    port_->setEnabled(states.server);
    type_->setEnabled(states.server);
    user_->setEnabled(states.user);
    password_->setEnabled(states.password);
}

void PageProxy::Write() {
    ProxyOptions options;
    options.use_browsers = use_browsers_->isChecked();
    options.kind = type_->currentIndex();
    options.use_proxy = use_proxy_->isChecked();
    options.server = S(server_->text());
    options.port = port_->value();
    options.user = S(user_->text());
    options.password = S(password_->text());
    fw::ComPtr<fw::IDizozizPrefs> prefs = doc_->Preferences();
    if (!prefs) return;
    if (const fw::HRESULT hr = WriteProxyOptions(doc_->settings(), prefs.get(), options);
        fw::Failed(hr)) {
        doc_->LogEngineError(hr);
        ShowRefusedSetting(this);
    }
}

COptionSheet::COptionSheet(QWidget* parent, CPagewellDoc* doc, ChooseProgram choose)
    : PropertySheet(parent, kOptionsCaption, kHelp) {
    setObjectName("OptionSheet");
    AddPage(new PageGeneralGrab(doc, std::move(choose)), "General");
    AddPage(new PageGrabbing(doc), "Grabbing");
    AddPage(new PageProxy(doc), "Proxy");
}

}  // namespace corvalin
