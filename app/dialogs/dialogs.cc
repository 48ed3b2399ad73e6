// Stand-ins for the dialogs until they are built (see dialogs.h).
#include "app/dialogs/dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

#include "app/core/pagewell_doc.h"
#include "app/core/start_url.h"

namespace corvalin {
namespace {

void NotAvailable(QWidget* parent, const QString& what) {
    QMessageBox::information(parent, "Corvalin", what + " will come with a later version.");
}

}  // namespace

WizardResult RunUrlWizard(QWidget* parent, CPagewellDoc* doc, const QString& initial_url) {
    WizardResult result;
    if (!doc->project_open()) return result;
    QString text = initial_url.isEmpty() ? QStringLiteral("http://www.") : initial_url;
    for (;;) {
        bool ok = false;
        text = QInputDialog::getText(
            parent, "New URL", "Address of the web site to copy:", QLineEdit::Normal, text, &ok);
        if (!ok) return result;
        std::string why;
        const std::optional<std::string> url = CheckStartUrl(text.trimmed().toStdString(), &why);
        if (url) {
            StartUrlOptions options;
            options.url = *url;
            if (const fw::HRESULT hr = AddStartUrl(doc->engine(), options, &result.url_id);
                fw::Failed(hr)) {
                doc->LogEngineError(hr);
                return result;
            }
            result.added = true;
            doc->NoteUrlAdded(result.url_id);
            return result;
        }
        QMessageBox::warning(
            parent, "Corvalin",
            "This address cannot be grabbed: " + QString::fromStdString(why) + ".");
    }
}

bool RunUrlSheet(QWidget* parent, CPagewellDoc*, int32_t, bool) {
    NotAvailable(parent, "The URL properties");
    return false;
}

void RunProjectSheet(QWidget* parent, CPagewellDoc*) {
    NotAvailable(parent, "The project properties");
}

void RunOptionsSheet(QWidget* parent, CPagewellDoc*) {
    NotAvailable(parent, "The program options");
}

}  // namespace corvalin
