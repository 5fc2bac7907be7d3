// A replacement renders like its source: the walk's pasted picture keeps everything of the source's
// look that is not its pixels (geometry, outline, effects, colour changes, flags), crops are exact,
// and a picture whose look cannot be re-created is left as it is.

#include "DeckFixture.h"
#include "engine/CompressShapes.h"
#include "office/model/SlideContext.h"
#include "office/package/Package.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gmock/gmock.h>
#include <sstream>

namespace {

constexpr const char* kA14 = "http://schemas.microsoft.com/office/drawing/2010/main";

std::string Walk(DeckFixture& f) {
    return engine::CompressShapes(f.ctx, f.slide, nullptr, true);
}

pugi::xml_node NodeOf(const automation::SlidePtr& slide, const automation::ShapePtr& shape) {
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    return ctx->ShapeNode(ctx->ShapeIdOf(shape));
}

std::string Xml(pugi::xml_node node) {
    std::ostringstream out;
    node.print(out, "", pugi::format_raw);
    return out.str();
}

// The child elements of a node, as names, skipping the given one.
std::vector<std::string> ChildNames(pugi::xml_node node, const std::string& skip = "") {
    std::vector<std::string> names;
    for (pugi::xml_node c : node.children())
        if (c.name() != skip)
            names.push_back(c.name());
    return names;
}

void Append(pugi::xml_node into, const std::string& xml) {
    ASSERT_EQ(into.append_buffer(xml.data(), xml.size()).status, pugi::status_ok) << xml;
}

std::vector<std::uint8_t> officeBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The only picture on the slide.
automation::ShapePtr OnlyPicture(DeckFixture& f) {
    automation::ShapePtr found;
    auto shapes = f.slide->Shapes();
    for (int i = 1; i <= shapes->Count(); ++i)
        if (shapes->Item(i)->Type() == automation::msoPicture) {
            EXPECT_FALSE(found) << "one picture expected";
            found = shapes->Item(i);
        }
    return found;
}

// The saved bytes of the picture a shape shows.
std::vector<std::uint8_t> SavedImage(DeckFixture& f, const automation::ShapePtr& pic) {
    const std::string path = f.Path("saved.pptx");
    f.state.SourcePresentation->SaveAs(path);
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(f.slide);
    auto rel = ctx->FindRelationship(
        NodeOf(f.slide, pic).child("p:blipFill").child("a:blip").attribute("r:embed").value());
    if (!rel)
        return {};
    auto pkg = office::package::Package::Open(path);
    return pkg->PartBytes(office::package::ResolvePartTarget("/ppt/slides/slide1.xml", rel->target));
}

office::imaging::CropRect CropOf(pugi::xml_node pic) {
    pugi::xml_node r = pic.child("p:blipFill").child("a:srcRect");
    return {r.attribute("l").as_double() / 1e5, r.attribute("t").as_double() / 1e5,
            r.attribute("r").as_double() / 1e5, r.attribute("b").as_double() / 1e5};
}

TEST_F(DeckFixture, TheReplacementKeepsOutlineEffectsGeometryColourChangesAndFlags) {
    auto pic = AddPicture(WritePicture("photo.png", 480, 360), 40, 30, 360, 270);
    pugi::xml_node node = NodeOf(slide, pic);
    pugi::xml_node spPr = node.child("p:spPr");
    spPr.remove_child("a:prstGeom");
    Append(
        spPr,
        R"(<a:prstGeom prst="ellipse"><a:avLst/></a:prstGeom>)"
        R"(<a:ln w="38100"><a:solidFill><a:srgbClr val="000000"/></a:solidFill></a:ln>)"
        R"(<a:effectLst><a:glow rad="63500"><a:srgbClr val="FF0000"/></a:glow>)"
        R"(<a:outerShdw blurRad="50800" dist="38100" dir="2700000" algn="tl" rotWithShape="0">)"
        R"(<a:prstClr val="black"><a:alpha val="40000"/></a:prstClr></a:outerShdw>)"
        R"(<a:reflection blurRad="6350" stA="50000" endA="300" endPos="55000" dir="5400000" sy="-100000" algn="bl"/>)"
        R"(<a:softEdge rad="31750"/></a:effectLst>)"
        R"(<a:scene3d><a:camera prst="orthographicFront"/><a:lightRig rig="threePt" dir="t"/></a:scene3d>)"
        R"(<a:sp3d><a:bevelT w="63500" h="25400"/></a:sp3d>)");
    spPr.child("a:xfrm").append_attribute("flipH").set_value("1");
    Append(node,
           R"(<p:style><a:lnRef idx="2"><a:schemeClr val="accent1"/></a:lnRef><a:fillRef idx="0">)"
           R"(<a:schemeClr val="accent1"/></a:fillRef><a:effectRef idx="1"><a:schemeClr val="accent1"/>)"
           R"(</a:effectRef><a:fontRef idx="minor"><a:schemeClr val="tx1"/></a:fontRef></p:style>)");
    pugi::xml_node blip = node.child("p:blipFill").child("a:blip");
    Append(
        blip,
        std::string(
            R"(<a:duotone><a:prstClr val="black"/><a:srgbClr val="00FF00"/></a:duotone>)"
            R"(<a:alphaModFix amt="80000"/><a:lum bright="10000" contrast="20000"/>)"
            R"(<a:extLst><a:ext uri="{28A0092B-C50C-407E-A947-70E740481C1C}"><a14:useLocalDpi xmlns:a14=")") +
            kA14 + R"(" val="0"/></a:ext></a:extLst>)");
    node.child("p:nvPicPr").child("p:cNvPr").append_attribute("hidden").set_value("1");
    node.child("p:nvPicPr").child("p:cNvPicPr").child("a:picLocks").append_attribute("noGrp").set_value("1");
    std::dynamic_pointer_cast<office::SlideContext>(slide)->MarkModified();

    std::vector<std::string> looks;
    for (pugi::xml_node c : spPr.children())
        if (std::string(c.name()) != "a:xfrm")
            looks.push_back(Xml(c));
    const std::string style = Xml(node.child("p:style"));
    std::vector<std::string> blipChildren;
    for (pugi::xml_node c : blip.children())
        blipChildren.push_back(Xml(c));

    Walk(*this);
    ASSERT_EQ(host.log.size(), 1u) << "replacement expected";
    auto replacement = OnlyPicture(*this);
    ASSERT_TRUE(replacement);
    pugi::xml_node now = NodeOf(slide, replacement);
    EXPECT_EQ(ChildNames(now), (std::vector<std::string>{"p:nvPicPr", "p:blipFill", "p:spPr", "p:style"}));
    std::vector<std::string> kept;
    for (pugi::xml_node c : now.child("p:spPr").children())
        if (std::string(c.name()) != "a:xfrm")
            kept.push_back(Xml(c));
    EXPECT_EQ(kept, looks) << "geometry, outline, every effect and the 3-D in their order";
    EXPECT_STREQ(now.child("p:spPr").first_child().name(), "a:xfrm");
    EXPECT_STREQ(now.child("p:spPr").child("a:xfrm").attribute("flipH").value(), "1");
    EXPECT_EQ(Xml(now.child("p:style")), style) << "the outline the theme gives";
    std::vector<std::string> keptBlip;
    for (pugi::xml_node c : now.child("p:blipFill").child("a:blip").children())
        keptBlip.push_back(Xml(c));
    EXPECT_EQ(keptBlip, blipChildren) << "the colour changes apply to the same pixels";
    EXPECT_EQ(ChildNames(now.child("p:blipFill")), (std::vector<std::string>{"a:blip", "a:stretch"}));
    EXPECT_STREQ(now.child("p:nvPicPr").child("p:cNvPr").attribute("hidden").value(), "1");
    EXPECT_STREQ(now.child("p:nvPicPr").child("p:cNvPicPr").child("a:picLocks").attribute("noGrp").value(),
                 "1");
    EXPECT_NEAR(replacement->Width(), 360, 0.01);

    // The pixels are the unflipped picture: the flip is the shape's, as it was the source's.
    const auto shown =
        office::imaging::RenderPicture(SavedImage(*this, replacement), {}, false, false, 48, 36);
    const std::uint8_t* left = &shown.rgba[(18u * 48 + 2) * 4];
    const std::uint8_t* right = &shown.rgba[(18u * 48 + 45) * 4];
    EXPECT_LT(left[0] + 40, right[0]) << "the picture grows redder to the right, as its source does";
    auto again = state.appPPT->Presentations()->Open(Path("saved.pptx"), true);
    EXPECT_EQ(again->Slides()->Item(1)->Shapes()->Count(), 1);
}

// A picture whose look a paste cannot give back is left as it is: a tiled fill cannot be one
// picture, and renderers draw an SVG alternative rather than its raster fallback.
TEST_F(DeckFixture, TiledAndSvgPicturesAreLeftAsTheyAre) {
    struct Case {
        const char* what;
        std::function<void(pugi::xml_node fill)> make;
    };
    const Case cases[] = {
        {"tiled",
         [](pugi::xml_node fill) {
             fill.remove_child("a:stretch");
             Append(fill, R"(<a:tile tx="0" ty="0" sx="50000" sy="50000" flip="none" algn="tl"/>)");
         }},
        {"svg",
         [](pugi::xml_node fill) {
             Append(fill.child("a:blip"),
                    R"(<a:extLst><a:ext uri="{96DAC541-7B7A-43D3-8B79-37D633B846F1}">)"
                    R"(<asvg:svgBlip xmlns:asvg="http://schemas.microsoft.com/office/drawing/2016/SVG/main" )"
                    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
                    R"(r:embed="rId99"/></a:ext></a:extLst>)");
         }},
    };
    for (const Case& c : cases) {
        auto pic = AddPicture(WritePicture("photo.png", 480, 360), 0, 0, 360, 270);
        pugi::xml_node fill = NodeOf(slide, pic).child("p:blipFill");
        c.make(fill);
        std::dynamic_pointer_cast<office::SlideContext>(slide)->MarkModified();
        const std::string name = pic->Name();
        const std::string before = Xml(NodeOf(slide, pic));
        Walk(*this);
        EXPECT_TRUE(host.log.empty()) << c.what;
        EXPECT_FALSE(state.PresentationChanged) << c.what;
        ASSERT_NE(Find(name), nullptr) << c.what;
        EXPECT_EQ(Xml(NodeOf(slide, Find(name))), before) << c.what;
        Find(name)->Delete();
    }
}

// A crop past the picture's edge shows nothing there; a JPEG replacement must not fill it black.
TEST_F(DeckFixture, ACropPastTheEdgeStaysEmptyInAJpegReplacement) {
    auto pic = AddPicture(WritePicture("photo.png", 480, 360), 10, 10, 360, 270);
    pugi::xml_node fill = NodeOf(slide, pic).child("p:blipFill");
    Append(fill, R"(<a:srcRect l="-20000" t="5000" b="-10000"/>)");
    fill.insert_move_after(fill.child("a:srcRect"), fill.child("a:blip"));
    std::dynamic_pointer_cast<office::SlideContext>(slide)->MarkModified();
    const auto sourceBytes = SavedImage(*this, pic);
    const auto sourceCrop = CropOf(NodeOf(slide, pic));

    Walk(*this);
    ASSERT_EQ(host.log.size(), 1u) << "replacement expected";
    EXPECT_THAT(host.log[0], ::testing::HasSubstr("JPEG"));
    auto replacement = OnlyPicture(*this);
    const auto crop = CropOf(NodeOf(slide, replacement));
    EXPECT_LT(crop.left, 0) << "the empty margin stays a margin";
    EXPECT_LT(crop.bottom, 0);
    EXPECT_EQ(crop.top, 0) << "the cut-off top is cut off in the new pixels";
    const auto bytes = SavedImage(*this, replacement);
    ASSERT_EQ(office::imaging::SniffKind(bytes), office::imaging::PictureKind::Jpeg);

    // Both drawn by the engine's renderer at the shown size over white: the same picture in the
    // same place, white where the crop reaches past the edge.
    const int w = 240, h = 180;
    const auto before = office::imaging::BoxOnWhite(
        office::imaging::RenderPicture(sourceBytes, sourceCrop, false, false, w, h), w, h);
    const auto after =
        office::imaging::BoxOnWhite(office::imaging::RenderPicture(bytes, crop, false, false, w, h), w, h);
    double diff = 0;
    for (std::size_t i = 0; i < before.colors.size(); ++i)
        for (int c = 0; c < 3; ++c)
            diff += std::abs(static_cast<int>((before.colors[i] >> (8 * c)) & 0xFF) -
                             static_cast<int>((after.colors[i] >> (8 * c)) & 0xFF));
    EXPECT_LT(diff / (before.colors.size() * 3.0), 6.0);
    EXPECT_EQ(after.At(10, h / 2), 0xFFFFFFu) << "nothing drawn left of the picture";
    EXPECT_EQ(after.At(w / 2, h - 3), 0xFFFFFFu) << "nothing drawn below it";
}

// A photo-like picture dark left of x = edge and light from there, for finding where its edge lands.
std::string WriteStep(DeckFixture& f, int width, int height, int edge) {
    office::imaging::Raster r;
    r.width = width;
    r.height = height;
    r.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    std::uint32_t state = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = static_cast<int>((state >> 24) % 16) - 8;
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>((x < edge ? 64 : 192) + grain);
            p[1] = static_cast<std::uint8_t>(128 + grain);
            p[2] = static_cast<std::uint8_t>(100 + y * 50 / height);
            p[3] = 255;
        }
    return f.WritePng("step.png", r);
}

