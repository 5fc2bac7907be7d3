#pragma once

// Whether a child process the test started is still there.

#include <fstream>
#include <string>

namespace testsupport {

// Whether the process still runs (a killed one its parent has not reaped yet is a zombie: gone).
inline bool Running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
        return false;
    const char state = line.at(line.rfind(')') + 2);
    return state != 'Z' && state != 'X';
}

} // namespace testsupport
