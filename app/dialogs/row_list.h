// A list of rows with "&New...", "&Edit..." and "&Delete" below it, as the
// Replace page and the advanced filter dialog show their rules. The list
// keeps only texts; its owner keeps the rows and answers the buttons.
#pragma once

#include <QStringList>
#include <QWidget>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace corvalin {

class RowList : public QWidget {
    Q_OBJECT
  public:
    // `percents`: each column's share of the list's width; `name` names
    // the list for tests and the screenshot tour.
    RowList(QWidget* parent, const char* name, const QStringList& headers,
            std::vector<int> percents);

    QTreeWidget* list() const { return list_; }
    int lines() const;
    // Sets the texts of `line`; a line one past the last is appended.
    void SetLine(int line, const QStringList& texts);
    // Removes `line`, then selects the first line when any is left.
    void RemoveLine(int line);
    void Clear();
    // The selected line; -1 when none is.
    int SelectedLine() const;

  signals:
    void newRequested();
    // "&Edit..." or a double click on a selected line.
    void editRequested(int line);
    void deleteRequested(int line);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void UpdateEnabled();

    std::vector<int> percents_;
    QTreeWidget* list_;
    QPushButton* edit_;
    QPushButton* delete_;
};

}  // namespace corvalin
