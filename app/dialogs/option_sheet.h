// COptionSheet ("Corvalin Options"): the settings of every project. The
// General page keeps the program settings, Grabbing the engine preferences,
// Proxy both. The rules are app/core/option_values.
#pragma once

#include <functional>

#include "app/core/option_values.h"
#include "app/dialogs/property_sheet.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace corvalin {

class CPagewellDoc;

// Asks for a program (the "..." buttons); empty when cancelled.
using ChooseProgram = std::function<QString(QWidget* parent, const QString& current)>;

class PageGeneralGrab : public SheetPage {
    Q_OBJECT
  public:
    PageGeneralGrab(CPagewellDoc* doc, ChooseProgram choose);

  protected:
    void Fill() override;
    void Write() override;

  private:
    void UpdateEnabled();

    CPagewellDoc* doc_;
    ChooseProgram choose_;
    QCheckBox* default_browser_;
    QLineEdit* browser_;
    QPushButton* browse_browser_;
    QLineEdit* editor_;
};

class PageGrabbing : public SheetPage {
    Q_OBJECT
  public:
    explicit PageGrabbing(CPagewellDoc* doc);

  protected:
    void Fill() override;
    bool CanLeave() override;
    void Write() override;

  private:
    GrabbingOptions Values() const;
    void UpdateEnabled();

    CPagewellDoc* doc_;
    QSpinBox* threads_;
    QSpinBox* per_server_;
    QSpinBox* retries_;
    QCheckBox* use_bytes_;
    QLineEdit* kilobytes_;
    QCheckBox* use_time_;
    QLineEdit* hours_;
    QLineEdit* minutes_;
    QCheckBox* short_names_;
    QCheckBox* site_structure_;
    QCheckBox* domain_dirs_;
    QLineEdit* user_agent_;
};

class PageProxy : public SheetPage {
    Q_OBJECT
  public:
    explicit PageProxy(CPagewellDoc* doc);

  protected:
    void Fill() override;
    void Write() override;

  private:
    void UpdateEnabled();

    CPagewellDoc* doc_;
    QCheckBox* use_browsers_;
    QCheckBox* use_proxy_;
    QLineEdit* server_;
    QSpinBox* port_;
    QComboBox* type_;
    QLineEdit* user_;
    QLineEdit* password_;
};

class COptionSheet : public PropertySheet {
    Q_OBJECT
  public:
    COptionSheet(QWidget* parent, CPagewellDoc* doc, ChooseProgram choose = {});
};

// Reports a preference the engine refused (logged by the caller).
void ShowRefusedSetting(QWidget* parent);

}  // namespace corvalin
