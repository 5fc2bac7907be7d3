#pragma once

// Adding paths to the input list: from the open-file dialog and from drops. The list is the plain text
// of the box, one entry per line; every entry added here ends with a line break.

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMimeData;
class QPlainTextEdit;
class QWidget;

namespace platform {
class FileSystem;
}

namespace app {

// The folder queries a drop needs; injectable so tests need no real folders.
struct FolderAccess {
    std::function<bool(const std::string&)> folderExists;
    std::function<bool(const std::string&)> fileExists;
    // The folder's own files as full paths; may throw when the folder cannot be read.
    std::function<std::vector<std::string>(const std::string&)> folderFiles;
};
FolderAccess FolderAccessFrom(const platform::FileSystem& fileSystem);

// The open-file dialog: the chosen files as full paths in the dialog's order, nullopt when cancelled.
using OpenFileDialog = std::function<std::optional<std::vector<std::string>>()>;
inline constexpr const char* kOpenDialogTitle = "ファイルを開く";
// Presentations and the movie and sound files a run takes (batch::IsMediaEntryExtension).
inline constexpr const char* kOpenDialogFilter =
    "パワーポイントファイルまたは動画ファイル (*.ppt *.pptx *.pptm *.pps *.ppsx *.ppsm *.pot *.potx *.potm "
    "*.mp4 *.m4v *.mov *.avi *.wmv *.asf *.mpg *.mpeg *.mkv *.webm *.flv *.3gp *.ts *.m2ts *.wav *.mp3 *.m4a "
    "*.wma);;"
    "パワーポイントファイル (*.ppt *.pptx *.pptm *.pps *.ppsx *.ppsm *.pot *.potx *.potm);;"
    "動画・音声ファイル (*.mp4 *.m4v *.mov *.avi *.wmv *.asf *.mpg *.mpeg *.mkv *.webm *.flv *.3gp *.ts "
    "*.m2ts *.wav *.mp3 *.m4a *.wma)";
OpenFileDialog DefaultOpenFileDialog(QWidget* parent);

// folder + exactly one of the system's separators + name ("/" at the root stays single).
std::string JoinFolderAndName(const std::string& folder, const std::string& name);

// Inserts text and a line break at the caret, replacing any selection; the caret ends after it.
void InsertLineAtCaret(QPlainTextEdit& box, const QString& text);
// Moves the caret to the end, then inserts each chosen file (its folder and name joined again).
void AddChosenFiles(QPlainTextEdit& box, const std::vector<std::string>& paths);
// Plain text is inserted as it is; a file list inserts each file, or a folder's own files, in drop
// order. Returns true when the data was of a kind the list takes.
bool DropOnInputList(QPlainTextEdit& box, const QMimeData& data, const FolderAccess& folders);
// Whether a drag carries something DropOnInputList takes.
bool AcceptsDrop(const QMimeData& data);

// The list as text with CR LF line breaks, the form the batch run reads.
std::string InputListText(const QPlainTextEdit& box);

} // namespace app
