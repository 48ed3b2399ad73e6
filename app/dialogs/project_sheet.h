// CPropSheet ("Corvalin Project Properties"): the settings of the open
// project kept in its project file: the command run after a grab, the page
// replacement rules and the edge-link choice. The rules are
// app/core/project_options.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <vector>

#include "app/core/project_file.h"
#include "app/dialogs/property_sheet.h"
#include "app/dialogs/row_list.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace corvalin {

class CPagewellDoc;

// The Run After drop-down: the scripts of the program directory. Choosing
// one puts in the command its first line proposes; closing the list without
// choosing puts back the text typed before it opened.
class RunAfterCombo : public QComboBox {
    Q_OBJECT
  public:
    RunAfterCombo(QWidget* parent, QString script_dir);
    void showPopup() override;
    void hidePopup() override;

  private:
    void Chosen(int index);

    QString script_dir_;
    QString text_before_;
    int index_before_ = -1;
    bool open_ = false;
};

class PagePropsGrab : public SheetPage {
    Q_OBJECT
  public:
    PagePropsGrab(const ProjectFile& project, QString script_dir);

  protected:
    void Fill() override;
    void Write() override;

  private:
    ProjectFile project_;
    QString script_dir_;
    QCheckBox* run_after_;
    RunAfterCombo* command_;
};

class CEditReplacementDialog : public QDialog {
    Q_OBJECT
  public:
    CEditReplacementDialog(QWidget* parent, const ReplacementRule& rule);
    ReplacementRule rule() const;

  private:
    QRadioButton* text_;
    QRadioButton* file_;
    QRadioButton* line_;
    QLineEdit* search_;
    QLineEdit* replace_;
    QCheckBox* case_sensitive_;
};

// Opens the edit dialog on a rule; true (with *rule changed) on OK.
using EditRule = std::function<bool(QWidget* parent, ReplacementRule* rule)>;

class PageReplace : public SheetPage {
    Q_OBJECT
  public:
    PageReplace(const ProjectFile& project, EditRule edit);
    const std::vector<ReplacementRule>& rules() const { return rules_; }

  protected:
    void Fill() override;
    void Write() override;

  private:
    void ShowRule(int row);
    void AddRule();
    void ChangeRule(int row);
    void DeleteRule(int row);

    ProjectFile project_;
    EditRule edit_;
    std::vector<ReplacementRule> rules_;
    bool changed_ = false;
    RowList* list_;
};

class PageEdge : public SheetPage {
    Q_OBJECT
  public:
    explicit PageEdge(const ProjectFile& project);

  protected:
    void Fill() override;
    void Write() override;

  private:
    ProjectFile project_;
    QRadioButton* full_url_;
    QRadioButton* file_;
    QLineEdit* edge_file_;
};

class CPropSheet : public PropertySheet {
    Q_OBJECT
  public:
    // `script_dir` holds the run-after scripts (the program directory).
    CPropSheet(QWidget* parent, const ProjectFile& project, const QString& script_dir,
               EditRule edit = {});
};

}  // namespace corvalin
