#include "office/clipboard/EngineClipboard.h"

#include "automation/AutomationError.h"

namespace office {

std::vector<std::uint8_t> ClipboardContents::MetafileForm() const {
    if (!metafile.empty())
        return metafile;
    if (picture)
        return picture->WrappedInEmf();
    return {};
}

imaging::CropRect ClipboardContents::MetafileFormCrop() const {
    if (!metafile.empty())
        return metafileCrop;
    if (picture)
        return picture->PasteCrop();
    return {};
}

void EngineClipboard::Set(ClipboardContents contents) {
    contents_ = std::move(contents);
}

bool EngineClipboard::IsEmpty() const {
    return !contents_.shape.has_value() && !contents_.picture.has_value() && contents_.metafile.empty();
}

void EngineClipboard::Clear() {
    contents_ = ClipboardContents{};
}

bool EngineClipboard::ContainsMetafile() {
    return !contents_.metafile.empty() || (contents_.picture && contents_.picture->Readable());
}

std::optional<automation::ColorBox> EngineClipboard::RenderMetafile(int boxWidth, int boxHeight) {
    try {
        // The copy as the slide showed it (at its size, cropped); a bare metafile at its own size.
        if (contents_.picture && contents_.picture->Readable()) {
            if (auto ready = ahead_.TakeBox(*contents_.picture, boxWidth, boxHeight))
                return ready;
            return contents_.picture->BoxOnWhite(boxWidth, boxHeight);
        }
        if (!contents_.metafile.empty())
            return imaging::RenderMetafileToBox(contents_.metafile, boxWidth, boxHeight);
    } catch (const imaging::ImagingError& e) {
        throw automation::AutomationError("Clipboard.RenderMetafile", e.what());
    }
    return std::nullopt;
}

} // namespace office
