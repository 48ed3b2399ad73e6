#include "app/export/export_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "app/core/content_hooks.h"

namespace corvalin {
namespace {

constexpr char kProgramName[] = "Corvalin";
constexpr char kBrowseTitle[] = "Browse For Folder";
constexpr char kExportingText[] = "Exporting...";
constexpr char kHelpText[] =
    "Location: the folder the grabbed files are copied to, keeping their paths, so "
    "that the copy browses by itself. A whole project brings its contents page "
    "along; one URL gets index.htm, which leads to its page.\n\n"
    "Autorun.inf: prepares the folder for a disc that opens itself: autorun.inf "
    "names the start page and the launcher autorun.sh opens it.";

QString ChooseFolder(QWidget* parent, const QString& start) {
    const QString from =
        start.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) : start;
    return QFileDialog::getExistingDirectory(parent, kBrowseTitle, from, QFileDialog::ShowDirsOnly);
}

// The notice shown while the export runs; it has nothing to press.
QPointer<QDialog> ShowNotice(QWidget* parent, const char* text) {
    auto* notice = new QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    notice->setObjectName("ExportingNotice");
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setWindowTitle(kProgramName);
    auto* layout = new QVBoxLayout(notice);
    layout->setContentsMargins(32, 20, 32, 20);
    layout->addWidget(new QLabel(text, notice));
    notice->show();
    // The export blocks the event loop: paint the notice before it starts.
    QApplication::processEvents();
    return notice;
}

}  // namespace

CExportDialog::CExportDialog(QWidget* parent, const QString& location)
    : QDialog(parent), browse_(ChooseFolder) {
    setObjectName("ExportDialog");
    setWindowTitle("Export");
    location_ = new QLineEdit(location, this);
    location_->setObjectName("Location");
    location_->setMinimumWidth(320);
    auto* browse = new QPushButton("&Browse", this);
    browse->setObjectName("Browse");
    autorun_ = new QCheckBox("Autorun.inf", this);
    autorun_->setObjectName("Autorun");
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Help)->setText("&Help");

    auto* label = new QLabel("Location:", this);
    label->setBuddy(location_);
    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(location_, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(autorun_, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(location_, &QLineEdit::textChanged, this, &CExportDialog::UpdateOk);
    connect(browse, &QPushButton::clicked, this, &CExportDialog::Browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &CExportDialog::ShowHelp);
    UpdateOk();
}

QString CExportDialog::location() const {
    return location_->text();
}

bool CExportDialog::autorun() const {
    return autorun_->isChecked();
}

void CExportDialog::Browse() {
    const QString folder = browse_(this, location_->text());
    if (!folder.isEmpty()) location_->setText(folder);
}

void CExportDialog::ShowHelp() {
    QMessageBox::information(this, windowTitle(), kHelpText);
}

void CExportDialog::UpdateOk() {
    ok_->setEnabled(!location_->text().isEmpty());
}

void RunExportDialog(QWidget* parent, CPagewellDoc* doc, int32_t url_id, bool page_only) {
    if (!doc || !doc->project_open() || doc->grabbing()) return;
    CExportDialog dialog(parent, QString::fromStdString(doc->settings().ExportDirectory()));
    if (dialog.exec() != QDialog::Accepted) return;
    ExportRequest request;
    request.folder = dialog.location().toStdString();
    request.url_id = url_id;
    request.page_only = page_only;
    request.autorun = dialog.autorun();
    doc->settings().SetExportDirectory(request.folder);

    QPointer<QDialog> notice = ShowNotice(parent, kExportingText);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ExportProjectContent(*doc, request);
    QApplication::restoreOverrideCursor();
    if (notice) notice->close();
}

}  // namespace corvalin