// Where the step lies, in pixels from the left: the dark share of the red channel summed along the
// rows and averaged, with the dark and light levels read off the picture's own far sides.
double EdgeOf(const office::imaging::Raster& r) {
    auto red = [&](int x, int y) {
        return static_cast<double>(r.rgba[(static_cast<std::size_t>(y) * r.width + x) * 4]);
    };
    const int band = r.width / 10;
    double darkLevel = 0, lightLevel = 0;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < band; ++x) {
            darkLevel += red(x, y);
            lightLevel += red(r.width - 1 - x, y);
        }
    darkLevel /= band * r.height;
    lightLevel /= band * r.height;
    double dark = 0;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            dark += (lightLevel - red(x, y)) / (lightLevel - darkLevel);
    return dark / r.height;
}

TEST_F(DeckFixture, ACropBetweenSourcePixelsLinesUpWithinAQuarterPixel) {
    auto pic = AddPicture(WriteStep(*this, 480, 360, 200), 0, 0, 360, 270);
    pugi::xml_node fill = NodeOf(slide, pic).child("p:blipFill");
    Append(fill, R"(<a:srcRect l="2187" r="1000"/>)"); // 10.5 and 4.8 source pixels
    fill.insert_move_after(fill.child("a:srcRect"), fill.child("a:blip"));
    std::dynamic_pointer_cast<office::SlideContext>(slide)->MarkModified();
    Walk(*this);
    ASSERT_EQ(host.log.size(), 1u) << "replacement expected";
    auto replacement = OnlyPicture(*this);
    // The box (1.4 x 480 pixels) has more pixels than the source shows: the new picture keeps the
    // source's own pixels on their own grid and the source's crop, so nothing is resampled or moved.
    const auto crop = CropOf(NodeOf(slide, replacement));
    const auto bytes = SavedImage(*this, replacement);
    const auto size = office::imaging::MeasurePicture(bytes);
    EXPECT_EQ(size.width, 480);
    EXPECT_EQ(size.height, 360);
    EXPECT_NEAR(crop.left, 0.02187, 1e-6);
    EXPECT_NEAR(crop.right, 0.01, 1e-6);
    const double visible = 480 * (1 - 0.02187 - 0.01);
    const int shownWidth = 672;
    const double expected = (200 - 480 * 0.02187) * shownWidth / visible;
    EXPECT_NEAR(EdgeOf(office::imaging::RenderPicture(bytes, crop, false, false, shownWidth, 504)), expected,
                0.25);
}

