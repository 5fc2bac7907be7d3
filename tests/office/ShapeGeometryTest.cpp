#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using automation::AutomationError;
using namespace officetest;

namespace {

struct Deck {
    office::OfficeProvider provider;
    automation::ApplicationPtr app = provider.CreatePowerPoint();
    automation::PresentationPtr pres = app->Presentations()->Add(true);
    automation::SlidePtr slide = pres->Slides()->Add(1, automation::ppLayoutBlank);
};

// 100pt x 100pt child box drawn at (100, 100) twice as wide: sx = 2, sy = 1.
const char* kScaledGroup =
    R"(<p:grpSp><p:nvGrpSpPr><p:cNvPr id="10" name="Group 9"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>)"
    R"(<p:grpSpPr><a:xfrm><a:off x="1270000" y="1270000"/><a:ext cx="2540000" cy="1270000"/>)"
    R"(<a:chOff x="0" y="0"/><a:chExt cx="1270000" cy="1270000"/></a:xfrm></p:grpSpPr>)"
    R"(<p:sp><p:nvSpPr><p:cNvPr id="11" name="Inner 10"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr><a:xfrm>)"
    R"(<a:off x="127000" y="127000"/><a:ext cx="254000" cy="254000"/></a:xfrm>)"
    R"(<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></p:spPr></p:sp></p:grpSp>)"
    // Flipped upside down, then turned a quarter clockwise about its centre (50, 250).
    R"(<p:grpSp><p:nvGrpSpPr><p:cNvPr id="20" name="Group 19"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>)"
    R"(<p:grpSpPr><a:xfrm rot="5400000" flipV="1"><a:off x="0" y="2540000"/><a:ext cx="1270000" cy="1270000"/>)"
    R"(<a:chOff x="0" y="0"/><a:chExt cx="1270000" cy="1270000"/></a:xfrm></p:grpSpPr>)"
    R"(<p:sp><p:nvSpPr><p:cNvPr id="21" name="Corner 20"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr><a:xfrm>)"
    R"(<a:off x="0" y="0"/><a:ext cx="127000" cy="127000"/></a:xfrm>)"
    R"(<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></p:spPr></p:sp></p:grpSp>)";

automation::ShapePtr Member(const automation::ShapePtr& group, const std::string& name,
                            const automation::SlidePtr& slide) {
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    for (pugi::xpath_node n : ctx->SlideRoot().select_nodes(".//p:cNvPr"))
        if (name == n.node().attribute("name").value())
            return ctx->ShapeById(n.node().attribute("id").as_uint());
    (void)group;
    return nullptr;
}

} // namespace

TEST(OfficeShapes, GroupedShapesReportAndTakeSlideCoordinates) {
    Deck d;
    InjectShapes(d.slide, kScaledGroup);
    auto shapes = d.slide->Shapes();
    ASSERT_EQ(shapes->Count(), 2);
    auto group = shapes->Item(1);
    EXPECT_EQ(group->Type(), automation::msoGroup);
    ExpectSameGeometry(GeometryOf(group), {100, 100, 200, 100, 0}, 1e-9, "group");

    auto inner = Member(group, "Inner 10", d.slide);
    ASSERT_TRUE(inner);
    ExpectSameGeometry(GeometryOf(inner), {120, 110, 40, 20, 0}, 1e-9, "scaled child");
    inner->SetLeft(200);
    // Centre 220 on the slide is 60 in the child box; the child's own left is then 50 pt.
    auto xfrm = SlideXml(d.slide).select_node(".//p:cNvPr[@id='11']/../../p:spPr/a:xfrm").node();
    EXPECT_EQ(xfrm.child("a:off").attribute("x").as_llong(), 635000);
    EXPECT_NEAR(inner->Left(), 200, 1e-4);
    inner->SetHeight(30);
    EXPECT_NEAR(inner->Height(), 30, 1e-4);
    EXPECT_EQ(xfrm.child("a:ext").attribute("cy").as_llong(), 381000);

    // The flip takes the top-left child to the bottom-left; the quarter turn brings it back to the top-left.
    auto corner = Member(nullptr, "Corner 20", d.slide);
    ASSERT_TRUE(corner);
    ExpectSameGeometry(GeometryOf(corner), {0, 200, 10, 10, 90}, 1e-6, "flipped, turned child");
    corner->SetRotation(0);
    EXPECT_NEAR(corner->Rotation(), 0, 1e-6);
    EXPECT_NEAR(corner->Left(), 0, 1e-4);
}

