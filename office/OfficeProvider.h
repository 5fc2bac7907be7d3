#pragma once

// The office backend as the program reaches it: the presentation application living in this
// process, the worksheet stand-in, and the engine's own clipboard that both share.

#include "automation/OfficeProvider.h"
#include "office/binary/LibreOfficeConverter.h"
#include "office/clipboard/EngineClipboard.h"

#include <memory>
#include <string>

namespace office {

class Application;

class OfficeProvider : public automation::IOfficeProvider {
public:
    // version is what the presentation application reports as its Version ("12.0"; "9.0" selects the
    // older paste path in the engine). converter says how decks in the older binary format are
    // converted before they open. pictureWorkers: threads that encode forecast pastes ahead (0: none;
    // the output is the same either way).
    explicit OfficeProvider(std::string version = "12.0", binary::ConverterSettings converter = {},
                            unsigned pictureWorkers = 0);
    ~OfficeProvider() override;

    // The application created earlier, while it has not quit; else nullptr.
    automation::ApplicationPtr GetActivePowerPoint() override;
    // The live application if there is one (a single instance, as with the office application),
    // else a new one.
    automation::ApplicationPtr CreatePowerPoint() override;
    automation::ExcelApplicationPtr CreateExcel() override;
    automation::IClipboard& Clipboard() override { return clipboard_; }
    EngineClipboard& Engine() { return clipboard_; }
    void SetInterruptCheck(std::function<bool()> check) override;
    // Copies and pastes run in this process and are done when they return.
    bool SettlesAtOnce() const override { return true; }

private:
    std::string version_;
    binary::ConverterSettings converter_;
    std::function<bool()> interruptCheck_;
    EngineClipboard clipboard_;
    std::shared_ptr<Application> app_;
};

} // namespace office
