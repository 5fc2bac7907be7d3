#pragma once

// The engine's own clipboard. A copy puts a shape here in three forms: the shape with its parts (for
// a plain paste), a raster rendering at the shape's displayed size, and a metafile.

#include "automation/Clipboard.h"
#include "office/clipboard/ClipPicture.h"
#include "office/clipboard/EncodeAhead.h"
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

// How a copied picture shape shows its picture, apart from the pixels. A paste as a picture gives it
// back, so the new picture renders like the copied shape.
struct PictureLook {
    // The copied p:pic without its picture, frame or identity: its hidden flag and locks, the blip's
    // colour changes, the fill mode, geometry, outline, effects, 3-D and style reference, with the
    // namespace declarations they need. Empty for a shape that is not a picture (an object shows
    // only its preview).
    std::string pictureXml;
    bool flipH = false;
    bool flipV = false;
    // Why a paste as a picture cannot give this look back (e.g. a tiled fill); empty when it can.
    std::string refusal;
};

struct ClipboardContents {
    std::optional<ShapeClip> shape;
    PictureLook look;
    // The rendering at the copied size.
    std::optional<ClipPicture> picture;
    // A metafile as copied (EMF or WMF bytes). When empty, the metafile form is the picture wrapped.
    std::vector<std::uint8_t> metafile;
    // How the copied shape crops that metafile (the copy keeps the whole metafile).
    imaging::CropRect metafileCrop;

    // The metafile form: the copied metafile, or the picture wrapped in an EMF; empty when neither.
    std::vector<std::uint8_t> MetafileForm() const;
    // The crop a picture pasted from the metafile form takes.
    imaging::CropRect MetafileFormCrop() const;
};

class EngineClipboard : public automation::IClipboard {
public:
    // pasteWorkers: threads that make the encodings of forecast pastes ahead (0: none).
    explicit EngineClipboard(unsigned pasteWorkers = 0) : ahead_(pasteWorkers) {}

    void Set(ClipboardContents contents);
    const ClipboardContents& Contents() const { return contents_; }
    bool IsEmpty() const;

    void Clear() override;
    bool ContainsMetafile() override;
    std::optional<automation::ColorBox> RenderMetafile(int boxWidth, int boxHeight) override;

    // Where pastes find their encodings made ahead.
    EncodeAhead& Ahead() { return ahead_; }

private:
    ClipboardContents contents_;
    EncodeAhead ahead_;
};

} // namespace office
