#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/package/OpcTypes.h"
#include "office/package/Package.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using automation::AutomationError;
using namespace officetest;

namespace {

bool IsOleFrame(pugi::xml_node node) {
    return std::strcmp(node.name(), "p:graphicFrame") == 0 &&
           std::strstr(node.child("a:graphic").child("a:graphicData").attribute("uri").value(), "/ole") !=
               nullptr;
}

// Puts an embedded object (id 50) at 100, 50 pt, 45 x 60 pt on the slide, showing the metafile as its
// preview; `previewLook` is markup for the preview picture's p:spPr after its geometry.
void AddObjectShowing(const automation::SlidePtr& slide, TempDir& dir, const std::vector<std::uint8_t>& emf,
                      const std::string& previewLook = "") {
    WriteBytes(dir.File("preview.emf"), emf);
    auto holder = slide->Shapes()->AddPicture(dir.File("preview.emf"), 100, 50, 45, 60);
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    pugi::xml_node pic = ctx->ShapeNode(ctx->ShapeIdOf(holder));
    const std::string rid = pic.child("p:blipFill").child("a:blip").attribute("r:embed").value();
    pugi::xml_node tree = pic.parent();
    const std::string frame =
        R"(<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="50" name="Object 49"/><p:cNvGraphicFramePr/>)"
        R"(<p:nvPr/></p:nvGraphicFramePr><p:xfrm><a:off x="1270000" y="635000"/><a:ext cx="571500" cy="762000"/>)"
        R"(</p:xfrm><a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/presentationml/2006/ole">)"
        R"(<p:oleObj name="Worksheet" progId="Excel.Sheet.12"><p:embed/><p:pic><p:nvPicPr><p:cNvPr id="0" name=""/>)"
        R"(<p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill><a:blip r:embed=")" +
        rid +
        R"("/><a:stretch><a:fillRect/></a:stretch></p:blipFill><p:spPr><a:xfrm><a:off x="1270000" y="635000"/>)"
        R"(<a:ext cx="571500" cy="762000"/></a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom>)" +
        previewLook + R"(</p:spPr></p:pic></p:oleObj></a:graphicData></a:graphic></p:graphicFrame>)";
    ASSERT_EQ(tree.append_buffer(frame.data(), frame.size()).status, pugi::status_ok);
    tree.remove_child(pic);
    ctx->MarkModified();
}

void SaveOneBlankSlide(automation::IApplication& app, const std::string& path) {
    auto pres = app.Presentations()->Add(true);
    pres->Slides()->Add(1, automation::ppLayoutBlank);
    pres->SaveAs(path);
    pres->Close();
}

// A new deck with one blank slide, on which a test puts an object to convert.
class ConvertedObject : public ::testing::Test {
protected:
    TempDir dir;
    office::OfficeProvider provider;
    automation::ApplicationPtr app = provider.CreatePowerPoint();
    automation::PresentationPtr pres = app->Presentations()->Add(true);
    automation::SlidePtr slide = pres->Slides()->Add(1, automation::ppLayoutBlank);
};

office::imaging::Raster Red(int size) {
    office::imaging::Raster red;
    red.width = size;
    red.height = size;
    red.rgba.resize(static_cast<std::size_t>(size) * size * 4);
    for (std::size_t i = 0; i < red.rgba.size(); i += 4) {
        red.rgba[i] = 255;
        red.rgba[i + 3] = 255;
    }
    return red;
}

} // namespace

