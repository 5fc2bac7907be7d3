#include "office/clipboard/EngineClipboard.h"
#include "office/model/ModelImpl.h"

namespace office::model {

namespace {

std::optional<PasteEncoding> EncodingOf(int dataType) {
    switch (dataType) {
    case automation::ppPasteJPG:
        return PasteEncoding::Jpeg;
    case automation::ppPastePNG:
    case automation::ppPasteBitmap:
        return PasteEncoding::Png;
    case automation::ppPasteGIF:
        return PasteEncoding::Gif;
    default:
        return std::nullopt; // a metafile paste encodes nothing worth making ahead
    }
}

} // namespace

void PresentationImpl::ForecastPictureCopies(const std::vector<automation::PictureCopyForecast>& copies) {
    EncodeAhead& ahead = App().clipboard.Ahead();
    if (ahead.Workers() == 0)
        return;
    std::vector<PasteForecast> forecasts;
    for (const auto& copy : copies) {
        auto shape = std::dynamic_pointer_cast<ShapeImpl>(copy.shape);
        const auto encoding = EncodingOf(copy.dataType);
        if (!shape || !encoding)
            continue;
        PasteForecast forecast;
        forecast.encoding = *encoding;
        forecast.origin = OriginOf(*shape);
        forecast.boxWidth = copy.referenceWidth;
        forecast.boxHeight = copy.referenceHeight;
        forecast.boxOfPaste = copy.checkPaste;
        // Read when a worker is free: by then the walk may have changed the slide, and the copy reads it
        // as it is then too. A shape gone by then is skipped.
        forecast.load = [shape, copy]() -> std::optional<PictureSource> {
            auto source = ForecastCopySource(*shape, copy.copyWidth, copy.copyHeight, copy.shownWidth,
                                             copy.shownHeight);
            // The walk leaves a picture alone when its stored form, repacked, with the XML of one shape
            // comes under the minimum; the repack only ever shrinks it, so a picture already under it
            // is almost surely left. Made anyway, its encoding would only cost a worker's time.
            if (source && static_cast<double>(source->bytes->size()) < copy.minimumBytes)
                return std::nullopt;
            return source;
        };
        forecasts.push_back(std::move(forecast));
    }
    ahead.Forecast(std::move(forecasts));
}

} // namespace office::model
