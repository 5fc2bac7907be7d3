#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitStopped = 130 };

// The whole command: options, stored settings, the batch run, the report. args excludes the
// program name. Never writes settings or "ole.ini".
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in,
           bool interactive);

} // namespace cli