TEST(OfficeShapes, StackingPositionsAndSendBackward) {
    Deck d;
    auto shapes = d.slide->Shapes();
    auto a = shapes->AddShape(1, 0, 0, 10, 10);
    auto b = shapes->AddShape(9, 0, 0, 10, 10);
    auto c = shapes->AddShape(1, 0, 0, 10, 10);
    EXPECT_EQ(a->ZOrderPosition(), 1);
    EXPECT_EQ(c->ZOrderPosition(), 3);
    c->ZOrder(automation::msoSendBackward);
    EXPECT_EQ(c->ZOrderPosition(), 2);
    EXPECT_EQ(b->ZOrderPosition(), 3);
    c->ZOrder(automation::msoSendBackward);
    c->ZOrder(automation::msoSendBackward); // already at the back: stays
    EXPECT_EQ(c->ZOrderPosition(), 1);
    a->ZOrder(automation::msoBringToFront);
    EXPECT_EQ(a->ZOrderPosition(), 3);
    EXPECT_EQ(shapes->Item(3)->Name(), a->Name());
    a->ZOrder(automation::msoSendToBack);
    EXPECT_EQ(shapes->Item(1)->Name(), a->Name());
    EXPECT_THROW(a->ZOrder(7), AutomationError);

    // Inside a group the members count after their group.
    InjectShapes(d.slide, kScaledGroup);
    auto inner = Member(nullptr, "Inner 10", d.slide);
    EXPECT_EQ(shapes->Item(4)->ZOrderPosition(), 4);
    EXPECT_EQ(inner->ZOrderPosition(), 5);
}

TEST(OfficeShapes, NewShapeIdsAndNamesStayUniqueAndDeletedHandlesThrow) {
    Deck d;
    auto shapes = d.slide->Shapes();
    InjectShapes(d.slide, kScaledGroup);
    auto r = shapes->AddShape(1, 0, 0, 10, 10);
    EXPECT_EQ(r->Name(), "Rectangle 21") << "id 22 is one above the highest id, nested ones included";
    r->Delete();
    try {
        r->Left();
        FAIL() << "a deleted shape must throw";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.member(), "Shape.Left");
    }
    EXPECT_THROW(r->Delete(), AutomationError);
    auto o = shapes->AddShape(9, 0, 0, 10, 10);
    auto o2 = shapes->AddShape(9, 0, 0, 10, 10);
    EXPECT_NE(o->Name(), o2->Name());
    std::set<unsigned> ids;
    for (pugi::xpath_node n : SlideXml(d.slide).select_nodes(".//p:cNvPr"))
        EXPECT_TRUE(ids.insert(n.node().attribute("id").as_uint()).second) << "duplicate id";
}

