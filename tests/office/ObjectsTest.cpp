#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"
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
    auto pres = app->Presentations()->Add(true);
    pres->Slides()->Add(1, automation::ppLayoutBlank);
    pres->SaveAs(dir.File("good.pptx"));
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
