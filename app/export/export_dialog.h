// The export dialog's entry point (the File menu's "Export Content..." and the
// URL menu's "Export URL Tree" / "Export URL Page"). Until the export is
// built, export_dialog.cc says that it is not available yet.
#pragma once

#include <QWidget>
#include <cstdint>

namespace corvalin {

class CPagewellDoc;

// Exports the whole project (url_id 0), the tree below `url_id`, or with
// `page_only` that page and its requisites.
void RunExportDialog(QWidget* parent, CPagewellDoc* doc, int32_t url_id, bool page_only);

}  // namespace corvalin
