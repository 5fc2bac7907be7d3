#include "office/deckpictures/PictureUses.h"

#include "office/model/PictureLook.h"
#include "office/model/ShapeType.h"
#include "office/package/OpcTypes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>

namespace office::deckpictures {

namespace {

struct SlideSizes {
    double slideWidth = 9144000, slideHeight = 6858000;
    double notesWidth = 6858000, notesHeight = 9144000;
    // The largest frame each chart part is shown in (slide EMU); negative when a frame's box is unknown.
    std::map<std::string, std::pair<double, double>> chartFrames;
};

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string_view LocalName(std::string_view name) {
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

PartKind KindOfPart(const std::string& contentType) {
    if (EndsWith(contentType, "presentationml.slide+xml"))
        return PartKind::Slide;
    if (EndsWith(contentType, "slideLayout+xml"))
        return PartKind::Layout;
    if (EndsWith(contentType, "slideMaster+xml"))
        return PartKind::Master;
    if (EndsWith(contentType, "notesSlide+xml") || EndsWith(contentType, "notesMaster+xml") ||
        EndsWith(contentType, "handoutMaster+xml"))
        return PartKind::Notes;
    if (EndsWith(contentType, "diagramDrawing+xml") || EndsWith(contentType, "diagramData+xml"))
        return PartKind::Diagram;
    if (EndsWith(contentType, "theme+xml"))
        return PartKind::Theme;
    if (EndsWith(contentType, "drawingml.chart+xml"))
        return PartKind::Chart;
    return PartKind::Other;
}

double Number(pugi::xml_node node, const char* attribute, double fallback = 0) {
    const pugi::xml_attribute a = node.attribute(attribute);
    return a ? a.as_double() : fallback;
}

SlideSizes ReadSlideSizes(const package::Package& pkg) {
    SlideSizes sizes;
    try {
        const pugi::xml_node root = pkg.XmlForRead(pkg.MainPartName()).document_element();
        if (pugi::xml_node s = root.child("p:sldSz")) {
            sizes.slideWidth = Number(s, "cx", sizes.slideWidth);
            sizes.slideHeight = Number(s, "cy", sizes.slideHeight);
        }
        if (pugi::xml_node n = root.child("p:notesSz")) {
            sizes.notesWidth = Number(n, "cx", sizes.notesWidth);
            sizes.notesHeight = Number(n, "cy", sizes.notesHeight);
        }
    } catch (const std::exception&) {
    }
    return sizes;
}

// The scale of a shape's child coordinates to the slide: the product of ext/chExt of its groups.
void GroupScale(pugi::xml_node shape, double& sx, double& sy) {
    sx = sy = 1;
    for (pugi::xml_node n = shape.parent(); n; n = n.parent()) {
        if (LocalName(n.name()) != "grpSp")
            continue;
        pugi::xml_node xfrm;
        for (pugi::xml_node child : n.children())
            if (LocalName(child.name()) == "grpSpPr")
                xfrm = child.child("a:xfrm");
        const double chCx = Number(xfrm.child("a:chExt"), "cx"), chCy = Number(xfrm.child("a:chExt"), "cy");
        if (chCx > 0)
            sx *= Number(xfrm.child("a:ext"), "cx", chCx) / chCx;
        if (chCy > 0)
            sy *= Number(xfrm.child("a:ext"), "cy", chCy) / chCy;
    }
}

// The shape's box in slide EMU from its own a:xfrm; false when it has none (it inherits it).
bool ShapeBox(pugi::xml_node shape, pugi::xml_node spPr, double& cx, double& cy) {
    const pugi::xml_node ext = spPr.child("a:xfrm").child("a:ext");
    if (!ext)
        return false;
    double sx = 1, sy = 1;
    GroupScale(shape, sx, sy);
    cx = Number(ext, "cx") * sx;
    cy = Number(ext, "cy") * sy;
    return cx > 0 && cy > 0;
}

// A table cell's box: its grid columns and rows, spans included.
bool CellBox(pugi::xml_node tcPr, double& cx, double& cy) {
    const pugi::xml_node tc = tcPr.parent();
    const pugi::xml_node tr = tc.parent();
    const pugi::xml_node tbl = tr.parent();
    if (std::strcmp(tbl.name(), "a:tbl") != 0)
        return false;
    int column = 0;
    for (pugi::xml_node c = tr.child("a:tc"); c && c != tc; c = c.next_sibling("a:tc"))
        ++column;
    const int colSpan = std::max(1, tc.attribute("gridSpan").as_int(1));
    const int rowSpan = std::max(1, tc.attribute("rowSpan").as_int(1));
    cx = 0;
    int index = 0;
    for (pugi::xml_node g : tbl.child("a:tblGrid").children("a:gridCol")) {
        if (index >= column && index < column + colSpan)
            cx += Number(g, "w");
        ++index;
    }
    cy = 0;
    int row = 0;
    for (pugi::xml_node r = tr; r && row < rowSpan; r = r.next_sibling("a:tr"), ++row)
        cy += Number(r, "h");
    pugi::xml_node frame = tbl;
    while (frame && LocalName(frame.name()) != "graphicFrame")
        frame = frame.parent();
    double sx = 1, sy = 1;
    GroupScale(frame, sx, sy);
    cx *= sx;
    cy *= sy;
    return cx > 0 && cy > 0;
}

bool InsideObjectPreview(pugi::xml_node node) {
    for (pugi::xml_node n = node.parent(); n; n = n.parent())
        if (LocalName(n.name()) == "oleObj")
            return true;
    return false;
}

bool InsideList(pugi::xml_node node, const char* list) {
    for (pugi::xml_node n = node.parent(); n; n = n.parent())
        if (std::strcmp(n.name(), list) == 0)
            return true;
    return false;
}

// What a blip's r:embed in a part of the given kind shows, and over which box.
void Classify(pugi::xml_node blip, PartKind partKind, const SlideSizes& sizes,
              const DefaultNameTest& isDefault, PictureUse& use) {
    const pugi::xml_node blipFill = blip.parent();
    if (LocalName(blipFill.name()) != "blipFill")
        return;
    const pugi::xml_node holder = blipFill.parent();
    const std::string_view holderName = LocalName(holder.name());
    bool understood = false;
    if (partKind == PartKind::Theme) {
        // Background styles fill the slide; fill styles go to shapes whose boxes are not followed.
        if (InsideList(blipFill, "a:bgFillStyleLst")) {
            use.kind = UseKind::Background;
            use.boxWidth = sizes.slideWidth;
            use.boxHeight = sizes.slideHeight;
            understood = true;
        }
    } else if (holderName == "pic" && model::IsMediaPicture(holder)) {
        // A movie's or sound's poster frame: shown in the media's box until it plays. The walk never
        // re-creates media, and a media shape's name protects no picture.
        use.kind = UseKind::Picture;
        use.mediaPoster = true;
        use.walkLeavesIt = true;
        understood = ShapeBox(holder, holder.child("p:spPr"), use.boxWidth, use.boxHeight);
    } else if (holderName == "pic") {
        if (!InsideObjectPreview(holder)) {
            pugi::xml_node nvPicPr = holder.child("p:nvPicPr");
            const std::string name = nvPicPr.child("p:cNvPr").attribute("name").value();
            const bool placeholder = static_cast<bool>(nvPicPr.child("p:nvPr").child("p:ph"));
            use.kind = UseKind::Picture;
            use.protectedName = !isDefault || !isDefault(name, placeholder);
            use.walkLeavesIt = model::HasSvgAlternative(blip) || static_cast<bool>(blipFill.child("a:tile"));
            use.walkReplacesIt = partKind == PartKind::Slide && !use.protectedName && !use.walkLeavesIt;
            understood = ShapeBox(holder, holder.child("p:spPr"), use.boxWidth, use.boxHeight);
        }
    } else if (holderName == "bgPr") {
        use.kind = UseKind::Background;
        const bool notes = partKind == PartKind::Notes;
        use.boxWidth = notes ? sizes.notesWidth : sizes.slideWidth;
        use.boxHeight = notes ? sizes.notesHeight : sizes.slideHeight;
        understood = true;
    } else if (holderName == "spPr") {
        const std::string_view shapeName = LocalName(holder.parent().name());
        if (partKind == PartKind::Chart) {
            // The chart area or its plot area: at most the frame the chart is shown in.
            const auto frame = sizes.chartFrames.find(use.sourcePart);
            if ((shapeName == "chartSpace" || shapeName == "plotArea") && frame != sizes.chartFrames.end()) {
                use.kind = UseKind::Fill;
                use.boxWidth = frame->second.first;
                use.boxHeight = frame->second.second;
                understood = use.boxWidth > 0 && use.boxHeight > 0;
            }
        } else if (shapeName == "sp" || shapeName == "cxnSp") {
            use.kind = UseKind::Fill;
            understood = ShapeBox(holder.parent(), holder, use.boxWidth, use.boxHeight);
        } else if (shapeName == "pt" && partKind == PartKind::Diagram) {
            use.kind = UseKind::DiagramData;
            understood = true;
        }
    } else if (holderName == "tcPr") {
        use.kind = UseKind::TableCell;
        understood = CellBox(holder, use.boxWidth, use.boxHeight);
    }
    if (!understood) {
        use.kind = UseKind::Unknown;
        return;
    }
    if (pugi::xml_node src = blipFill.child("a:srcRect")) {
        use.crop = {Number(src, "l") / 100000, Number(src, "t") / 100000, Number(src, "r") / 100000,
                    Number(src, "b") / 100000};
    }
    // A bare <a:stretch/> in a fill has no rectangle to stretch over; renderers differ on it
    // (LibreOffice draws it at the picture's own size), so it is treated like a tile. A picture shape
    // is drawn into its frame either way.
    const bool bareStretch = !blipFill.child("a:stretch").child("a:fillRect");
    use.sizedByPixels = use.kind != UseKind::DiagramData &&
                        (blipFill.child("a:tile") || (bareStretch && holderName != "pic"));
    pugi::xml_node fillRect = blipFill.child("a:stretch").child("a:fillRect");
    if (fillRect && use.kind != UseKind::DiagramData) {
        use.boxWidth *= 1 - (Number(fillRect, "l") + Number(fillRect, "r")) / 100000;
        use.boxHeight *= 1 - (Number(fillRect, "t") + Number(fillRect, "b")) / 100000;
        if (use.boxWidth <= 0 || use.boxHeight <= 0)
            use.kind = UseKind::Unknown;
    }
    use.colourKey = static_cast<bool>(blip.child("a:clrChange"));
    use.svgFallback = model::HasSvgAlternative(blip);
    if (pugi::xml_node fade = blip.child("a:alphaModFix"))
        use.opacity = std::clamp(Number(fade, "amt", 100000) / 100000, 0.0, 1.0);
}

bool IsImageRelationship(const package::Relationship& rel) {
    return !rel.external && EndsWith(rel.type, "/image");
}

// Attributes that carry a relationship id: r:embed, r:link, r:id, r:pict, o:relid and the like.
bool IsRelationshipAttribute(std::string_view name) {
    const auto colon = name.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view local = name.substr(colon + 1);
    return local == "embed" || local == "link" || local == "id" || local == "pict" || local == "relid" ||
           local == "dm" || local == "lo" || local == "qs" || local == "cs" || local == "blip";
}

void ScanPart(const package::Package& pkg, const std::string& part, PartKind partKind,
              const SlideSizes& sizes, const DefaultNameTest& isDefault,
              std::map<std::string, std::vector<PictureUse>>& uses,
              std::set<std::pair<std::string, std::string>>& accounted) {
    std::map<std::string, std::string> imageRels; // id -> image part
    for (const auto& rel : pkg.Relationships(part))
        if (IsImageRelationship(rel) && pkg.HasPart(rel.targetPart))
            imageRels[rel.id] = *pkg.CanonicalName(rel.targetPart);
    if (imageRels.empty())
        return;
    const pugi::xml_document& doc = pkg.XmlForRead(part);
    struct Walker : pugi::xml_tree_walker {
        std::function<void(pugi::xml_node)> visit;
        bool for_each(pugi::xml_node& node) override {
            visit(node);
            return true;
        }
    } walker;
    walker.visit = [&](pugi::xml_node node) {
        for (pugi::xml_attribute a : node.attributes()) {
            if (!IsRelationshipAttribute(a.name()))
                continue;
            const auto rel = imageRels.find(a.value());
            if (rel == imageRels.end())
                continue;
            PictureUse use;
            use.sourcePart = part;
            use.relId = rel->first;
            use.partKind = partKind;
            if (std::strcmp(a.name(), "r:embed") == 0 && LocalName(node.name()) == "blip")
                Classify(node, partKind, sizes, isDefault, use);
            uses[rel->second].push_back(use);
        }
    };
    const_cast<pugi::xml_document&>(doc).traverse(walker);
    for (const auto& [id, target] : imageRels)
        accounted.insert({part, id});
}

// Every chart frame of the slides, layouts and masters, by the chart part it shows.
void CollectChartFrames(const package::Package& pkg, const std::vector<std::string>& live,
                        SlideSizes& sizes) {
    for (const auto& part : live) {
        const PartKind kind = KindOfPart(pkg.ContentType(part));
        if (kind != PartKind::Slide && kind != PartKind::Layout && kind != PartKind::Master)
            continue;
        try {
            const pugi::xml_document& doc = pkg.XmlForRead(part);
            for (pugi::xpath_node found :
                 doc.select_nodes("//p:graphicFrame[a:graphic/a:graphicData/c:chart]")) {
                const pugi::xml_node frame = found.node();
                const std::string id = frame.child("a:graphic")
                                           .child("a:graphicData")
                                           .child("c:chart")
                                           .attribute("r:id")
                                           .value();
                const auto rel = pkg.FindRelationship(part, id);
                if (!rel || rel->external || !pkg.HasPart(rel->targetPart))
                    continue;
                // A frame without its own box (a placeholder's) leaves the chart's size unknown for good.
                const pugi::xml_node ext = frame.child("p:xfrm").child("a:ext");
                double sx = 1, sy = 1;
                GroupScale(frame, sx, sy);
                const double cx = Number(ext, "cx") * sx, cy = Number(ext, "cy") * sy;
                const auto [box, added] =
                    sizes.chartFrames.try_emplace(*pkg.CanonicalName(rel->targetPart), cx, cy);
                if (cx <= 0 || cy <= 0)
                    box->second = {-1, -1};
                else if (!added && box->second.first > 0)
                    box->second = {std::max(box->second.first, cx), std::max(box->second.second, cy)};
            }
        } catch (const std::exception&) {
            // A part that cannot be read adds no frame: the pictures of its charts stay unknown uses.
        }
    }
}

} // namespace

std::map<std::string, std::vector<PictureUse>> CollectPictureUses(const package::Package& pkg,
                                                                  const DefaultNameTest& isDefaultName) {
    std::map<std::string, std::vector<PictureUse>> uses;
    std::set<std::pair<std::string, std::string>> accounted;
    SlideSizes sizes = ReadSlideSizes(pkg);
    const auto live = pkg.LiveParts();
    CollectChartFrames(pkg, live, sizes);
    for (const auto& part : live) {
        const PartKind kind = KindOfPart(pkg.ContentType(part));
        if (kind == PartKind::Other)
            continue;
        try {
            ScanPart(pkg, part, kind, sizes, isDefaultName, uses, accounted);
        } catch (const std::exception&) {
            // A part that cannot be read is not scanned; its pictures count as used unknowingly below.
        }
    }
    // Image relationships of every other live source (object previews in VML, charts, the package
    // thumbnail...) are uses the pass does not understand.
    std::vector<std::string> sources = live;
    sources.push_back(package::kPackageRoot);
    for (const auto& part : sources) {
        std::vector<package::Relationship> rels;
        try {
            rels = pkg.Relationships(part);
        } catch (const std::exception&) {
            continue;
        }
        for (const auto& rel : rels) {
            if (rel.external || !pkg.HasPart(rel.targetPart) || accounted.count({part, rel.id}))
                continue;
            PictureUse use;
            use.sourcePart = part;
            use.relId = rel.id;
            uses[*pkg.CanonicalName(rel.targetPart)].push_back(use);
        }
    }
    return uses;
}

} // namespace office::deckpictures
