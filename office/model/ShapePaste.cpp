// Shapes.Paste, Shapes.PasteSpecial and Shapes.AddPicture: new shapes from the clipboard or a file.

#include "office/clipboard/EngineClipboard.h"
#include "office/imaging/Imaging.h"
#include "office/model/ModelImpl.h"
#include "office/model/PictureClip.h"
#include "office/model/PictureLook.h"
#include "office/package/OpcTypes.h"
#include "platform/PathText.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace office::model {

namespace {

constexpr const char* kCreationIdUri = "{FF2B5EF4-FFF2-40B4-BE49-F238E27FC236}";

// "/ppt/media/image12.png" -> "/ppt/media/image", so a copy takes the next free number.
std::string NamePrefix(const std::string& partName) {
    std::string stem = partName;
    auto dot = stem.rfind('.');
    auto slash = stem.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        stem.erase(dot);
    while (!stem.empty() && std::isdigit(static_cast<unsigned char>(stem.back())))
        stem.pop_back();
    return stem;
}

class PartCopier {
public:
    PartCopier(package::Package& pkg, bool sameDeck) : pkg_(pkg), sameDeck_(sameDeck) {}

    // The relationship id the source gets for the clip part; nullopt when it cannot be relinked.
    std::optional<std::string> Link(const std::string& source, const ClipPart& part) {
        if (part.external)
            return pkg_.AddExternalRelationship(source, part.relType, part.externalTarget);
        if (!part.bytes) {
            // A structural target (a slide jump): relinked only within the deck it was copied from.
            if (sameDeck_ && !part.partName.empty() && pkg_.HasPart(part.partName))
                return pkg_.AddRelationship(source, part.relType, part.partName);
            return std::nullopt;
        }
        return pkg_.AddRelationship(source, part.relType, CopyIn(part));
    }

private:
    std::string CopyIn(const ClipPart& part) {
        auto known = copied_.find(part.partName);
        if (known != copied_.end())
            return known->second;
        std::string ext = "." + package::PartExtension(part.partName);
        if (ext == ".")
            ext = ".bin";
        std::string prefix = NamePrefix(part.partName);
        if (prefix.empty() || prefix == "/")
            prefix = "/ppt/media/item";
        // A picture the deck already holds is linked, not stored again; a part with relationships of its
        // own is always a fresh copy, since those relationships are added to it below.
        std::string name = part.children.empty()
                               ? pkg_.AddPictureOnce(prefix, ext, part.contentType, *part.bytes)
                               : pkg_.AddPartWithUniqueName(prefix, ext, part.contentType, *part.bytes);
        copied_[part.partName] = name;
        std::map<std::string, std::string> ids;
        for (const auto& child : part.children)
            if (auto id = Link(name, child))
                ids[child.relId] = *id;
        bool renamed = false;
        for (const auto& [from, to] : ids)
            renamed = renamed || from != to;
        // XML parts name their relationships by id; follow any id that changed.
        if (renamed && part.contentType.find("xml") != std::string::npos) {
            try {
                RemapRelationshipRefs(pkg_.XmlForEdit(name).document_element(),
                                      [&](const std::string& v) -> std::optional<std::string> {
                                          auto it = ids.find(v);
                                          if (it == ids.end())
                                              return std::nullopt;
                                          return it->second;
                                      });
            } catch (const automation::AutomationError&) {
                // Not XML after all: its bytes are kept as they are.
            }
        }
        return name;
    }

