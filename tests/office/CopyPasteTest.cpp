#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/imaging/Imaging.h"
#include "office/model/PictureClip.h"
#include "office/model/ShapeTree.h"
#include "office/package/Package.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <set>

using automation::AutomationError;
using namespace officetest;
namespace imaging = office::imaging;

namespace {

imaging::Raster Noise(int w, int h, unsigned seed) {
    imaging::Raster r;
    r.width = w;
    r.height = h;
    r.rgba.resize(static_cast<std::size_t>(w) * h * 4);
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < r.rgba.size(); i += 4) {
        std::uint32_t v = rng();
        r.rgba[i] = static_cast<std::uint8_t>(v);
        r.rgba[i + 1] = static_cast<std::uint8_t>(v >> 8);
        r.rgba[i + 2] = static_cast<std::uint8_t>(v >> 16);
        r.rgba[i + 3] = 255;
    }
    return r;
}

// Left half red, right half blue.
imaging::Raster Halves(int w, int h) {
    imaging::Raster r;
    r.width = w;
    r.height = h;
    r.rgba.resize(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = x < w / 2 ? 255 : 0;
            p[2] = x < w / 2 ? 0 : 255;
            p[3] = 255;
        }
    return r;
}

struct Fixture {
    TempDir dir;
    office::OfficeProvider provider;
    automation::ApplicationPtr app = provider.CreatePowerPoint();
    automation::PresentationPtr pres = app->Presentations()->Add(true);
    automation::SlidePtr slide = pres->Slides()->Add(1, automation::ppLayoutBlank);

    std::string WritePicture(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::string path = dir.File(name);
        WriteBytes(path, bytes);
        return path;
    }
};

// The image part a picture shape shows, by its blip relationship.
std::vector<std::uint8_t> ImageBytesOf(const automation::SlidePtr& slide, const automation::ShapePtr& pic,
                                       office::package::Package* saved = nullptr,
                                       std::string* partName = nullptr) {
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    pugi::xml_node node = ctx->ShapeNode(ctx->ShapeIdOf(pic));
    auto rel = ctx->FindRelationship(node.child("p:blipFill").child("a:blip").attribute("r:embed").value());
    if (!rel)
        return {};
    std::string part = office::package::ResolvePartTarget("/ppt/slides/slide1.xml", rel->target);
    if (saved) {
        // The save stores identical pictures once, so the saved relationship says where the bytes went.
        auto savedRel = saved->FindRelationship("/ppt/slides/slide1.xml", rel->id);
        if (!savedRel)
            return {};
        part = savedRel->targetPart;
    }
    if (partName)
        *partName = part;
    if (!saved)
        return {};
    return saved->PartBytes(part);
}

} // namespace

TEST(OfficeCopyPaste, EnlargedCopyPastesAsJpegAtDisplayedPixelSize) {
    Fixture f;
    auto jpeg = imaging::EncodeJpeg(Noise(4000, 3000, 1));
    auto pic = f.slide->Shapes()->AddPicture(f.WritePicture("big.jpg", jpeg), 30, 40, 360, 270);
    EXPECT_EQ(pic->Type(), automation::msoPicture);
    EXPECT_EQ(pic->Name().rfind("Picture ", 0), 0u);
    pic->SetWidth(pic->Width() * 1.4);
    pic->SetHeight(pic->Height() * 1.4);
    pic->Copy();
    pic->SetWidth(360);
    pic->SetHeight(270);
    auto pasted = f.slide->Shapes()->PasteSpecial(automation::ppPasteJPG)->Item(1);
    EXPECT_NE(pasted->Name(), pic->Name());
    EXPECT_EQ(pasted->Name().rfind("Picture ", 0), 0u);
    EXPECT_NEAR(pasted->Width(), 504, 1e-3);
    EXPECT_NEAR(pasted->Height(), 378, 1e-3);
    EXPECT_NEAR(pasted->Left(), 30, 1e-3);
    EXPECT_EQ(pasted->ZOrderPosition(), 2);

    f.pres->SaveAs(f.dir.File("out.pptx"));
    auto saved = office::package::Package::Open(f.dir.File("out.pptx"));
    auto bytes = ImageBytesOf(f.slide, pasted, saved.get());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(imaging::SniffKind(bytes), imaging::PictureKind::Jpeg);
    auto size = imaging::MeasurePicture(bytes);
    EXPECT_EQ(size.width, 672);
    EXPECT_EQ(size.height, 504);
    EXPECT_EQ(ImageBytesOf(f.slide, pic, saved.get()), jpeg) << "the source picture keeps its own part";
}

