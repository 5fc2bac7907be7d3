#pragma once

// The presentation application of our engine: one per provider, living in this process.

#include "automation/Constants.h"
#include "automation/PowerPoint.h"
#include "office/binary/LibreOfficeConverter.h"

#include <memory>
#include <string>

namespace office {

class EngineClipboard;

namespace model {
struct AppCore;
}

class Application : public automation::IApplication, public std::enable_shared_from_this<Application> {
public:
    // version is the text Version reports ("12.0"); the clipboard must outlive the application.
    Application(std::string version, EngineClipboard& clipboard);
    // Releases the open presentations (they hold the shared state, which must not hold them back).
    ~Application() override;

    std::string Name() override;
    std::string Version() override;
    std::shared_ptr<automation::IPresentations> Presentations() override;
    int WindowState() override;
    void SetWindowState(int state) override;
    bool Visible() override;
    void SetVisible(bool visible) override;
    std::shared_ptr<automation::ICommandBars> CommandBars() override;
    void Quit() override;

    // False once Quit ran.
    bool Alive() const;
    // How Presentations.Open converts decks in the older binary format, and what may stop it.
    void SetConverter(binary::ConverterSettings settings);
    void SetInterruptCheck(binary::StopCheck check);

private:
    std::shared_ptr<model::AppCore> core_;
};

inline constexpr const char* kApplicationName = "Vodrik Presentation Engine";

} // namespace office
