#pragma once

// The program's entry procedure.

#include <QStringList>
#include <string>
#include <vector>

class QApplication;
class QCoreApplication;

namespace batch {
class BatchRun;
}
namespace engine {
struct EngineContext;
}

namespace app {

class frmMain;

// The file arguments: the arguments after the program name, joined into one command-line text and
// split again by ParseCommandLine (at most 256), relative ones made absolute against the working folder.
std::vector<std::string> FileArguments(const QStringList& argumentsAfterProgram);

// Lists the arguments in the input list (each followed by CR LF) and starts a run as Start would.
void ListArgumentsAndStart(frmMain& window, const std::vector<std::string>& arguments);

// Wires the batch run to Start and Stop and the office check to the load sequence. A run that finds
// no usable office application ends the program without the closing sequence.
void ConnectBatchRun(frmMain& window, engine::EngineContext& context, batch::BatchRun& run);

// Where Qt's own translations are looked for, first match wins: Qt's folder (the system's, on Linux),
// then <data folder>/translations for each of platform::DataFolders(programFolder), where the
// Windows package ships them.
std::vector<QString> QtTranslationFolders(const std::string& programFolder);

// Qt's own translations (dialog buttons, file dialog labels and columns) in Japanese, from the first
// of QtTranslationFolders that has them, and Japanese as the default locale. False when the
// translation could not be loaded.
bool LoadQtTranslations(QCoreApplication& application);

// The window font: 9 points, a Japanese face when one is installed.
void ApplyWindowFont(QApplication& application);

int Main(int argc, char** argv);

} // namespace app
