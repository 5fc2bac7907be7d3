#include "cli/CliApp.h"

#include "batch/BatchRun.h"
#include "batch/InputList.h"
#include "cli/BatchInputs.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "cli/JobRunner.h"
#include "cli/PictureRecords.h"
#include "cli/Report.h"
#include "office/OfficeProvider.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/ThisProcess.h"
#include "report/HtmlReport.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace cli {
namespace {

// Inputs are made absolute so that the output lands beside the input.
std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(platform::PathFromUtf8(path), ec);
    return ec ? path : platform::PathToUtf8(absolute.lexically_normal());
}

bool WritableFolder(const std::string& folder) {
    return platform::gFSO.FolderExists(folder) && platform::IsFolderWritable(folder);
}

} // namespace

std::optional<std::string> OutputFolderProblem(const settings::Settings& config, bool given) {
    if (config.optPPTFolder != 1) {
        return std::nullopt;
    }
    const std::string origin = given ? "" : " (保存された設定 / stored setting)";
    if (!platform::gFSO.FolderExists(config.PPTFolder)) {
        return "出力フォルダがありません / no such output folder: " + config.PPTFolder + origin;
    }
    if (!WritableFolder(config.PPTFolder)) {
        return "出力フォルダに書き込めません / cannot write into the output folder: " + config.PPTFolder +
               origin;
    }
    return std::nullopt;
}

std::optional<std::string> ReportPathProblem(const std::string& reportPath) {
    const std::string path = AbsolutePath(reportPath);
    if (platform::gFSO.FolderExists(path)) {
        return "レポートの名前がフォルダです / the report names a folder: " + reportPath;
    }
    // The report is written through a temporary file beside it, so its folder must take new files.
    const std::string folder = platform::PathToUtf8(platform::PathFromUtf8(path).parent_path());
    if (!platform::gFSO.FolderExists(folder)) {
        return "レポートのフォルダがありません / no such folder for the report: " + reportPath;
    }
    if (!WritableFolder(folder) || (platform::gFSO.FileExists(path) && !platform::IsFileWritable(path))) {
        return "レポートを書けません / cannot write the report: " + reportPath;
    }
    return std::nullopt;
}

