// Taking a group apart: members that painted with the group's fill keep it; a locked group stays.

#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"

#include <gtest/gtest.h>
#include <sstream>

using automation::AutomationError;
using namespace officetest;

namespace {

std::string Sp(int id, const std::string& name, const std::string& fill) {
    return R"(<p:sp><p:nvSpPr><p:cNvPr id=")" + std::to_string(id) + R"(" name=")" + name +
           R"("/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr><a:xfrm><a:off x="100000" y="100000"/>)"
           R"(<a:ext cx="400000" cy="800000"/></a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom>)" +
           fill + R"(<a:ln><a:noFill/></a:ln></p:spPr></p:sp>)";
}

std::string Group(int id, const std::string& name, const std::string& fill, const std::string& members,
                  const std::string& locks = "") {
    return R"(<p:grpSp><p:nvGrpSpPr><p:cNvPr id=")" + std::to_string(id) + R"(" name=")" + name +
           R"("/><p:cNvGrpSpPr>)" + locks +
           R"(</p:cNvGrpSpPr><p:nvPr/></p:nvGrpSpPr><p:grpSpPr><a:xfrm><a:off x="0" y="0"/>)"
           R"(<a:ext cx="2000000" cy="1000000"/><a:chOff x="0" y="0"/><a:chExt cx="2000000" cy="1000000"/>)"
           R"(</a:xfrm>)" +
           fill + "</p:grpSpPr>" + members + "</p:grpSp>";
}

const std::string kGroupFill = "<a:grpFill/>";
const std::string kNavy = R"(<a:solidFill><a:srgbClr val="1F4E79"/></a:solidFill>)";
const std::string kGreen = R"(<a:solidFill><a:srgbClr val="00B050"/></a:solidFill>)";

struct Deck {
    office::OfficeProvider provider;
    automation::ApplicationPtr app = provider.CreatePowerPoint();
    automation::PresentationPtr pres = app->Presentations()->Add(true);
    automation::SlidePtr slide = pres->Slides()->Add(1, automation::ppLayoutBlank);

    automation::ShapePtr Named(const std::string& name) {
        auto shapes = slide->Shapes();
        for (int i = 1; i <= shapes->Count(); ++i)
            if (shapes->Item(i)->Name() == name)
                return shapes->Item(i);
        return nullptr;
    }
    // The fill element of a shape's or group's properties, by the shape's name.
    pugi::xml_node FillOf(const std::string& name) {
        for (pugi::xpath_node n : SlideXml(slide).select_nodes("//p:cNvPr")) {
            if (name != n.node().attribute("name").value())
                continue;
            pugi::xml_node shape = n.node().parent().parent();
            pugi::xml_node props = shape.child("p:spPr") ? shape.child("p:spPr") : shape.child("p:grpSpPr");
            for (pugi::xml_node c : props.children())
                if (std::string(c.name()).find("Fill") != std::string::npos)
                    return c;
        }
        return {};
    }
    std::string Xml() {
        std::ostringstream out;
        SlideXml(slide).print(out);
        return out.str();
    }
};

std::string ColourOf(pugi::xml_node fill) {
    return fill.child("a:srgbClr").attribute("val").value();
}

TEST(OfficeGroupFill, UngroupGivesEveryMemberThatUsedTheGroupsFillACopyOfIt) {
    Deck d;
    InjectShapes(d.slide,
                 Group(10, "Outer", kNavy,
                       Sp(11, "Bar", kGroupFill) +
                           Group(12, "Inner", kGroupFill, Sp(13, "Deep", kGroupFill)) +
                           Group(14, "Own", kGreen, Sp(15, "Kept", kGroupFill)) + Sp(16, "Plain", kGreen)));
    auto members = d.Named("Outer")->Ungroup();
    ASSERT_EQ(members->Count(), 4);

    // Directly and through a nested group whose own fill is the group's: both now navy.
    for (const char* name : {"Bar", "Inner", "Deep"}) {
        pugi::xml_node fill = d.FillOf(name);
        EXPECT_STREQ(fill.name(), "a:solidFill") << name;
        EXPECT_EQ(ColourOf(fill), "1F4E79") << name;
    }
    // The copy sits where the schema wants the fill: after the geometry, before the outline.
    EXPECT_STREQ(d.FillOf("Bar").previous_sibling().name(), "a:prstGeom");
    EXPECT_STREQ(d.FillOf("Bar").next_sibling().name(), "a:ln");
    // A nested group with a fill of its own still gives it to its members.
    EXPECT_STREQ(d.FillOf("Kept").name(), "a:grpFill");
    EXPECT_EQ(ColourOf(d.FillOf("Own")), "00B050");
    EXPECT_EQ(ColourOf(d.FillOf("Plain")), "00B050");
    EXPECT_EQ(d.Named("Outer"), nullptr);
}

TEST(OfficeGroupFill, GroupWithoutFillOrPassingItsOwnOn) {
    Deck d;
    // No fill on the group: its members showed none, and say so once it is gone.
    InjectShapes(d.slide, Group(10, "Bare", "", Sp(11, "A", kGroupFill)));
    d.Named("Bare")->Ungroup();
    EXPECT_STREQ(d.FillOf("A").name(), "a:noFill");

    // A group that takes its fill from an outer group: its members then ask the outer group.
    InjectShapes(d.slide,
                 Group(20, "Outer", kNavy,
                       Group(21, "Middle", kGroupFill, Sp(22, "B", kGroupFill) + Sp(23, "C", kGroupFill))));
    d.Named("Outer")->Ungroup();
    EXPECT_EQ(ColourOf(d.FillOf("Middle")), "1F4E79");
    d.Named("Middle")->Ungroup();
    EXPECT_EQ(ColourOf(d.FillOf("B")), "1F4E79");
    EXPECT_EQ(ColourOf(d.FillOf("C")), "1F4E79");
}

TEST(OfficeGroupFill, GroupLockedAgainstUngroupingIsRefusedAndLeftAsItWas) {
    Deck d;
    InjectShapes(d.slide, Group(10, "Locked", kNavy, Sp(11, "A", kGroupFill) + Sp(12, "B", kGroupFill),
                                R"(<a:grpSpLocks noGrp="1" noUngrp="1"/>)") +
                              Group(20, "Movable", kNavy, Sp(21, "C", kGroupFill) + Sp(22, "D", kGroupFill),
                                    R"(<a:grpSpLocks noMove="1" noUngrp="0"/>)"));
    const std::string before = d.Xml();
    EXPECT_THROW(d.Named("Locked")->Ungroup(), AutomationError);
    EXPECT_EQ(d.Xml(), before);
    EXPECT_EQ(d.slide->Shapes()->Count(), 2);
    // Other locks do not keep a group whole.
    EXPECT_EQ(d.Named("Movable")->Ungroup()->Count(), 2);
    EXPECT_EQ(ColourOf(d.FillOf("C")), "1F4E79");
}

} // namespace
