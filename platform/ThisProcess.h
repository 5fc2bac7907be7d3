#pragma once

// What this process is and where it runs: its program file, its command line as UTF-8, the
// processors it may use, and whether its standard streams are a terminal.

#include <string>
#include <vector>

namespace platform {

// The program file this process runs; empty when the system cannot say.
std::string ProgramFile();
// The processors online, at least 1.
int ProcessorCount();
// The arguments after the program name, as UTF-8. POSIX: argv as given. Windows: from the wide
// command line, since argv holds them in the ANSI code page, which loses names in other scripts.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

enum class StandardStream { Input, Output, Error };
// Whether the stream is a terminal (Windows: a console), where a question can be answered and a
// progress line redrawn; a file, a pipe or the null device is not.
bool IsTerminal(StandardStream stream);
// Makes a console show the program's UTF-8 text and its cursor controls as a terminal does, until
// the process ends; nothing to do on POSIX.
void PrepareConsole();
// Makes standard output and error carry the program's bytes unchanged, for a worker whose output a
// parent process of this program prints again: in Windows' text mode each line end would be
// written as CRLF here and once more there. Nothing to do on POSIX.
void KeepStandardOutputBytes();

} // namespace platform
