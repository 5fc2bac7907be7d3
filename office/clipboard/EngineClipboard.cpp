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
        if (!contents_.metafile.empty())
            return imaging::RenderMetafileToBox(contents_.metafile, boxWidth, boxHeight);
        if (contents_.picture)
            return contents_.picture->BoxOnWhite(boxWidth, boxHeight);
    } catch (const imaging::ImagingError& e) {
        throw automation::AutomationError("Clipboard.RenderMetafile", e.what());
    }
    return std::nullopt;
}

} // namespace office
