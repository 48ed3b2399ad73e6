#include "app/tools/dialog_tour.h"

#include <QLineEdit>
#include <QTabWidget>

#include "app/core/pagewell_doc.h"
#include "app/core/program_files.h"
#include "app/dialogs/filter_dialogs.h"
#include "app/dialogs/option_sheet.h"
#include "app/dialogs/project_sheet.h"
#include "app/dialogs/url_sheet.h"
#include "app/dialogs/url_wizard.h"

namespace corvalin {
namespace {

// Every page of a sheet, one picture each, then the sheet goes unsaved.
bool SavePages(PropertySheet* sheet, const char* prefix, const SavePicture& save) {
    bool ok = true;
    sheet->show();
    for (int i = 0; i < sheet->tabs()->count(); ++i) {
        sheet->tabs()->setCurrentIndex(i);
        const QString name = QString(prefix) + "-" + sheet->tabs()->tabText(i).toLower();
        ok &= save(sheet, name.toUtf8().constData());
    }
    sheet->reject();
    return ok;
}

}  // namespace

bool SaveDialogPictures(QWidget* parent, CPagewellDoc& doc, const SavePicture& save) {
    bool ok = true;
    {
        URLWiz wizard(parent, &doc, QString());
        wizard.show();
        const char* names[] = {"wizard-step1", "wizard-step2", "wizard-step3", "wizard-step4"};
        for (int step = 0; step < 4; ++step) {
            ok &= save(&wizard, names[step]);
            if (step == 0) wizard.findChild<QLineEdit*>("Url")->setText("http://www.example.com/");
            wizard.next();
        }
        wizard.reject();
    }
    const std::vector<int32_t> starts = doc.StartUrlIds();
    if (!starts.empty()) {
        CUrlSheet sheet(parent, &doc, starts.front(), true);
        ok &= SavePages(&sheet, "url-sheet", save);
        FilterSetEditor editor = sheet.values().filters;
        CAdvancedFilterDialog advanced(parent, &editor);
        advanced.show();
        ok &= save(&advanced, "advanced-filter");
        advanced.reject();
        CEditFilterDialog edit(parent, FilterRow{});
        edit.show();
        ok &= save(&edit, "edit-filter");
        edit.reject();
    }
    {
        CPropSheet sheet(parent, doc.project_file(), QString::fromStdString(ProgramDirectory()));
        ok &= SavePages(&sheet, "project-sheet", save);
        CEditReplacementDialog edit(parent, ReplacementRule{"L", "Lighthouse", "Beacon"});
        edit.show();
        ok &= save(&edit, "edit-replacement");
        edit.reject();
    }
    {
        COptionSheet sheet(parent, &doc);
        ok &= SavePages(&sheet, "options", save);
    }
    return ok;
}

}  // namespace corvalin
