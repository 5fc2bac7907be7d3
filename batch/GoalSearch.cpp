#include "batch/GoalSearch.h"

#include "batch/LogCapture.h"
#include "engine/ReplacementRules.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace batch {

namespace {

namespace fs = std::filesystem;

constexpr const char* kOwnSettings = "設定どおり";
constexpr const char* kClose = "▲";
constexpr const char* kCompressed = "に圧縮しました";
constexpr int kStrongestExpectRate = 95;
constexpr int kSmallestFileSize = 10;

// Where a step's output goes: hidden, beside the real output (a rename then puts it in place), and
// named after this process so that no two runs share one and a later run knows when to remove it.
std::string StagingPath(const std::string& real, std::size_t step) {
    const fs::path path = platform::PathFromUtf8(real);
    return platform::PathToUtf8(path.parent_path() / platform::PathFromUtf8(platform::MakeStagingName(
                                                         platform::kStagingGoal, std::to_string(step),
                                                         platform::PathToUtf8(path.filename()))));
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const fs::path pa = platform::PathFromUtf8(a);
    const fs::path pb = platform::PathFromUtf8(b);
    return fs::exists(pa, ec) && fs::exists(pb, ec) && fs::equivalent(pa, pb, ec);
}

void Remove(const std::string& path) {
    std::error_code ec;
    if (!path.empty())
        fs::remove(platform::PathFromUtf8(path), ec);
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return;
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

struct StepRun {
    engine::PassOutcome outcome;
    std::vector<LogCapture::Line> log;
    std::string staging; // written when the outcome is Compressed
    std::string label;
    settings::Settings settings;
    std::vector<engine::MediaPartReport> media;
};

// The goal's note goes on the closing line, before the line break it may carry.
void AddNote(std::string& line, const std::string& note) {
    const bool breaks = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
    line.insert(breaks ? line.size() - 2 : line.size(), note);
}

} // namespace

std::vector<GoalStep> GoalLadder(const settings::Settings& own) {
    std::vector<GoalStep> steps;
    for (int ratio = own.Ratio - 1; ratio >= 0; --ratio)
        steps.push_back(
            {"画質 " + std::to_string(ratio), [ratio](settings::Settings& s) { s.Ratio = ratio; }});
    // Read as the walk reads them: a text that is no number counts as 0.
    if (engine::SettingNumber(own.ExpectRate) < kStrongestExpectRate)
        steps.push_back({"期待圧縮率 " + std::to_string(kStrongestExpectRate) + "%",
                         [](settings::Settings& s) { s.ExpectRate = std::to_string(kStrongestExpectRate); }});
    if (engine::SettingNumber(own.FileSize) > kSmallestFileSize)
        steps.push_back({"最小ｻｲｽﾞ " + std::to_string(kSmallestFileSize) + "KB",
                         [](settings::Settings& s) { s.FileSize = std::to_string(kSmallestFileSize); }});
    if (own.TargetAllowObjects == 1 && own.OLE != 1)
        steps.push_back({"ｵﾌﾞｼﾞｪｸﾄを画像に", [](settings::Settings& s) { s.OLE = 1; }});
    if (own.TargetAllowMedia == 1 && own.MediaInDeck != 1)
        steps.push_back({"動画・音声を再圧縮", [](settings::Settings& s) { s.MediaInDeck = 1; }});
    if (own.TargetAllowFonts == 1 && own.SubsetFonts != 1)
        steps.push_back({"ﾌｫﾝﾄを使う文字だけに", [](settings::Settings& s) { s.SubsetFonts = 1; }});
    if (own.TargetAllowLayouts == 1 && own.RemoveUnusedLayouts != 1)
        steps.push_back({"未使用ﾚｲｱｳﾄを削除", [](settings::Settings& s) { s.RemoveUnusedLayouts = 1; }});
    return steps;
}

std::string GoalText(std::uint64_t bytes) {
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    char text[32];
    if (mb >= 1) {
        const double tenths = std::round(mb * 10) / 10;
        std::snprintf(text, sizeof text, tenths == std::floor(tenths) ? "%.0fMB" : "%.1fMB", tenths);
    } else {
        std::snprintf(text, sizeof text, "%.0fKB", std::round(static_cast<double>(bytes) / 1024.0));
    }
    return text;
}

engine::PassOutcome CompressTowardsGoal(engine::EngineContext& ctx, const std::string& input,
                                        std::uint64_t goalBytes, const engine::OutputChooser& choose,
                                        std::string& outputPath, const GoalPass& pass, GoalOutcome& goal) {
    goal = GoalOutcome{};
    goal.targetBytes = goalBytes;
    goal.settings = ctx.settings;
    std::error_code ec;
    const auto inputSize = fs::file_size(platform::PathFromUtf8(input), ec);
    if (!ec && inputSize <= goalBytes) {
        // Already small enough: the deck runs with the person's settings alone.
        goal.reached = true;
        goal.step = kOwnSettings;
        return pass(ctx, choose, outputPath, goal.media);
    }

    const settings::Settings own = ctx.settings;
    std::vector<GoalStep> ladder{{kOwnSettings, [](settings::Settings&) {}}};
    for (auto& step : GoalLadder(own))
        ladder.push_back(std::move(step));

    // The real output's name is asked for once, by the first pass; every pass writes a staging file.
    std::optional<std::string> real;
    std::optional<StepRun> best;
    std::optional<StepRun> last;
    settings::Settings stepSettings = own;
    for (std::size_t k = 0; k < ladder.size(); ++k) {
        ladder[k].apply(stepSettings);
        ctx.settings = stepSettings;
        LogCapture capture(ctx.host);
        engine::EngineContext stepCtx{capture,      ctx.settings, ctx.exceptions,
                                      ctx.registry, ctx.office,   ctx.state};
        StepRun run;
        run.label = ladder[k].label;
        run.settings = stepSettings;
        const engine::OutputChooser staged = [&](const std::string& in, double size,
                                                 const std::string& written) {
            if (!real) {
                real = choose(in, size, written);
                // A killed search leaves its staging files behind, whole but hidden.
                if (!real->empty())
                    platform::RemoveStaleStaging(platform::PathFromUtf8(*real).parent_path().empty()
                                                     ? fs::path(".")
                                                     : platform::PathFromUtf8(*real).parent_path());
            }
            // No name, or the input's own: the pass refuses it as it would without a goal.
            if (real->empty() || SameFile(*real, in))
                return *real;
            run.staging = StagingPath(*real, k);
            return run.staging;
        };
        std::string written;
        try {
            run.outcome = pass(stepCtx, staged, written, run.media);
        } catch (...) {
            ctx.settings = own;
            Remove(run.staging);
            if (best)
                Remove(best->staging);
            throw;
        }
        run.log = std::move(capture.Lines());
        const bool wrote = run.outcome.result == engine::PassResult::Compressed && !run.staging.empty();
        if (!wrote)
            Remove(run.staging);
        const bool ended =
            ctx.state.StopRequested || (!wrote && run.outcome.result != engine::PassResult::NotSmaller &&
                                        run.outcome.result != engine::PassResult::NotEnoughEffect);
        if (wrote && (!best || run.outcome.outputSize < best->outcome.outputSize)) {
            if (best)
                Remove(best->staging);
            best = std::move(run);
        } else {
            if (wrote)
                Remove(run.staging);
            last = std::move(run);
        }
        if (ended)
            break;
        if (best && best->outcome.outputSize <= static_cast<double>(goalBytes))
            break;
    }
    ctx.settings = own;
    goal.searched = true;

    // A stop or a failure shows as it happened; nothing written stays.
    const bool interrupted =
        ctx.state.StopRequested || (last && last->outcome.result != engine::PassResult::NotSmaller &&
                                    last->outcome.result != engine::PassResult::NotEnoughEffect &&
                                    last->outcome.result != engine::PassResult::Compressed);
    StepRun* shown = nullptr;
    if (interrupted && last) {
        if (best)
            Remove(best->staging);
        best.reset();
        shown = &*last;
    } else {
        shown = best ? &*best : &*last;
    }
    goal.reached = best && best->outcome.outputSize <= static_cast<double>(goalBytes);
    goal.step = shown->label;
    goal.settings = shown->settings;
    goal.media = shown->media;

    if (best) {
        fs::rename(platform::PathFromUtf8(best->staging), platform::PathFromUtf8(*real), ec);
        if (ec) {
            Remove(best->staging);
            ctx.host.AppendLog(std::string(kClose) + "出力ﾌｧｲﾙを置けません: " + *real + "\r\n");
            engine::PassOutcome failed = best->outcome;
            failed.result = engine::PassResult::SaveFailed;
            failed.outputSize = 0;
            return failed;
        }
        outputPath = *real;
    }
    const std::string note = " (目標 " + GoalText(goalBytes) +
                             (goal.reached ? ": " + goal.step + ")"
                              : best       ? " に届きません。最も小さいのは " + goal.step + ")"
                                           : " に届きません)");
    for (auto& line : shown->log) {
        if (best)
            Replace(line.text, best->staging, *real);
        if (!interrupted && line.text.rfind(kClose, 0) == 0 &&
            (line.text.find(kCompressed) != std::string::npos || !best))
            AddNote(line.text, note);
        if (line.raw)
            ctx.host.AppendLogRaw(line.text);
        else
            ctx.host.AppendLog(line.text);
    }
    return shown->outcome;
}

} // namespace batch
