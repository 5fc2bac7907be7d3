#pragma once

// A main window over a private registry folder, with every outside hook recorded.

#include "app/frmMain.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// An office backend that only has a clipboard; it counts how often it is emptied.
class ClipboardOnlyOffice : public automation::IOfficeProvider, public automation::IClipboard {
public:
    int clears = 0;
    automation::ApplicationPtr GetActivePowerPoint() override { return nullptr; }
    automation::ApplicationPtr CreatePowerPoint() override { return nullptr; }
    automation::ExcelApplicationPtr CreateExcel() override { return nullptr; }
    automation::IClipboard& Clipboard() override { return *this; }
    void Clear() override { ++clears; }
    bool ContainsMetafile() override { return false; }
    std::optional<automation::ColorBox> RenderMetafile(int, int) override { return std::nullopt; }
};

class WindowFixture : public testing::Test {
protected:
    struct Box {
        std::string text;
        engine::MessageIcon icon;
    };

    QTemporaryDir dir;
    std::string desktop = "/home/tester/Desktop";
    settings::Settings record;
    std::unique_ptr<settings::RegistryStore> registry;
    settings::IniFile ini;
    settings::ExceptionList exceptions;
    engine::EngineState state;
    ClipboardOnlyOffice office;
    std::vector<std::string> started;
    std::vector<Box> boxes;
    int saves = 0;
    int quits = 0;
    int stops = 0;
    std::unique_ptr<app::frmMain> window;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        registry = std::make_unique<settings::RegistryStore>(dir.path().toStdString());
    }

    std::string OleIni() const { return (dir.path() + "/ole.ini").toStdString(); }

    // Hooks that record; saving goes to the real store so a restart can read it back.
    app::MainWindowHooks RecordingHooks() {
        app::MainWindowHooks hooks;
        hooks.loadSettings = [this] { settings::LoadSettings(record, *registry, desktop); };
        hooks.saveSettings = [this] {
            ++saves;
            settings::SaveSettings(record, *registry);
            exceptions.Save(ini, OleIni());
        };
        hooks.startRun = [this](const std::string& text) { started.push_back(text); };
        hooks.stopRun = [this] { ++stops; };
        hooks.quitApplication = [this] { ++quits; };
        hooks.messageBox = [this](const std::string& text, engine::MessageIcon icon, engine::MessageButtons) {
            boxes.push_back({text, icon});
            return engine::MessageResult::Ok;
        };
        return hooks;
    }

    void MakeWindow(app::MainWindowHooks hooks) {
        window = std::make_unique<app::frmMain>(
            app::MainWindowServices{record, *registry, ini, exceptions, state, &office, OleIni(), desktop},
            std::move(hooks));
    }

    void LoadWindow() {
        MakeWindow(RecordingHooks());
        ASSERT_TRUE(window->Form_Load());
    }
};
