#pragma once

// Compressing a deck towards a size goal: the person's own settings first, then, while the deck is
// still too large, a ladder of ever stronger settings, each step adding to the one before. The first
// step that reaches the goal is kept; when none does, the smallest output is. Only one output is ever
// written under the output's name, whole: every step saves to a hidden staging file beside it.

#include "engine/CompressMedia.h"
#include "engine/CompressPresentation.h"
#include "engine/EngineState.h"
#include "settings/Settings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace batch {

struct GoalStep {
    std::string label; // for the closing line and the report, e.g. "画質 1"
    std::function<void(settings::Settings&)> apply;
};

// The steps after the person's own settings, mildest first: lower picture quality presets,
// ExpectRate 95, FileSize 10 KB, then the savings the person allowed for reaching a goal (objects,
// media, fonts, layouts) that are not on anyway. A step that would change nothing is left out.
std::vector<GoalStep> GoalLadder(const settings::Settings& own);

// "10MB", "9.5MB", "500KB": the goal as the log names it.
std::string GoalText(std::uint64_t bytes);

// What the search did, for the closing line and the report.
struct GoalOutcome {
    std::uint64_t targetBytes = 0;
    bool searched = false; // false: the deck was at or under the goal already, or no output was possible
    bool reached = false;
    std::string step;            // the kept output's step ("設定どおり" for the person's own)
    settings::Settings settings; // what the kept output was made with
    std::vector<engine::MediaPartReport> media; // the kept pass's movies and sound
};

// One pass with the settings in ctx (ctx.settings holds the step's settings while it runs), writing
// through the chooser it is given; it closes the deck it opened and hands over its media reports.
using GoalPass =
    std::function<engine::PassOutcome(engine::EngineContext& ctx, const engine::OutputChooser& choose,
                                      std::string& outputPath, std::vector<engine::MediaPartReport>& media)>;

// Runs pass once per step until one reaches goalBytes; ctx.settings is restored afterwards. The kept
// step's log is shown as that pass wrote it (its closing line saying how the goal went), the other
// steps' logs are not. outputPath is the real output's path when one was kept.
engine::PassOutcome CompressTowardsGoal(engine::EngineContext& ctx, const std::string& input,
                                        std::uint64_t goalBytes, const engine::OutputChooser& choose,
                                        std::string& outputPath, const GoalPass& pass, GoalOutcome& goal);

} // namespace batch
