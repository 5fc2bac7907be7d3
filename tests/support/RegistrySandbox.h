#pragma once

// Windows test programs: the key of HKEY_CURRENT_USER that this test program sees as the machine
// hive (RegistrySandbox_win.cpp). A program the test starts with QUARNEL_REGISTRY_KEY set to it
// reads and writes the same settings as the test.

#ifdef _WIN32
#include <string>

namespace testsupport {

std::string ScratchMachineKey();

} // namespace testsupport
#endif
