// Shape.Copy: the shape with every part it reaches, a raster of it as displayed, and a metafile.

#include "office/clipboard/EngineClipboard.h"
#include "office/imaging/Imaging.h"
#include "office/model/ModelImpl.h"
#include "office/model/PictureLook.h"
#include "office/model/ShapeType.h"
#include "office/package/OpcTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <sstream>

namespace office::model {

namespace {

// Relationship types never followed from a copied part: they lead back into the deck's structure.
bool Structural(const std::string& type) {
    using namespace package::reltype;
    return type == kSlide || type == kSlideLayout || type == kSlideMaster || type == kNotesSlide ||
           type == kTheme;
}

ClipPart ClipPartFor(package::Package& pkg, const package::Relationship& rel,
                     std::set<std::string>& visiting) {
    ClipPart part;
    part.relId = rel.id;
    part.relType = rel.type;
    part.external = rel.external;
    if (rel.external) {
        part.externalTarget = rel.target;
        return part;
    }
    part.partName = rel.targetPart;
    if (Structural(rel.type) || !pkg.HasPart(rel.targetPart))
        return part; // no bytes: the paste relinks it only where that part exists
    part.contentType = pkg.ContentType(rel.targetPart);
    part.bytes = std::make_shared<const std::vector<std::uint8_t>>(pkg.PartBytes(rel.targetPart));
    if (visiting.insert(rel.targetPart).second) {
        for (const auto& child : pkg.Relationships(rel.targetPart))
            if (!Structural(child.type) && !visiting.count(child.targetPart))
                part.children.push_back(ClipPartFor(pkg, child, visiting));
        visiting.erase(rel.targetPart);
    }
    return part;
}

long long ParseInt(const char* text) {
    return std::strtoll(text, nullptr, 10);
}

imaging::CropRect CropOf(pugi::xml_node blipFill) {
    imaging::CropRect crop;
    pugi::xml_node r = blipFill.child("a:srcRect");
    crop.left = static_cast<double>(ParseInt(r.attribute("l").value())) / 100000.0;
    crop.top = static_cast<double>(ParseInt(r.attribute("t").value())) / 100000.0;
    crop.right = static_cast<double>(ParseInt(r.attribute("r").value())) / 100000.0;
    crop.bottom = static_cast<double>(ParseInt(r.attribute("b").value())) / 100000.0;
    return crop;
}

// The preview of an object kept in the slide's VML drawing (the older stored form).
std::vector<std::uint8_t> VmlPreview(package::Package& pkg, const std::string& slidePart,
                                     const std::string& spid) {
    for (const auto& vml : pkg.RelationshipsOfType(slidePart, package::reltype::kVmlDrawing)) {
        if (vml.external || !pkg.HasPart(vml.targetPart))
            continue;
        const auto& doc = pkg.XmlForRead(vml.targetPart);
        for (pugi::xpath_node shape : doc.select_nodes("//v:shape")) {
            std::string id = shape.node().attribute("id").value();
            std::string ospid = shape.node().attribute("o:spid").value();
            if (id != spid && ospid != spid)
                continue;
            std::string relId = shape.node().child("v:imagedata").attribute("o:relid").value();
            auto rel = pkg.FindRelationship(vml.targetPart, relId);
            if (rel && !rel->external && pkg.HasPart(rel->targetPart))
                return pkg.PartBytes(rel->targetPart);
        }
    }
    return {};
}

std::vector<std::uint8_t> ImageOfRel(package::Package& pkg, const std::string& slidePart,
                                     const std::string& relId) {
    if (relId.empty())
        return {};
    auto rel = pkg.FindRelationship(slidePart, relId);
    if (!rel || rel->external || !pkg.HasPart(rel->targetPart))
        return {};
    return pkg.PartBytes(rel->targetPart);
}

// The p:pic inside the object's p:oleObj that shows the preview picture.
pugi::xml_node PreviewPicture(pugi::xml_node graphicFrame, const std::string& previewRelId) {
    if (previewRelId.empty())
        return {};
    for (pugi::xpath_node n : graphicFrame.select_nodes(".//p:oleObj/p:pic"))
        if (previewRelId == n.node().child("p:blipFill").child("a:blip").attribute("r:embed").value())
            return n.node();
    return {};
}

Frame ToEmu(const Frame& pt) {
    Frame f = pt;
    f.x *= kEmuPerPoint;
    f.y *= kEmuPerPoint;
    f.cx *= kEmuPerPoint;
    f.cy *= kEmuPerPoint;
    return f;
}

// The stored picture a shape shows: a picture's own, or an object's preview; empty otherwise.
struct ShownPicture {
    std::vector<std::uint8_t> image;
    imaging::CropRect crop;
    std::optional<imaging::ColourChange> colourKey;
    double opacity = 1;
};

ShownPicture ShownPictureOf(package::Package& pkg, SlideImpl& slide, const ShapeLocation& loc) {
    ShownPicture shown;
    if (std::strcmp(loc.shape.name(), "p:pic") == 0) {
        pugi::xml_node blipFill = loc.shape.child("p:blipFill");
        shown.image =
            ImageOfRel(pkg, slide.PartName(), blipFill.child("a:blip").attribute("r:embed").value());
        shown.crop = CropOf(blipFill);
        if (pugi::xml_node fade = blipFill.child("a:blip").child("a:alphaModFix"))
            shown.opacity = std::clamp(fade.attribute("amt").as_double(100000) / 100000, 0.0, 1.0);
        // A raster's key is drawn into its pixels as PowerPoint's copy draws it; a vector picture
        // keeps it as markup.
        const imaging::PictureKind kind = imaging::SniffKind(shown.image);
        if (kind != imaging::PictureKind::Svg && !imaging::IsMetafile(kind) &&
            kind != imaging::PictureKind::Unknown)
            shown.colourKey = ColourKeyOf(blipFill.child("a:blip"));
    } else if (auto ole = OleObjectOf(loc.shape)) {
        if (pugi::xml_node preview = PreviewPicture(loc.shape, ole->previewRelId))
            shown.crop = CropOf(preview.child("p:blipFill"));
        shown.image = ImageOfRel(pkg, slide.PartName(), ole->previewRelId);
        if (shown.image.empty() && !ole->vmlShapeId.empty())
            shown.image = VmlPreview(pkg, slide.PartName(), ole->vmlShapeId);
    }
    return shown;
}

// Unflipped: the paste flips the new picture as the shape was, outline and effects with it.
PictureSource SourceOf(ShownPicture shown, const Frame& onSlide, double shownWidth, double shownHeight,
                       std::string origin) {
    PictureSource source;
    source.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(shown.image));
    source.crop = shown.crop;
    source.pixelWidth = std::max(1, static_cast<int>(std::lround(onSlide.cx * 4.0 / 3.0)));
    source.pixelHeight = std::max(1, static_cast<int>(std::lround(onSlide.cy * 4.0 / 3.0)));
    source.colourChange = shown.colourKey;
    source.opacity = shown.opacity;
    if (shownWidth > 0 && shownHeight > 0) {
        source.shownWidth = std::max(1, static_cast<int>(std::lround(shownWidth * 4.0 / 3.0)));
        source.shownHeight = std::max(1, static_cast<int>(std::lround(shownHeight * 4.0 / 3.0)));
    }
    source.origin = std::move(origin);
    return source;
}

} // namespace

