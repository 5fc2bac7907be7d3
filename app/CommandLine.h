#pragma once

// Splitting the program's command line into file arguments.

#include <string>
#include <vector>

namespace app {

inline constexpr int kMaxCommandLineArguments = 256;

// Blanks and TABs outside double quotes separate arguments; a double quote toggles quoting and never
// appears in an argument; a quoted stretch touching unquoted characters joins them. The scan stops
// when an argument would start beyond maxCount.
std::vector<std::string> ParseCommandLine(const std::string& commandLine, int maxCount = 10);

// On Linux there is no single command-line text: the arguments arrive already split in argv. To keep
// one set of rules, the text is rebuilt (arguments joined by a blank, an argument holding a blank or
// TAB wrapped in double quotes) and then run through ParseCommandLine like the original text.
std::string CommandLineFromArguments(const std::vector<std::string>& arguments);

} // namespace app
