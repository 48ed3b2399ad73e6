// A property sheet: pages on tabs with OK, Cancel and Help. A page reads
// its values when it is first shown and writes them when the sheet is
// closed with OK; pages never shown write nothing, and Cancel writes
// nothing. A page may refuse to be left (for another page or for OK) while
// its values are not acceptable.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <vector>

class QDialogButtonBox;
class QTabWidget;

namespace corvalin {

class SheetPage : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    bool filled() const { return filled_; }
    // Fills the page once, before it is first shown.
    void FillOnce();

  protected:
    // Reads the page's values into its controls.
    virtual void Fill() = 0;
    // Whether the page may be left; a refusal may say why in a message box.
    virtual bool CanLeave() { return true; }
    // Stores the page's values. Runs only for filled pages, at OK.
    virtual void Write() = 0;

    void showEvent(QShowEvent* event) override;

  private:
    friend class PropertySheet;
    bool filled_ = false;
};

class PropertySheet : public QDialog {
    Q_OBJECT
  public:
    // `help` is the text the Help button shows.
    PropertySheet(QWidget* parent, const QString& caption, const QString& help);

    void AddPage(SheetPage* page, const QString& caption);
    QTabWidget* tabs() const { return tabs_; }
    QDialogButtonBox* buttons() const { return buttons_; }

    // OK: the current page must let itself be left; then every filled page
    // writes, in page order, and the sheet closes.
    void accept() override;

  protected:
    // After every page wrote (OK only).
    virtual void Written() {}

  private:
    void CurrentChanged(int index);

    QTabWidget* tabs_;
    QDialogButtonBox* buttons_;
    QString help_;
    int current_ = 0;
    bool switching_back_ = false;
};

// The program's message box (caption "Corvalin", one OK button).
void ShowDialogMessage(QWidget* parent, const QString& text);

}  // namespace corvalin