// Transparency that a JPEG would fill black, though far below 5 % of the picture or away from its
// top-left corner, sends the picture to a metafile, which keeps it.
TEST_F(DeckFixture, TransparentCornersAndClipArtBackgroundsStayTransparent) {
    const int w = 1600, h = 1200, radius = 190;
    auto corner = [&](int x, int y) {
        const int cx = x < radius ? radius : x >= w - radius ? w - radius - 1 : x;
        const int cy = y < radius ? radius : y >= h - radius ? h - radius - 1 : y;
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius;
    };
    auto clipArt = [&](int x, int y) { return x > w * 45 / 100 || y > h * 60 / 100; };
    struct Case {
        const char* name;
        std::function<bool(int, int)> clear;
    };
    for (const Case& c : {Case{"rounded.png", corner}, Case{"clipart.png", clipArt}}) {
        host.log.clear();
        auto pic = AddPicture(WriteClipArt(c.name, w, h, c.clear), 0, 0, 120, 90);
        Walk(*this);
        ASSERT_EQ(host.log.size(), 1u) << c.name;
        EXPECT_THAT(host.log[0], ::testing::HasSubstr("画像をﾒﾀﾋﾟｸﾁｬに圧縮")) << c.name;
        auto replacement = OnlyPicture(*this);
        ASSERT_TRUE(replacement);
        const auto emf = SavedImage(*this, replacement);
        ASSERT_EQ(office::imaging::SniffKind(emf), office::imaging::PictureKind::Emf) << c.name;
        const auto size = office::imaging::MetafileSize(emf);
        const auto shown = office::imaging::RenderPicture(emf, {}, false, false, size.width, size.height);
        EXPECT_EQ(shown.rgba[3], c.clear(0, 0) ? 0 : 255) << c.name << ": the top-left corner as it was";
        EXPECT_EQ(shown.rgba[(static_cast<std::size_t>(size.height) * size.width - 1) * 4 + 3], 0)
            << c.name << ": so does the bottom-right one";
        replacement->Delete();
    }
}

