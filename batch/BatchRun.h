#pragma once

// The Start/Stop run over the input list: checks every entry, checks the office installation,
// prepares the application, a scratch presentation and the probe files for every presentation,
// runs the presentation pass, cleans up after it, and shuts the applications down at the end.
// The window and the command line call btnStart_Click and btnStop_Click; nothing here ends the
// process: a MustExit outcome asks the caller to.

#include "automation/DeckPictures.h"
#include "batch/GoalSearch.h"
#include "batch/TranscodingProfiles.h"
#include "engine/CompressMedia.h"
#include "engine/CompressPresentation.h"
#include "engine/EngineState.h"
#include "transcode/TranscodeCommand.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace batch {

inline constexpr const char* kStatusChecking = "動作環境チェック中...";
inline constexpr const char* kStatusCheckFailed = "動作環境チェック中...失敗";
inline constexpr const char* kStatusCheckOk = "動作環境チェック中...OK";
inline constexpr const char* kStatusStopping = "停止処理中...しばらくお待ちください。";
inline constexpr const char* kStatusFinished = "圧縮完了";
inline constexpr const char* kStatusInterrupted = "圧縮中断";
inline constexpr const char* kPictureCompressionKey =
    "Software\\Microsoft\\Office\\12.0\\PowerPoint\\Options";
inline constexpr const char* kPictureCompressionValue = "AutomaticPictureCompressionDefault";

using engine::SlideWalker;

enum class RunOutcome {
    Refused,         // the input list was empty or an entry could not be run; nothing touched
    EnvironmentBusy, // documents open in the office application; warned
    MustExit,        // no office application could be started; the caller ends the process
    Finished,        // every entry was handled ("圧縮完了")
    Interrupted      // stopped, or ended by an error before the first pass ("圧縮中断")
};

// What happened to one entry (for reports).
struct EntryReport {
    std::string input;
    std::string output; // empty when nothing was written
    double bytesBefore = 0;
    double bytesAfter = 0;
    int shapesReplaced = 0; // the replaced-shape lines the walk logged; 0 when the deck was not kept
    // The replacements did not pay off and the output is the input saved as it was (losslessly).
    bool changesDiscarded = false;
    // Picture parts the deck-wide pass recompressed (logged whether or not the output was kept).
    std::vector<automation::DeckPictureResult> deckPictures;
    double seconds = 0;
    std::string result;  // "compressed", "not-effective", "not-smaller", "cancelled", "refused",
                         // "open-failed", "save-failed", "stopped", "not-started"
    bool failed = false; // could not be opened or saved
    std::vector<engine::MediaPartReport> media; // movies and sound inside the deck, when re-encoded
    engine::DeckSavings savings;                // embedded fonts and layouts, when the user asked for them
    std::optional<GoalOutcome> goal;            // how a size goal went, when one was set
    // The pictures replaced in the output, when the run keeps an account of them (a visual report).
    std::vector<automation::ReplacedPicture> pictures;
};

struct RunSummary {
    RunOutcome outcome = RunOutcome::Refused;
    std::vector<EntryReport> entries;
    bool anyFailed() const;
    int failedCount() const;
};

// The status at the end of a run: "圧縮完了" or "圧縮中断", followed by " (失敗 N 件)" when entries
// could not be opened or saved.
std::string RunEndStatus(bool finished, int failedEntries);

class BatchRun {
public:
    // With the engine's own shape walk.
    explicit BatchRun(engine::EngineContext& ctx);
    BatchRun(engine::EngineContext& ctx, SlideWalker walk);

    // The whole run over the input list's text; returns when it has ended.
    RunSummary btnStart_Click(const std::string& inputText);
    // Asks a running pass (after its slide) and a running encoder to stop. Does not wait.
    void btnStop_Click();

    MovieProfiles& movieProfiles() { return movie_; }
    // Where the profiles are read from when a run first needs them (default: beside the program).
    void setTranscodingIniPath(std::string path) { transcodingIni_ = std::move(path); }

private:
    void PresentationBranch(engine::EngineContext& ctx, const std::string& entry,
                            const std::string& extension, EntryReport& report);
    void MovieBranch(engine::EngineContext& ctx, const std::string& entry, EntryReport& report);
    void EndOfRun(engine::EngineContext& ctx, RunSummary& summary);
    void CleanUpEntry(engine::EngineContext& ctx);

    // Runs one step of the run: before the first pass has returned a failure ends the run (it
    // propagates), afterwards it is ignored.
    template <typename Step> void RunStep(Step&& step);

    engine::EngineContext& ctx_;
    SlideWalker walk_;
    // Reads the profile file once per run; false (after a log line) when it is missing or damaged.
    bool EnsureProfiles(engine::EngineContext& ctx);
    // Sets up the media pass of a presentation when the settings ask for it.
    void PrepareMediaPass(engine::EngineContext& ctx);

    MovieProfiles movie_;
    std::string transcodingIni_;
    bool profilesTried_ = false;
    bool profilesLoaded_ = false;
    std::string profilesError_; // the log text when the file could not be used
    transcode::RandomSequence random_;
    bool continueBatch_ = false;
    bool firstPassReturned_ = false;
    bool registryValueWritten_ = false;
};

} // namespace batch
