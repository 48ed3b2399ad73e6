// The choice between excluding media classes and downloading only listed
// file types, as the URL wizard and the URL sheet's Filter page offer it:
// radio "Exclude these types of files" with four class boxes, radio "Only
// download these types of files" with a text field. The boxes (and
// `beside_classes`, if given) are enabled with the first radio, the text
// with the second.
#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace corvalin {

class FileKindsBox : public QWidget {
    Q_OBJECT
  public:
    // `captions`: the class boxes' texts, in kMediaClasses order.
    FileKindsBox(QWidget* parent, const char* const (&captions)[4],
                 QWidget* beside_classes = nullptr);

    bool only_types() const;
    void set_only_types(bool only);
    QCheckBox* class_box(int i) const { return classes_[i]; }
    QLineEdit* types() const { return types_; }

  private:
    void UpdateEnabled();

    QRadioButton* exclude_;
    QRadioButton* only_;
    QCheckBox* classes_[4];
    QWidget* beside_classes_;
    QLineEdit* types_;
};

}  // namespace corvalin
