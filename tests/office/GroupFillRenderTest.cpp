// A group taken apart draws as before in an office suite: LibreOffice renders the members that used
// the group's fill in that fill.

#include "OfficeTestSupport.h"
#include "automation/Constants.h"
#include "office/imaging/Imaging.h"
#include "office/package/Package.h"
#include "tests/support/RenderTools.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace officetest;

namespace {

// The first slide as a PNG, rendered by LibreOffice with a private profile.
std::vector<std::uint8_t> RenderFirstSlide(const TempDir& dir, const std::string& deck,
                                           const std::string& stem) {
    const std::string cmd = "timeout 180 soffice -env:UserInstallation=file://" + dir.File("profile") +
                            " --headless --convert-to png --outdir '" + dir.path.string() + "' '" + deck +
                            "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return {};
    return ReadBytes(dir.File(stem + ".png"));
}

} // namespace

TEST(OfficeSuiteRender, UngroupedMembersKeepTheGroupsFill) {
    if (const auto why = testsupport::WhyNoRenderer(false))
        GTEST_SKIP() << *why;
    TempDir dir;
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    auto pres = app->Presentations()->Add(true);
    auto slide = pres->Slides()->Add(1, automation::ppLayoutBlank);
    auto bar = [](int id, long x) {
        return R"(<p:sp><p:nvSpPr><p:cNvPr id=")" + std::to_string(id) + R"(" name="Bar )" +
               std::to_string(id) + R"("/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr><a:xfrm><a:off x=")" +
               std::to_string(x) +
               R"(" y="1000000"/><a:ext cx="1500000" cy="3000000"/></a:xfrm><a:prstGeom prst="rect">)"
               R"(<a:avLst/></a:prstGeom><a:grpFill/><a:ln><a:noFill/></a:ln></p:spPr></p:sp>)";
    };
    InjectShapes(slide,
                 R"(<p:grpSp><p:nvGrpSpPr><p:cNvPr id="10" name="Bars"/><p:cNvGrpSpPr/><p:nvPr/>)"
                 R"(</p:nvGrpSpPr><p:grpSpPr><a:xfrm><a:off x="1000000" y="1000000"/>)"
                 R"(<a:ext cx="4000000" cy="3000000"/><a:chOff x="1000000" y="1000000"/>)"
                 R"(<a:chExt cx="4000000" cy="3000000"/></a:xfrm><a:solidFill><a:srgbClr val="1F4E79"/>)"
                 R"(</a:solidFill></p:grpSpPr>)" +
                     bar(11, 1000000) + bar(12, 3500000) + "</p:grpSp>");
    slide->Shapes()->Item(1)->Ungroup();
    const std::string deck = dir.File("bars.pptx");
    pres->SaveAs(deck);

    const auto png = RenderFirstSlide(dir, deck, "bars");
    ASSERT_FALSE(png.empty()) << "LibreOffice rendered nothing";
    const auto size = office::imaging::MeasurePicture(png);
    const auto page = office::imaging::RenderPicture(png, {}, false, false, size.width, size.height);
    const auto saved = office::package::Package::Open(deck);
    const auto& sld = saved->XmlForRead("/ppt/presentation.xml");
    const double slideWidth = sld.select_node("//p:sldSz").node().attribute("cx").as_double();
    const double slideHeight = sld.select_node("//p:sldSz").node().attribute("cy").as_double();
    ASSERT_GT(slideWidth, 0);
    for (double centreX : {1750000.0, 4250000.0}) {
        const int x = static_cast<int>(centreX / slideWidth * page.width);
        const int y = static_cast<int>(2500000.0 / slideHeight * page.height);
        const std::uint8_t* px = &page.rgba[(static_cast<std::size_t>(y) * page.width + x) * 4];
        EXPECT_NEAR(px[0], 0x1F, 24) << "bar at " << centreX;
        EXPECT_NEAR(px[1], 0x4E, 24) << "bar at " << centreX;
        EXPECT_NEAR(px[2], 0x79, 24) << "bar at " << centreX;
    }
}
