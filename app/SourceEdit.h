#pragma once

// The input list box. Drops are handed to the window (which inserts at the caret) instead of the
// editor's own handling, which would move the caret to the mouse and paste file addresses as text.

#include <QPlainTextEdit>
#include <functional>

namespace app {

class SourceEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

    void SetDropHandler(std::function<void(const QMimeData&)> handler) { dropHandler_ = std::move(handler); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::function<void(const QMimeData&)> dropHandler_;
};

} // namespace app
