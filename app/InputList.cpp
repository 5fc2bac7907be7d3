#include "app/InputList.h"

#include "platform/FileSystem.h"
#include "settings/dialogs/JapaneseDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QUrl>
#include <algorithm>
#include <filesystem>

namespace app {

namespace {

// Qt's dialogs and drops give paths with "/"; the list shows them as the system writes them.
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::string SystemPath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

} // namespace

FolderAccess FolderAccessFrom(const platform::FileSystem& fileSystem) {
    return FolderAccess{
        [&fileSystem](const std::string& path) { return fileSystem.FolderExists(path); },
        [&fileSystem](const std::string& path) { return fileSystem.FileExists(path); },
        [&fileSystem](const std::string& path) { return fileSystem.FolderFiles(path); },
    };
}

OpenFileDialog DefaultOpenFileDialog(QWidget* parent) {
    return [parent]() -> std::optional<std::vector<std::string>> {
        QFileDialog dialog(parent, QString::fromUtf8(kOpenDialogTitle), QString(),
                           QString::fromUtf8(kOpenDialogFilter));
        dialog.setObjectName(QStringLiteral("dlgOpen"));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        settings::dialogs::PrepareFileDialog(dialog);
        const QStringList chosen =
            dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
        if (chosen.isEmpty()) {
            return std::nullopt;
        }
        std::vector<std::string> paths;
        for (const QString& path : chosen) {
            paths.push_back(SystemPath(path));
        }
        return paths;
    };
}

std::string JoinFolderAndName(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == kSeparator ? folder + name : folder + kSeparator + name;
}

void InsertLineAtCaret(QPlainTextEdit& box, const QString& text) {
    QTextCursor cursor = box.textCursor();
    cursor.insertText(text + QStringLiteral("\r\n"));
    box.setTextCursor(cursor);
}

void AddChosenFiles(QPlainTextEdit& box, const std::vector<std::string>& paths) {
    QTextCursor cursor = box.textCursor();
    cursor.movePosition(QTextCursor::End);
    box.setTextCursor(cursor);
    for (const std::string& path : paths) {
        const std::size_t slash = path.rfind(kSeparator);
        std::string line = path;
        if (slash != std::string::npos) {
            // The root's folder keeps its one separator: "/a.ppt" stays "/a.ppt".
            const std::string folder = slash == 0 ? std::string(1, kSeparator) : path.substr(0, slash);
            line = JoinFolderAndName(folder, path.substr(slash + 1));
        }
        InsertLineAtCaret(box, QString::fromStdString(line));
    }
}

namespace {

std::vector<std::string> LocalFiles(const QMimeData& data) {
    std::vector<std::string> items;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            items.push_back(SystemPath(url.toLocalFile()));
        }
    }
    return items;
}

// Plain text actually offered; QMimeData::hasText() also answers for a bare list of addresses.
bool OffersPlainText(const QMimeData& data) {
    const QStringList formats = data.formats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QString& format) { return format.startsWith(QStringLiteral("text/plain")); });
}

} // namespace

bool AcceptsDrop(const QMimeData& data) {
    return !LocalFiles(data).empty() || OffersPlainText(data);
}

bool DropOnInputList(QPlainTextEdit& box, const QMimeData& data, const FolderAccess& folders) {
    // File managers here offer a file list as plain text too (its file:// addresses); the list wins
    // so that dropped files arrive as paths. Text without local files is taken as text.
    const std::vector<std::string> items = LocalFiles(data);
    if (items.empty()) {
        if (!OffersPlainText(data)) {
            return false;
        }
        InsertLineAtCaret(box, data.text());
        return true;
    }
    try {
        for (const std::string& item : items) {
            if (folders.folderExists && folders.folderExists(item)) {
                for (const std::string& file : folders.folderFiles(item)) {
                    if (folders.fileExists(file)) {
                        InsertLineAtCaret(box, QString::fromStdString(file));
                    }
                }
            } else {
                InsertLineAtCaret(box, QString::fromStdString(item));
            }
        }
    } catch (...) {
        // An unreadable item ends the drop; what was inserted before it stays.
    }
    return true;
}

std::string InputListText(const QPlainTextEdit& box) {
    return box.toPlainText().replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
}

} // namespace app
