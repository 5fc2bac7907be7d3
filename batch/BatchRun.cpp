#include "batch/BatchRun.h"

#include "automation/Constants.h"
#include "batch/CountingHost.h"
#include "batch/GoalSearch.h"
#include "batch/InputList.h"
#include "batch/OutputNames.h"
#include "batch/modTimeStamp.h"
#include "engine/OfficeConnection.h"
#include "engine/SizeText.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/StagingFiles.h"
#include "settings/Settings.h"
#include "settings/TargetSize.h"
#include "settings/modRegAccess.h"
#include "transcode/TranscodeCommand.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

namespace batch {
namespace {

constexpr const char* kCRLF = "\r\n";
constexpr const char* kMovieFailed = "▲動画ﾌｧｲﾙの圧縮に失敗しました。非対応動画の可能性があります。";
constexpr const char* kMovieCompressed = "▲動画ﾌｧｲﾙを";
constexpr const char* kRunCouldNotStart = "▲圧縮を始められませんでした。";
constexpr const char* kCompressedTo = " に圧縮しました。";
constexpr const char* kCreated = " を作成";
constexpr const char* kProfilesUnusable = "動画圧縮の設定ﾌｧｲﾙを読み込めませんでした：";
constexpr const char* kNoSuchProfile = "選択された動画圧縮の設定がありません。";

// The chosen profile's position in a table; the first profile when none was ever chosen.
std::optional<std::size_t> ProfileIndex(int encode, std::size_t tableSize) {
    if (tableSize == 0) {
        return std::nullopt;
    }
    if (encode < 0) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(encode);
    return index < tableSize ? std::optional<std::size_t>(index) : std::nullopt;
}

template <typename Step> void Ignoring(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

const char* ResultText(engine::PassResult result) {
    switch (result) {
    case engine::PassResult::Compressed:
        return "compressed";
    case engine::PassResult::NotEnoughEffect:
        return "not-effective";
    case engine::PassResult::NotSmaller:
        return "not-smaller";
    case engine::PassResult::Cancelled:
        return "cancelled";
    case engine::PassResult::Refused:
        return "refused";
    case engine::PassResult::OpenFailed:
        return "open-failed";
    case engine::PassResult::SaveFailed:
        return "save-failed";
    }
    return "not-effective";
}

double SizeOrZero(const std::string& path) {
    try {
        return static_cast<double>(platform::gFSO.FileSize(path));
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

bool RunSummary::anyFailed() const {
    return failedCount() != 0;
}

int RunSummary::failedCount() const {
    int failed = 0;
    for (const auto& entry : entries) {
        failed += entry.failed ? 1 : 0;
    }
    return failed;
}

std::string RunEndStatus(bool finished, int failedEntries) {
    std::string status = finished ? kStatusFinished : kStatusInterrupted;
    if (failedEntries > 0) {
        status += " (失敗 " + std::to_string(failedEntries) + " 件)";
    }
    return status;
}

BatchRun::BatchRun(engine::EngineContext& ctx, SlideWalker walk) : ctx_(ctx), walk_(std::move(walk)) {}

template <typename Step> void BatchRun::RunStep(Step&& step) {
    if (!firstPassReturned_) {
        step();
        return;
    }
    Ignoring(std::forward<Step>(step));
}

void BatchRun::btnStop_Click() {
    ctx_.state.StopRequested = true;
    ctx_.state.EncoderStopRequested = true;
    ctx_.host.SetStatus(kStatusStopping);
}

RunSummary BatchRun::btnStart_Click(const std::string& inputText) {
    RunSummary summary;
    CountingHost host(ctx_.host);
    engine::EngineContext ctx{host, ctx_.settings, ctx_.exceptions, ctx_.registry, ctx_.office, ctx_.state};
    engine::EngineState& state = ctx.state;

    // Step A: the entries. A text of line breaks alone counts as empty as well.
    // Relative entries are taken against the working folder before anything looks at them: a bare
    // name has no parent folder, and the output would otherwise go to the root.
    const std::vector<std::string> entries = AbsoluteEntries(
        IsBlankText(inputText) ? std::vector<std::string>{} : ParseInputList(inputText), WorkingFolder());
    if (entries.empty()) {
        host.MessageBox(kMsgNoInput, engine::MessageIcon::Exclamation, engine::MessageButtons::Ok);
        return summary;
    }
    // Step B: every entry is checked before anything is touched; the first bad one is named.
    if (const auto refusal = CheckEntries(entries)) {
        host.MessageBox(*refusal, engine::MessageIcon::Exclamation, engine::MessageButtons::Ok);
        return summary;
    }
    for (const auto& entry : entries) {
        EntryReport report;
        report.input = entry;
        report.result = "not-started";
        summary.entries.push_back(report);
    }

    continueBatch_ = false;
    firstPassReturned_ = false;
    profilesTried_ = false; // the profile file is read again by every run that needs it
    registryValueWritten_ = false;
    try {
        // Step C: the environment.
        host.SetRunning(true);
        state.StopRequested = false;
        state.EncoderStopRequested = false;
        host.SetStatus(kStatusChecking);
        const engine::OfficeCheck check = engine::CheckOfficeEnvironment(ctx);
        if (check == engine::OfficeCheck::MustExit) {
            host.SetRunning(false);
            summary.outcome = RunOutcome::MustExit;
            return summary;
        }
        if (check == engine::OfficeCheck::Busy) {
            host.SetRunning(false);
            host.SetStatus(kStatusCheckFailed);
            host.MessageBox(engine::kMsgCloseAllPowerPoint, engine::MessageIcon::Exclamation,
                            engine::MessageButtons::Ok);
            summary.outcome = RunOutcome::EnvironmentBusy;
            return summary;
        }
        host.SetStatus(kStatusCheckOk);
        continueBatch_ = true;
        // A deck converted before it opens keeps the window (and Ctrl-C) answering meanwhile.
        ctx.office.SetInterruptCheck([&host, &state] {
            host.DoEvents();
            return state.StopRequested;
        });
        host.ClearLog();
        if (!state.gOfficeXPMode && engine::StartExcel(ctx)) {
            state.ExcelWorkbook = state.appEXCEL->Workbooks()->Add();
            state.ExcelSheet = state.ExcelWorkbook->Worksheets(1);
            state.appEXCEL->SetWindowState(automation::xlMinimized);
            state.appEXCEL->SetVisible(true);
        }

        // What a killed run left half-written in the output folders, and in the temporary folder the
        // probes are saved in, goes before anything is written there.
        for (const auto& folder : OutputFolders(ctx.settings, entries))
            platform::RemoveStaleStaging(platform::PathFromUtf8(folder));
        platform::RemoveStaleStaging(platform::PathFromUtf8(platform::gFSO.GetTempFolder()));

        // Step D: the entries, one after the other.
        for (std::size_t k = 0; k < entries.size(); ++k) {
            EntryReport& report = summary.entries[k];
            bool started = false;
            RunStep([&] { started = engine::StartPowerPoint(ctx); });
            if (!started) {
                continue;
            }
            const std::string extension = LowerExtension(entries[k]);
            const auto begin = std::chrono::steady_clock::now();
            host.ResetCount();
            if (IsPresentationExtension(extension)) {
                PresentationBranch(ctx, entries[k], extension, report);
            } else {
                RunStep([&] { MovieBranch(ctx, entries[k], report); });
            }
            // Media and deck-wide picture lines are TAB-indented like replaced shapes but replace no shape;
            // replacements count only in a deck that was kept.
            const auto mediaReplaced = std::count_if(report.media.begin(), report.media.end(),
                                                     [](const auto& m) { return m.result == "compressed"; });
            report.shapesReplaced = report.output.empty() || report.changesDiscarded
                                        ? 0
                                        : host.replacedLines() - static_cast<int>(mediaReplaced) -
                                              static_cast<int>(report.deckPictures.size());
            report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            if (!continueBatch_) {
                break;
            }
        }
    } catch (const std::exception& error) {
        // An error before the first pass returned ends the run here (the probes could not be saved:
        // the temporary folder is missing, say). The entries it kept from running failed: the run
        // must not read as done.
        host.AppendLogRaw(std::string(kRunCouldNotStart) + "(" + error.what() + ")" + kCRLF + kCRLF);
        for (auto& report : summary.entries)
            report.failed = report.failed || report.result == "not-started";
    }
    EndOfRun(ctx, summary);
    return summary;
}

void BatchRun::PresentationBranch(engine::EngineContext& ctx, const std::string& entry,
                                  const std::string& extension, EntryReport& report) {
    engine::EngineState& state = ctx.state;
    bool version12 = false;
    RunStep([&] { version12 = engine::VersionNumber(state.appPPT->Version()) == 12; });
    if (version12) {
        RunStep([&] {
            ctx.registry.WriteNumber(settings::Hive::CurrentUser, kPictureCompressionKey,
                                     kPictureCompressionValue, 0);
            registryValueWritten_ = true;
        });
    }
    RunStep([&] {
        state.ScratchPresentation = state.appPPT->Presentations()->Add(true);
        state.ScratchPresentation->SetSaved(true);
    });
    RunStep([&] {
        // The engine writes only the package formats, so a binary-format entry is measured in .pptx
        // probes; otherwise the probe save would fail before the entry's own pass could report anything.
        const bool binaryName = extension == "ppt" || extension == "pps" || extension == "pot";
        const std::string probeExtension = binaryName ? "pptx" : extension;
        // Staging names, so that the probes of a killed run go with the next batch.
        const std::string temp = platform::gFSO.GetTempFolder();
        const auto probePath = [&] {
            const std::string tag = platform::gFSO.GetBaseName(platform::gFSO.GetTempName());
            return platform::JoinPath(
                temp, platform::MakeStagingName(platform::kStagingSave, tag, "probe." + probeExtension));
        };
        state.ProbePathBefore = probePath();
        state.ProbePathAfter = probePath();
    });
    RunStep([&] {
        state.ScratchPresentation->SaveAs(state.ProbePathBefore);
        state.ProbeBaseSize =
            static_cast<double>(platform::gFSO.FileSize(state.ScratchPresentation->FullName()));
    });
    RunStep([&] {
        state.appPPT->SetWindowState(automation::ppWindowMinimized);
        state.appPPT->SetVisible(true);
    });

    std::string outputPath;
    const engine::OutputChooser choose = [&](const std::string& input, double size,
                                             const std::string& written) {
        const std::string base =
            MakePresentationOutputBase(ctx.settings, platform::gFSO.GetParentFolderName(input),
                                       platform::gFSO.GetBaseName(input), size, "KB");
        return ResolvePresentationName(ctx, base, written);
    };
    // One pass with the settings its context holds; the deck it opened is closed again, so that a
    // further pass of the size-goal search opens the input afresh.
    const GoalPass pass = [&](engine::EngineContext& passCtx, const engine::OutputChooser& chooser,
                              std::string& path, std::vector<engine::MediaPartReport>& media) {
        PrepareMediaPass(passCtx);
        const engine::PassOutcome result =
            engine::CompressPresentation(passCtx, entry, chooser, path, continueBatch_, walk_);
        firstPassReturned_ = true;
        if (state.Media) {
            media = state.Media->reports;
            state.Media.reset();
        }
        if (state.SourcePresentation) {
            Ignoring([&] { state.SourcePresentation->SetSaved(true); });
            Ignoring([&] { state.SourcePresentation->Close(); });
            state.SourcePresentation.reset();
        }
        return result;
    };
    const auto goalBytes =
        ctx.settings.TargetSizeOn == 1 ? settings::ParseTargetSize(ctx.settings.TargetSize) : std::nullopt;
    engine::PassOutcome outcome;
    if (goalBytes) {
        GoalOutcome goal;
        outcome = CompressTowardsGoal(ctx, entry, *goalBytes, choose, outputPath, pass, goal);
        report.media = goal.media;
        report.goal = goal;
    } else {
        outcome = pass(ctx, choose, outputPath, report.media);
    }
    report.changesDiscarded = outcome.changesDiscarded;
    if (outcome.changesDiscarded)
        for (auto& media : report.media)
            if (media.result == "compressed")
                media.result = "discarded";

    report.bytesBefore = outcome.inputSize != 0 ? outcome.inputSize : SizeOrZero(entry);
    report.bytesAfter = outcome.outputSize;
    report.result = ResultText(outcome.result);
    report.deckPictures = outcome.deckPictures;
    report.savings = outcome.savings;
    report.failed =
        outcome.result == engine::PassResult::OpenFailed || outcome.result == engine::PassResult::SaveFailed;
    // A stop during the slides, or during a conversion before the deck could open, is no failure.
    if ((outcome.result == engine::PassResult::NotEnoughEffect ||
         outcome.result == engine::PassResult::OpenFailed) &&
        state.StopRequested) {
        report.result = "stopped";
        report.failed = false;
    }
    if (outcome.result == engine::PassResult::Compressed) {
        report.output = outputPath;
        report.pictures = std::move(outcome.pictures);
    }

    CleanUpEntry(ctx);
    if (ctx.settings.KeepFileDate == 1 && outcome.result == engine::PassResult::Compressed) {
        CopyFileDates(entry, outputPath);
    }
}

// Closes what the entry opened and removes its probe files; failures are ignored.
void BatchRun::CleanUpEntry(engine::EngineContext& ctx) {
    engine::EngineState& state = ctx.state;
    if (state.ScratchPresentation) {
        Ignoring([&] { state.ScratchPresentation->SetSaved(true); });
        Ignoring([&] { state.ScratchPresentation->Close(); });
        state.ScratchPresentation.reset();
    }
    for (std::string* probe : {&state.ProbePathBefore, &state.ProbePathAfter}) {
        if (!probe->empty()) {
            Ignoring([&] { platform::gFSO.DeleteFile(*probe); });
            probe->clear();
        }
    }
    if (state.SourcePresentation) {
        Ignoring([&] { state.SourcePresentation->SetSaved(true); });
        Ignoring([&] { state.SourcePresentation->Close(); });
        state.SourcePresentation.reset();
    }
    if (registryValueWritten_) {
        Ignoring([&] {
            ctx.registry.DeleteValue(settings::Hive::CurrentUser, kPictureCompressionKey,
                                     kPictureCompressionValue);
        });
        registryValueWritten_ = false;
    }
}

bool BatchRun::EnsureProfiles(engine::EngineContext&) {
    if (!profilesTried_) {
        profilesTried_ = true;
        const std::string path =
            transcodingIni_.empty() ? TranscodingIniPath(platform::gFSO.ProgramFolder()) : transcodingIni_;
        const auto error = LoadTranscodingProfiles(path, movie_);
        profilesLoaded_ = !error.has_value();
        profilesError_ = error ? std::string(kProfilesUnusable) + path + " (" + *error + ")" : std::string();
    }
    return profilesLoaded_;
}

void BatchRun::PrepareMediaPass(engine::EngineContext& ctx) {
    ctx.state.Media.reset();
    // Movie options: "linked movies only" leaves the embedded ones; "half or less" asks for half.
    if (ctx.settings.MediaInDeck != 1 || ctx.settings.MovieTarget == 2) {
        return;
    }
    auto pass = std::make_shared<engine::MediaPass>();
    pass->keepBelowShare = ctx.settings.MovieCond == 2 ? 0.5 : 1.0;
    if (!EnsureProfiles(ctx)) {
        pass->unavailable = profilesError_;
    }
    pass->encode = [this, &ctx](const std::string& input, bool video, const std::string& outputBase,
                                std::string& written) {
        const auto& table = video ? movie_.MovieProfileTable : movie_.GeneralProfileTable;
        const auto index = ProfileIndex(ctx.settings.Encode, table.size());
        if (!index) {
            return -1;
        }
        // Inside a deck only the profile's first command applies: one part has one result.
        transcode::TranscodeEnvironment env{ctx.host, ctx.state.EncoderStopRequested, random_,
                                            [](std::string base, std::string) { return base; },
                                            platform::gFSO.ProgramFolder()};
        std::string extension;
        std::string used;
        const int result = transcode::RunTranscodeCommand(env, table[*index].Commands.front(), input,
                                                          outputBase, extension, &used);
        written = used + "." + extension;
        return result;
    };
    ctx.state.Media = pass;
}

void BatchRun::MovieBranch(engine::EngineContext& ctx, const std::string& entry, EntryReport& report) {
    const double inputSize = static_cast<double>(platform::gFSO.FileSize(entry));
    const std::string folder = platform::gFSO.GetParentFolderName(entry);
    const std::string baseName = platform::gFSO.GetBaseName(entry);
    const std::string extension = platform::gFSO.GetExtensionName(entry);
    const std::string outputBase = MakeMovieOutputBase(ctx.settings, folder, baseName, inputSize);
    report.bytesBefore = inputSize;
    ctx.host.AppendLogRaw("▼" + entry + kCRLF);

    // A missing or damaged profile file, or a profile the file no longer has, is said in the log.
    const auto fail = [&](const std::string& why) {
        ctx.host.AppendLogRaw("▲" + why + kCRLF + kCRLF);
        report.result = "failed";
        report.failed = true;
    };
    if (!EnsureProfiles(ctx)) {
        fail(profilesError_);
        return;
    }
    const auto& table = IsMovieExtension(movie_.MovieExtensions, extension) ? movie_.MovieProfileTable
                                                                            : movie_.GeneralProfileTable;
    const auto index = ProfileIndex(ctx.settings.Encode, table.size());
    if (!index) {
        fail(kNoSuchProfile);
        return;
    }
    const auto& commands = table[*index].Commands;
    transcode::TranscodeEnvironment env{
        ctx.host, ctx.state.EncoderStopRequested, random_,
        [&ctx](std::string base, std::string ext) { return ResolveMovieName(ctx, base, ext); },
        platform::gFSO.ProgramFolder()};
    for (std::size_t i = 0; i <= 10 && i < commands.size(); ++i) {
        if (IsBlankText(commands[i])) {
            break;
        }
        std::string outputExtension;
        std::string chosenBase;
        const int result =
            transcode::RunTranscodeCommand(env, commands[i], entry, outputBase, outputExtension, &chosenBase);
        if (result != 0) {
            ctx.host.DoEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ctx.host.DoEvents();
            // The encoder wrote under a staging name that the command removed already: the output's
            // own name, which may hold a file the person agreed to overwrite, was never touched.
            ctx.host.AppendLogRaw(std::string(kMovieFailed) + kCRLF + kCRLF);
            report.result = "failed";
            report.failed = true;
            continue;
        }
        const std::string output = chosenBase + "." + outputExtension;
        const double outputSize = SizeOrZero(output);
        if (ctx.settings.KeepFileDate == 1) {
            CopyFileDates(entry, output);
        }
        // The file's own name: a base name such as "clip【圧縮前0.5MB】" holds a dot of its own.
        ctx.host.AppendLogRaw("\t" + platform::PathToUtf8(platform::PathFromUtf8(output).filename()) +
                              kCreated + kCRLF);
        ctx.host.AppendLogRaw(std::string(kMovieCompressed) + engine::SizeTextMB(inputSize) + "→" +
                              engine::SizeTextMB(outputSize) + kCompressedTo + kCRLF + kCRLF);
        report.output = output;
        report.bytesAfter = outputSize;
        report.result = "compressed";
    }
}

void BatchRun::EndOfRun(engine::EngineContext& ctx, RunSummary& summary) {
    engine::EngineState& state = ctx.state;
    ctx.office.SetInterruptCheck(nullptr);
    CleanUpEntry(ctx);
    Ignoring([&] { ctx.office.Clipboard().Clear(); });
    if (!state.gOfficeXPMode) {
        if (state.ExcelWorkbook) {
            Ignoring([&] { state.ExcelWorkbook->SetSaved(true); });
            Ignoring([&] { state.ExcelWorkbook->Close(); });
        }
        if (state.appEXCEL) {
            Ignoring([&] { state.appEXCEL->Quit(); });
        }
        state.ExcelSheet.reset();
        state.ExcelWorkbook.reset();
        state.appEXCEL.reset();
    }
    if (state.appPPT) {
        Ignoring([&] { state.appPPT->Quit(); });
        state.appPPT.reset();
    }
    ctx.host.Beep();
    ctx.host.SetRunning(false);
    ctx.host.SetStatus(RunEndStatus(continueBatch_, summary.failedCount()));
    ctx.host.Beep();
    summary.outcome = continueBatch_ ? RunOutcome::Finished : RunOutcome::Interrupted;
}

} // namespace batch
