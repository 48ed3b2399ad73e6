// What the two panes accept when something is dragged onto them: a project
// file (opened, as on the window) or a text (the URL wizard opens with it).
// Text is refused without a project or while a grab runs.
#pragma once

#include <QObject>

namespace corvalin {

class CMainFrame;

class DropTarget : public QObject {
    Q_OBJECT
  public:
    // Watches `viewport` (a pane's), which is made to accept drops.
    DropTarget(CMainFrame* frame, QWidget* viewport);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CMainFrame* frame_;
};

}  // namespace corvalin
