#include "office/model/Application.h"

#include "office/model/BlankTemplate.h"
#include "office/model/ModelImpl.h"
#include "office/model/OpenDeck.h"
#include "platform/PathText.h"

#include <filesystem>

namespace office {

using model::AppCore;
using model::Fail;
using model::PresentationImpl;

namespace {

class PresentationsImpl : public automation::IPresentations {
public:
    explicit PresentationsImpl(std::shared_ptr<AppCore> core) : core_(std::move(core)) {}

    int Count() override {
        core_->RequireAlive("Presentations.Count");
        return static_cast<int>(core_->presentations.size());
    }

    automation::PresentationPtr Item(int index) override {
        core_->RequireAlive("Presentations.Item");
        if (index < 1 || index > static_cast<int>(core_->presentations.size()))
            Fail("Presentations.Item", "no presentation " + std::to_string(index));
        return core_->presentations[static_cast<std::size_t>(index - 1)];
    }

    automation::PresentationPtr Open(const std::string& fileName, bool readOnly) override {
        const std::string member = "Presentations.Open";
        core_->RequireAlive(member);
        model::OpenedDeck deck = model::OpenDeck(fileName, core_->converter, core_->interruptCheck, member);
        std::error_code ec;
        auto full = std::filesystem::absolute(platform::PathFromUtf8(fileName), ec);
        const std::string fullName = ec ? fileName : platform::PathToUtf8(full.lexically_normal());
        auto pres = Register(std::move(deck.package), fullName, readOnly);
        std::static_pointer_cast<PresentationImpl>(pres)->SetOrigin(fullName, deck.saveExtension);
        return pres;
    }

    automation::PresentationPtr Add(bool withWindow) override {
        const std::string member = "Presentations.Add";
        core_->RequireAlive(member);
        auto pkg = package::Package::OpenFromBytes(model::BlankPresentationArchive(), member);
        auto pres = Register(std::move(pkg), "", false);
        std::static_pointer_cast<PresentationImpl>(pres)->hasWindow = withWindow;
        return pres;
    }

private:
    automation::PresentationPtr Register(std::unique_ptr<package::Package> pkg, std::string fullName,
                                         bool readOnly) {
        auto pres = std::make_shared<PresentationImpl>(core_, std::move(pkg), std::move(fullName), readOnly);
        pres->LoadSlides();
        core_->presentations.push_back(pres);
        core_->active = pres;
        return pres;
    }

    std::shared_ptr<AppCore> core_;
};

// The thumbnails command of the "Standard" bar: running it puts the active window's left pane on
// slide thumbnails. Other controls are kept as harmless state.
class CommandBarControlImpl : public automation::ICommandBarControl {
public:
    CommandBarControlImpl(std::shared_ptr<AppCore> core, int id) : core_(std::move(core)), id_(id) {}

    void Execute() override {
        core_->RequireAlive("CommandBarControl.Execute");
        if (deleted_)
            Fail("CommandBarControl.Execute", "the control was deleted");
        if (id_ != kThumbnailsCommand)
            return;
        auto active = core_->active.lock();
        if (!active && !core_->presentations.empty())
            active = core_->presentations.back();
        if (active)
            active->paneViewType = automation::ppViewThumbnails;
    }

    void Delete() override {
        core_->RequireAlive("CommandBarControl.Delete");
        if (deleted_)
            Fail("CommandBarControl.Delete", "the control was deleted");
        deleted_ = true;
    }

    static constexpr int kThumbnailsCommand = 6015;

private:
    std::shared_ptr<AppCore> core_;
    int id_;
    bool deleted_ = false;
};

class CommandBarControlsImpl : public automation::ICommandBarControls {
public:
    explicit CommandBarControlsImpl(std::shared_ptr<AppCore> core) : core_(std::move(core)) {}
    std::shared_ptr<automation::ICommandBarControl> Add(int id) override {
        core_->RequireAlive("CommandBarControls.Add");
        if (id <= 0)
            Fail("CommandBarControls.Add", "no command " + std::to_string(id));
        return std::make_shared<CommandBarControlImpl>(core_, id);
    }

private:
    std::shared_ptr<AppCore> core_;
};

class CommandBarImpl : public automation::ICommandBar {
public:
    explicit CommandBarImpl(std::shared_ptr<AppCore> core) : core_(std::move(core)) {}
    std::shared_ptr<automation::ICommandBarControls> Controls() override {
        core_->RequireAlive("CommandBar.Controls");
        return std::make_shared<CommandBarControlsImpl>(core_);
    }

private:
    std::shared_ptr<AppCore> core_;
};

class CommandBarsImpl : public automation::ICommandBars {
public:
    explicit CommandBarsImpl(std::shared_ptr<AppCore> core) : core_(std::move(core)) {}
    std::shared_ptr<automation::ICommandBar> Item(const std::string& name) override {
        core_->RequireAlive("CommandBars.Item");
        if (name != "Standard")
            Fail("CommandBars.Item", "no command bar \"" + name + "\"");
        return std::make_shared<CommandBarImpl>(core_);
    }

private:
    std::shared_ptr<AppCore> core_;
};

} // namespace

Application::Application(std::string version, EngineClipboard& clipboard)
    : core_(std::make_shared<AppCore>(std::move(version), clipboard)) {}

Application::~Application() {
    core_->presentations.clear();
    core_->alive = false;
}

std::string Application::Name() {
    core_->RequireAlive("Application.Name");
    return kApplicationName;
}

std::string Application::Version() {
    core_->RequireAlive("Application.Version");
    return core_->version;
}

std::shared_ptr<automation::IPresentations> Application::Presentations() {
    core_->RequireAlive("Application.Presentations");
    return std::make_shared<PresentationsImpl>(core_);
}

int Application::WindowState() {
    core_->RequireAlive("Application.WindowState");
    return core_->windowState;
}

void Application::SetWindowState(int state) {
    core_->RequireAlive("Application.WindowState");
    if (state < automation::ppWindowNormal || state > automation::ppWindowMaximized)
        Fail("Application.WindowState", "unknown window state " + std::to_string(state));
    core_->windowState = state;
}

bool Application::Visible() {
    core_->RequireAlive("Application.Visible");
    return core_->visible;
}

void Application::SetVisible(bool visible) {
    core_->RequireAlive("Application.Visible");
    core_->visible = visible;
}

std::shared_ptr<automation::ICommandBars> Application::CommandBars() {
    core_->RequireAlive("Application.CommandBars");
    return std::make_shared<CommandBarsImpl>(core_);
}

void Application::Quit() {
    core_->RequireAlive("Application.Quit");
    // Closing without asking: the engine marks what it keeps as saved before it quits.
    auto open = core_->presentations;
    for (auto& p : open)
        p->Close();
    core_->alive = false;
}

bool Application::Alive() const {
    return core_->alive;
}

void Application::SetConverter(binary::ConverterSettings settings) {
    core_->converter = std::move(settings);
}

void Application::SetInterruptCheck(binary::StopCheck check) {
    core_->interruptCheck = std::move(check);
}

} // namespace office
