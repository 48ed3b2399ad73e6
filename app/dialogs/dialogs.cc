// The entry points of the program's dialogs (see dialogs.h).
#include "app/dialogs/dialogs.h"

#include "app/core/pagewell_doc.h"
#include "app/core/program_files.h"
#include "app/dialogs/option_sheet.h"
#include "app/dialogs/project_sheet.h"
#include "app/dialogs/url_sheet.h"
#include "app/dialogs/url_wizard.h"

namespace corvalin {

WizardResult RunUrlWizard(QWidget* parent, CPagewellDoc* doc, const QString& initial_url) {
    if (!doc || !doc->project_open()) return {};
    URLWiz wizard(parent, doc, initial_url);
    wizard.exec();
    return wizard.result();
}

bool RunUrlSheet(QWidget* parent, CPagewellDoc* doc, int32_t url_id, bool start_url) {
    if (!doc || !doc->project_open()) return false;
    CUrlSheet sheet(parent, doc, url_id, start_url);
    return sheet.exec() == QDialog::Accepted && sheet.saved_title();
}

void RunProjectSheet(QWidget* parent, CPagewellDoc* doc) {
    if (!doc || !doc->project_open()) return;
    CPropSheet sheet(parent, doc->project_file(), QString::fromStdString(ProgramDirectory()));
    sheet.exec();
}

void RunOptionsSheet(QWidget* parent, CPagewellDoc* doc) {
    if (!doc) return;
    COptionSheet sheet(parent, doc);
    sheet.exec();
}

}  // namespace corvalin
