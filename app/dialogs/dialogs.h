// The entry points of the program's dialogs: the URL wizard, the URL
// property sheet, the project property sheet and the program options.
//
// The main window and the views call only these functions; the dialogs
// themselves live beside them (url_wizard, url_sheet, project_sheet,
// option_sheet).
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

namespace corvalin {

class CPagewellDoc;

struct WizardResult {
    bool added = false;     // a start URL was created
    int32_t url_id = 0;     // its id
    bool grab_now = false;  // the user chose to grab it at once
};

// The URL wizard, with `initial_url` in its first step (Insert, Paste, a
// dropped text, or no URL when the project has none yet). Adds the start
// URL to the open project and tells the views (CPagewellDoc::NoteUrlAdded).
WizardResult RunUrlWizard(QWidget* parent, CPagewellDoc* doc, const QString& initial_url);

// The URL property sheet of `url_id`, as for a start URL when `start_url`.
// True when a start URL's display title was changed and saved (the tree
// re-reads its label, the contents page is rebuilt).
bool RunUrlSheet(QWidget* parent, CPagewellDoc* doc, int32_t url_id, bool start_url);

// The project property sheet ("Corvalin Project Properties").
void RunProjectSheet(QWidget* parent, CPagewellDoc* doc);

// The program options sheet ("Corvalin Options").
void RunOptionsSheet(QWidget* parent, CPagewellDoc* doc);

}  // namespace corvalin