    package::Package& pkg_;
    bool sameDeck_;
    std::map<std::string, std::string> copied_;
};

void DropCreationIds(pugi::xml_node subtree) {
    std::vector<pugi::xml_node> doomed;
    for (pugi::xpath_node n : subtree.select_nodes(".//p:cNvPr/a:extLst/a:ext"))
        if (std::strcmp(n.node().attribute("uri").value(), kCreationIdUri) == 0)
            doomed.push_back(n.node());
    for (pugi::xml_node ext : doomed) {
        pugi::xml_node list = ext.parent();
        list.remove_child(ext);
        if (!list.first_child())
            list.parent().remove_child(list);
    }
}

std::string StripNumber(const std::string& name) {
    auto space = name.rfind(' ');
    if (space != std::string::npos && space + 1 < name.size()) {
        bool digits = true;
        for (std::size_t i = space + 1; i < name.size(); ++i)
            digits = digits && std::isdigit(static_cast<unsigned char>(name[i]));
        if (digits)
            return name.substr(0, space);
    }
    return name;
}

Frame ToEmu(const Frame& pt) {
    Frame f = pt;
    f.x *= kEmuPerPoint;
    f.y *= kEmuPerPoint;
    f.cx *= kEmuPerPoint;
    f.cy *= kEmuPerPoint;
    return f;
}

// Where a paste of this clip lands: where the copied shape was.
std::pair<double, double> LandingPoint(const ClipboardContents& contents) {
    if (!contents.shape)
        return {0, 0};
    pugi::xml_document doc;
    if (!doc.load_string(contents.shape->xml.c_str()))
        return {0, 0};
    auto f = ReadFrame(LiveShape(doc.document_element()));
    if (!f)
        return {0, 0};
    return {f->x / kEmuPerPoint, f->y / kEmuPerPoint};
}

std::shared_ptr<ShapeImpl> InsertPicture(SlideImpl& slide, const std::vector<std::uint8_t>& bytes,
                                         imaging::PictureKind kind, Frame points, const std::string& member,
                                         const PictureLook& look = {}, const imaging::CropRect& crop = {}) {
    auto& pkg = slide.Pkg(member);
    slide.EditRoot(member);
    PictureFileType type = FileTypeOf(kind);
    std::string part = pkg.AddPictureOnce("/ppt/media/image", "." + type.extension, type.contentType, bytes);
    std::string rid = pkg.AddRelationship(slide.PartName(), package::reltype::kImage, part);
    std::uint32_t id = slide.NextShapeId(member);
    std::string name = slide.FreeName("Picture", id, member);

    pugi::xml_document doc;
    pugi::xml_node pic = doc.append_child("p:pic");
    pugi::xml_node nv = pic.append_child("p:nvPicPr");
    pugi::xml_node c = nv.append_child("p:cNvPr");
    c.append_attribute("id").set_value(id);
    c.append_attribute("name").set_value(name.c_str());
    nv.append_child("p:cNvPicPr")
        .append_child("a:picLocks")
        .append_attribute("noChangeAspect")
        .set_value("1");
    nv.append_child("p:nvPr");
    pugi::xml_node fill = pic.append_child("p:blipFill");
    fill.append_child("a:blip").append_attribute("r:embed").set_value(rid.c_str());
    fill.append_child("a:stretch").append_child("a:fillRect");
    pugi::xml_node spPr = pic.append_child("p:spPr");
    pugi::xml_node geom = spPr.append_child("a:prstGeom");
    geom.append_attribute("prst").set_value("rect");
    geom.append_child("a:avLst");
    GiveLook(pic, look, crop, slide.Root(member));
    points.flipH = look.flipH;
    points.flipV = look.flipV;

    pugi::xml_node inserted = InsertShapeAtFront(SpTree(slide.Root(member)), pic);
    WriteFrame(inserted, ToEmu(points));
    auto& pres = slide.Pres(member);
    pres.selectedSlide = slide.shared_from_this();
    pres.selectedIds = {id};
    return slide.MakeShape(id);
}

// What the account of replaced pictures keeps of a paste: the copied picture and the new one.
std::optional<ledger::PasteNote> NoteOfPaste(const ClipboardContents& contents, ledger::ShapeKey pasted,
                                             std::vector<std::uint8_t> bytes, const imaging::CropRect& crop) {
    const PictureSource* source = contents.picture->Source();
    if (!source || !source->bytes)
        return std::nullopt;
    const auto hash = source->origin.rfind('#');
    if (hash == std::string::npos)
        return std::nullopt;
    ledger::PasteNote note;
    note.source = {source->origin.substr(0, hash),
                   static_cast<std::uint32_t>(std::strtoul(source->origin.c_str() + hash + 1, nullptr, 10))};
    note.pasted = std::move(pasted);
    note.object = contents.shape && contents.shape->xml.find("<p:oleObj") != std::string::npos;
    note.sourceBytes = source->bytes;
    note.sourceCrop = source->crop;
    note.sourceKey = source->colourChange;
    // The stored part the copied picture came from: the copy's part holding exactly those bytes.
    if (contents.shape)
        for (const ClipPart& part : contents.shape->parts)
            if (part.bytes && *part.bytes == *source->bytes) {
                note.sourcePart = part.partName;
                break;
            }
    note.pastedBytes = std::move(bytes);
    note.pastedCrop = crop;
    note.shownWidth = source->shownWidth > 0 ? source->shownWidth : source->pixelWidth;
    note.shownHeight = source->shownHeight > 0 ? source->shownHeight : source->pixelHeight;
    return note;
}

} // namespace

