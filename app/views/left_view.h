// CLeftView: the left pane, the project's start URLs. (A plain list of the
// start URLs for now; the URL tree with its pages comes with the views.)
#pragma once

#include <QTreeWidget>
#include <cstdint>

namespace corvalin {

class CPagewellDoc;

class CLeftView : public QTreeWidget {
    Q_OBJECT
  public:
    CLeftView(CPagewellDoc* doc, QWidget* parent);

    // Rebuilds the tree from the engine and clears the selection (hint 1).
    void Refresh();
    // A notice from the document (ViewHint).
    void OnUpdate(int hint);
    // Each time a project is opened or closed.
    void OnInitialUpdate() { Refresh(); }

  private:
    void Fill();
    void Append(int32_t id);
    void OnSelection();

    CPagewellDoc* doc_;
    bool filling_ = false;  // selection notices are ignored while filling
};

}  // namespace corvalin
