#include "office/model/ShapeType.h"

#include "automation/Constants.h"

#include <cstring>
#include <string>

namespace office::model {

namespace {

pugi::xml_node NvPr(pugi::xml_node shape) {
    for (pugi::xml_node child : shape.children())
        if (pugi::xml_node nv = child.child("p:nvPr"))
            return nv;
    return {};
}

bool Contains(const char* text, const char* part) {
    return std::strstr(text, part) != nullptr;
}

// The p:oleObj of a frame, in any of its stored forms (bare or inside mc:AlternateContent).
pugi::xml_node OleObject(pugi::xml_node graphicData) {
    if (pugi::xml_node o = graphicData.child("p:oleObj"))
        return o;
    return graphicData.select_node(".//p:oleObj").node();
}

} // namespace

bool IsMediaPicture(pugi::xml_node pic) {
    pugi::xml_node nv = NvPr(pic);
    for (const char* media : {"a:videoFile", "a:audioFile", "a:wavAudioFile", "a:audioCd", "a:quickTimeFile"})
        if (nv.child(media))
            return true;
    return static_cast<bool>(nv.select_node("p:extLst/p:ext/p14:media"));
}

bool IsPlaceholder(pugi::xml_node shape) {
    return static_cast<bool>(NvPr(shape).child("p:ph"));
}

int ShapeTypeOf(pugi::xml_node shape) {
    using namespace automation;
    const std::string name = shape.name();
    if (name == "p:grpSp")
        return msoGroup;
    if (name == "p:cxnSp")
        return msoLine;
    if (name == "p:contentPart")
        return msoCanvas;
    if (name == "p:pic") {
        if (IsMediaPicture(shape))
            return msoMedia;
        if (IsPlaceholder(shape))
            return msoPlaceholder;
        pugi::xml_node blip = shape.child("p:blipFill").child("a:blip");
        if (blip && !*blip.attribute("r:embed").value() && *blip.attribute("r:link").value())
            return msoLinkedPicture;
        return msoPicture;
    }
    if (name == "p:graphicFrame") {
        if (IsPlaceholder(shape))
            return msoPlaceholder;
        pugi::xml_node data = shape.child("a:graphic").child("a:graphicData");
        const char* uri = data.attribute("uri").value();
        if (Contains(uri, "/ole")) {
            pugi::xml_node ole = OleObject(data);
            return ole.child("p:link") ? msoLinkedOLEObject : msoEmbeddedOLEObject;
        }
        if (Contains(uri, "/chart"))
            return msoChart;
        if (Contains(uri, "/table"))
            return msoTable;
        if (Contains(uri, "/diagram"))
            return msoSmartArt;
        return msoGraphic;
    }
    if (name == "p:sp") {
        if (IsPlaceholder(shape))
            return msoPlaceholder;
        if (std::string(shape.child("p:nvSpPr").child("p:cNvSpPr").attribute("txBox").value()) == "1")
            return msoTextBox;
        if (shape.child("p:spPr").child("a:custGeom"))
            return msoFreeform;
        return msoAutoShape;
    }
    return msoAutoShape;
}

} // namespace office::model
