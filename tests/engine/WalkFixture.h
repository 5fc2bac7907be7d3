#pragma once

// A shape walk over the in-memory office: one source slide, a scratch presentation, a recording
// host and the live settings, with the walk's pauses counted instead of slept.

#include "FakeOffice.h"
#include "engine/EngineState.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/modRegAccess.h"
#include "tests/support/WorkFolders.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

class WalkFixture : public ::testing::Test {
protected:
    static constexpr double kBase = 20000;

    WalkFixture()
        : folder_(MakeFolder()),
          registry(testsupport::Utf8(folder_)), ctx{host, settings, exceptions, registry, provider, state} {
        source = std::make_shared<fake::Presentation>(w, 0);
        scratch = std::make_shared<fake::Presentation>(w, kBase);
        slide = std::make_shared<fake::Slide>(w);
        source->slides.push_back(slide);
        state.appPPT = std::make_shared<fake::App>(w);
        state.gOfficeXPMode = true;
        state.SourcePresentation = source;
        state.ScratchPresentation = scratch;
        state.ProbePathBefore = testsupport::Utf8(folder_ / "before.pptx");
        state.ProbePathAfter = testsupport::Utf8(folder_ / "after.pptx");
        state.ProbeBaseSize = kBase;
        state.Wait = [this](int ms) { waits.push_back(ms); };
        settings.Format = 0;
        settings.Ratio = 2;
        settings.FileSize = "50";
        settings.ExpectRate = "75";
        settings.PixelSize = "50";
        settings.OLE = 0;
        settings.Twice = 0;
    }
    ~WalkFixture() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    // Older paste path: worksheet stand-in, legacy animation, no rotation handling.
    void UseOffice2000() {
        state.gOfficeXPMode = false;
        sheet = std::make_shared<fake::Sheet>(w);
        state.ExcelSheet = sheet;
        state.ExcelWorkbook = sheet;
    }

    fake::FakeShapePtr AddPicture(const std::string& name, double l, double t, double width, double height,
                                  double weight) {
        return slide->Add(name, automation::msoPicture, l, t, width, height, weight);
    }

    // A group of the given members at the top of the slide.
    fake::FakeShapePtr AddGroup(const std::vector<fake::FakeShapePtr>& members) {
        auto range = std::make_shared<fake::Range>(w, slide.get(), members);
        return std::dynamic_pointer_cast<fake::Shape>(range->Group());
    }

    std::string Walk();

    fake::World w;
    fake::Provider provider{w};
    fake::RecordingHost host;
    settings::Settings settings;
    settings::ExceptionList exceptions;

private:
    static std::filesystem::path MakeFolder() { return testsupport::MakeWorkFolder("quarnel-walk-"); }
    std::filesystem::path folder_;

public:
    settings::RegistryStore registry;
    engine::EngineState state;
    engine::EngineContext ctx;
    std::shared_ptr<fake::Presentation> source;
    std::shared_ptr<fake::Presentation> scratch;
    std::shared_ptr<fake::Slide> slide;
    std::shared_ptr<fake::Sheet> sheet;
    std::vector<int> waits;
};