automation::ShapeRangePtr PasteClip(SlideImpl& slide, EngineClipboard& clipboard) {
    const std::string member = "Shapes.Paste";
    const ClipboardContents& contents = clipboard.Contents();
    if (!contents.shape) {
        if (contents.picture)
            return PasteAsPicture(slide, clipboard, automation::ppPastePNG);
        Fail(member, "the clipboard holds nothing to paste");
    }
    auto& pkg = slide.Pkg(member);
    pugi::xml_document doc;
    if (!doc.load_string(contents.shape->xml.c_str()) || !IsShapeElement(doc.document_element()))
        Fail(member, "the clipboard holds no shape");
    pugi::xml_node element = doc.document_element();

    pugi::xml_node root = slide.EditRoot(member);
    auto& pres = slide.Pres(member);
    PartCopier copier(pkg, pres.App().copySource == pres.Serial());
    std::map<std::string, std::string> ids;
    for (const auto& part : contents.shape->parts)
        if (auto id = copier.Link(slide.PartName(), part))
            ids[part.relId] = *id;
    // References that cannot be relinked are emptied rather than left dangling.
    RemapRelationshipRefs(element, [&](const std::string& v) -> std::optional<std::string> {
        auto it = ids.find(v);
        return it == ids.end() ? std::string() : it->second;
    });

    // Fresh ids for the shape and everything inside it; the alternate branches of one shape share one.
    std::uint32_t next = MaxShapeId(root) + 1;
    std::map<std::uint32_t, std::uint32_t> renumbered;
    std::vector<pugi::xml_node> cNvPrs;
    for (pugi::xpath_node n : element.select_nodes(".//p:cNvPr | .//p14:cNvPr"))
        cNvPrs.push_back(n.node());
    for (pugi::xml_node c : cNvPrs) {
        std::uint32_t old = static_cast<std::uint32_t>(c.attribute("id").as_uint());
        if (old == 0)
            continue; // the preview picture inside an object frame keeps its id 0
        auto it = renumbered.find(old);
        if (it == renumbered.end())
            it = renumbered.emplace(old, next++).first;
        c.attribute("id").set_value(it->second);
    }
    // Connectors inside the pasted shape stay glued to their pasted partners.
    for (const char* path : {".//a:stCxn", ".//a:endCxn"})
        for (pugi::xpath_node n : element.select_nodes(path)) {
            auto it = renumbered.find(static_cast<std::uint32_t>(n.node().attribute("id").as_uint()));
            if (it != renumbered.end())
                n.node().attribute("id").set_value(it->second);
        }
    DropCreationIds(element);

    pugi::xml_node tree = SpTree(root);
    pugi::xml_node live = LiveShape(element);
    std::uint32_t topId = ShapeIdOf(live);
    std::string name = CNvPr(live).attribute("name").value();
    if (NameInUse(tree, name)) {
        std::string base = StripNumber(name);
        name = slide.FreeName(base.empty() ? std::string("Shape") : base, topId, member);
        for (pugi::xml_node branch : ShapeBranches(element))
            CNvPr(branch).attribute("name").set_value(name.c_str());
    }
    InsertShapeAtFront(tree, element);

    // Timing or glue of this slide that named an id the slide no longer has can follow the paste.
    for (const auto& [from, to] : renumbered)
        if (from != to && !FindShape(tree, from))
            RenumberShapeOnSlide(slide, from, to);

    pres.selectedSlide = slide.shared_from_this();
    pres.selectedIds = {topId};
    return std::make_shared<ShapeRangeImpl>(std::vector<std::shared_ptr<ShapeImpl>>{slide.MakeShape(topId)});
}

