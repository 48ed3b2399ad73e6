// CUrlSheet ("URL Properties"): one URL of the project on four pages
// (Grab, Filter, Authentication, Notes). It reads everything when it opens
// and stores on OK only (app/core/url_sheet_values).
#pragma once

#include "app/core/url_sheet_values.h"
#include "app/dialogs/file_kinds_box.h"
#include "app/dialogs/filter_dialogs.h"
#include "app/dialogs/property_sheet.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace corvalin {

class CPagewellDoc;

class PageGrabProperties : public SheetPage {
    Q_OBJECT
  public:
    PageGrabProperties(CPagewellDoc* doc, UrlSheetValues* values, bool start_url);
    bool title_changed() const { return title_changed_; }

  protected:
    void Fill() override;
    bool CanLeave() override;
    void Write() override;

  private:
    void UpdateEnabled();
    void Spin(int step);
    void Launch();

    CPagewellDoc* doc_;
    UrlSheetValues* values_;
    bool start_url_;
    std::string loaded_title_;
    std::string loaded_url_;
    bool title_changed_ = false;
    QLineEdit* title_;
    QLineEdit* url_;
    QLineEdit* folder_;
    QLineEdit* file_;
    QRadioButton* levels_radio_;
    QLineEdit* levels_;
    QToolButton* up_;
    QToolButton* down_;
    QRadioButton* all_levels_;
    QRadioButton* skip_;
    QPushButton* browse_;
    QPushButton* launch_;
};

class PageFilter : public SheetPage {
    Q_OBJECT
  public:
    PageFilter(UrlSheetValues* values, EditFilterRow edit);

  protected:
    void Fill() override;
    void Write() override;

  private:
    void Advanced();

    FilterSetEditor* editor_;
    EditFilterRow edit_;
    QCheckBox* stay_site_;
    QCheckBox* stay_dir_;
    FileKindsBox* kinds_;
};

class PageAuthent : public SheetPage {
    Q_OBJECT
  public:
    explicit PageAuthent(UrlSheetValues* values);

  protected:
    void Fill() override;
    void Write() override;

  private:
    UrlSheetValues* values_;
    QLineEdit* user_;
    QLineEdit* password_;
};

class PageNotes : public SheetPage {
    Q_OBJECT
  public:
    explicit PageNotes(UrlSheetValues* values);

  protected:
    void Fill() override;
    void Write() override;

  private:
    UrlSheetValues* values_;
    QPlainTextEdit* notes_;
};

class CUrlSheet : public PropertySheet {
    Q_OBJECT
  public:
    CUrlSheet(QWidget* parent, CPagewellDoc* doc, int32_t url_id, bool start_url,
              EditFilterRow edit = {});
    // After OK: a start URL's title was changed and stored.
    bool saved_title() const { return saved_title_; }
    const UrlSheetValues& values() const { return values_; }

  protected:
    void Written() override;

  private:
    CPagewellDoc* doc_;
    int32_t url_id_;
    bool start_url_;
    UrlSheetValues values_;
    PageGrabProperties* grab_page_;
    bool saved_title_ = false;
};

}  // namespace corvalin
