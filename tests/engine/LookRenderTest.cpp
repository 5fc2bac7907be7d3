// The walk's replacements drawn by an office suite look like their sources: a deck of pictures with
// an outline, a shadow, soft edges, an oval cut, a crop past the edge, (half-)transparent corners and
// corners keyed out by colour is
// compressed slide by slide, both decks are rendered by LibreOffice, and every slide is compared
// tile by tile (page-wide means hide a lost border).

#include "DeckFixture.h"
#include "engine/CompressShapes.h"
#include "office/model/SlideContext.h"
#include "tests/support/RenderTools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vips/vips8>

namespace {

// Renders a deck's pages to PNG files at 96 dpi; their paths, first page first.
std::vector<std::string> Render(DeckFixture& f, const std::string& deck, const std::string& stem) {
    const std::string cmd = "cd '" + f.Path("") + "' && timeout 300 soffice -env:UserInstallation=file://" +
                            f.Path("profile") + " --headless --convert-to pdf '" + deck +
                            "' >/dev/null 2>&1 && pdftoppm -r 96 -png '" + stem + ".pdf' '" + stem +
                            "' >/dev/null 2>&1";
    std::vector<std::string> pages;
    if (std::system(cmd.c_str()) != 0)
        return pages;
    for (int i = 1;; ++i) {
        const std::string page = f.Path(stem + "-" + std::to_string(i) + ".png");
        if (!std::filesystem::exists(page))
            break;
        pages.push_back(page);
    }
    return pages;
}

// The largest mean difference (0..255, over the three colours) of any 16 x 16 tile of two pages.
double WorstTile(const std::string& a, const std::string& b) {
    vips::VImage x =
        vips::VImage::new_from_file(a.c_str()).extract_band(0, vips::VImage::option()->set("n", 3));
    vips::VImage y =
        vips::VImage::new_from_file(b.c_str()).extract_band(0, vips::VImage::option()->set("n", 3));
    if (x.width() != y.width() || x.height() != y.height())
        return 255;
    vips::VImage diff = (x.cast(VIPS_FORMAT_FLOAT) - y.cast(VIPS_FORMAT_FLOAT)).abs().bandmean();
    // Mean over tiles by shrinking 16 x 16 blocks.
    return diff.shrink(16, 16).max();
}

class LookRender : public DeckFixture {};

TEST_F(LookRender, ReplacementsDrawnByAnOfficeSuiteLookLikeTheirSources) {
    if (const auto why = testsupport::WhyNoRenderer(true))
        GTEST_SKIP() << *why;
    settings.FileSize = "10";
    struct Case {
        const char* name;
        const char* spPr; // appended to the picture's spPr (after its rectangle when kept)
        const char* crop; // a:srcRect, or ""
        int cornerAlpha;  // rounded corners this opaque; 255: a plain rectangle
        // The largest tile difference allowed: JPEG noise on the grain stays near 3, and so does a
        // metafile paste; a lost border, shadow or cut, black padding or black corners reach 9 to 230.
        double tolerance;
    };
    const Case cases[] = {
        {"outline", R"(<a:ln w="57150"><a:solidFill><a:srgbClr val="000000"/></a:solidFill></a:ln>)", "", 255,
         6},
        {"shadow",
         R"(<a:effectLst><a:outerShdw blurRad="63500" dist="190500" dir="2700000" algn="tl" rotWithShape="0">)"
         R"(<a:srgbClr val="000000"><a:alpha val="60000"/></a:srgbClr></a:outerShdw></a:effectLst>)",
         "", 255, 6},
        {"soft edges", R"(<a:effectLst><a:softEdge rad="254000"/></a:effectLst>)", "", 255, 6},
        {"oval", "", "", 255, 6},
        {"crop past the edge", "", R"(<a:srcRect l="-25000" b="-20000"/>)", 255, 6},
        // Metafile pastes. A metafile frame a hundredth of a millimetre short made the suite drop the
        // first row and column (difference 9 to 12); the premultiplied GDI bitmap, read as straight
        // alpha, darkened half-transparent corners (43) until the EMF+ picture drew them.
        {"transparent corners", "", "", 0, 6},
        {"half-transparent corners", "", "", 128, 6},
        // White corners keyed out, on a blue slide: a JPEG that kept the key left its noisy near-white
        // pixels opaque around every corner.
        {"colour-keyed corners", "", "", -1, 6},
    };
    auto deckSlides = state.SourcePresentation->Slides();
    int index = 0;
    for (const Case& c : cases) {
        auto s = index == 0 ? slide : deckSlides->Add(index + 1, automation::ppLayoutBlank);
        const std::string file = "p" + std::to_string(index) + ".png";
        const int w = 1200, h = 900, r = 120;
        auto corner = [&](int x, int y) {
            const int cx = std::clamp(x, r, w - r - 1), cy = std::clamp(y, r, h - r - 1);
            return (x - cx) * (x - cx) + (y - cy) * (y - cy) > r * r;
        };
        const bool keyed = c.cornerAlpha < 0;
        // Keyed: opaque white corners, the key colour.
        const std::string picture =
            keyed                 ? WriteClipArt(file, w, h, corner, 255, true)
            : c.cornerAlpha < 255 ? WriteClipArt(file, w, h, corner, static_cast<std::uint8_t>(c.cornerAlpha))
                                  : WritePicture(file, w, h, 0, static_cast<std::uint32_t>(index + 1));
        auto pic = s->Shapes()->AddPicture(picture, 120, 80, 360, 270);
        auto ctx = std::dynamic_pointer_cast<office::SlideContext>(s);
        pugi::xml_node node = ctx->ShapeNode(ctx->ShapeIdOf(pic));
        if (keyed) {
            const char* key =
                R"(<a:clrChange><a:clrFrom><a:srgbClr val="FFFFFF"/></a:clrFrom><a:clrTo>)"
                R"(<a:srgbClr val="FFFFFF"><a:alpha val="0"/></a:srgbClr></a:clrTo></a:clrChange>)";
            node.child("p:blipFill").child("a:blip").append_buffer(key, std::strlen(key));
            pugi::xml_document bg;
            bg.load_string(R"(<p:bg><p:bgPr><a:solidFill><a:srgbClr val="2E5A8C"/></a:solidFill>)"
                           R"(<a:effectLst/></p:bgPr></p:bg>)");
            node.root().child("p:sld").child("p:cSld").prepend_copy(bg.first_child());
        }
        pugi::xml_node spPr = node.child("p:spPr");
        if (std::string(c.name) == "oval")
            spPr.child("a:prstGeom").attribute("prst").set_value("ellipse");
        if (*c.spPr)
            spPr.append_buffer(c.spPr, std::strlen(c.spPr));
        if (*c.crop) {
            pugi::xml_node fill = node.child("p:blipFill");
            fill.insert_child_after("a:srcRect", fill.child("a:blip"));
            pugi::xml_document frag;
            frag.load_string(c.crop);
            for (pugi::xml_attribute a : frag.document_element().attributes())
                fill.child("a:srcRect").append_attribute(a.name()).set_value(a.value());
        }
        ctx->MarkModified();
        ++index;
    }
    const std::string before = Path("before.pptx");
    state.SourcePresentation->SaveAs(before);
    for (int i = 1; i <= deckSlides->Count(); ++i)
        engine::CompressShapes(ctx, deckSlides->Item(i), nullptr, true);
    ASSERT_EQ(host.log.size(), std::size(cases)) << "every picture replaced";
    const std::string after = Path("after.pptx");
    state.SourcePresentation->SaveAs(after);

    const auto pagesBefore = Render(*this, before, "before");
    const auto pagesAfter = Render(*this, after, "after");
    ASSERT_EQ(pagesBefore.size(), std::size(cases));
    ASSERT_EQ(pagesAfter.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const double worst = WorstTile(pagesBefore[i], pagesAfter[i]);
        std::printf("%-20s worst tile %.1f\n", cases[i].name, worst);
        EXPECT_LT(worst, cases[i].tolerance) << cases[i].name << ": " << host.log[i];
    }
}

TEST_F(LookRender, AnOfficeSuiteDrawsOurMetafilesPixelForPixel) {
    // Lines every 100 rows of a tall picture land on the same rows, drawn from the GDI bitmap of an
    // opaque picture and from the EMF+ PNG of a transparent one. A reference device whose size in
    // millimetres was rounded stretched both by a pixel.
    if (const auto why = testsupport::WhyNoRenderer(true))
        GTEST_SKIP() << *why;
    for (const bool transparent : {false, true}) {
        office::imaging::Raster lines;
        lines.width = 300;
        lines.height = 889;
        lines.rgba.assign(static_cast<std::size_t>(lines.width) * lines.height * 4, 255);
        for (int y = 0; y < lines.height; ++y)
            for (int x = 0; x < lines.width; ++x) {
                std::uint8_t* p = &lines.rgba[(static_cast<std::size_t>(y) * lines.width + x) * 4];
                if (y % 100 == 0)
                    p[0] = p[1] = p[2] = 0;
                if (transparent && x < 4)
                    p[3] = 0;
            }
        const std::string name = transparent ? "transparent" : "opaque";
        const auto emf = office::imaging::WrapInEmf(lines);
        std::ofstream(Path(name + ".emf"), std::ios::binary)
            .write(reinterpret_cast<const char*>(emf.data()), static_cast<std::streamsize>(emf.size()));
        const std::string cmd = "cd '" + Path("") + "' && timeout 300 soffice -env:UserInstallation=file://" +
                                Path("profile") + " --headless --convert-to png '" + name +
                                ".emf' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << name;
        ASSERT_EQ(VIPS_INIT("test_engine_slow"), 0);
        const vips::VImage page = vips::VImage::new_from_file(Path(name + ".png").c_str())
                                      .colourspace(VIPS_INTERPRETATION_B_W)
                                      .extract_band(0)
                                      .cast(VIPS_FORMAT_UCHAR);
        std::size_t length = 0;
        std::unique_ptr<void, decltype(&g_free)> memory(page.write_to_memory(&length), &g_free);
        const auto* grey = static_cast<const std::uint8_t*>(memory.get());
        const int width = page.width(), height = page.height();
        ASSERT_EQ(length, static_cast<std::size_t>(width) * height);
        auto dark = [&](int x, int y) { return grey[static_cast<std::size_t>(y) * width + x] < 128; };
        // The picture's top-left dark pixel, then every dark row down the column 50 pixels in.
        int top = -1, left = -1;
        for (int i = 0; i < width * height && top < 0; ++i)
            if (dark(i % width, i / width)) {
                top = i / width;
                left = i % width;
            }
        ASSERT_GE(top, 0) << name << ": nothing drawn";
        ASSERT_LT(left + 50, width);
        std::vector<int> rows;
        for (int y = top; y < height; ++y)
            if (dark(left + 50, y))
                rows.push_back(y - top);
        EXPECT_EQ(rows, (std::vector<int>{0, 100, 200, 300, 400, 500, 600, 700, 800})) << name;
    }
}

} // namespace