automation::ShapeRangePtr PasteAsPicture(SlideImpl& slide, EngineClipboard& clipboard, int dataType) {
    const std::string member = "Shapes.PasteSpecial";
    using namespace automation;
    if (dataType == ppPasteDefault || dataType == ppPasteShape)
        return PasteClip(slide, clipboard);
    const ClipboardContents& contents = clipboard.Contents();
    // A picture that cannot look like its source is not made at all.
    if (!contents.look.refusal.empty())
        Fail(member, contents.look.refusal);
    std::vector<std::uint8_t> bytes;
    imaging::PictureKind kind = imaging::PictureKind::Unknown;
    imaging::CropRect crop;
    Frame f;
    try {
        switch (dataType) {
        case ppPasteJPG:
        case ppPastePNG:
        case ppPasteBitmap:
        case ppPasteGIF:
            if (!contents.picture)
                Fail(member, "the clipboard holds no picture");
            if (dataType == ppPasteJPG) {
                bytes = clipboard.Ahead().Take(*contents.picture, PasteEncoding::Jpeg);
                kind = imaging::PictureKind::Jpeg;
            } else if (dataType == ppPasteGIF) {
                bytes = clipboard.Ahead().Take(*contents.picture, PasteEncoding::Gif);
                kind = imaging::PictureKind::Gif;
            } else {
                bytes = clipboard.Ahead().Take(*contents.picture, PasteEncoding::Png);
                kind = imaging::PictureKind::Png;
            }
            crop = contents.picture->PasteCrop();
            break;
        case ppPasteMetafilePicture:
        case ppPasteEnhancedMetafile:
            bytes = contents.MetafileForm();
            if (bytes.empty())
                Fail(member, "the clipboard holds no picture");
            kind = imaging::SniffKind(bytes) == imaging::PictureKind::Wmf ? imaging::PictureKind::Wmf
                                                                          : imaging::PictureKind::Emf;
            crop = contents.MetafileFormCrop();
            break;
        default:
            Fail(member, "unsupported data type " + std::to_string(dataType));
        }
        std::tie(f.x, f.y) = LandingPoint(contents);
        if (contents.picture) {
            f.cx = contents.picture->Width() * 0.75;
            f.cy = contents.picture->Height() * 0.75;
        } else {
            imaging::PixelSize size = imaging::MetafileSize(bytes);
            f.cx = size.width * 0.75;
            f.cy = size.height * 0.75;
        }
    } catch (const imaging::ImagingError& e) {
        Fail(member, e.what());
    }
    auto& pres = slide.Pres(member);
    ledger::ReplacementLedger* account = pres.Ledger();
    pres.SettleAccount();
    auto shape = InsertPicture(slide, bytes, kind, f, member, contents.look, crop);
    if (account && contents.picture)
        pres.KeepAccount([&] {
            if (auto note = NoteOfPaste(contents, {slide.PartName(), shape->Id()}, std::move(bytes), crop)) {
                note->pastedPart = slide.Pkg(member)
                                       .FindIdenticalPicture(FileTypeOf(kind).contentType, note->pastedBytes)
                                       .value_or("");
                account->NotePaste(std::move(*note));
            }
        });
    return std::make_shared<ShapeRangeImpl>(std::vector<std::shared_ptr<ShapeImpl>>{shape});
}

automation::ShapePtr AddPictureFromFile(SlideImpl& slide, const std::string& fileName, double left,
                                        double top, double width, double height) {
    const std::string member = "Shapes.AddPicture";
    slide.Pres(member);
    std::ifstream in(platform::PathFromUtf8(fileName), std::ios::binary);
    if (!in)
        Fail(member, "cannot read " + fileName);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    imaging::PictureKind kind = imaging::SniffKind(bytes);
    if (kind == imaging::PictureKind::Unknown)
        Fail(member, "not a picture: " + fileName);
    Frame f{left, top, width, height, 0, false, false};
    if (width < 0 || height < 0) {
        // No size given: the picture's own size at 96 dpi.
        try {
            imaging::PixelSize size =
                imaging::IsMetafile(kind) ? imaging::MetafileSize(bytes) : imaging::MeasurePicture(bytes);
            if (width < 0)
                f.cx = size.width * 0.75;
            if (height < 0)
                f.cy = size.height * 0.75;
        } catch (const std::exception& e) {
            Fail(member, e.what());
        }
    }
    return InsertPicture(slide, bytes, kind, f, member);
}

} // namespace office::model
