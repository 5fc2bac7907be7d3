#include "settings/dialogs/BrowseFolderModule.h"

#include "settings/dialogs/JapaneseDialogs.h"

#include <QDir>
#include <QFileDialog>

// Windows builds use the shell's picker (BrowseFolderModule_win.cpp).
#ifndef _WIN32

namespace settings::dialogs {

std::string BrowseForFolder(const std::string& startFolder, const std::string& title) {
    QString start = QString::fromStdString(startFolder);
    if (start.isEmpty() || !QDir(start).exists()) {
        start = QDir::rootPath();
    }
    QFileDialog dialog(nullptr, QString::fromStdString(title), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    PrepareFileDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    QString chosen = dialog.selectedFiles().first();
    if (chosen.isEmpty()) {
        return {};
    }
    chosen = QDir::cleanPath(chosen); // no trailing separator, except the root itself
    return chosen.toStdString();
}

} // namespace settings::dialogs

#endif