// A mascot: shaded colour fields with fine grain inside hard-edged shapes on a clear background.
office::imaging::Raster Mascot(int size) {
    office::imaging::Raster r;
    r.width = r.height = size;
    r.rgba.assign(static_cast<std::size_t>(size) * size * 4, 0);
    std::uint32_t state = 11;
    const double c = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = static_cast<int>((state >> 24) % 5) - 2;
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * size + x) * 4];
            const double d = std::hypot(x - c, y - c) / c;
            const bool eye = std::hypot(x - 0.7 * c, y - 0.8 * c) < 0.1 * c ||
                             std::hypot(x - 1.3 * c, y - 0.8 * c) < 0.1 * c;
            if (d > 0.9)
                continue;
            const bool outline = d > 0.84 || eye;
            p[0] = static_cast<std::uint8_t>(outline ? 20 : std::clamp(230 - 60 * y / size + grain, 0, 255));
            p[1] = static_cast<std::uint8_t>(outline ? 20 : std::clamp(150 - 50 * x / size + grain, 0, 255));
            p[2] = static_cast<std::uint8_t>(outline ? 30 : std::clamp(40 + grain, 0, 255));
            p[3] = 255;
        }
    return r;
}

TEST_F(DeckFixture, ASmallHardEdgedGraphicIsPastedAtTwiceItsShownSizeALargePhotoAtTheChosenOne) {
    settings.Format = 2; // PNG: the paste's pixels are the picture part's
    const std::string mascot = WritePng("mascot.png", Mascot(1024));
    struct Case {
        const char* name;
        std::string file;
        double shownPt;
        int expectedWidth;
    } cases[] = {
        {"mascot shown 131 pixels wide", mascot, 98.25, 262},
        {"photo shown 420 pixels wide", WritePicture("photo.png", 1200, 900), 315, 588},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto shapes = slide->Shapes();
        while (shapes->Count() > 0)
            shapes->Item(1)->Delete();
        host.log.clear();
        AddPicture(c.file, 10, 10, c.shownPt, c.shownPt * (c.expectedWidth == 262 ? 1.0 : 0.75));
        Walk(*this);
        ASSERT_EQ(host.log.size(), 1u) << "replacement expected";
        auto replacement = OnlyPicture(*this);
        ASSERT_TRUE(replacement);
        EXPECT_NEAR(replacement->Width(), c.shownPt, 0.01);
        const auto bytes = SavedImage(*this, replacement);
        ASSERT_FALSE(bytes.empty());
        EXPECT_NEAR(office::imaging::MeasurePicture(bytes).width, c.expectedWidth, 1);
    }
}