namespace {

int RunInProcess(const std::vector<std::string>& inputs, settings::Settings& config,
                 settings::RegistryStore& registry, std::ostream& out, std::ostream& err, std::istream& in,
                 bool interactive, bool deckChild, int pictureThreads, bool recordPictures,
                 std::vector<batch::EntryReport>& entries) {
    // The object list is read like the window reads it; this command never writes it back.
    settings::ExceptionList exceptions;
    settings::IniFile ini;
    exceptions.initExceptionList(ini, platform::OleIniPath(), registry);

    office::OfficeProvider provider("12.0", {}, static_cast<unsigned>(pictureThreads));
    engine::EngineState state;
    if (recordPictures)
        state.ReportThumbnailWidth = report::kThumbnailWidth;
    CliHost host(out, err, in, interactive);
    host.statusLines = !deckChild;
    engine::EngineContext ctx{host, config, exceptions, registry, provider, state};
    batch::BatchRun run(ctx);
    host.onStop = [&run] { run.btnStop_Click(); };

    std::string inputText;
    for (const auto& file : inputs) {
        inputText += file + "\r\n";
    }
    const batch::RunSummary summary = run.btnStart_Click(inputText);

    entries = summary.entries;
    if (entries.empty()) {
        for (const auto& file : inputs) {
            batch::EntryReport refused;
            refused.input = file;
            refused.result = "not-started";
            entries.push_back(refused);
        }
    }
    if (summary.outcome == batch::RunOutcome::Refused) {
        return kExitUsage;
    }
    if (host.stopDelivered() || InterruptRequested()) {
        return kExitStopped;
    }
    if (summary.outcome != batch::RunOutcome::Finished || summary.anyFailed()) {
        return kExitFailed;
    }
    return kExitOk;
}

int RunParallel(const std::vector<std::string>& inputs, const CliOptions& options, int jobs,
                std::ostream& out, std::ostream& err, std::vector<batch::EntryReport>& entries) {
    // The whole list is checked before any deck starts, as a one-at-a-time run does.
    if (const auto refusal = batch::CheckEntries(inputs)) {
        err << *refusal << "\n";
        for (const auto& file : inputs) {
            batch::EntryReport refused;
            refused.input = file;
            refused.result = "not-started";
            entries.push_back(refused);
        }
        return kExitUsage;
    }
    std::vector<std::string> forwarded = options.forwarded;
    forwarded.push_back("--threads=" + std::to_string(options.threads.value_or(DefaultPictureThreads(jobs))));
    const JobsOutcome outcome = RunDeckJobs(SelfExecutable(), inputs, forwarded, jobs, out, err,
                                            platform::IsTerminal(platform::StandardStream::Error),
                                            options.htmlReportPath.has_value());
    entries = outcome.entries;
    int failed = 0;
    for (const auto& e : entries) {
        failed += e.failed ? 1 : 0;
    }
    err << batch::RunEndStatus(!outcome.stopped, failed) << "\n";
    if (outcome.stopped) {
        return kExitStopped;
    }
    return failed > 0 ? kExitFailed : kExitOk;
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in,
           bool interactive) {
    const ParseResult parsed = ParseCommandLine(args);
    // A worker's log is printed again by the batch that started it, through its own streams.
    if (parsed.options.deckChild)
        platform::KeepStandardOutputBytes();
    settings::RegistryStore registry;
    if (parsed.options.help) {
        settings::Settings stored;
        settings::LoadSettings(stored, registry, platform::DesktopFolder());
        out << UsageText(stored);
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
    settings::Settings config;
    settings::LoadSettings(config, registry, platform::DesktopFolder());
    ApplyOptions(options, config);
    // Both are checked before the first deck: a missing folder would otherwise fail every save, and
    // an unwritable report would be found only after the whole run.
    std::optional<std::string> problem = OutputFolderProblem(config, options.outputDir.has_value());
    if (!problem && options.reportPath) {
        problem = ReportPathProblem(*options.reportPath);
    }
    if (!problem && options.htmlReportPath) {
        problem = ReportPathProblem(*options.htmlReportPath);
    }
    if (problem) {
        err << "quarnel-cli: " << *problem << "\n";
        return kExitUsage;
    }
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
    BatchInputs inputs = CollectInputs(options, config, in);
    if (inputs.problem) {
        err << "quarnel-cli: " << *inputs.problem << "\n";
        return kExitUsage;
    }
    if (!inputs.existing.empty()) {
        err << "出力が既にある " << inputs.existing.size()
            << " 件は圧縮しません / skipped, output exists: " << inputs.existing.size() << "\n";
    }
    std::vector<batch::EntryReport> entries;
    int status = kExitOk;
    const int jobs = static_cast<int>(std::min<std::size_t>(
        static_cast<std::size_t>(options.jobs.value_or(DefaultJobs(config, interactive))),
        std::max<std::size_t>(inputs.entries.size(), 1)));
    if (inputs.entries.empty() && inputs.narrowed) {
        err << "圧縮するファイルはありません / nothing left to compress\n";
    } else if (jobs > 1) {
        status = RunParallel(inputs.entries, options, jobs, out, err, entries);
    } else {
        status = RunInProcess(inputs.entries, config, registry, out, err, in, interactive, options.deckChild,
                              options.threads.value_or(DefaultPictureThreads(jobs)),
                              options.htmlReportPath || options.pictureRecordsPath, entries);
        if (options.pictureRecordsPath && entries.size() == 1)
            WritePictureRecords(*options.pictureRecordsPath, entries.front().pictures);
    }
    for (const auto& skipped : inputs.existing) {
        batch::EntryReport report;
        report.input = skipped;
        report.output = ExpectedOutputPath(config, skipped);
        report.result = "skipped-existing";
        entries.push_back(report);
    }
    if (options.reportPath && !WriteReport(*options.reportPath, entries)) {
        err << "quarnel-cli: レポートを書けません / cannot write the report: " << *options.reportPath << "\n";
        if (status == kExitOk) {
            status = kExitFailed;
        }
    }
    if (options.htmlReportPath && !report::WriteHtmlReport(*options.htmlReportPath, entries)) {
        err << "quarnel-cli: レポートを書けません / cannot write the report: " << *options.htmlReportPath
            << "\n";
        if (status == kExitOk) {
            status = kExitFailed;
        }
    }
    return status;
}

} // namespace cli
