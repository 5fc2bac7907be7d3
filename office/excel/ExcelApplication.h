#pragma once

// The worksheet application of our engine. It exists only as a paste target: a worksheet takes a
// picture from the engine clipboard in a chosen clipboard format and its picture can be copied back.

#include "automation/Excel.h"

#include <memory>

namespace office {

class EngineClipboard;

// The application shares the given clipboard, which must outlive it.
std::shared_ptr<automation::IExcelApplication> CreateExcelApplication(EngineClipboard& clipboard);

} // namespace office
