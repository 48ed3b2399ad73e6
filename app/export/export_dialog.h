// The export dialog ("Export"): where to export to, and whether to prepare
// the folder for a disc that opens itself. Opened by the File menu's "Export
// Content..." (the whole project) and the URL menus' "Export URL Tree" and
// "Export URL Page".
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace corvalin {

class CPagewellDoc;

// The dialog alone: it holds the choices and checks them; RunExportDialog
// does the export.
class CExportDialog : public QDialog {
    Q_OBJECT
public:
    // `location` starts the Location field (the last export's folder).
    CExportDialog(QWidget* parent, const QString& location);

    QString location() const;
    bool autorun() const;
    // The folder chooser behind "&Browse" (the tests answer it themselves).
    void set_browse_for_folder(std::function<QString(QWidget*, const QString&)> browse) {
        browse_ = std::move(browse);
    }

private:
    void Browse();
    void ShowHelp();
    void UpdateOk();

    QLineEdit* location_ = nullptr;
    QCheckBox* autorun_ = nullptr;
    QPushButton* ok_ = nullptr;
    std::function<QString(QWidget*, const QString&)> browse_;
};

// Exports the whole project (url_id 0), the tree below `url_id`, or with
// `page_only` that page and what it shows: the dialog, then (on OK) the
// location kept as the program's Export setting, the export under an
// "Exporting..." notice, and the disc's autorun files when asked for.
void RunExportDialog(QWidget* parent, CPagewellDoc* doc, int32_t url_id, bool page_only);

}  // namespace corvalin
