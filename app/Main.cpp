#include "app/Main.h"

#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/RunReport.h"
#include "app/SystemDisplay.h"
#include "app/frmMain.h"
#include "batch/BatchRun.h"
#include "batch/InputList.h"
#include "engine/EngineState.h"
#include "engine/OfficeConnection.h"
#include "office/OfficeProvider.h"
#include "platform/DataPaths.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "report/HtmlReport.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace app {

namespace {

OfficeCheckResult ToCheckResult(engine::OfficeCheck check) {
    switch (check) {
    case engine::OfficeCheck::Busy:
        return OfficeCheckResult::Busy;
    case engine::OfficeCheck::MustExit:
        return OfficeCheckResult::MustExit;
    case engine::OfficeCheck::Ok:
        break;
    }
    return OfficeCheckResult::Ok;
}

} // namespace

std::vector<std::string> FileArguments(const QStringList& argumentsAfterProgram) {
    std::vector<std::string> arguments;
    for (const QString& argument : argumentsAfterProgram) {
        arguments.push_back(argument.toStdString());
    }
    // The list shows where each file is, whatever folder the program was started in.
    return batch::AbsoluteEntries(
        ParseCommandLine(CommandLineFromArguments(arguments), kMaxCommandLineArguments),
        batch::WorkingFolder());
}

std::vector<QString> QtTranslationFolders(const std::string& programFolder) {
    std::vector<QString> folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const std::string& data : platform::DataFolders(programFolder)) {
        folders.push_back(QString::fromStdString(platform::JoinPath(data, "translations")));
    }
    return folders;
}

bool LoadQtTranslations(QCoreApplication& application) {
    // Japanese, as every other text of the window, whatever the system's language: a German system
    // would otherwise show German buttons in Qt's dialogs beside Japanese labels.
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    auto* translator = new QTranslator(&application);
    for (const QString& folder : QtTranslationFolders(platform::gFSO.ProgramFolder())) {
        if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            return QCoreApplication::installTranslator(translator);
        }
    }
    delete translator;
    return false;
}

void ListArgumentsAndStart(frmMain& window, const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += argument + "\r\n";
    }
    window.SetSourceText(text);
    window.btnStart_Click();
}

void ConnectBatchRun(frmMain& window, engine::EngineContext& context, batch::BatchRun& run) {
    MainWindowHooks& wired = window.Hooks();
    wired.checkOfficeEnvironment = [&context] {
        return ToCheckResult(engine::CheckOfficeEnvironment(context));
    };
    auto shown = std::make_shared<RunReport>(platform::gFSO.GetTempFolder());
    wired.startRun = [&run, &window, shown](const std::string& inputText) {
        batch::RunSummary summary = run.btnStart_Click(inputText);
        if (summary.outcome == batch::RunOutcome::MustExit) {
            window.EndWithoutSaving(); // no office application could be started
            return;
        }
        shown->Remember(std::move(summary.entries));
        window.SetReportAvailable(shown->Available());
    };
    wired.showReport = [&window, shown] { shown->Show(window.Hooks().urlOpener, window); };
    wired.stopRun = [&run] { run.btnStop_Click(); };
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

int Main(int argc, char** argv) {
    const auto environment = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    if (!DisplayNamed(environment, argc, argv, SystemDisplay(environment))) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        return kNoDisplayExitCode;
    }
    std::unique_ptr<QApplication> started;
    StartWindowSystem([&] { started = std::make_unique<QApplication>(argc, argv); });
    QApplication& application = *started;
    LoadQtTranslations(application);
    ApplyWindowFont(application);

    // Every step of the start-up goes on after a failure of the one before.
    platform::FileSystem gFSO;
    settings::Settings record;
    settings::RegistryStore registry;
    settings::IniFile ini;
    settings::ExceptionList exceptions;
    engine::EngineState state;
    // The window can always show its last run: every pass keeps the account the report needs.
    state.ReportThumbnailWidth = report::kThumbnailWidth;
    // The window compresses one deck at a time: every core may work on its pictures.
    const unsigned cores = std::thread::hardware_concurrency();
    office::OfficeProvider office("12.0", {}, cores >= 2 ? cores : 0);
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
        MainWindowServices{record, registry, ini, exceptions, state, &office, oleIniPath, desktopFolder},
        std::move(hooks));

    engine::EngineContext context = window.Context();
    batch::BatchRun run(context);
    ConnectBatchRun(window, context, run);

    if (!window.Form_Load()) {
        return 1;
    }
    if (!arguments.empty()) {
        ListArgumentsAndStart(window, arguments);
    }
    if (window.Unloaded()) {
        return window.EndedWithoutSaving() ? 1 : 0; // ended during the command-line run
    }
    return application.exec();
}

} // namespace app
