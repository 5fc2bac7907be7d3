#pragma once

// The engine state shared by the batch run, the presentation pass and the shape walk. One run at a
// time owns it; the batch run sets most of it up before each pass.

#include "automation/OfficeProvider.h"
#include "engine/Host.h"

#include <functional>
#include <memory>
#include <string>

namespace settings {
struct Settings;
class ExceptionList;
class RegistryStore;
} // namespace settings

namespace engine {

struct MediaPass;

struct EngineState {
    automation::ApplicationPtr appPPT;
    automation::ExcelApplicationPtr appEXCEL;
    bool gOfficeXPMode = false;

    automation::PresentationPtr SourcePresentation;
    automation::PresentationPtr ScratchPresentation;
    std::string ProbePathBefore;
    std::string ProbePathAfter;
    double ProbeBaseSize = 0;
    bool PresentationChanged = false;
    bool StopRequested = false;
    bool EncoderStopRequested = false;
    std::shared_ptr<automation::IWorkbook> ExcelWorkbook;
    std::shared_ptr<automation::IWorksheet> ExcelSheet;
    // Pauses the shape walk for the given milliseconds; empty means a real sleep. Tests put a
    // no-op here so that they do not sleep.
    std::function<void(int milliseconds)> Wait;
    // The movies and sound inside the presentation, re-encoded after the walk; null: left alone.
    std::shared_ptr<MediaPass> Media;
    // Above 0: every pass keeps an account of the pictures it replaced, with images this wide at most,
    // for a visual report of the run.
    int ReportThumbnailWidth = 0;
};

// Everything the engine routines reach: the person, the live settings, the object list, the
// office backend and the state of the run.
struct EngineContext {
    Host& host;
    settings::Settings& settings;
    settings::ExceptionList& exceptions;
    settings::RegistryStore& registry;
    automation::IOfficeProvider& office;
    EngineState& state;
};

} // namespace engine
