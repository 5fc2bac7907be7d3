#pragma once

// A byte count as the short texts of output names and log lines: whole units (halves to even) at
// or above one unit, one decimal below, in the shortest decimal form ("0KB", "0.5MB", "3418KB").

#include <string>

namespace engine {

std::string SizeTextKB(double bytes);
std::string SizeTextMB(double bytes);

} // namespace engine