TEST(OfficeShapes, UngroupThenGroupKeepsSlideGeometry) {
    Deck d;
    auto shapes = d.slide->Shapes();
    auto a = shapes->AddShape(1, 10, 20, 100, 50);
    auto b = shapes->AddShape(1, 5, 5, 5, 5);
    auto c = shapes->AddShape(9, 200, 40, 60, 80);
    c->SetRotation(30);
    a->Select();
    c->Select(false);
    auto group = d.pres->Windows(1)->Selection()->ShapeRange()->Group();
    EXPECT_EQ(group->Type(), automation::msoGroup);
    EXPECT_EQ(group->Name().rfind("Group ", 0), 0u);
    ExpectSameGeometry(GeometryOf(group), {10, 20, 250, 100, 0}, 1e-4, "box of unrotated members");
    EXPECT_EQ(shapes->Count(), 2);
    EXPECT_EQ(b->ZOrderPosition(), 1);
    EXPECT_EQ(group->ZOrderPosition(), 2) << "the group takes the place of its frontmost member";

    // Move and stretch the group, then take it apart: members keep what they showed.
    group->SetLeft(50);
    group->SetWidth(500);
    group->SetRotation(15);
    Geometry ga = GeometryOf(a), gc = GeometryOf(c);
    EXPECT_NEAR(ga.rotation, 15, 1e-6);
    auto members = group->Ungroup();
    ASSERT_EQ(members->Count(), 2);
    EXPECT_THROW(group->Name(), AutomationError);
    ExpectSameGeometry(GeometryOf(members->Item(1)), ga, 0.01, "first member after ungroup");
    ExpectSameGeometry(GeometryOf(members->Item(2)), gc, 0.01, "second member after ungroup");
    EXPECT_EQ(members->Item(1)->ZOrderPosition(), 2);
    d.pres->Windows(1)->Selection()->ShapeRange()->Group();
    ExpectSameGeometry(GeometryOf(a), ga, 0.01, "first member regrouped");
    ExpectSameGeometry(GeometryOf(c), gc, 0.01, "second member regrouped");
    EXPECT_THROW(b->Ungroup(), AutomationError);
    d.pres->Windows(1)->Selection()->Unselect();
    EXPECT_THROW(d.pres->Windows(1)->Selection()->ShapeRange(), AutomationError);
    b->Select();
    EXPECT_THROW(d.pres->Windows(1)->Selection()->ShapeRange()->Group(), AutomationError);
}

TEST(OfficeShapes, ScaledGroupHoldingATableStaysWholeWhileAScaledGroupOfShapesComesApart) {
    // Same scaled group as above, with a table frame beside the rectangle: the table's rows keep their
    // own heights, so giving the table a slide frame of its own would draw it at another size.
    std::string withTable = kScaledGroup;
    const std::string table =
        R"(<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="12" name="Table 11"/><p:cNvGraphicFramePr/>)"
        R"(<p:nvPr/></p:nvGraphicFramePr><p:xfrm><a:off x="0" y="635000"/><a:ext cx="635000" cy="254000"/>)"
        R"(</p:xfrm><a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/table">)"
        R"(<a:tbl><a:tblGrid><a:gridCol w="635000"/></a:tblGrid><a:tr h="254000"><a:tc><a:txBody><a:bodyPr/>)"
        R"(<a:p/></a:txBody></a:tc></a:tr></a:tbl></a:graphicData></a:graphic></p:graphicFrame>)";
    withTable.insert(withTable.find("</p:grpSp>"), table);
    Deck d;
    InjectShapes(d.slide, withTable.c_str());
    auto shapes = d.slide->Shapes();
    auto scaledWithTable = shapes->Item(1);
    std::ostringstream before;
    SlideXml(d.slide).print(before);
    EXPECT_THROW(scaledWithTable->Ungroup(), AutomationError);
    std::ostringstream after;
    SlideXml(d.slide).print(after);
    EXPECT_EQ(before.str(), after.str()) << "a refused ungroup leaves the slide as it was";
    EXPECT_EQ(scaledWithTable->Type(), automation::msoGroup);

    // The unscaled (turned and flipped) group holds only shapes and comes apart as usual.
    EXPECT_EQ(shapes->Item(2)->Ungroup()->Count(), 1);
}

// Top-level shapes report what their xfrm says; group members survive an ungroup/regroup unmoved.
class CorpusGeometry : public testing::TestWithParam<const char*> {};

