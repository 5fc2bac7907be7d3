#include "office/clipboard/EngineClipboard.h"

#include "automation/AutomationError.h"

namespace office {

void EngineClipboard::Set(ClipboardContents contents) {
    contents_ = std::move(contents);
}

bool EngineClipboard::IsEmpty() const {
    return !contents_.shape.has_value() && !contents_.raster.has_value() && contents_.metafile.empty();
}

void EngineClipboard::Clear() {
    contents_ = ClipboardContents{};
}

bool EngineClipboard::ContainsMetafile() {
    return !contents_.metafile.empty();
}

std::optional<automation::ColorBox> EngineClipboard::RenderMetafile(int boxWidth, int boxHeight) {
    if (contents_.metafile.empty()) {
        return std::nullopt;
    }
    try {
        return imaging::RenderMetafileToBox(contents_.metafile, boxWidth, boxHeight);
    } catch (const imaging::ImagingError& e) {
        throw automation::AutomationError("Clipboard.RenderMetafile", e.what());
    }
}

} // namespace office
