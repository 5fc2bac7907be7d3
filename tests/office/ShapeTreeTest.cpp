#include "office/model/ShapeTree.h"

#include "automation/Constants.h"
#include "office/model/ShapeType.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace office::model;

namespace {

const char* kSlide = R"(<p:sld xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"
 xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"
 xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006"><p:cSld><p:spTree>
<p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>
<p:sp><p:nvSpPr><p:cNvPr id="2" name="Title 1"/><p:cNvSpPr/><p:nvPr><p:ph type="title"/></p:nvPr></p:nvSpPr><p:spPr/></p:sp>
<p:grpSp><p:nvGrpSpPr><p:cNvPr id="7" name="Group 6"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>
 <p:grpSpPr><a:xfrm><a:off x="100" y="200"/><a:ext cx="300" cy="400"/><a:chOff x="0" y="0"/><a:chExt cx="300" cy="400"/></a:xfrm></p:grpSpPr>
 <p:pic><p:nvPicPr><p:cNvPr id="3" name="Picture 2"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>
  <p:blipFill><a:blip r:embed="rId2"/></p:blipFill><p:spPr><a:xfrm rot="5400000" flipH="1"><a:off x="1" y="2"/><a:ext cx="30" cy="40"/></a:xfrm></p:spPr></p:pic>
 <p:cxnSp><p:nvCxnSpPr><p:cNvPr id="12" name="Connector 11"/><p:cNvCxnSpPr/><p:nvPr/></p:nvCxnSpPr><p:spPr/></p:cxnSp>
</p:grpSp>
<mc:AlternateContent><mc:Choice Requires="p14"><p:sp><p:nvSpPr><p:cNvPr id="9" name="Ink 8"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr>
 <p:spPr><a:xfrm><a:off x="5" y="6"/><a:ext cx="7" cy="8"/></a:xfrm><a:custGeom/></p:spPr></p:sp></mc:Choice>
 <mc:Fallback><p:sp><p:nvSpPr><p:cNvPr id="9" name="Ink 8"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr>
 <p:spPr><a:xfrm><a:off x="5" y="6"/><a:ext cx="7" cy="8"/></a:xfrm><a:custGeom/></p:spPr></p:sp></mc:Fallback></mc:AlternateContent>
<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="4" name="Object 3"><a:hlinkClick r:id="rId3"/></p:cNvPr><p:cNvGraphicFramePr/><p:nvPr/></p:nvGraphicFramePr>
 <a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/presentationml/2006/ole"><p:oleObj r:id="rId4" progId="Excel.Sheet.12"><p:link/></p:oleObj></a:graphicData></a:graphic></p:graphicFrame>
<p:pic><p:nvPicPr><p:cNvPr id="5" name="Movie 4"/><p:cNvPicPr/><p:nvPr><a:videoFile r:link="rId5"/></p:nvPr></p:nvPicPr><p:blipFill><a:blip r:embed="rId2"/></p:blipFill><p:spPr/></p:pic>
<p:sp><p:nvSpPr><p:cNvPr id="6" name="TextBox 5"/><p:cNvSpPr txBox="1"/><p:nvPr/></p:nvSpPr><p:spPr/></p:sp>
<p:extLst><p:ext uri="x"/></p:extLst>
</p:spTree></p:cSld></p:sld>)";

struct Doc {
    pugi::xml_document doc;
    Doc() { EXPECT_TRUE(doc.load_string(kSlide)); }
    pugi::xml_node Root() { return doc.document_element(); }
    pugi::xml_node Tree() { return SpTree(Root()); }
};

std::vector<std::string> Names(const std::vector<pugi::xml_node>& elements) {
    std::vector<std::string> out;
    for (auto e : elements)
        out.emplace_back(CNvPr(LiveShape(e)).attribute("name").value());
    return out;
}

} // namespace

