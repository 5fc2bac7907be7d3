#pragma once

// The engine's own clipboard. A copy puts a shape here in three forms: the shape with its parts (for
// a plain paste), a raster rendering at the shape's displayed size, and a metafile.

#include "automation/Clipboard.h"
#include "office/clipboard/ClipPicture.h"
#include "office/imaging/Imaging.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace office {

// One relationship of the copied shape and, for an internal one, the part it points at.
struct ClipPart {
    std::string relId; // as used by the shape XML
    std::string relType;
    bool external = false;
    std::string externalTarget; // external relationships only
    std::string partName;       // source part name, e.g. "/ppt/media/image3.png" (internal only)
    std::string contentType;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    // Relationships of that part in turn (e.g. an embedded object's own rels); usually empty.
    std::vector<ClipPart> children;
};

struct ShapeClip {
    std::string xml; // the shape element, serialised with its namespace declarations
    std::vector<ClipPart> parts;
};

struct ClipboardContents {
    std::optional<ShapeClip> shape;
    // The rendering at the copied size.
    std::optional<ClipPicture> picture;
    // A metafile as copied (EMF or WMF bytes). When empty, the metafile form is the picture wrapped.
    std::vector<std::uint8_t> metafile;

    // The metafile form: the copied metafile, or the picture wrapped in an EMF; empty when neither.
    std::vector<std::uint8_t> MetafileForm() const;
};

class EngineClipboard : public automation::IClipboard {
public:
    void Set(ClipboardContents contents);
    const ClipboardContents& Contents() const { return contents_; }
    bool IsEmpty() const;

    void Clear() override;
    bool ContainsMetafile() override;
    std::optional<automation::ColorBox> RenderMetafile(int boxWidth, int boxHeight) override;

private:
    ClipboardContents contents_;
};

} // namespace office
