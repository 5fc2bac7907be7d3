#include "engine/SetSlideTab.h"

#include "automation/Constants.h"

#include <exception>

namespace engine {

void SetSlideTab(EngineContext& ctx) {
    std::shared_ptr<automation::ICommandBarControl> control;
    try {
        control = ctx.state.appPPT->CommandBars()->Item("Standard")->Controls()->Add(kSlideTabControlId);
    } catch (const std::exception&) {
        control.reset();
    }
    ctx.host.DoEvents();
    if (!control) {
        return;
    }
    try {
        auto pane = ctx.state.SourcePresentation->Windows(1)->Panes(1);
        if (pane->ViewType() == automation::ppViewOutline) {
            control->Execute();
        }
    } catch (const std::exception&) {
    }
    try {
        control->Delete();
    } catch (const std::exception&) {
    }
}

} // namespace engine
