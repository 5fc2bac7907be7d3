#pragma once

// The program's own message, input and file dialogs speak Japanese whatever the system's language,
// and are wide enough for what they show.

#include <QString>

class QFileDialog;
class QInputDialog;
class QMessageBox;
class QWidget;

namespace settings::dialogs {

inline constexpr const char* kButtonYes = "はい";
inline constexpr const char* kButtonNo = "いいえ";
inline constexpr const char* kButtonCancel = "キャンセル";
inline constexpr const char* kButtonOk = "OK";

// はい / いいえ / キャンセル / OK on the box's standard buttons.
void SetJapaneseButtons(QMessageBox& box);

// Widens the box's text so that no line of it wraps, up to most of the screen's width; Japanese text
// has no blanks, so a wrapped line breaks inside a word.
void FitMessageWidth(QMessageBox& box);

// OK / キャンセル, and an entry wide enough for the default text (up to most of the screen's width).
// Call it after the text value is set.
void PrepareInputDialog(QInputDialog& dialog, const QString& defaultText);

// Qt's own file dialog rather than the desktop's, so that it follows the program's language; the
// detail view with its size and date columns sized to their contents (the type column hidden when
// choosing files: one filter gives one type), the side bar wide enough for its names, Japanese labels.
// Call it after the file mode is set.
void PrepareFileDialog(QFileDialog& dialog);

// The width most dialogs may take: nine tenths of the available width of the widget's screen.
int UsableScreenWidth(const QWidget& widget);

} // namespace settings::dialogs