TEST_F(DeckFixture, ATransparentPhotoPastedAsPngIsJudgedAtTheOpacityItsShapeDrawsIt) {
    settings.Format = 2;
    settings.ExpectRate = "100"; // any saving: the sizes are compared below
    // Grainy colour, two thirds of it half transparent: no palette keeps it. Two files, one a
    // column apart, so that each shape has a picture of its own; stored uncompressed, so that even
    // the one shown whole saves something.
    const std::string file = WriteClipArt(
        "veil.png", 420, 320, [](int x, int) { return x > 140; }, 128, false, true);
    const std::string other = WriteClipArt(
        "veil2.png", 420, 320, [](int x, int) { return x > 141; }, 128, false, true);
    AddPicture(file, 0, 0, 240, 183);
    auto faded = AddPicture(other, 300, 0, 240, 183);
    pugi::xml_node blip = NodeOf(slide, faded).child("p:blipFill").child("a:blip");
    blip.append_child("a:alphaModFix").append_attribute("amt").set_value("30000");
    std::dynamic_pointer_cast<office::SlideContext>(slide)->MarkModified();
    Walk(*this);
    ASSERT_EQ(host.log.size(), 2u) << "both replaced: " << ::testing::PrintToString(host.log);
    std::vector<std::vector<std::uint8_t>> images;
    auto shapes = slide->Shapes();
    for (int i = 1; i <= shapes->Count(); ++i)
        images.push_back(SavedImage(*this, shapes->Item(i)));
    ASSERT_EQ(images.size(), 2u);
    const auto source = officeBytes(file);
    for (const auto& png : images) {
        EXPECT_LT(png.size(), source.size()) << "posterised, not lossless";
        EXPECT_EQ(office::imaging::SniffKind(png), office::imaging::PictureKind::Png);
    }
    EXPECT_LT(images[1].size(), images[0].size()) << "seen at 30 %, it may lose more";
}

} // namespace
