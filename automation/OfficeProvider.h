#pragma once

#include "automation/Clipboard.h"
#include "automation/Excel.h"
#include "automation/PowerPoint.h"

#include <functional>

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
    // Long work inside the backend (converting a deck before opening it) polls this and gives up
    // when it returns true; the batch run installs it for the length of a run.
    virtual void SetInterruptCheck(std::function<bool()> check) { (void)check; }
    // Whether a copy or a paste is complete when its call returns. An application driven from another
    // process settles in its own time, which the walk's pauses wait for; one that answers at once
    // leaves them nothing to wait for.
    virtual bool SettlesAtOnce() const { return false; }
};

} // namespace automation
