#include "app/CommandLine.h"

namespace app {

std::vector<std::string> ParseCommandLine(const std::string& commandLine, int maxCount) {
    std::vector<std::string> arguments;
    bool inArgument = false;
    bool inQuotes = false;
    // Every separator and quote is ASCII, so walking UTF-8 bytes keeps multi-byte characters whole.
    for (const char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
        }
        const bool separator = (c == ' ' || c == '\t');
        if (!separator || inQuotes) {
            if (!inArgument) {
                if (static_cast<int>(arguments.size()) == maxCount) {
                    break;
                }
                arguments.emplace_back();
                inArgument = true;
            }
            if (c != '"') {
                arguments.back().push_back(c);
            }
        } else {
            inArgument = false;
        }
    }
    return arguments;
}

std::string CommandLineFromArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        const bool needsQuotes = argument.find_first_of(" \t") != std::string::npos;
        if (needsQuotes) {
            text.push_back('"');
        }
        text += argument;
        if (needsQuotes) {
            text.push_back('"');
        }
    }
    return text;
}

} // namespace app
