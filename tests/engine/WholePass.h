#pragma once

// The whole pass over one deck file, as the batch runs it, and what a saved deck stores.

#include "engine/CompressPresentation.h"
#include "engine/CompressShapes.h"
#include "office/package/Package.h"

#include <string>
#include <vector>

namespace wholepass {

// The pass over input, written to output (no name question), with the real walk unless one is given.
inline engine::PassOutcome CompressTo(engine::EngineContext& ctx, const std::string& input,
                                      const std::string& output,
                                      const engine::SlideWalker& walk = engine::CompressShapes) {
    std::string outputPath;
    bool continueBatch = true;
    return engine::CompressPresentation(
        ctx, input, [&](const std::string&, double, const std::string&) { return output; }, outputPath,
        continueBatch, walk);
}

// The picture and media parts the package still reaches.
inline std::vector<std::string> LiveMedia(const office::package::Package& pkg) {
    std::vector<std::string> media;
    for (const auto& part : pkg.LiveParts())
        if (part.rfind("/ppt/media/", 0) == 0)
            media.push_back(part);
    return media;
}

} // namespace wholepass