TEST(OfficeCopyPaste, CroppedPictureCopiesOnlyItsVisiblePart) {
    Fixture f;
    auto pic = f.slide->Shapes()->AddPicture(
        f.WritePicture("halves.png", imaging::EncodePng(Halves(200, 100))), 0, 0, 75, 75);
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(f.slide);
    pugi::xml_node blipFill = ctx->ShapeNode(ctx->ShapeIdOf(pic)).child("p:blipFill");
    blipFill.insert_child_after("a:srcRect", blipFill.child("a:blip"))
        .append_attribute("l")
        .set_value("50000");
    ctx->MarkModified();
    pic->Copy();
    auto pasted = f.slide->Shapes()->PasteSpecial(automation::ppPastePNG)->Item(1);
    EXPECT_NEAR(pasted->Width(), 75, 1e-3);
    f.pres->SaveAs(f.dir.File("crop.pptx"));
    auto saved = office::package::Package::Open(f.dir.File("crop.pptx"));
    auto png = ImageBytesOf(f.slide, pasted, saved.get());
    ASSERT_EQ(imaging::SniffKind(png), imaging::PictureKind::Png);
    auto shown = imaging::RenderPicture(png, {}, false, false, 100, 100);
    for (int x : {1, 50, 98}) {
        const std::uint8_t* p = &shown.rgba[(50u * 100 + x) * 4];
        EXPECT_LT(p[0], 40) << "red from the cropped half at x=" << x;
        EXPECT_GT(p[2], 200) << "x=" << x;
    }
}

TEST(OfficeCopyPaste, PastedPictureWeighsItsStoredSizeAndLeavesWithItsSlide) {
    Fixture f;
    auto jpeg = imaging::EncodeJpeg(Noise(800, 600, 2));
    auto pic = f.slide->Shapes()->AddPicture(f.WritePicture("pic.jpg", jpeg), 0, 0, 600, 450);
    pic->Copy();

    auto scratch = f.app->Presentations()->Add(true);
    scratch->SaveAs(f.dir.File("base.pptx"));
    const double base = static_cast<double>(fs::file_size(f.dir.File("base.pptx")));
    auto probe = scratch->Slides()->Add(1, automation::ppLayoutBlank);
    auto pasted = probe->Shapes()->Paste();
    ASSERT_EQ(pasted->Count(), 1);
    EXPECT_EQ(pasted->Item(1)->Name(), pic->Name()) << "no collision on the empty slide: the name stays";
    ExpectSameGeometry(GeometryOf(pasted->Item(1)), GeometryOf(pic), 1e-6, "paste lands where the copy was");
    scratch->SaveAs(f.dir.File("probe.pptx"));
    const double grown = static_cast<double>(fs::file_size(f.dir.File("probe.pptx"))) - base;
    EXPECT_NEAR(grown, static_cast<double>(jpeg.size()), 0.02 * static_cast<double>(jpeg.size()) + 4096);

    scratch->Slides()->Delete(1);
    scratch->SaveAs(f.dir.File("after.pptx"));
    EXPECT_NEAR(static_cast<double>(fs::file_size(f.dir.File("after.pptx"))), base, 512);
}

