#include "batch/BatchRun.h"

#include "automation/Constants.h"
#include "batch/CountingHost.h"
#include "batch/InputList.h"
#include "batch/OutputNames.h"
#include "batch/modTimeStamp.h"
#include "engine/OfficeConnection.h"
#include "engine/SizeText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "settings/Settings.h"
#include "settings/modRegAccess.h"
#include "transcode/TranscodeCommand.h"

#include <chrono>
#include <exception>
#include <thread>

namespace batch {
namespace {

constexpr const char* kCRLF = "\r\n";
constexpr const char* kMovieFailed = "▲動画ﾌｧｲﾙの圧縮に失敗しました。非対応動画の可能性があります。";
constexpr const char* kMovieCompressed = "▲動画ﾌｧｲﾙを";
constexpr const char* kCompressedTo = " に圧縮しました。";
constexpr const char* kCreated = " を作成";

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
    for (const auto& entry : entries) {
        if (entry.failed) {
            return true;
        }
    }
    return false;
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
    const std::vector<std::string> entries =
        IsBlankText(inputText) ? std::vector<std::string>{} : ParseInputList(inputText);
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
            report.shapesReplaced = host.replacedLines();
            report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            if (!continueBatch_) {
                break;
            }
        }
    } catch (const std::exception&) {
        // An error before the first pass returned ends the run here.
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
        const std::string temp = platform::gFSO.GetTempFolder();
        state.ProbePathBefore = platform::JoinPath(temp, platform::gFSO.GetTempName() + "." + probeExtension);
        state.ProbePathAfter = platform::JoinPath(temp, platform::gFSO.GetTempName() + "." + probeExtension);
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
    const engine::PassOutcome outcome =
        engine::CompressPresentation(ctx, entry, choose, outputPath, continueBatch_, walk_);
    firstPassReturned_ = true;

    report.bytesBefore = outcome.inputSize != 0 ? outcome.inputSize : SizeOrZero(entry);
    report.bytesAfter = outcome.outputSize;
    report.result = ResultText(outcome.result);
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

void BatchRun::MovieBranch(engine::EngineContext& ctx, const std::string& entry, EntryReport& report) {
    const double inputSize = static_cast<double>(platform::gFSO.FileSize(entry));
    const std::string folder = platform::gFSO.GetParentFolderName(entry);
    const std::string baseName = platform::gFSO.GetBaseName(entry);
    const std::string extension = platform::gFSO.GetExtensionName(entry);
    const std::string outputBase = MakeMovieOutputBase(ctx.settings, folder, baseName, inputSize);
    report.bytesBefore = inputSize;
    ctx.host.AppendLogRaw("▼" + entry + kCRLF);

    const auto& table = IsMovieExtension(movie_.MovieExtensions, extension) ? movie_.MovieProfileTable
                                                                            : movie_.GeneralProfileTable;
    const auto& commands = table.at(static_cast<std::size_t>(ctx.settings.Encode)).Commands;
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
            // Only an output this command wrote is removed; a file the person declined to overwrite stays.
            if (result != 2 && !chosenBase.empty()) {
                Ignoring([&] { platform::gFSO.DeleteFile(chosenBase + "." + outputExtension); });
            }
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
        ctx.host.AppendLogRaw("\t" + platform::gFSO.GetBaseName(chosenBase) + "." + outputExtension +
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
    ctx.host.SetStatus(continueBatch_ ? kStatusFinished : kStatusInterrupted);
    ctx.host.Beep();
    summary.outcome = continueBatch_ ? RunOutcome::Finished : RunOutcome::Interrupted;
}

} // namespace batch
