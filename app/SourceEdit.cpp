#include "app/SourceEdit.h"

#include "app/InputList.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace app {

void SourceEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() != nullptr && AcceptsDrop(*event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void SourceEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData() != nullptr && AcceptsDrop(*event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void SourceEdit::dropEvent(QDropEvent* event) {
    if (event->mimeData() == nullptr || !dropHandler_) {
        event->ignore();
        return;
    }
    // Copy, never move: the source of the drag keeps its data.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    dropHandler_(*event->mimeData());
}

} // namespace app
