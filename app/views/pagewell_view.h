// CPagewellView: the right pane, the files below the URL selected in the
// tree. (Empty for now; the URL list comes with the views.)
#pragma once

#include <QListWidget>

namespace corvalin {

class CPagewellDoc;

class CPagewellView : public QListWidget {
    Q_OBJECT
  public:
    CPagewellView(CPagewellDoc* doc, QWidget* parent);

    void OnUpdate(int hint);
    void OnInitialUpdate() { clear(); }

  private:
    CPagewellDoc* doc_;
};

}  // namespace corvalin
