#include "engine/DeckPictureStep.h"

#include "engine/DefaultPictureNames.h"
#include "engine/ReplacementRules.h"
#include "engine/SizeText.h"
#include "settings/Settings.h"

namespace engine {

namespace {

const char* PlaceWord(automation::DeckPicturePlace place) {
    switch (place) {
    case automation::DeckPicturePlace::Background:
        return "背景";
    case automation::DeckPicturePlace::Layout:
        return "ﾚｲｱｳﾄ";
    case automation::DeckPicturePlace::Master:
        return "ﾏｽﾀｰ";
    case automation::DeckPicturePlace::Notes:
        return "ﾉｰﾄ";
    case automation::DeckPicturePlace::Slide:
        return "ｽﾗｲﾄﾞ";
    case automation::DeckPicturePlace::MediaPoster:
        return "ﾒﾃﾞｨｱの表紙";
    default:
        return "塗りつぶし";
    }
}

} // namespace

std::string DeckPictureLogLine(const automation::DeckPictureResult& result) {
    return "\t" + std::to_string(result.width) + "x" + std::to_string(result.height) + " ﾋﾟｸｾﾙの" +
           PlaceWord(result.place) + "画像を" + result.format + "に圧縮 (" + SizeTextKB(result.bytesBefore) +
           "→" + SizeTextKB(result.bytesAfter) + ")";
}

std::vector<automation::DeckPictureResult> CompressDeckPictures(EngineContext& ctx) {
    if (ctx.settings.DeckPictures != 1)
        return {};
    auto* extras = dynamic_cast<automation::IDeckPictures*>(ctx.state.SourcePresentation.get());
    if (!extras)
        return {};
    automation::DeckPictureRequest request;
    request.scaleFactor = ScaleFactor(ctx.settings.Ratio);
    request.format = ctx.settings.Format;
    request.minimumBytes = SettingNumber(ctx.settings.FileSize) * 1024;
    request.expectRate = SettingNumber(ctx.settings.ExpectRate);
    request.isDefaultPictureName = IsUnprotectedPictureName;
    std::vector<automation::DeckPictureResult> results;
    try {
        results = extras->CompressDeckPictures(request);
    } catch (const std::exception&) {
        return {};
    }
    for (const auto& result : results)
        ctx.host.AppendLog(DeckPictureLogLine(result));
    if (!results.empty())
        ctx.state.PresentationChanged = true;
    return results;
}

} // namespace engine
