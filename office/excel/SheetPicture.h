#pragma once

// A picture pasted onto the worksheet, and the conversions between it and the engine clipboard.

#include "office/clipboard/EngineClipboard.h"
#include "office/imaging/Imaging.h"

#include <optional>
#include <string>
#include <vector>

namespace office::excel {

enum class PictureFormat { Jpeg, Png, Gif, Metafile };

// The clipboard format captions a worksheet's paste accepts; nothing for any other text.
std::optional<PictureFormat> FormatOfCaption(const std::string& caption);

struct SheetPicture {
    std::vector<std::uint8_t> bytes; // the stored picture, in the pasted format
    imaging::PictureKind kind = imaging::PictureKind::Unknown;
    imaging::Raster raster; // how it looks once encoded (JPEG artefacts, black for lost alpha...)
    double widthPt = 0;
    double heightPt = 0;
    // How the copied shape showed its picture; the picture copied back from the sheet keeps it.
    PictureLook look;
    imaging::CropRect crop;
};

// Encodes the clipboard's picture in the given format. Throws ImagingError, or
// std::invalid_argument when the clipboard holds nothing to paste in that format.
SheetPicture PasteFromClipboard(const ClipboardContents& clipboard, PictureFormat format);

// What copying the sheet picture puts on the clipboard: the picture as a shape, its rendering,
// and a metafile (the picture itself when it is one, else the rendering wrapped).
ClipboardContents ClipboardFor(const SheetPicture& picture);

} // namespace office::excel
