// Stand-in until the export is built (see export_dialog.h).
#include "app/export/export_dialog.h"

#include <QMessageBox>

namespace corvalin {

void RunExportDialog(QWidget* parent, CPagewellDoc*, int32_t, bool) {
    QMessageBox::information(parent, "Corvalin", "Export will come with a later version.");
}

}  // namespace corvalin
