// The filter dialogs of the URL property sheet: "Advanced Filter
// Management", which edits a copy of a URL's FilterSetEditor and writes it
// back on OK, and "Edit Filter", which edits one row.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "app/core/filter_set_editor.h"
#include "app/dialogs/row_list.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace corvalin {

class CEditFilterDialog : public QDialog {
    Q_OBJECT
  public:
    CEditFilterDialog(QWidget* parent, const FilterRow& row);
    // The row with the dialog's values.
    FilterRow row() const;

  private:
    FilterRow row_;
    QRadioButton* url_;
    QRadioButton* mime_;
    QRadioButton* zip_;  // kept for type-list rows; never shown
    QRadioButton* kept_;
    QRadioButton* discarded_;
    QCheckBox* case_sensitive_;
    QLineEdit* text_;
    QRadioButton* begins_;
    QRadioButton* ends_;
    QRadioButton* contains_;
    QRadioButton* exactly_;
};

// Opens "Edit Filter" on a row; true (with *row changed) on OK.
using EditFilterRow = std::function<bool(QWidget* parent, FilterRow* row)>;

// The Type cell of a filter line: "+" keeps, "-" discards, then "URL",
// "Zip" or "Mime".
QString FilterLineType(const FilterRow& row);

class CAdvancedFilterDialog : public QDialog {
    Q_OBJECT
  public:
    CAdvancedFilterDialog(QWidget* parent, FilterSetEditor* editor, EditFilterRow edit = {});

    // OK: refused with a message while the size or the type list is checked
    // without a usable value; otherwise writes the copy back.
    void accept() override;

  private:
    void AddLine(int row);
    void ShowLine(int line);
    void NewRow();
    void EditLine(int line);
    void DeleteLine(int line);

    FilterSetEditor* editor_;
    EditFilterRow edit_;
    std::vector<FilterRow> rows_;  // the copy
    std::vector<int> line_rows_;   // the row of each list line
    int type_row_ = -1;            // the row behind the type field; -1 none
    QCheckBox* stay_site_;
    QCheckBox* stay_dir_;
    QCheckBox* use_size_;
    QLineEdit* size_;
    QCheckBox* use_types_;
    QLineEdit* types_;
    RowList* list_;
};

}  // namespace corvalin
