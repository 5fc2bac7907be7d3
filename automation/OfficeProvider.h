#pragma once

#include "automation/Clipboard.h"
#include "automation/Excel.h"
#include "automation/PowerPoint.h"

namespace automation {

// Stands where the platform's get-active-object and create-object by class name stood.
class IOfficeProvider {
public:
    virtual ~IOfficeProvider() = default;
    // The running presentation application, or nullptr when none runs.
    virtual ApplicationPtr GetActivePowerPoint() = 0;
    // Throws AutomationError when no application can be created.
    virtual ApplicationPtr CreatePowerPoint() = 0;
    virtual ExcelApplicationPtr CreateExcel() = 0;
    virtual IClipboard& Clipboard() = 0;
};

} // namespace automation
