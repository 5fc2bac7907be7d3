#include "engine/CopyForecast.h"

#include "automation/PictureForecast.h"
#include "engine/Attempt.h"
#include "engine/PictureCheck.h"
#include "engine/ReplacementRules.h"
#include "engine/WalkCandidates.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cmath>

namespace engine {

void ForecastPictureCopies(EngineContext& ctx, automation::IPresentation& presentation) {
    auto* forecast = dynamic_cast<automation::IPictureForecast*>(&presentation);
    // The older paste path goes through the worksheet, which makes its own pictures.
    if (!forecast || !ctx.state.gOfficeXPMode)
        return;
    const double factor = ScaleFactor(ctx.settings.Ratio);
    const double minimumBytes = SettingNumber(ctx.settings.FileSize) * 1024.0;
    std::vector<automation::PictureCopyForecast> copies;
    Attempt([&] {
        auto slides = Need(presentation.Slides(), "Slides");
        const int slideCount = slides->Count();
        for (int i = 1; i <= slideCount; ++i) {
            auto range = AttemptValue(
                [&] { return Need(Need(slides->Item(i), "Item")->Shapes(), "Shapes")->Range(); });
            if (!range || !*range)
                continue;
            const int count = AttemptValue([&] { return (*range)->Count(); }).value_or(0);
            for (int j = 1; j <= count; ++j) {
                const auto shape = AttemptValue([&] { return Need((*range)->Item(j), "Item"); });
                if (!shape)
                    continue;
                const auto facts = ReadPictureFacts(**shape);
                if (!facts || !facts->treatAsPicture || !IsReplacementCandidate(ctx, *facts) ||
                    PictureKeptElsewhere(ctx, **shape))
                    continue;
                // A JPEG copy is checked against the copied picture and may be copied again as a
                // metafile; the first paste is the one worth making ahead.
                const PastePlan plan = PicturePastePlan(ctx.settings.Format, false, false, true);
                automation::PictureCopyForecast copy;
                copy.shape = *shape;
                copy.copyWidth = factor * facts->width;
                copy.copyHeight = factor * facts->height;
                copy.shownWidth = facts->width;
                copy.shownHeight = facts->height;
                copy.dataType = plan.dataType;
                copy.minimumBytes = minimumBytes;
                // As the cycle draws its reference and checks a JPEG paste for lost transparency.
                copy.referenceWidth = std::clamp(static_cast<int>(std::lround(copy.copyWidth * 4.0 / 3.0)), 1,
                                                 kLargestCompareBox);
                copy.referenceHeight = std::clamp(static_cast<int>(std::lround(copy.copyHeight * 4.0 / 3.0)),
                                                  1, kLargestCompareBox);
                copy.checkPaste = ctx.settings.Format == 0 && plan.formatName == kFormatJpeg;
                copies.push_back(std::move(copy));
            }
        }
    });
    Attempt([&] { forecast->ForecastPictureCopies(copies); });
}

void EndPictureForecast(automation::IPresentation& presentation) {
    if (auto* forecast = dynamic_cast<automation::IPictureForecast*>(&presentation))
        Attempt([&] { forecast->ForecastPictureCopies({}); });
}

} // namespace engine