std::string OriginOf(ShapeImpl& shape) {
    return shape.Slide()->PartName() + "#" + std::to_string(shape.Id());
}

std::optional<PictureSource> ForecastCopySource(ShapeImpl& shape, double copyWidth, double copyHeight,
                                                double shownWidth, double shownHeight) {
    const std::string member = "Shape.Copy";
    SlideImpl& slide = *shape.Slide();
    ShapeLocation loc = shape.Locate(member);
    // Only a shape on the slide itself: a member of a group is copied once the group is opened.
    if (!loc.groups.empty() || !ReadFrame(loc.shape))
        return std::nullopt;
    ShownPicture shown = ShownPictureOf(slide.Pkg(member), slide, loc);
    if (shown.image.empty() || imaging::IsMetafile(imaging::SniffKind(shown.image)))
        return std::nullopt;
    // The frame as the copy will read it once the walk set this size: in whole EMUs, as written.
    Frame onSlide = shape.SlideFrame(member);
    onSlide.cx = static_cast<double>(std::max(0LL, std::llround(copyWidth * kEmuPerPoint))) / kEmuPerPoint;
    onSlide.cy = static_cast<double>(std::max(0LL, std::llround(copyHeight * kEmuPerPoint))) / kEmuPerPoint;
    return SourceOf(std::move(shown), onSlide, shownWidth, shownHeight, OriginOf(shape));
}

