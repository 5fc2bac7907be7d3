#include "office/excel/SheetPicture.h"

#include "office/model/PictureClip.h"

#include <stdexcept>

namespace office::excel {

namespace {

constexpr double kPointsPerPixel = 0.75; // 96 dpi

std::vector<std::uint8_t> Encode(const ClipPicture& source, PictureFormat format) {
    switch (format) {
    case PictureFormat::Jpeg:
        return source.Jpeg();
    case PictureFormat::Png:
        return source.Png();
    case PictureFormat::Gif:
        return source.Gif();
    case PictureFormat::Metafile:
        return source.WrappedInEmf();
    }
    throw std::invalid_argument("unknown picture format");
}

imaging::PictureKind KindOfFormat(PictureFormat format) {
    switch (format) {
    case PictureFormat::Jpeg:
        return imaging::PictureKind::Jpeg;
    case PictureFormat::Png:
        return imaging::PictureKind::Png;
    case PictureFormat::Gif:
        return imaging::PictureKind::Gif;
    case PictureFormat::Metafile:
        return imaging::PictureKind::Emf;
    }
    return imaging::PictureKind::Unknown;
}

} // namespace

std::optional<PictureFormat> FormatOfCaption(const std::string& caption) {
    if (caption == "図 (JPEG)") {
        return PictureFormat::Jpeg;
    }
    if (caption == "図 (PNG)") {
        return PictureFormat::Png;
    }
    if (caption == "図 (GIF)") {
        return PictureFormat::Gif;
    }
    if (caption == "図 (拡張メタファイル)") {
        return PictureFormat::Metafile;
    }
    return std::nullopt;
}

SheetPicture PasteFromClipboard(const ClipboardContents& clipboard, PictureFormat format) {
    if (!clipboard.look.refusal.empty()) {
        throw std::invalid_argument(clipboard.look.refusal);
    }
    SheetPicture picture;
    picture.look = clipboard.look;
    if (format == PictureFormat::Metafile && !clipboard.metafile.empty()) {
        // The metafile as copied; a metafile source stays vector.
        picture.bytes = clipboard.metafile;
        picture.kind = imaging::SniffKind(picture.bytes);
        if (!imaging::IsMetafile(picture.kind)) {
            throw imaging::ImagingError("the clipboard metafile is not a metafile");
        }
        // Pasted at the size it was copied at, like any other format; a bare metafile at its own.
        picture.crop = clipboard.metafileCrop;
        if (clipboard.picture) {
            picture.raster = clipboard.picture->Pixels();
            picture.widthPt = clipboard.picture->Width() * kPointsPerPixel;
            picture.heightPt = clipboard.picture->Height() * kPointsPerPixel;
            return picture;
        } else {
            const imaging::PixelSize size = imaging::MetafileSize(picture.bytes);
            picture.raster = imaging::RenderPicture(picture.bytes, {}, false, false, size.width, size.height);
        }
        picture.widthPt = picture.raster.width * kPointsPerPixel;
        picture.heightPt = picture.raster.height * kPointsPerPixel;
        return picture;
    }
    if (!clipboard.picture) {
        throw std::invalid_argument("the clipboard holds no picture");
    }
    const ClipPicture& source = *clipboard.picture;
    picture.bytes = Encode(source, format);
    picture.kind = KindOfFormat(format);
    picture.crop = source.PasteCrop();
    // The sheet shows the encoded picture, so decode it again rather than keep the source pixels.
    const imaging::PixelSize size = imaging::MeasurePicture(picture.bytes);
    picture.raster = imaging::RenderPicture(picture.bytes, {}, false, false, size.width, size.height);
    picture.widthPt = source.Width() * kPointsPerPixel;
    picture.heightPt = source.Height() * kPointsPerPixel;
    return picture;
}

ClipboardContents ClipboardFor(const SheetPicture& picture) {
    ClipboardContents contents;
    contents.shape = MakePictureClip(picture.bytes, picture.kind, picture.widthPt, picture.heightPt,
                                     picture.look, picture.crop);
    contents.look = picture.look;
    contents.picture.emplace(picture.raster);
    if (imaging::IsMetafile(picture.kind)) {
        contents.metafile = picture.bytes;
    }
    return contents;
}

} // namespace office::excel
