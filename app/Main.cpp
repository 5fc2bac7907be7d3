#include "app/Main.h"

#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "engine/EngineState.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <QApplication>
#include <QFontDatabase>
#include <memory>

namespace app {

std::vector<std::string> FileArguments(const QStringList& argumentsAfterProgram) {
    std::vector<std::string> arguments;
    for (const QString& argument : argumentsAfterProgram) {
        arguments.push_back(argument.toStdString());
    }
    return ParseCommandLine(CommandLineFromArguments(arguments), kMaxCommandLineArguments);
}

void ListArgumentsAndStart(frmMain& window, const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += argument + "\r\n";
    }
    window.SetSourceText(text);
    window.btnStart_Click();
}

void ApplyWindowFont(QApplication& application) {
    QFont font = application.font();
    for (const char* family : {"Noto Sans CJK JP", "Noto Sans JP", "IPAPGothic", "VL PGothic"}) {
        if (QFontDatabase::hasFamily(QString::fromUtf8(family))) {
            font.setFamily(QString::fromUtf8(family));
            break;
        }
    }
    font.setPointSize(9);
    application.setFont(font);
}

namespace {

// Office backend, batch run and office check are connected here once they exist; until then the
// window starts without them (Start does nothing and the check is skipped).
void ConnectOfficeAndBatch(frmMain& /*window*/) {}

} // namespace

int Main(int argc, char** argv) {
    QApplication application(argc, argv);
    ApplyWindowFont(application);

    // Every step of the start-up goes on after a failure of the one before.
    platform::FileSystem gFSO;
    settings::Settings record;
    settings::RegistryStore registry;
    settings::IniFile ini;
    settings::ExceptionList exceptions;
    engine::EngineState state;
    std::string oleIniPath;
    std::string desktopFolder;
    try {
        oleIniPath = platform::OleIniPath();
        desktopFolder = platform::DesktopFolder();
    } catch (...) {
    }

    QStringList rest = application.arguments();
    if (!rest.isEmpty()) {
        rest.removeFirst();
    }
    const std::vector<std::string> arguments = FileArguments(rest);

    MainWindowHooks hooks;
    hooks.loadSettings = [&] { settings::LoadSettings(record, registry, desktopFolder); };
    hooks.saveSettings = [&] {
        settings::SaveSettings(record, registry);
        exceptions.Save(ini, oleIniPath);
    };
    hooks.folders = FolderAccessFrom(gFSO);
    frmMain window(
        MainWindowServices{record, registry, ini, exceptions, state, nullptr, oleIniPath, desktopFolder},
        std::move(hooks));
    ConnectOfficeAndBatch(window);

    if (!window.Form_Load()) {
        return 1;
    }
    if (!arguments.empty()) {
        ListArgumentsAndStart(window, arguments);
    }
    if (window.Unloaded()) {
        return 0; // closed during the command-line run
    }
    return application.exec();
}

} // namespace app