TEST(OfficeObjects, EmbeddedObjectsReportTypeAndProgIdAndCopyTheirPreview) {
    REQUIRE_CORPUS_DECK(path, "aspose-net__OlePptx.pptx");
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    auto pres = app->Presentations()->Open(path, true);
    int objects = 0, frames = 0, pastedPictures = 0;
    for (int i = 1; i <= pres->Slides()->Count(); ++i) {
        auto slide = pres->Slides()->Item(i);
        auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
        auto shapes = slide->Shapes();
        const int count = shapes->Count();
        for (int k = 1; k <= count; ++k) {
            auto shape = shapes->Item(k);
            const bool frame = IsOleFrame(ctx->ShapeNode(ctx->ShapeIdOf(shape)));
            frames += frame;
            int type = shape->Type();
            if (type != automation::msoEmbeddedOLEObject && type != automation::msoLinkedOLEObject) {
                EXPECT_THROW(shape->OLEFormat(), AutomationError);
                continue;
            }
            ++objects;
            EXPECT_FALSE(shape->OLEFormat()->ProgID().empty()) << shape->Name();
            shape->Copy();
            if (!provider.Engine().Contents().picture)
                continue;
            EXPECT_EQ(provider.Engine().Contents().picture->Width(),
                      std::max(1L, std::lround(shape->Width() * 4 / 3)));
            auto pic = shapes->PasteSpecial(automation::ppPasteJPG)->Item(1);
            ++pastedPictures;
            EXPECT_EQ(pic->Type(), automation::msoPicture);
            EXPECT_NEAR(pic->Width(), shape->Width(), 0.75);
            pic->Delete();
        }
    }
    EXPECT_EQ(objects, frames) << "every object frame reports an object type";
    EXPECT_GT(objects, 0);
    EXPECT_GT(pastedPictures, 0) << "object previews render";
}

TEST(OfficeObjects, MediaShapesAreTypeSixteen) {
    REQUIRE_CORPUS_DECK(path, "aspose-net__Media_File.pptx");
    office::OfficeProvider provider;
    auto pres = provider.CreatePowerPoint()->Presentations()->Open(path, true);
    int media = 0;
    for (int i = 1; i <= pres->Slides()->Count(); ++i) {
        auto shapes = pres->Slides()->Item(i)->Shapes();
        for (int k = 1; k <= shapes->Count(); ++k)
            media += shapes->Item(k)->Type() == automation::msoMedia;
    }
    EXPECT_GT(media, 0);
}

TEST(OfficeObjects, LegacyBinaryDecksAreRefusedWithTheMemberNamed) {
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    TempDir dir;
    WriteBytes(dir.File("old.ppt"), {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0, 0, 0, 0});
    try {
        app->Presentations()->Open(dir.File("old.ppt"), true);
        FAIL() << "a compound file is not a package";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.member(), "Presentations.Open");
    }
    EXPECT_EQ(app->Presentations()->Count(), 0);
}

TEST(OfficeObjects, DamagedSlideIsReportedUnderTheMemberThatReadIt) {
    TempDir dir;
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    SaveOneBlankSlide(*app, dir.File("good.pptx"));
    auto pkg = office::package::Package::Open(dir.File("good.pptx"));
    std::string text = "<p:sld><p:cSld><p:spTree>";
    pkg->SetPartBytes("/ppt/slides/slide1.xml", {text.begin(), text.end()});
    pkg->SaveAs(dir.File("bad.pptx"));

    auto bad = app->Presentations()->Open(dir.File("bad.pptx"), true);
    ASSERT_EQ(bad->Slides()->Count(), 1);
    try {
        bad->Slides()->Item(1)->Shapes()->Count();
        FAIL() << "malformed slide XML must throw";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.member(), "Shapes.Count");
    }
}

