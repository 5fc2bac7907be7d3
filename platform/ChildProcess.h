#pragma once

// Runs a helper program in its own process group (on Windows a job), either to its end with a time
// limit and a stop check (RunChild) or watched by the caller (RunningChild). Whatever the run ends
// with, no process of that group is left running once it is over. Should this process end first,
// the child goes too (on Windows the whole job; on POSIX the child itself is signalled).

#include <chrono>
#include <functional>
#include <memory>
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
    std::string errorFile;     // receives stderr instead, when not empty
    // Whether RunningChild::Interrupt can reach the child, and whether this process ending first
    // interrupts it (POSIX: SIGINT) rather than killing it. On Windows the child then shares this
    // process's console, and ends with this process either way.
    bool interruptible = false;
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

// Runs the command to its end; timeLimit and stopRequested apply.
ChildResult RunChild(const ChildCommand& command);

// A started helper program that the caller waits for in its own steps (a status line to update,
// several helpers at once). timeLimit and stopRequested of the command are not used. The thread that
// starts it must outlive it: on Linux the child is told of its parent's end per thread.
class RunningChild {
public:
    explicit RunningChild(const ChildCommand& command);
    ~RunningChild(); // as Stop()
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    // false when the program could not be started (missing, or its folder or files could not be had).
    bool Started() const;
    // Waits at most `wait`; true once the child has ended and the rest of its group is gone.
    bool WaitFor(std::chrono::milliseconds wait);
    // Asks the child to stop as a Ctrl-C would (POSIX: SIGINT; Windows: Ctrl-Break to its console
    // group). Only for an interruptible command.
    void Interrupt();
    // Kills the child and its whole group, and returns once they are gone.
    void Stop();
    // NotStarted, Exited or Crashed as it ended, or Stopped; seconds from the start to the end.
    ChildResult Result() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The program's full path: a name containing "/" as given when executable, else the first
// executable of that name on PATH (Windows: in this program's folder, then on PATH, ".exe" added
// to a name without one); empty when there is none.
std::string FindProgram(const std::string& name);
// LibreOffice's soffice where its installer puts it outside PATH (Windows: under the Program Files
// folders); empty on POSIX, where the package puts it on PATH, and when it is not there.
std::string FindInstalledLibreOffice();

} // namespace platform
