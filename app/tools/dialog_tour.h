// The dialogs' part of the screenshot tour: every wizard step, every page
// of the URL, project and options sheets, and the dialogs they open.
#pragma once

#include <QWidget>
#include <functional>

namespace corvalin {

class CPagewellDoc;

// Saves one picture of `widget` under `name`; false when it could not.
using SavePicture = std::function<bool(QWidget* widget, const char* name)>;

// Shows each dialog over `parent` with the open project of `doc`, saves its
// pictures and closes it again, changing nothing. True when every picture
// was saved.
bool SaveDialogPictures(QWidget* parent, CPagewellDoc& doc, const SavePicture& save);

}  // namespace corvalin
