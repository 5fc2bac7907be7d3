#include "settings/dialogs/JapaneseDialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

namespace settings::dialogs {

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

void Name(QMessageBox& box, QMessageBox::StandardButton which, const char* text) {
    if (QAbstractButton* button = box.button(which)) {
        button->setText(U(text));
    }
}

} // namespace

int UsableScreenWidth(const QWidget& widget) {
    const QScreen* screen = widget.screen() != nullptr ? widget.screen() : QGuiApplication::primaryScreen();
    const int available = screen != nullptr ? screen->availableGeometry().width() : 1024;
    return available * 9 / 10;
}

void SetJapaneseButtons(QMessageBox& box) {
    Name(box, QMessageBox::Yes, kButtonYes);
    Name(box, QMessageBox::No, kButtonNo);
    Name(box, QMessageBox::Cancel, kButtonCancel);
    Name(box, QMessageBox::Ok, kButtonOk);
}

void FitMessageWidth(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr) {
        return;
    }
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : box.text().split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    // A few pixels more: the label's margins and rounding of the advance.
    label->setMinimumWidth(std::min(widest + metrics.averageCharWidth(), UsableScreenWidth(box)));
}

void PrepareInputDialog(QInputDialog& dialog, const QString& defaultText) {
    dialog.setOkButtonText(U(kButtonOk));
    dialog.setCancelButtonText(U(kButtonCancel));
    const QFontMetrics metrics(dialog.font());
    // Room for the text and a few more characters typed after it.
    const int wanted = metrics.horizontalAdvance(defaultText) + 12 * metrics.averageCharWidth();
    const int width = std::min(std::max(wanted, 360), UsableScreenWidth(dialog));
    // The dialog sizes itself to its entry, so the entry carries the width.
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        edit->setMinimumWidth(width);
    }
    dialog.setMinimumWidth(width);
}

void PrepareFileDialog(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setLabelText(QFileDialog::LookIn, U("場所:"));
    dialog.setLabelText(QFileDialog::FileName, U("ファイル名:"));
    dialog.setLabelText(QFileDialog::FileType, U("ファイルの種類:"));
    dialog.setLabelText(QFileDialog::Accept,
                        dialog.fileMode() == QFileDialog::Directory ? U("選択") : U("開く"));
    dialog.setLabelText(QFileDialog::Reject, U(kButtonCancel));
    const QFontMetrics metrics(dialog.font());
    dialog.resize(
        std::min(std::max(dialog.width(), 90 * metrics.averageCharWidth()), UsableScreenWidth(dialog)),
        std::max(dialog.height(), 26 * metrics.height()));
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column) {
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
    }
}

} // namespace settings::dialogs