void CopyShape(ShapeImpl& shape, EngineClipboard& clipboard, double shownWidth, double shownHeight) {
    const std::string member = "Shape.Copy";
    SlideImpl& slide = *shape.Slide();
    auto& pkg = slide.Pkg(member);
    ShapeLocation loc = shape.Locate(member);
    const Frame onSlide = shape.SlideFrame(member);

    // The shape as XML carrying the namespace declarations of its slide.
    pugi::xml_document doc;
    pugi::xml_node copy = doc.append_copy(loc.element);
    for (pugi::xml_attribute a : slide.Root(member).attributes()) {
        if (std::strncmp(a.name(), "xmlns", 5) == 0 && !copy.attribute(a.name()))
            copy.append_attribute(a.name()).set_value(a.value());
    }
    // A shape copied out of a group (or inheriting its frame) lands where it was seen.
    if (!loc.groups.empty() || !ReadFrame(loc.shape))
        for (pugi::xml_node branch : ShapeBranches(copy))
            WriteFrame(branch, ToEmu(onSlide));
    std::ostringstream xml;
    doc.save(xml, "", pugi::format_raw | pugi::format_no_declaration);

    ClipboardContents contents;
    ShapeClip clip;
    clip.xml = xml.str();
    std::vector<std::string> refs = RelationshipRefs(copy);
    std::sort(refs.begin(), refs.end());
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    for (const auto& id : refs) {
        auto rel = pkg.FindRelationship(slide.PartName(), id);
        if (!rel)
            continue;
        std::set<std::string> visiting;
        clip.parts.push_back(ClipPartFor(pkg, *rel, visiting));
    }
    contents.shape = std::move(clip);

    // The picture (or an object's preview) as displayed at 96 dpi; rendered when a paste needs it.
    ShownPicture shown = ShownPictureOf(pkg, slide, loc);
    if (std::strcmp(loc.shape.name(), "p:pic") == 0) {
        contents.look = LookOfPicture(loc.shape, slide.Root(member), onSlide, shown.colourKey.has_value());
    } else if (auto ole = OleObjectOf(loc.shape)) {
        // The object's own picture carries how the object is drawn: its outline, effects and crop.
        if (pugi::xml_node preview = PreviewPicture(loc.shape, ole->previewRelId))
            contents.look = LookOfPicture(preview, slide.Root(member), onSlide);
        else
            contents.look = LookOfFrame(onSlide);
    }
    if (!shown.image.empty()) {
        if (imaging::IsMetafile(imaging::SniffKind(shown.image))) {
            contents.metafile = shown.image;
            contents.metafileCrop = shown.crop;
        }
        contents.picture.emplace(
            SourceOf(std::move(shown), onSlide, shownWidth, shownHeight, OriginOf(shape)));
    }
    clipboard.Set(std::move(contents));
    // Workers free again while the walk goes on get the next forecast pictures now.
    clipboard.Ahead().TopUp();
}

} // namespace office::model
