// Running a helper program to its end, on either system's RunningChild.

#include "platform/ChildProcess.h"

#include <chrono>

namespace platform {

ChildResult RunChild(const ChildCommand& command) {
    const auto begin = std::chrono::steady_clock::now();
    RunningChild child(command);
    if (!child.Started())
        return ChildResult{};
    const auto deadline = begin + command.timeLimit;
    bool timedOut = false;
    while (!child.WaitFor(std::chrono::milliseconds(50))) {
        const bool stop = command.stopRequested && command.stopRequested();
        if (stop || std::chrono::steady_clock::now() >= deadline) {
            timedOut = !stop;
            child.Stop();
            break;
        }
    }
    ChildResult result = child.Result();
    if (timedOut)
        result.end = ChildEnd::TimedOut;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return result;
}

} // namespace platform
