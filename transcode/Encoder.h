#pragma once

// Runs one filled encoder command line as a hidden child process, keeping the window responsive and
// showing the elapsed seconds in the status line.

#include <string>
#include <vector>

namespace engine {
class Host;
}

namespace transcode {

// Blanks and TABs separate arguments except inside double quotes; the quotes themselves are dropped.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
// The base name of the program path in the line's leading double quotes, or "" when it has none.
std::string EncoderDisplayName(const std::string& commandLine);
// "動画圧縮中..." or "<name> 処理中..." followed by the seconds.
std::string EncoderStatusText(const std::string& displayName, int seconds);

// The process's exit code; -1 when it could not be started, did not end normally, or was stopped
// (stopRequested is then cleared and the process is gone before this returns).
int RunEncoder(const std::string& commandLine, const std::string& workingFolder, engine::Host& host,
               bool& stopRequested);
// The same with the program and its arguments already apart: each element reaches the program as one
// argument, whatever characters it holds. displayName feeds the status line.
int RunEncoder(const std::vector<std::string>& arguments, const std::string& displayName,
               const std::string& workingFolder, engine::Host& host, bool& stopRequested);

} // namespace transcode