TEST(ShapeTree, ChildrenWalkAndLookupCoverGroupsAndAlternateContent) {
    Doc d;
    EXPECT_EQ(Names(ShapeChildren(d.Tree())),
              (std::vector<std::string>{"Title 1", "Group 6", "Ink 8", "Object 3", "Movie 4", "TextBox 5"}));
    std::vector<std::uint32_t> order;
    WalkShapes(d.Tree(), [&](const ShapeLocation& loc) {
        order.push_back(ShapeIdOf(loc.shape));
        return true;
    });
    EXPECT_EQ(order, (std::vector<std::uint32_t>{2, 7, 3, 12, 9, 4, 5, 6}));

    auto pic = FindShape(d.Tree(), 3);
    ASSERT_TRUE(pic);
    ASSERT_EQ(pic->groups.size(), 1u);
    EXPECT_EQ(ShapeIdOf(pic->groups[0]), 7u);
    auto ink = FindShape(d.Tree(), 9);
    ASSERT_TRUE(ink);
    EXPECT_STREQ(ink->element.name(), "mc:AlternateContent");
    EXPECT_EQ(ShapeBranches(ink->element).size(), 2u);
    EXPECT_FALSE(FindShape(d.Tree(), 99));
    EXPECT_EQ(MaxShapeId(d.Root()), 12u);
    EXPECT_TRUE(NameInUse(d.Tree(), "Connector 11"));
    EXPECT_FALSE(NameInUse(d.Tree(), "Connector 12"));
}

TEST(ShapeTree, FramesReadAndWriteInSchemaPlaces) {
    Doc d;
    auto pic = FindShape(d.Tree(), 3)->shape;
    auto f = ReadFrame(pic);
    ASSERT_TRUE(f);
    EXPECT_DOUBLE_EQ(f->rot, 90);
    EXPECT_TRUE(f->flipH);
    EXPECT_FALSE(f->flipV);
    EXPECT_DOUBLE_EQ(f->cy, 40);
    GroupFrame g = ReadGroupFrame(FindShape(d.Tree(), 7)->shape);
    EXPECT_DOUBLE_EQ(g.outer.x, 100);
    EXPECT_DOUBLE_EQ(g.chCy, 400);

    // A placeholder without a frame gets an xfrm as the first child of its spPr, off before ext.
    auto title = FindShape(d.Tree(), 2)->shape;
    EXPECT_FALSE(ReadFrame(title));
    WriteFrame(title, {12.4, 13.6, 100, 50, 0, false, true});
    pugi::xml_node xfrm = title.child("p:spPr").first_child();
    EXPECT_STREQ(xfrm.name(), "a:xfrm");
    EXPECT_STREQ(xfrm.first_child().name(), "a:off");
    EXPECT_STREQ(xfrm.first_child().next_sibling().name(), "a:ext");
    EXPECT_EQ(xfrm.child("a:off").attribute("x").as_llong(), 12);
    EXPECT_EQ(xfrm.child("a:off").attribute("y").as_llong(), 14);
    EXPECT_STREQ(xfrm.attribute("flipV").value(), "1");
    EXPECT_FALSE(xfrm.attribute("rot"));

    // A graphic frame keeps its frame in p:xfrm right after its non-visual part.
    auto frame = FindShape(d.Tree(), 4)->shape;
    WriteFrame(frame, {1, 2, 3, 4, 45, false, false});
    EXPECT_STREQ(frame.first_child().next_sibling().name(), "p:xfrm");
    EXPECT_EQ(frame.child("p:xfrm").attribute("rot").as_llong(), 2700000);
    // Rotation back to zero removes the attribute; negative sizes are clamped.
    WriteFrame(pic, {0, 0, -5, 10, 0, false, false});
    EXPECT_FALSE(pic.child("p:spPr").child("a:xfrm").attribute("rot"));
    EXPECT_FALSE(pic.child("p:spPr").child("a:xfrm").attribute("flipH"));
    EXPECT_EQ(pic.child("p:spPr").child("a:xfrm").child("a:ext").attribute("cx").as_llong(), 0);
}

