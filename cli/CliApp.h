#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace settings {
struct Settings;
}

namespace cli {

enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitStopped = 130 };

// Why the effective presentation output folder (given, or stored when "指定ﾌｫﾙﾀﾞ" is chosen) cannot
// take outputs; nullopt when it can or when outputs go beside their inputs.
std::optional<std::string> OutputFolderProblem(const settings::Settings& config, bool given);
// Why the report could not be written at the end of the run; nullopt when it can.
std::optional<std::string> ReportPathProblem(const std::string& reportPath);

// The whole command: options, stored settings, the batch run, the report. args excludes the
// program name. Never writes settings or "ole.ini".
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in,
           bool interactive);

} // namespace cli
