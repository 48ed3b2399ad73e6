// URLWiz: the URL wizard that adds one start URL to the open project in
// four steps (address, levels, kinds of files, when to start). Nothing
// reaches the engine before Finish.
#pragma once

#include <QWizard>
#include <QWizardPage>

#include "app/core/url_fields.h"
#include "app/dialogs/dialogs.h"
#include "app/dialogs/file_kinds_box.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace corvalin {

class CPagewellDoc;

class URLWizSelect : public QWizardPage {
    Q_OBJECT
  public:
    URLWizSelect(QWidget* parent, const QString& initial_url);
    // Next: the address must be valid; an address of scheme and host alone
    // gains its "/".
    bool validatePage() override;
    void Take(WizardChoices* choices) const;

  private:
    QLineEdit* url_;
    QCheckBox* stay_site_;
    QCheckBox* stay_dir_;
    QPlainTextEdit* notes_;
};

class URLWizConfig : public QWizardPage {
    Q_OBJECT
  public:
    explicit URLWizConfig(QWidget* parent);
    void Take(WizardChoices* choices) const;

  private:
    QRadioButton* levels_radio_;
    QSpinBox* levels_;
    QRadioButton* all_levels_;
};

class URLWizFilter : public QWizardPage {
    Q_OBJECT
  public:
    explicit URLWizFilter(QWidget* parent);
    void Take(WizardChoices* choices) const;

  private:
    FileKindsBox* kinds_;
};

class URLWizSched : public QWizardPage {
    Q_OBJECT
  public:
    explicit URLWizSched(QWidget* parent);
    bool immediately() const;

  private:
    QRadioButton* now_;
    QRadioButton* later_;
};

class URLWiz : public QWizard {
    Q_OBJECT
  public:
    URLWiz(QWidget* parent, CPagewellDoc* doc, const QString& initial_url);

    // Finish: creates the URL with its filters and tells the views.
    void accept() override;
    const WizardResult& result() const { return result_; }
    WizardChoices Choices() const;

  private:
    void ShowCaption(int id);

    CPagewellDoc* doc_;
    URLWizSelect* select_;
    URLWizConfig* config_;
    URLWizFilter* filter_;
    URLWizSched* sched_;
    WizardResult result_;
};

}  // namespace corvalin