TEST(OfficeCopyPaste, ReplacedPictureTakesItsMediaAlongUnlessAnotherShapeUsesIt) {
    Fixture f;
    auto png = imaging::EncodePng(Noise(64, 64, 3));
    auto old = f.slide->Shapes()->AddPicture(f.WritePicture("old.png", png), 10, 10, 48, 48);
    std::string oldPart;
    ImageBytesOf(f.slide, old, nullptr, &oldPart);
    old->Copy();
    auto replacement = f.slide->Shapes()->PasteSpecial(automation::ppPasteJPG)->Item(1);
    old->Delete();
    f.pres->SaveAs(f.dir.File("replaced.pptx"));
    auto saved = office::package::Package::Open(f.dir.File("replaced.pptx"));
    EXPECT_FALSE(saved->HasPart(oldPart));
    std::string newPart;
    ImageBytesOf(f.slide, replacement, nullptr, &newPart);
    EXPECT_TRUE(saved->HasPart(newPart));
    EXPECT_TRUE(saved->ContentType(newPart) == "image/jpeg");

    // Two pictures showing one part: deleting one keeps the part for the other.
    auto keep = f.slide->Shapes()->AddPicture(f.WritePicture("keep.png", png), 0, 0, 10, 10);
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(f.slide);
    pugi::xml_node node = ctx->ShapeNode(ctx->ShapeIdOf(keep));
    std::string rid = node.child("p:blipFill").child("a:blip").attribute("r:embed").value();
    InjectShapes(f.slide,
                 R"(<p:pic><p:nvPicPr><p:cNvPr id="90" name="Twin"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>)"
                 R"(<p:blipFill><a:blip r:embed=")" +
                     rid + R"("/></p:blipFill><p:spPr/></p:pic>)");
    std::string keptPart;
    ImageBytesOf(f.slide, keep, nullptr, &keptPart);
    keep->Delete();
    f.pres->SaveAs(f.dir.File("shared.pptx"));
    EXPECT_TRUE(office::package::Package::Open(f.dir.File("shared.pptx"))->HasPart(keptPart));
}

TEST(OfficeCopyPaste, MetafileAndMissingRasterCases) {
    Fixture f;
    auto shapes = f.slide->Shapes();
    auto rect = shapes->AddShape(automation::msoShapeRectangle, 0, 0, 50, 50);
    rect->Copy();
    EXPECT_THROW(shapes->PasteSpecial(automation::ppPasteJPG), AutomationError)
        << "an auto shape has no raster";
    EXPECT_THROW(shapes->PasteSpecial(99), AutomationError);
    auto copies = shapes->Paste();
    EXPECT_NE(copies->Item(1)->Name(), rect->Name()) << "a colliding name is renumbered";

    // A metafile picture pastes as its own bytes; a bitmap one as an EMF wrapping the raster.
    auto emf = imaging::WrapInEmf(Noise(40, 30, 4));
    auto meta = shapes->AddPicture(f.WritePicture("pic.emf", emf), 0, 0, 30, 22.5);
    meta->Copy();
    EXPECT_EQ(f.provider.Engine().Contents().metafile, emf);
    auto metaPaste = shapes->PasteSpecial(automation::ppPasteMetafilePicture)->Item(1);
    auto bitmap =
        shapes->AddPicture(f.WritePicture("pic.png", imaging::EncodePng(Noise(40, 30, 5))), 0, 0, 30, 22.5);
    bitmap->Copy();
    auto wrapped = shapes->PasteSpecial(automation::ppPasteMetafilePicture)->Item(1);
    f.pres->SaveAs(f.dir.File("meta.pptx"));
    auto saved = office::package::Package::Open(f.dir.File("meta.pptx"));
    EXPECT_EQ(ImageBytesOf(f.slide, metaPaste, saved.get()), emf);
    std::string part;
    auto bytes = ImageBytesOf(f.slide, wrapped, saved.get(), &part);
    EXPECT_EQ(imaging::SniffKind(bytes), imaging::PictureKind::Emf);
    EXPECT_EQ(saved->ContentType(part), "image/x-emf");
    EXPECT_TRUE(f.provider.Clipboard().ContainsMetafile());
}

TEST(OfficeCopyPaste, PictureClipPastesIntoAnotherPresentation) {
    Fixture f;
    auto png = imaging::EncodePng(Noise(20, 10, 6));
    office::ClipboardContents contents;
    contents.shape = office::MakePictureClip(png, imaging::PictureKind::Png, 15, 7.5);
    f.provider.Engine().Set(std::move(contents));
    auto pasted = f.slide->Shapes()->Paste()->Item(1);
    EXPECT_EQ(pasted->Type(), automation::msoPicture);
    EXPECT_NEAR(pasted->Width(), 15, 1e-3);
    f.pres->SaveAs(f.dir.File("clip.pptx"));
    auto saved = office::package::Package::Open(f.dir.File("clip.pptx"));
    EXPECT_EQ(ImageBytesOf(f.slide, pasted, saved.get()), png);
}

