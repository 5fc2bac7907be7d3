#pragma once

// The program's entry procedure.

#include <QStringList>
#include <string>
#include <vector>

class QApplication;

namespace app {

class frmMain;

// The file arguments: the arguments after the program name, joined into one command-line text and
// split again by ParseCommandLine (at most 256).
std::vector<std::string> FileArguments(const QStringList& argumentsAfterProgram);

// Lists the arguments in the input list (each followed by CR LF) and starts a run as Start would.
void ListArgumentsAndStart(frmMain& window, const std::vector<std::string>& arguments);

// The window font: 9 points, a Japanese face when one is installed.
void ApplyWindowFont(QApplication& application);

int Main(int argc, char** argv);

} // namespace app
