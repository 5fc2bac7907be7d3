#include "settings/dialogs/JapaneseDialogs.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>
#include <algorithm>

namespace settings::dialogs {

namespace {

constexpr int kTypeColumn = 2; // name, size, type, date
constexpr int kDateColumn = 3;

QString U(const char* text) {
    return QString::fromUtf8(text);
}

void Name(QMessageBox& box, QMessageBox::StandardButton which, const char* text) {
    if (QAbstractButton* button = box.button(which)) {
        button->setText(U(text));
    }
}

// The file model writes dates in the system's locale, which is not the program's language; the
// proxy writes them the Japanese way ("2026/12/08 10:50").
class JapaneseDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files != nullptr && role == Qt::DisplayRole && index.column() == kDateColumn) {
            const QDateTime modified = files->lastModified(mapToSource(index));
            return modified.isValid() ? QLocale(QLocale::Japanese, QLocale::Japan)
                                            .toString(modified, QStringLiteral("yyyy/MM/dd HH:mm"))
                                      : QString();
        }
        return QIdentityProxyModel::data(index, role);
    }
};

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
    dialog.setProxyModel(new JapaneseDates(&dialog));
    const QFontMetrics metrics(dialog.font());
    dialog.resize(
        std::min(std::max(dialog.width(), 90 * metrics.averageCharWidth()), UsableScreenWidth(dialog)),
        std::max(dialog.height(), 26 * metrics.height()));
    // The side bar holds names such as "コンピュータ"; its default width cuts them.
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"));
        splitter && splitter->count() == 2) {
        const int side = metrics.horizontalAdvance(U("コンピュータ")) + 4 * metrics.height();
        splitter->setSizes({side, std::max(dialog.width() - side, side)});
    }
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column) {
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
        // Choosing files of one filter, the type column repeats one long name on every row and takes
        // the room the names need.
        if (dialog.fileMode() != QFileDialog::Directory && header->count() > kTypeColumn) {
            view->setColumnHidden(kTypeColumn, true);
        }
    }
}

} // namespace settings::dialogs