TEST(OfficeCopyPaste, PastedGroupsGetFreshUniqueIds) {
    REQUIRE_CORPUS_DECK(path, "poi__54542_cropped_bitmap.pptx");
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    auto source = app->Presentations()->Open(path, true);
    auto slide = source->Slides()->Item(1);
    automation::ShapePtr group;
    for (int i = 1; i <= slide->Shapes()->Count(); ++i)
        if (slide->Shapes()->Item(i)->Type() == automation::msoGroup)
            group = slide->Shapes()->Item(i);
    ASSERT_TRUE(group);
    Geometry g = GeometryOf(group);
    group->Copy();
    auto first = slide->Shapes()->Paste()->Item(1);
    auto second = slide->Shapes()->Paste()->Item(1);
    EXPECT_EQ(first->Type(), automation::msoGroup);
    ExpectSameGeometry(GeometryOf(second), g, 1e-3, "pasted group");
    std::set<unsigned> ids;
    for (pugi::xpath_node n : SlideXml(slide).select_nodes(".//p:cNvPr")) {
        unsigned id = n.node().attribute("id").as_uint();
        if (id != 0 && std::string(n.node().parent().parent().parent().name()) != "mc:Fallback") {
            EXPECT_TRUE(ids.insert(id).second) << "duplicate id " << id;
        }
    }
    TempDir dir;
    source->SaveAs(dir.File("pasted.pptx"));
    auto again = app->Presentations()->Open(dir.File("pasted.pptx"), true);
    EXPECT_EQ(again->Slides()->Item(1)->Shapes()->Count(), slide->Shapes()->Count());
}

TEST(OfficeCopyPaste, WorksheetRoundTripBringsThePictureBackToTheSlide) {
    Fixture f;
    auto pic = f.slide->Shapes()->AddPicture(f.WritePicture("w.png", imaging::EncodePng(Noise(60, 40, 7))), 0,
                                             0, 45, 30);
    auto excel = f.provider.CreateExcel();
    ASSERT_TRUE(excel);
    auto sheet = excel->Workbooks()->Add()->Worksheets(1);
    pic->Copy();
    sheet->PasteSpecial("図 (PNG)", false, false);
    sheet->Shapes(1)->Copy();
    sheet->Shapes(1)->Delete();
    auto back = f.slide->Shapes()->Paste()->Item(1);
    EXPECT_EQ(back->Type(), automation::msoPicture);
    EXPECT_NEAR(back->Width(), 45, 0.75);
    EXPECT_NEAR(back->Height(), 30, 0.75);
    f.pres->SaveAs(f.dir.File("sheet.pptx"));
    auto saved = office::package::Package::Open(f.dir.File("sheet.pptx"));
    EXPECT_EQ(imaging::SniffKind(ImageBytesOf(f.slide, back, saved.get())), imaging::PictureKind::Png);
    excel->Quit();
}

TEST(OfficeCopyPaste, SlideJumpsFollowAPasteOnlyWithinTheirOwnPresentation) {
    Fixture f;
    auto second = f.pres->Slides()->Add(2, automation::ppLayoutBlank);
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(f.slide);
    std::string rid =
        ctx->AddRelationship("http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide",
                             ctx->SlideTarget(2), false);
    InjectShapes(
        f.slide,
        R"(<p:sp><p:nvSpPr><p:cNvPr id="40" name="Jump"><a:hlinkClick r:id=")" + rid +
            R"(" action="ppaction://hlinksldjump"/></p:cNvPr><p:cNvSpPr/><p:nvPr/></p:nvSpPr>)"
            R"(<p:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="12700" cy="12700"/></a:xfrm></p:spPr></p:sp>)");
    auto jump = ctx->ShapeById(40);
    ASSERT_TRUE(jump);
    jump->Copy();

    auto hlinkOf = [](const automation::SlidePtr& slide, const automation::ShapePtr& shape) {
        auto c = std::dynamic_pointer_cast<office::SlideContext>(slide);
        return std::string(office::model::CNvPr(c->ShapeNode(c->ShapeIdOf(shape)))
                               .child("a:hlinkClick")
                               .attribute("r:id")
                               .value());
    };
    auto same = second->Shapes()->Paste()->Item(1);
    auto secondCtx = std::dynamic_pointer_cast<office::SlideContext>(second);
    auto rel = secondCtx->FindRelationship(hlinkOf(second, same));
    ASSERT_TRUE(rel);
    EXPECT_EQ(secondCtx->SlideIndexOfTarget(rel->target), 2);

    auto elsewhere = f.app->Presentations()->Add(true);
    elsewhere->Slides()->Add(1, automation::ppLayoutBlank);
    auto target = elsewhere->Slides()->Add(2, automation::ppLayoutBlank);
    auto foreign = target->Shapes()->Paste()->Item(1);
    EXPECT_EQ(hlinkOf(target, foreign), "") << "a jump into another deck's slide would land anywhere";
}

