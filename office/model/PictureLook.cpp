#include "office/model/PictureLook.h"

#include "office/model/ShapeTree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

namespace office::model {

namespace {

bool Named(pugi::xml_node node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

bool IsRelationshipAttribute(const pugi::xml_attribute& a) {
    return std::strncmp(a.name(), "r:", 2) == 0;
}

bool IsGeometry(pugi::xml_node node) {
    return Named(node, "a:prstGeom") || Named(node, "a:custGeom");
}

void CopyAttributes(pugi::xml_node from, pugi::xml_node to) {
    for (pugi::xml_attribute a : from.attributes())
        if (!IsRelationshipAttribute(a))
            to.append_attribute(a.name()).set_value(a.value());
}

// Declarations in scope at the node: its own and its ancestors', the nearest one winning.
void CollectDeclarations(pugi::xml_node node, pugi::xml_node slideRoot, pugi::xml_node into) {
    for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent())
        for (pugi::xml_attribute a : n.attributes())
            if (std::strncmp(a.name(), "xmlns", 5) == 0 && !into.attribute(a.name()))
                into.append_attribute(a.name()).set_value(a.value());
    for (pugi::xml_attribute a : slideRoot.attributes())
        if (std::strncmp(a.name(), "xmlns", 5) == 0 && !into.attribute(a.name()))
            into.append_attribute(a.name()).set_value(a.value());
}

// The blip's colour changes and its extensions, without the alternatives to its pixels (an SVG or
// the unedited original), which the new picture replaces.
void CopyBlipLook(pugi::xml_node blip, pugi::xml_node into, bool keyDrawn) {
    CopyAttributes(blip, into);
    for (pugi::xml_node child : blip.children()) {
        if (keyDrawn && Named(child, "a:clrChange"))
            continue;
        if (!Named(child, "a:extLst")) {
            into.append_copy(child);
            continue;
        }
        pugi::xml_node list = into.append_child("a:extLst");
        for (pugi::xml_node ext : child.children())
            if (RelationshipRefs(ext).empty())
                list.append_copy(ext);
        if (!list.first_child())
            into.remove_child(list);
    }
}

std::string Serialised(const pugi::xml_document& doc) {
    std::ostringstream xml;
    doc.save(xml, "", pugi::format_raw | pugi::format_no_declaration);
    return xml.str();
}

std::string SrcRectValue(double fraction) {
    return std::to_string(std::llround(fraction * 100000.0));
}

} // namespace

bool HasSvgAlternative(pugi::xml_node blip) {
    for (pugi::xml_node ext : blip.child("a:extLst").children())
        for (pugi::xml_node child : ext.children()) {
            const char* name = child.name();
            const char* colon = std::strchr(name, ':');
            if (std::strcmp(colon ? colon + 1 : name, "svgBlip") == 0)
                return true;
        }
    return false;
}

PictureLook LookOfFrame(const Frame& onSlide) {
    PictureLook look;
    look.flipH = onSlide.flipH;
    look.flipV = onSlide.flipV;
    return look;
}

std::optional<imaging::ColourChange> ColourKeyOf(pugi::xml_node blip) {
    const pugi::xml_node change = blip.child("a:clrChange");
    const pugi::xml_node from = change.child("a:clrFrom").child("a:srgbClr");
    const pugi::xml_node to = change.child("a:clrTo").child("a:srgbClr");
    const pugi::xml_attribute useAlpha = change.attribute("useA");
    if (!from || !to || from.first_child() || (useAlpha && useAlpha.as_bool()))
        return std::nullopt;
    auto rgb = [](pugi::xml_node colour) -> std::optional<std::uint32_t> {
        const std::string hex = colour.attribute("val").value();
        if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return std::nullopt;
        return static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    };
    // The new colour may carry an opacity and nothing else.
    std::uint8_t alpha = 255;
    for (pugi::xml_node transform : to.children()) {
        if (!Named(transform, "a:alpha"))
            return std::nullopt;
        const double share = std::clamp(transform.attribute("val").as_double(100000) / 100000, 0.0, 1.0);
        alpha = static_cast<std::uint8_t>(std::lround(share * 255));
    }
    const auto fromRgb = rgb(from), toRgb = rgb(to);
    if (!fromRgb || !toRgb)
        return std::nullopt;
    return imaging::ColourChange{*fromRgb, *toRgb, alpha};
}

PictureLook LookOfPicture(pugi::xml_node pic, pugi::xml_node slideRoot, const Frame& onSlide, bool keyDrawn) {
    PictureLook look = LookOfFrame(onSlide);
    pugi::xml_document doc;
    pugi::xml_node out = doc.append_child("p:pic");
    CollectDeclarations(pic, slideRoot, out);

    pugi::xml_node nv = out.append_child("p:nvPicPr");
    pugi::xml_node cNvPr = nv.append_child("p:cNvPr");
    if (pugi::xml_attribute hidden = pic.child("p:nvPicPr").child("p:cNvPr").attribute("hidden"))
        cNvPr.append_attribute("hidden").set_value(hidden.value());
    if (pugi::xml_node cNvPicPr = pic.child("p:nvPicPr").child("p:cNvPicPr")) {
        pugi::xml_node kept = nv.append_child("p:cNvPicPr");
        CopyAttributes(cNvPicPr, kept);
        if (pugi::xml_node locks = cNvPicPr.child("a:picLocks"))
            CopyAttributes(locks, kept.append_child("a:picLocks"));
    }

    pugi::xml_node blipFill = pic.child("p:blipFill");
    pugi::xml_node fill = out.append_child("p:blipFill");
    CopyAttributes(blipFill, fill);
    CopyBlipLook(blipFill.child("a:blip"), fill.append_child("a:blip"), keyDrawn);
    if (pugi::xml_node stretch = blipFill.child("a:stretch"))
        fill.append_copy(stretch);
    if (blipFill.child("a:tile"))
        look.refusal = "a tiled picture cannot be re-created as one picture";
    else if (HasSvgAlternative(blipFill.child("a:blip")))
        look.refusal = "a picture drawn from an SVG keeps its vector form";

    pugi::xml_node spPr = out.append_child("p:spPr");
    CopyAttributes(pic.child("p:spPr"), spPr);
    for (pugi::xml_node child : pic.child("p:spPr").children())
        if (!Named(child, "a:xfrm"))
            spPr.append_copy(child);
    if (pugi::xml_node style = pic.child("p:style"))
        out.append_copy(style);

    if (look.refusal.empty() && !RelationshipRefs(out).empty())
        look.refusal = "the picture's look refers to other parts";
    look.pictureXml = Serialised(doc);
    return look;
}

void GiveLook(pugi::xml_node pic, const PictureLook& look, const imaging::CropRect& crop,
              pugi::xml_node targetRoot) {
    pugi::xml_node blipFill = pic.child("p:blipFill");
    pugi::xml_node blip = blipFill.child("a:blip");
    pugi::xml_document doc;
    if (!look.pictureXml.empty() && doc.load_string(look.pictureXml.c_str())) {
        pugi::xml_node from = doc.document_element();
        for (pugi::xml_attribute a : from.attributes()) {
            if (std::strncmp(a.name(), "xmlns", 5) != 0 || pic.attribute(a.name()))
                continue;
            pugi::xml_attribute declared = targetRoot.attribute(a.name());
            if (!declared || std::strcmp(declared.value(), a.value()) != 0)
                pic.append_attribute(a.name()).set_value(a.value());
        }

        pugi::xml_node nv = pic.child("p:nvPicPr");
        if (pugi::xml_attribute hidden = from.child("p:nvPicPr").child("p:cNvPr").attribute("hidden"))
            nv.child("p:cNvPr").append_attribute("hidden").set_value(hidden.value());
        if (pugi::xml_node cNvPicPr = from.child("p:nvPicPr").child("p:cNvPicPr")) {
            nv.insert_copy_after(cNvPicPr, nv.child("p:cNvPicPr"));
            nv.remove_child(nv.child("p:cNvPicPr"));
        }

        pugi::xml_node fromFill = from.child("p:blipFill");
        CopyAttributes(fromFill, blipFill);
        pugi::xml_node fromBlip = fromFill.child("a:blip");
        CopyAttributes(fromBlip, blip);
        for (pugi::xml_node child : fromBlip.children())
            blip.append_copy(child);
        if (pugi::xml_node stretch = fromFill.child("a:stretch")) {
            blipFill.remove_child(blipFill.child("a:stretch"));
            blipFill.append_copy(stretch);
        }

        pugi::xml_node spPr = pic.child("p:spPr");
        pugi::xml_node fromSpPr = from.child("p:spPr");
        CopyAttributes(fromSpPr, spPr);
        bool geometry = false;
        for (pugi::xml_node child : fromSpPr.children())
            geometry = geometry || IsGeometry(child);
        if (geometry) {
            for (pugi::xml_node child = spPr.first_child(); child;) {
                pugi::xml_node next = child.next_sibling();
                if (!Named(child, "a:xfrm"))
                    spPr.remove_child(child);
                child = next;
            }
        }
        for (pugi::xml_node child : fromSpPr.children())
            spPr.append_copy(child);
        if (pugi::xml_node style = from.child("p:style"))
            pic.insert_copy_after(style, spPr);
    }
    if (!crop.IsEmpty()) {
        pugi::xml_node rect = blipFill.insert_child_after("a:srcRect", blip);
        const std::pair<const char*, double> insets[] = {
            {"l", crop.left}, {"t", crop.top}, {"r", crop.right}, {"b", crop.bottom}};
        for (const auto& [name, value] : insets)
            if (std::llround(value * 100000.0) != 0)
                rect.append_attribute(name).set_value(SrcRectValue(value).c_str());
    }
}

} // namespace office::model
