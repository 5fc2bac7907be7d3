#pragma once

// One pass over one presentation: open it read-only, hand every slide to the shape walk, and save
// it under the chosen output name when at least one shape was replaced or an opt-in saving (fonts,
// layouts) changed it. Progress and result go to
// the log; the input file is never written.

#include "automation/DeckPictures.h"
#include "automation/ReplacedPictures.h"
#include "engine/DeckSavings.h"
#include "engine/EngineState.h"

#include <functional>
#include <string>
#include <vector>

namespace engine {

enum class PassResult {
    Compressed,      // an output was written
    NotEnoughEffect, // nothing replaced (also after a stop): no output
    NotSmaller,      // shapes were replaced but the saved deck was no smaller: not kept
    Cancelled,       // the same-name question said skip
    Refused,         // .pptx on an application older than version 12
    OpenFailed,      // the presentation could not be opened
    SaveFailed       // the output could not be written
};

struct PassOutcome {
    PassResult result = PassResult::NotEnoughEffect;
    double inputSize = 0;  // bytes
    double outputSize = 0; // bytes; 0 when nothing was written
    // Picture parts the deck-wide pass recompressed (they count only when the output was written).
    std::vector<automation::DeckPictureResult> deckPictures;
    DeckSavings savings; // the opt-in savings applied before the save
    // The replacements (walk, deck-wide pass, media) made the deck no smaller, so the output, if any,
    // is the input saved as it was: none of them is in it.
    bool changesDiscarded = false;
    // The pictures replaced in the written output, when the run asked for an account of them.
    std::vector<automation::ReplacedPicture> pictures;
};

// Chooses the output path for an input of the given size, written with the given extension (the
// format the deck is saved in, which need not be the input's); empty text skips the file. The batch
// supplies it (output folder, name rules, same-name question) so that the engine does not depend
// on the batch.
using OutputChooser =
    std::function<std::string(const std::string& inputPath, double inputSize, const std::string& extension)>;

// The shape walk of one slide: engine::CompressShapes, or a stand-in where a test needs one.
using SlideWalker = std::function<std::string(EngineContext& ctx, automation::SlidePtr container,
                                              automation::ShapePtr group, bool topLevel)>;

// outputPath receives the chosen path (empty when skipped; unchanged when the pass ended before
// choosing); continueBatch receives false when a stop was requested. SourcePresentation is left
// open for the batch run to close.
PassOutcome CompressPresentation(EngineContext& ctx, const std::string& inputPath,
                                 const OutputChooser& chooseOutput, std::string& outputPath,
                                 bool& continueBatch, const SlideWalker& walk);

} // namespace engine