// A colour key drawn as the source shows it: a JPEG's noise would leave the key colour's
// neighbours opaque, and a paste that kept the markup would key them differently.
TEST(OfficeCopyPaste, AColourKeyIsDrawnIntoThePastedPixelsInsteadOfCarried) {
    Fixture f;
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(f.slide);
    const std::string file = f.WritePicture("halves.png", imaging::EncodePng(Halves(200, 100)));
    auto keyed = [&](const char* change) {
        auto pic = f.slide->Shapes()->AddPicture(file, 0, 0, 150, 75);
        pugi::xml_node blip = ctx->ShapeNode(ctx->ShapeIdOf(pic)).child("p:blipFill").child("a:blip");
        EXPECT_EQ(blip.append_buffer(change, std::strlen(change)).status, pugi::status_ok);
        ctx->MarkModified();
        return pic;
    };
    auto blipOf = [&](const automation::ShapePtr& shape) {
        return ctx->ShapeNode(ctx->ShapeIdOf(shape)).child("p:blipFill").child("a:blip");
    };
    const char* redToClear =
        R"(<a:clrChange><a:clrFrom><a:srgbClr val="FF0000"/></a:clrFrom>)"
        R"(<a:clrTo><a:srgbClr val="FF0000"><a:alpha val="0"/></a:srgbClr></a:clrTo></a:clrChange>)";
    struct Case {
        int pasteType;
        imaging::PictureKind kind;
        std::uint8_t leftAlpha, leftRed; // the keyed half after the paste
    };
    const Case cases[] = {{automation::ppPastePNG, imaging::PictureKind::Png, 0, 0},
                          {automation::ppPasteJPG, imaging::PictureKind::Jpeg, 255, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pasteType);
        keyed(redToClear)->Copy();
        auto pasted = f.slide->Shapes()->PasteSpecial(c.pasteType)->Item(1);
        EXPECT_FALSE(blipOf(pasted).child("a:clrChange")) << "the key is in the pixels now";
        const std::string out = f.dir.File("key" + std::to_string(c.pasteType) + ".pptx");
        f.pres->SaveAs(out);
        auto saved = office::package::Package::Open(out);
        std::string part;
        ImageBytesOf(f.slide, pasted, saved.get(), &part);
        const auto bytes = saved->PartBytes(part);
        ASSERT_EQ(imaging::SniffKind(bytes), c.kind);
        const auto shown = imaging::RenderPicture(bytes, {}, false, false, 200, 100);
        const std::uint8_t* left = &shown.rgba[(50u * 200 + 40) * 4];
        const std::uint8_t* right = &shown.rgba[(50u * 200 + 160) * 4];
        EXPECT_EQ(left[3], c.leftAlpha);
        EXPECT_LT(left[0], c.leftRed + 40);
        EXPECT_GT(right[2], 200);
        EXPECT_EQ(right[3], 255);
    }
    // A key named by a scheme colour is not drawn; it stays with the paste as markup.
    keyed(R"(<a:clrChange><a:clrFrom><a:schemeClr val="accent1"/></a:clrFrom>)"
          R"(<a:clrTo><a:schemeClr val="accent1"><a:alpha val="0"/></a:schemeClr></a:clrTo></a:clrChange>)")
        ->Copy();
    auto pasted = f.slide->Shapes()->PasteSpecial(automation::ppPastePNG)->Item(1);
    EXPECT_TRUE(blipOf(pasted).child("a:clrChange"));
}