TEST_P(CorpusGeometry, ShapesMatchTheirXmlAndGroupsComeApartCleanly) {
    REQUIRE_CORPUS_DECK(path, GetParam());
    office::OfficeProvider provider;
    auto pres = provider.CreatePowerPoint()->Presentations()->Open(path, true);
    int groupsSeen = 0;
    for (int i = 1; i <= pres->Slides()->Count(); ++i) {
        auto slide = pres->Slides()->Item(i);
        auto shapes = slide->Shapes();
        auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
        for (int k = 1; k <= shapes->Count(); ++k) {
            auto shape = shapes->Item(k);
            pugi::xml_node node = ctx->ShapeNode(ctx->ShapeIdOf(shape));
            pugi::xml_node xfrm = node.select_node("p:spPr/a:xfrm | p:grpSpPr/a:xfrm | p:xfrm").node();
            if (!xfrm)
                continue;
            const std::string what = std::string(GetParam()) + " " + shape->Name();
            EXPECT_NEAR(shape->Left(), xfrm.child("a:off").attribute("x").as_double() / 12700, 1e-9) << what;
            EXPECT_NEAR(shape->Top(), xfrm.child("a:off").attribute("y").as_double() / 12700, 1e-9) << what;
            EXPECT_NEAR(shape->Width(), xfrm.child("a:ext").attribute("cx").as_double() / 12700, 1e-9)
                << what;
            EXPECT_NEAR(shape->Rotation(), xfrm.attribute("rot").as_double() / 60000, 1e-9) << what;
        }
        // Every group: remember the members' slide geometry, ungroup, compare, regroup, compare.
        for (int k = 1; k <= shapes->Count(); ++k) {
            auto shape = shapes->Item(k);
            if (shape->Type() != automation::msoGroup)
                continue;
            ++groupsSeen;
            std::vector<std::pair<std::uint32_t, Geometry>> before;
            pugi::xml_node grp = ctx->ShapeNode(ctx->ShapeIdOf(shape));
            for (pugi::xml_node child : grp.children()) {
                pugi::xml_node c = child.first_child().child("p:cNvPr");
                if (c && std::string(child.name()) != "p:nvGrpSpPr")
                    before.emplace_back(c.attribute("id").as_uint(),
                                        GeometryOf(ctx->ShapeById(c.attribute("id").as_uint())));
            }
            ASSERT_FALSE(before.empty());
            auto range = shape->Ungroup();
            EXPECT_EQ(range->Count(), static_cast<int>(before.size()));
            for (const auto& [id, g] : before)
                ExpectSameGeometry(GeometryOf(ctx->ShapeById(id)), g, 0.01, "ungrouped member");
            range->Group();
            for (const auto& [id, g] : before)
                ExpectSameGeometry(GeometryOf(ctx->ShapeById(id)), g, 0.01, "regrouped member");
        }
    }
    if (std::string(GetParam()).find("54542") != std::string::npos) {
        EXPECT_GT(groupsSeen, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Decks, CorpusGeometry,
                         testing::Values("poi__54542_cropped_bitmap.pptx", "pypptx__shp-common-props.pptx",
                                         "webpptx__031_images_crop_rotate_author.pptx",
                                         "shapecrawler__pictures-case001.pptx"));

TEST(OfficeShapes, PlaceholderWithoutFrameTakesItsLayoutFrame) {
    REQUIRE_CORPUS_DECK(path, "pypptx__ph-populated-placeholders.pptx");
    office::OfficeProvider provider;
    auto pres = provider.CreatePowerPoint()->Presentations()->Open(path, true);
    auto shapes = pres->Slides()->Item(1)->Shapes();
    ASSERT_GE(shapes->Count(), 1);
    auto ph = shapes->Item(1);
    EXPECT_EQ(ph->Type(), automation::msoPlaceholder);
    // The layout's picture placeholder (idx 10) sits at 2743200, 2057400 EMU, 3657600 x 2743200.
    ExpectSameGeometry(GeometryOf(ph), {216, 162, 288, 216, 0}, 1e-9, "inherited frame");
    ph->SetLeft(100);
    ExpectSameGeometry(GeometryOf(ph), {100, 162, 288, 216, 0}, 1e-6, "own frame after a move");
    ph->Copy();
    auto pasted = shapes->PasteSpecial(automation::ppPastePNG)->Item(1);
    EXPECT_NEAR(pasted->Width(), 288, 0.75);
    EXPECT_NEAR(pasted->Left(), 100, 1e-3);
}
