// CStartupDialog: the choice offered when the program starts without a
// project: create a new project, or open one (a recent one, or "More
// Files..." for the file dialog).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QRadioButton;

namespace corvalin {

class CStartupDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Choice { kNew, kOpenOther, kOpenRecent };

    // `recent`: the recent projects, most recent first.
    CStartupDialog(const std::vector<std::string>& recent, QWidget* parent);

    // After OK: what was chosen, and for kOpenRecent the project file.
    Choice choice() const;
    std::string chosen_file() const;

    QRadioButton* new_button() const { return new_; }
    QRadioButton* open_button() const { return open_; }
    QListWidget* list() const { return list_; }

  private:
    void UpdateList();

    QRadioButton* new_;
    QRadioButton* open_;
    QListWidget* list_;
};

}  // namespace corvalin
