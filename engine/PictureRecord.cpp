#include "engine/PictureRecord.h"

namespace engine {

void StartPictureRecord(EngineContext& ctx, automation::IPresentation& deck) {
    if (ctx.state.ReportThumbnailWidth <= 0)
        return;
    if (auto* account = dynamic_cast<automation::IReplacedPictures*>(&deck)) {
        try {
            account->RecordReplacedPictures(ctx.state.ReportThumbnailWidth);
        } catch (const std::exception&) {
            // The report then lists no pictures for this deck; the pass itself goes on.
        }
    }
}

std::vector<automation::ReplacedPicture> RecordedPictures(automation::IPresentation& deck) {
    auto* account = dynamic_cast<automation::IReplacedPictures*>(&deck);
    if (!account)
        return {};
    try {
        return account->ReplacedPictures();
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace engine
