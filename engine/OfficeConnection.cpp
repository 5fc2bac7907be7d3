#include "engine/OfficeConnection.h"

#include <cctype>
#include <exception>

namespace engine {

int VersionNumber(const std::string& versionText) {
    std::size_t i = 0;
    while (i < versionText.size() && versionText[i] == ' ') {
        ++i;
    }
    int value = 0;
    bool any = false;
    for (; i < versionText.size() && std::isdigit(static_cast<unsigned char>(versionText[i])); ++i) {
        any = true;
        if (value < 100000) {
            value = value * 10 + (versionText[i] - '0');
        }
    }
    return any ? value : 0;
}

bool IsPowerPointAlive(EngineState& state) {
    if (!state.appPPT) {
        return false;
    }
    try {
        (void)state.appPPT->Name();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool IsExcelAlive(EngineState& state) {
    if (!state.appEXCEL) {
        return false;
    }
    try {
        (void)state.appEXCEL->Name();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool IsPowerPointIdle(EngineState& state) {
    try {
        return state.appPPT->Presentations()->Count() <= 0;
    } catch (const std::exception&) {
        return true;
    }
}

bool IsExcelIdle(EngineState& state) {
    try {
        return state.appEXCEL->Workbooks()->Count() <= 0;
    } catch (const std::exception&) {
        return true;
    }
}

bool StartPowerPoint(EngineContext& ctx) {
    if (IsPowerPointAlive(ctx.state)) {
        return true;
    }
    try {
        if (auto running = ctx.office.GetActivePowerPoint()) {
            ctx.state.appPPT = std::move(running);
            return true;
        }
    } catch (const std::exception&) {
        // fall through to creating one
    }
    try {
        if (auto created = ctx.office.CreatePowerPoint()) {
            ctx.state.appPPT = std::move(created);
            return true;
        }
    } catch (const std::exception&) {
    }
    ctx.state.appPPT.reset();
    ctx.host.MessageBox(kMsgCannotStartPowerPoint, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
}

bool StartExcel(EngineContext& ctx) {
    if (IsExcelAlive(ctx.state)) {
        return true;
    }
    try {
        if (auto created = ctx.office.CreateExcel()) {
            ctx.state.appEXCEL = std::move(created);
            return true;
        }
    } catch (const std::exception&) {
    }
    ctx.state.appEXCEL.reset();
    ctx.host.MessageBox(kMsgCannotStartExcel, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
}

OfficeCheck CheckOfficeEnvironment(EngineContext& ctx) {
    EngineState& state = ctx.state;
    if (!StartPowerPoint(ctx)) {
        ctx.host.MessageBox(kMsgCannotStartPowerPointExit, MessageIcon::Stop, MessageButtons::Ok);
        return OfficeCheck::MustExit;
    }
    // A failure while probing leaves the mode as it stands and goes on with the worksheet steps.
    try {
        if (VersionNumber(state.appPPT->Version()) >= 10) {
            state.gOfficeXPMode = true;
            ctx.host.SetCaptionSuffix(kCaptionXPMode);
        } else {
            state.gOfficeXPMode = false;
            ctx.host.SetCaptionSuffix(kCaption2000Mode);
        }
        if (!IsPowerPointIdle(state)) {
            return OfficeCheck::Busy;
        }
        state.appPPT->Quit();
        state.appPPT.reset();
    } catch (const std::exception&) {
    }

    if (state.gOfficeXPMode) {
        return OfficeCheck::Ok;
    }
    if (!StartExcel(ctx)) {
        ctx.host.MessageBox(kMsgExcelRequiredExit, MessageIcon::Stop, MessageButtons::Ok);
        return OfficeCheck::MustExit;
    }
    if (!IsExcelIdle(state)) {
        return OfficeCheck::Busy;
    }
    try {
        state.appEXCEL->Quit();
    } catch (const std::exception&) {
    }
    state.ExcelSheet.reset();
    state.ExcelWorkbook.reset();
    state.appEXCEL.reset();
    return OfficeCheck::Ok;
}

} // namespace engine
