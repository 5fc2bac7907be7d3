#include "office/model/PictureClip.h"

#include "office/model/Geometry.h"
#include "office/model/PictureLook.h"
#include "office/package/OpcTypes.h"

#include <cmath>
#include <memory>
#include <sstream>
#include <string>

namespace office {

PictureFileType FileTypeOf(imaging::PictureKind kind) {
    using imaging::PictureKind;
    switch (kind) {
    case PictureKind::Jpeg:
        return {"jpeg", "image/jpeg"};
    case PictureKind::Png:
        return {"png", "image/png"};
    case PictureKind::Gif:
        return {"gif", "image/gif"};
    case PictureKind::Bmp:
        return {"bmp", "image/bmp"};
    case PictureKind::Tiff:
        return {"tiff", "image/tiff"};
    case PictureKind::WebP:
        return {"webp", "image/webp"};
    case PictureKind::Svg:
        return {"svg", "image/svg+xml"};
    case PictureKind::Emf:
        return {"emf", "image/x-emf"};
    case PictureKind::Wmf:
        return {"wmf", "image/x-wmf"};
    case PictureKind::Unknown:
        break;
    }
    return {"bin", "application/octet-stream"};
}

ShapeClip MakePictureClip(std::vector<std::uint8_t> bytes, imaging::PictureKind kind, double widthPt,
                          double heightPt, const PictureLook& look, const imaging::CropRect& crop) {
    PictureFileType type = FileTypeOf(kind);
    auto emu = [](double pt) {
        return std::to_string(std::llround(std::max(0.0, pt) * model::kEmuPerPoint));
    };
    ShapeClip clip;
    clip.xml = R"(<p:pic xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
               R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
               R"(xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main">)"
               R"(<p:nvPicPr><p:cNvPr id="2" name="Picture 1"/><p:cNvPicPr><a:picLocks noChangeAspect="1"/>)"
               R"(</p:cNvPicPr><p:nvPr/></p:nvPicPr><p:blipFill><a:blip r:embed="rId1"/>)"
               R"(<a:stretch><a:fillRect/></a:stretch></p:blipFill><p:spPr><a:xfrm><a:off x="0" y="0"/>)"
               R"(<a:ext cx=")" +
               emu(widthPt) + R"(" cy=")" + emu(heightPt) +
               R"("/></a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom></p:spPr></p:pic>)";
    if (!look.pictureXml.empty() || look.flipH || look.flipV || !crop.IsEmpty()) {
        pugi::xml_document doc;
        doc.load_string(clip.xml.c_str());
        pugi::xml_node pic = doc.document_element();
        model::GiveLook(pic, look, crop, pic);
        pugi::xml_node xfrm = pic.child("p:spPr").child("a:xfrm");
        if (look.flipH)
            xfrm.append_attribute("flipH").set_value("1");
        if (look.flipV)
            xfrm.append_attribute("flipV").set_value("1");
        std::ostringstream xml;
        doc.save(xml, "", pugi::format_raw | pugi::format_no_declaration);
        clip.xml = xml.str();
    }
    ClipPart part;
    part.relId = "rId1";
    part.relType = package::reltype::kImage;
    part.partName = "/ppt/media/image1." + type.extension;
    part.contentType = type.contentType;
    part.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    clip.parts.push_back(std::move(part));
    return clip;
}

} // namespace office
