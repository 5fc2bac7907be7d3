#include "cli/CliApp.h"

#include "batch/BatchRun.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "cli/Report.h"
#include "office/OfficeProvider.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <filesystem>

namespace cli {
namespace {

// Inputs are made absolute so that the output lands beside the input.
std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? path : absolute.lexically_normal().string();
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in,
           bool interactive) {
    const ParseResult parsed = ParseCommandLine(args);
    if (parsed.options.help) {
        out << UsageText();
        return kExitOk;
    }
    if (parsed.options.version) {
        out << "quarnel-cli " << QUARNEL_VERSION_TEXT << "\n";
        return kExitOk;
    }
    if (!parsed.error.empty()) {
        err << "quarnel-cli: " << parsed.error << "\n"
            << "詳しくは / see: quarnel-cli --help\n";
        return kExitUsage;
    }
    const CliOptions& options = parsed.options;
    if (options.outputDir && !platform::gFSO.FolderExists(*options.outputDir)) {
        err << "quarnel-cli: 出力フォルダがありません / no such output folder: " << *options.outputDir
            << "\n";
        return kExitUsage;
    }

    settings::RegistryStore registry;
    settings::Settings config;
    settings::LoadSettings(config, registry, platform::DesktopFolder());
    ApplyOptions(options, config);
    if (options.movieProfile) {
        batch::MovieProfiles profiles;
        const std::string iniPath = batch::TranscodingIniPath(platform::gFSO.ProgramFolder());
        if (const auto error = batch::LoadTranscodingProfiles(iniPath, profiles)) {
            err << "quarnel-cli: 動画圧縮の設定ﾌｧｲﾙを読み込めません / cannot read " << iniPath << " ("
                << *error << ")\n";
            return kExitUsage;
        }
        const auto index = batch::FindProfile(profiles, *options.movieProfile);
        if (!index) {
            err << "quarnel-cli: その動画圧縮の設定はありません / no such movie profile: "
                << *options.movieProfile << "\n";
            const auto names = batch::ProfileNames(profiles);
            for (std::size_t i = 0; i < names.size(); ++i) {
                err << "  " << i << ": " << names[i] << "\n";
            }
            return kExitUsage;
        }
        config.Encode = *index;
    }
    // The object list is read like the window reads it; this command never writes it back.
    settings::ExceptionList exceptions;
    settings::IniFile ini;
    exceptions.initExceptionList(ini, platform::OleIniPath(), registry);

    office::OfficeProvider provider;
    engine::EngineState state;
    CliHost host(out, err, in, interactive);
    engine::EngineContext ctx{host, config, exceptions, registry, provider, state};
    batch::BatchRun run(ctx);
    host.onStop = [&run] { run.btnStop_Click(); };

    std::string inputText;
    for (const auto& file : options.files) {
        inputText += AbsolutePath(file) + "\r\n";
    }
    const batch::RunSummary summary = run.btnStart_Click(inputText);

    std::vector<batch::EntryReport> entries = summary.entries;
    if (entries.empty()) {
        for (const auto& file : options.files) {
            batch::EntryReport refused;
            refused.input = AbsolutePath(file);
            refused.result = "not-started";
            entries.push_back(refused);
        }
    }
    int status = kExitOk;
    if (summary.outcome == batch::RunOutcome::Refused) {
        status = kExitUsage;
    } else if (host.stopDelivered() || InterruptRequested()) {
        status = kExitStopped;
    } else if (summary.outcome != batch::RunOutcome::Finished || summary.anyFailed()) {
        status = kExitFailed;
    }
    if (options.reportPath && !WriteReport(*options.reportPath, entries)) {
        err << "quarnel-cli: レポートを書けません / cannot write the report: " << *options.reportPath << "\n";
        if (status == kExitOk) {
            status = kExitFailed;
        }
    }
    return status;
}

} // namespace cli
