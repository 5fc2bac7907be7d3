#pragma once

// Runs a helper program to its end in its own process group, with a time limit and a stop check.
// Whatever the run ends with, no process of that group is left running when RunChild returns.

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct ChildCommand {
    std::vector<std::string> arguments; // arguments[0] is the program: a path or a name on PATH
    // Set (or replaced) in the child's environment; the rest is inherited.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string workingFolder; // empty: the current folder
    std::string outputFile;    // receives stdout and stderr; empty: discarded
    std::chrono::milliseconds timeLimit{std::chrono::minutes(5)};
    // Polled several times a second while the child runs; true ends it at once.
    std::function<bool()> stopRequested;
};

enum class ChildEnd {
    Exited,    // ended by itself; exitCode holds its status
    Crashed,   // ended by a signal it did not get from us
    TimedOut,  // killed at the time limit
    Stopped,   // killed because stopRequested said so
    NotStarted // no such program, or it could not be started
};

struct ChildResult {
    ChildEnd end = ChildEnd::NotStarted;
    int exitCode = -1;
    double seconds = 0;
};

ChildResult RunChild(const ChildCommand& command);

// The program's full path: a name containing "/" as given when executable, else the first
// executable of that name on PATH; empty when there is none.
std::string FindProgram(const std::string& name);

} // namespace platform