// An object's preview is a metafile whose frame can be larger than its drawing (an icon with room
// for a label, a margin on the left). The object's picture must show the drawing where the object
// showed it: in the frame, at the frame's scale, not stretched over it or moved by its margin.
TEST_F(ConvertedObject, ShowsItsPreviewWhereTheObjectDid) {
    auto emf = office::imaging::WrapInEmf(Red(40));
    // The frame (0.01 mm at 96 dpi) reaches 20 pixels left of the drawing and 40 below it.
    auto put = [&](std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            emf[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
    };
    put(24, -529);
    put(36, 2116);
    ASSERT_EQ(office::imaging::MetafileSize(emf).width, 60);
    ASSERT_EQ(office::imaging::MetafileSize(emf).height, 80);
    AddObjectShowing(slide, dir, emf);
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    auto object = ctx->ShapeById(50);
    ASSERT_TRUE(object);
    ASSERT_EQ(object->Type(), automation::msoEmbeddedOLEObject);

    object->Copy();
    auto picture = slide->Shapes()->PasteSpecial(automation::ppPastePNG)->Item(1);
    EXPECT_NEAR(picture->Left(), 100, 1e-3);
    EXPECT_NEAR(picture->Top(), 50, 1e-3);
    EXPECT_NEAR(picture->Width(), 45, 1e-3);
    EXPECT_NEAR(picture->Height(), 60, 1e-3);
    pres->SaveAs(dir.File("object.pptx"));
    auto saved = office::package::Package::Open(dir.File("object.pptx"));
    pugi::xml_node now = ctx->ShapeNode(ctx->ShapeIdOf(picture));
    auto rel = ctx->FindRelationship(now.child("p:blipFill").child("a:blip").attribute("r:embed").value());
    ASSERT_TRUE(rel);
    const auto png =
        saved->PartBytes(office::package::ResolvePartTarget("/ppt/slides/slide1.xml", rel->target));
    const auto shown = office::imaging::RenderPicture(png, {}, false, false, 60, 80);
    auto alpha = [&](int x, int y) { return shown.rgba[(static_cast<std::size_t>(y) * 60 + x) * 4 + 3]; };
    auto redAt = [&](int x, int y) { return shown.rgba[(static_cast<std::size_t>(y) * 60 + x) * 4]; };
    EXPECT_EQ(alpha(10, 20), 0) << "the margin left of the drawing stays empty";
    EXPECT_EQ(alpha(40, 60), 0) << "the room below the drawing stays empty";
    EXPECT_GT(alpha(22, 2), 200) << "the drawing starts 20 pixels in";
    EXPECT_GT(redAt(22, 2), 200);
    EXPECT_GT(alpha(57, 37), 200) << "and reaches the frame's right edge";
}

// An object also has a form in the slide's legacy VML drawing. Deleting the object must take that
// form with it: LibreOffice draws a VML shape no object claims, so a converted object showed twice.
TEST(OfficeObjects, ADeletedObjectTakesItsVmlFormWithIt) {
    using office::package::Package;
    namespace reltype = office::package::reltype;
    TempDir dir;
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    SaveOneBlankSlide(*app, dir.File("blank.pptx"));
    const std::string slidePart = "/ppt/slides/slide1.xml";
    {
        auto pkg = Package::Open(dir.File("blank.pptx"));
        std::string vml =
            R"(<xml xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office">)"
            R"(<o:shapelayout v:ext="edit"><o:idmap v:ext="edit" data="1"/></o:shapelayout>)"
            R"(<v:shapetype id="_x0000_t75" coordsize="21600,21600"/>)";
        std::string frames;
        for (int i : {1, 2}) {
            const std::string n = std::to_string(i);
            pkg->AddPart("/ppt/media/preview" + n + ".png", "image/png",
                         {0x89, 'P', 'N', 'G', static_cast<std::uint8_t>(i)});
            pkg->AddPart("/ppt/embeddings/oleObject" + n + ".bin",
                         "application/vnd.openxmlformats-officedocument.oleObject", {1, 2, 3});
            const std::string object = pkg->AddRelationship(slidePart, reltype::kOleObject,
                                                            "/ppt/embeddings/oleObject" + n + ".bin");
            vml += R"(<v:shape id="_x0000_s102)" + n + R"(" type="#_x0000_t75"><v:imagedata o:relid="rId)" +
                   n + R"(" o:title=""/></v:shape>)";
            frames +=
                R"(<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="1)" + n + R"(" name="Object )" + n +
                R"("/><p:cNvGraphicFramePr/><p:nvPr/></p:nvGraphicFramePr><p:xfrm><a:off x="0" y="0"/>)"
                R"(<a:ext cx="914400" cy="914400"/></p:xfrm><a:graphic><a:graphicData )"
                R"(uri="http://schemas.openxmlformats.org/presentationml/2006/ole"><p:oleObj spid="_x0000_s102)" +
                n + R"(" name="Worksheet" r:id=")" + object +
                R"(" progId="Excel.Sheet.8"><p:embed/></p:oleObj>)"
                R"(</a:graphicData></a:graphic></p:graphicFrame>)";
        }
        vml += "</xml>";
        pkg->AddPart("/ppt/drawings/vmlDrawing1.vml",
                     "application/vnd.openxmlformats-officedocument.vmlDrawing", {vml.begin(), vml.end()});
        for (int i : {1, 2})
            pkg->AddRelationship("/ppt/drawings/vmlDrawing1.vml", reltype::kImage,
                                 "/ppt/media/preview" + std::to_string(i) + ".png");
        pkg->AddRelationship(slidePart, reltype::kVmlDrawing, "/ppt/drawings/vmlDrawing1.vml");
        pugi::xml_node tree = pkg->XmlForEdit(slidePart).document_element().child("p:cSld").child("p:spTree");
        ASSERT_EQ(tree.append_buffer(frames.data(), frames.size()).status, pugi::status_ok);
        pkg->SaveAs(dir.File("objects.pptx"));
    }

    auto pres = app->Presentations()->Open(dir.File("objects.pptx"), true);
    auto slide = pres->Slides()->Item(1);
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    ctx->ShapeById(11)->Delete();
    pres->SaveAs(dir.File("one.pptx"));
    {
        auto saved = Package::Open(dir.File("one.pptx"));
        ASSERT_TRUE(saved->HasPart("/ppt/drawings/vmlDrawing1.vml"));
        const std::string vml = [&] {
            auto b = saved->PartBytes("/ppt/drawings/vmlDrawing1.vml");
            return std::string(b.begin(), b.end());
        }();
        EXPECT_EQ(vml.find("_x0000_s1021"), std::string::npos) << "the deleted object's VML form is gone";
        EXPECT_NE(vml.find("_x0000_s1022"), std::string::npos) << "the other object's form stays";
        auto rels = saved->Relationships("/ppt/drawings/vmlDrawing1.vml");
        ASSERT_EQ(rels.size(), 1u);
        EXPECT_EQ(rels[0].targetPart, "/ppt/media/preview2.png");
        EXPECT_FALSE(saved->HasPart("/ppt/media/preview1.png"));
        EXPECT_FALSE(saved->HasPart("/ppt/embeddings/oleObject1.bin"));
    }
    ctx->ShapeById(12)->Delete();
    pres->SaveAs(dir.File("none.pptx"));
    auto saved = Package::Open(dir.File("none.pptx"));
    EXPECT_TRUE(saved->RelationshipsOfType(slidePart, reltype::kVmlDrawing).empty())
        << "a drawing left without shapes is let go";
    EXPECT_FALSE(saved->HasPart("/ppt/drawings/vmlDrawing1.vml"));
    EXPECT_FALSE(saved->HasPart("/ppt/media/preview2.png"));
}

// The object's picture carries how the object is drawn: an outline given to the object must be on the
// picture that replaces it.
TEST_F(ConvertedObject, KeepsItsOutline) {
    AddObjectShowing(slide, dir, office::imaging::WrapInEmf(Red(40)),
                     R"(<a:ln w="19050"><a:solidFill><a:schemeClr val="accent1"/></a:solidFill></a:ln>)");
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    ctx->ShapeById(50)->Copy();
    auto picture = slide->Shapes()->PasteSpecial(automation::ppPastePNG)->Item(1);
    pugi::xml_node line = ctx->ShapeNode(ctx->ShapeIdOf(picture)).child("p:spPr").child("a:ln");
    ASSERT_TRUE(line) << "the outline is carried";
    EXPECT_STREQ(line.attribute("w").value(), "19050");
    EXPECT_STREQ(line.child("a:solidFill").child("a:schemeClr").attribute("val").value(), "accent1");
}
