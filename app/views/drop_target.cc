#include "app/views/drop_target.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include "app/main_frame.h"

namespace corvalin {

DropTarget::DropTarget(CMainFrame* frame, QWidget* viewport) : QObject(viewport), frame_(frame) {
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (frame_->CanTakeDrop(drag->mimeData())) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!frame_->CanTakeDrop(drop->mimeData())) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            frame_->TakeDrop(drop->mimeData());
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace corvalin
