// The main window as the engine's host: log pane, status line, message and input boxes.

#include "app/frmMain.h"
#include "settings/dialogs/JapaneseDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

namespace app {

namespace {

QMessageBox::Icon ToQtIcon(engine::MessageIcon icon) {
    switch (icon) {
    case engine::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case engine::MessageIcon::Stop:
        return QMessageBox::Critical;
    case engine::MessageIcon::Information:
        return QMessageBox::Information;
    case engine::MessageIcon::Question:
        return QMessageBox::Question;
    case engine::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void frmMain::AppendLogRaw(const std::string& text) {
    QTextCursor cursor = txtLog->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromStdString(text));
    txtLog->setTextCursor(cursor);
    txtLog->ensureCursorVisible();
}

void frmMain::AppendLog(const std::string& text) {
    AppendLogRaw(text + "\r\n");
}

void frmMain::ClearLog() {
    txtLog->clear();
}

void frmMain::SetStatus(const std::string& text) {
    lblMsg->setText(QString::fromStdString(text));
}

std::string frmMain::Status() const {
    return lblMsg->text().toStdString();
}

engine::MessageResult frmMain::MessageBox(const std::string& text, engine::MessageIcon icon,
                                          engine::MessageButtons buttons) {
    if (hooks_.messageBox) {
        return hooks_.messageBox(text, icon, buttons);
    }
    const bool question = buttons == engine::MessageButtons::YesNoCancel;
    QMessageBox box(ToQtIcon(icon), QString::fromUtf8(engine::kAppTitle), QString::fromStdString(text),
                    question ? (QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) : QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setWindowIcon(windowIcon());
    settings::dialogs::SetJapaneseButtons(box);
    settings::dialogs::FitMessageWidth(box);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return engine::MessageResult::Yes;
    case QMessageBox::No:
        return engine::MessageResult::No;
    case QMessageBox::Cancel:
        return engine::MessageResult::Cancel;
    default:
        // A question box closed with its close box counts as Cancel.
        return question ? engine::MessageResult::Cancel : engine::MessageResult::Ok;
    }
}

std::optional<std::string> frmMain::InputBox(const std::string& prompt, const std::string& title,
                                             const std::string& defaultText) {
    if (hooks_.inputBox) {
        return hooks_.inputBox(prompt, title, defaultText);
    }
    QInputDialog dialog(isVisible() ? this : nullptr);
    // A box without a title of its own carries the application's, as every other box does.
    dialog.setWindowTitle(QString::fromUtf8(title.empty() ? engine::kAppTitle : title.c_str()));
    dialog.setLabelText(QString::fromStdString(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(QString::fromStdString(defaultText));
    dialog.setWindowIcon(windowIcon());
    settings::dialogs::PrepareInputDialog(dialog, dialog.textValue());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue().toStdString();
}

void frmMain::DoEvents() {
    QCoreApplication::processEvents();
}

void frmMain::Beep() {
    QApplication::beep();
}

void frmMain::SetRunning(bool running) {
    btnStart->setEnabled(!running);
    btnStop->setEnabled(running);
}

void frmMain::SetCaptionSuffix(const std::string& suffix) {
    setWindowTitle(QString::fromUtf8(engine::kAppTitle) + QString::fromStdString(suffix));
}

} // namespace app