TEST(ShapeTree, NewShapesGoInFrontOfTheExtensionList) {
    Doc d;
    pugi::xml_document src;
    src.load_string(R"(<p:sp xmlns:p="p"><p:nvSpPr><p:cNvPr id="20" name="New"/></p:nvSpPr></p:sp>)");
    InsertShapeAtFront(d.Tree(), src.document_element());
    auto children = ShapeChildren(d.Tree());
    EXPECT_EQ(Names(children).back(), "New");
    EXPECT_STREQ(d.Tree().last_child().name(), "p:extLst");
}

TEST(ShapeTree, RelationshipReferencesAreFoundAndRemappedOnce) {
    Doc d;
    auto refs = RelationshipRefs(d.Tree());
    std::sort(refs.begin(), refs.end());
    EXPECT_EQ(refs, (std::vector<std::string>{"rId2", "rId2", "rId3", "rId4", "rId5"}));
    // A swap must not chain (rId2 -> rId3 -> rId2).
    RemapRelationshipRefs(d.Tree(), [](const std::string& v) -> std::optional<std::string> {
        if (v == "rId2")
            return "rId3";
        if (v == "rId3")
            return "rId2";
        return std::nullopt;
    });
    EXPECT_STREQ(
        FindShape(d.Tree(), 3)->shape.child("p:blipFill").child("a:blip").attribute("r:embed").value(),
        "rId3");
    EXPECT_STREQ(CNvPr(FindShape(d.Tree(), 4)->shape).child("a:hlinkClick").attribute("r:id").value(),
                 "rId2");
}

TEST(ShapeTree, TypesFollowTheElements) {
    Doc d;
    auto type = [&](std::uint32_t id) { return ShapeTypeOf(FindShape(d.Tree(), id)->shape); };
    EXPECT_EQ(type(2), automation::msoPlaceholder);
    EXPECT_EQ(type(7), automation::msoGroup);
    EXPECT_EQ(type(3), automation::msoPicture);
    EXPECT_EQ(type(12), automation::msoLine);
    EXPECT_EQ(type(9), automation::msoFreeform);
    EXPECT_EQ(type(4), automation::msoLinkedOLEObject);
    EXPECT_EQ(type(5), automation::msoMedia);
    EXPECT_EQ(type(6), automation::msoTextBox);
}

TEST(ShapeTree, InkContentPartsAreFoundByTheirNewerNonVisualProperties) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(
        R"(<p:sld xmlns:p="p" xmlns:a="a" xmlns:p14="p14" xmlns:mc="mc"><p:cSld><p:spTree>)"
        R"(<mc:AlternateContent><mc:Choice Requires="p14"><p:contentPart><p14:nvContentPartPr>)"
        R"(<p14:cNvPr id="4" name="Ink 3"/></p14:nvContentPartPr><p14:xfrm><a:off x="10" y="20"/>)"
        R"(<a:ext cx="30" cy="40"/></p14:xfrm></p:contentPart></mc:Choice><mc:Fallback><p:pic><p:nvPicPr>)"
        R"(<p:cNvPr id="4" name="Ink 3"/></p:nvPicPr><p:spPr><a:xfrm><a:off x="10" y="20"/><a:ext cx="30" cy="40"/>)"
        R"(</a:xfrm></p:spPr></p:pic></mc:Fallback></mc:AlternateContent></p:spTree></p:cSld></p:sld>)"));
    pugi::xml_node tree = SpTree(doc.document_element());
    auto ink = FindShape(tree, 4);
    ASSERT_TRUE(ink);
    EXPECT_STREQ(ink->shape.name(), "p:contentPart");
    EXPECT_EQ(ShapeTypeOf(ink->shape), automation::msoCanvas);
    auto f = ReadFrame(ink->shape);
    ASSERT_TRUE(f);
    EXPECT_DOUBLE_EQ(f->cy, 40);
    for (pugi::xml_node branch : ShapeBranches(ink->element))
        WriteFrame(branch, {1, 2, 3, 4, 0, false, false});
    EXPECT_EQ(tree.select_node(".//p14:xfrm/a:off").node().attribute("x").as_int(), 1);
    EXPECT_EQ(tree.select_node(".//p:pic//a:off").node().attribute("x").as_int(), 1);
    EXPECT_EQ(MaxShapeId(doc.document_element()), 4u);
}
