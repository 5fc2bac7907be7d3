#include "settings/dialogs/BrowseFolderModule.h"

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
    QString chosen = QFileDialog::getExistingDirectory(nullptr, QString::fromStdString(title), start,
                                                       QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        return {};
    }
    chosen = QDir::cleanPath(chosen); // no trailing separator, except the root itself
    return chosen.toStdString();
}

std::string WithTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') {
        return folder;
    }
    return folder + "/";
}

} // namespace settings::dialogs

#endif
