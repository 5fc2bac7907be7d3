// The shape walk on decks of our presentation engine: real copies, pastes, encodings and saves.

#include "DeckFixture.h"
#include "engine/CompressShapes.h"
#include "engine/DeckPictureStep.h"
#include "office/model/ModelImpl.h"
#include "office/model/SlideContext.h"
#include "office/package/OpcTypes.h"

#include <cmath>
#include <gmock/gmock.h>

namespace {

using ::testing::HasSubstr;

std::vector<std::uint8_t> officeBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Walk(DeckFixture& f) {
    return engine::CompressShapes(f.ctx, f.slide, nullptr, true);
}

TEST_F(DeckFixture, PhotoIsReplacedInPlaceWithRotationAndStacking) {
    auto below = slide->Shapes()->AddShape(automation::msoShapeRectangle, 0, 0, 20, 20);
    auto pic = AddPicture(WritePicture("photo.png", 480, 360), 33.3, 44.4, 360.6, 270.25);
    pic->SetRotation(30);
    pic->SetAlternativeText("港の夕景 & <boats>");
    pic->SetTitle("Harbour");
    auto above = slide->Shapes()->AddShape(automation::msoShapeOval, 0, 0, 20, 20);
    const std::string oldName = pic->Name();
    const auto before = Names();

    Walk(*this);

    ASSERT_TRUE(state.PresentationChanged) << (host.log.empty() ? "" : host.log[0]);
    const auto after = Names();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[2], before[2]);
    EXPECT_NE(after[1], oldName);
    auto replacement = slide->Shapes()->Item(2);
    EXPECT_NEAR(replacement->Left(), 33.3, 0.01);
    EXPECT_NEAR(replacement->Top(), 44.4, 0.01);
    EXPECT_NEAR(replacement->Width(), 360.6, 0.01);
    EXPECT_NEAR(replacement->Height(), 270.25, 0.01);
    EXPECT_NEAR(replacement->Rotation(), 30, 1e-6);
    EXPECT_EQ(replacement->Type(), automation::msoPicture);
    EXPECT_EQ(replacement->AlternativeText(), "港の夕景 & <boats>");
    EXPECT_EQ(replacement->Title(), "Harbour");
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_THAT(host.log[0], HasSubstr("\t361x270 ﾋﾟｸｾﾙの画像をJPEGに圧縮 ("));
    EXPECT_EQ(state.ScratchPresentation->Slides()->Count(), 0);
}

TEST_F(DeckFixture, SmallPictureIsLeftWithItsRotation) {
    auto pic = AddPicture(WritePicture("small.png", 40, 30), 10, 10, 30, 22.5);
    pic->SetRotation(15);
    const std::string name = pic->Name();
    Walk(*this);
    EXPECT_FALSE(state.PresentationChanged);
    EXPECT_NE(Find(name), nullptr);
    EXPECT_NEAR(Find(name)->Rotation(), 15, 1e-6);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DeckFixture, RenamedPictureIsNotReplaced) {
    auto pic = AddPicture(WritePicture("photo.png", 480, 360), 0, 0, 360, 270);
    pic->SetName("Logo");
    Walk(*this);
    EXPECT_FALSE(state.PresentationChanged);
    EXPECT_NE(Find("Logo"), nullptr);
}

TEST_F(DeckFixture, TransparentPngBecomesMetafileUnderRecommended) {
    // A large source shown small, so that even the metafile weighs less than the source.
    AddPicture(WritePicture("clear.png", 1600, 1200, 0.5), 0, 0, 120, 90);
    Walk(*this);
    ASSERT_EQ(host.log.size(), 1u) << "replacement expected";
    EXPECT_THAT(host.log[0], HasSubstr("画像をﾒﾀﾋﾟｸﾁｬに圧縮"));
}

TEST_F(DeckFixture, TransparentPngBecomesJpegUnderJpeg) {
    settings.Format = 1;
    AddPicture(WritePicture("clear.png", 1600, 1200, 0.5), 0, 0, 120, 90);
    Walk(*this);
    ASSERT_EQ(host.log.size(), 1u) << "replacement expected";
    EXPECT_THAT(host.log[0], HasSubstr("画像をJPEGに圧縮"));
}

// Measures the share a JPEG replacement of pic takes, the way the walk does.
double MeasuredShare(DeckFixture& f, const automation::ShapePtr& pic) {
    auto& state = f.state;
    auto measure = [&](const std::string& path) {
        auto slides = state.ScratchPresentation->Slides();
        slides->Add(1, automation::ppLayoutBlank)->Shapes()->Paste();
        state.ScratchPresentation->SaveAs(path);
        slides->Delete(1);
        return static_cast<double>(std::filesystem::file_size(path)) - state.ProbeBaseSize;
    };
    const double w = pic->Width(), h = pic->Height();
    pic->SetWidth(w * 1.4);
    pic->SetHeight(h * 1.4);
    pic->Copy();
    pic->SetWidth(w);
    pic->SetHeight(h);
    const double before = measure(state.ProbePathBefore);
    auto pasted = f.slide->Shapes()->PasteSpecial(automation::ppPasteJPG)->Item(1);
    pasted->Copy();
    pasted->Delete();
    return measure(state.ProbePathAfter) / before * 100;
}

TEST_F(DeckFixture, ExpectRateDecidesAroundTheMeasuredShare) {
    auto pic = AddPicture(WritePicture("photo.png", 480, 360), 0, 0, 360, 270);
    const double share = MeasuredShare(*this, pic);
    ASSERT_GT(share, 1);
    ASSERT_LT(share, 99);
    settings.ExpectRate = std::to_string(share - 0.5);
    Walk(*this);
    EXPECT_FALSE(state.PresentationChanged) << "share " << share;
    settings.ExpectRate = std::to_string(share + 0.5);
    Walk(*this);
    EXPECT_TRUE(state.PresentationChanged) << "share " << share;
}

TEST_F(DeckFixture, OpenedGroupIsRebuiltInPlace) {
    auto first = slide->Shapes()->AddShape(automation::msoShapeRectangle, 0, 0, 20, 20);
    auto a = AddPicture(WritePicture("a.png", 480, 360, 0, 1), 0, 100, 240, 180);
    auto b = AddPicture(WritePicture("b.png", 480, 360, 0, 2), 300, 100, 240, 180);
    auto window = state.SourcePresentation->Windows(1);
    a->Select(true);
    b->Select(false);
    auto group = window->Selection()->ShapeRange()->Group();
    auto last = slide->Shapes()->AddShape(automation::msoShapeOval, 0, 0, 20, 20);
    const std::string groupName = group->Name();
    const std::string aName = a->Name(), bName = b->Name();
    const auto firstName = first->Name(), lastName = last->Name();

    Walk(*this);

    const auto names = Names();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], firstName);
    EXPECT_EQ(names[2], lastName);
    EXPECT_NE(names[1], groupName);
    auto rebuilt = slide->Shapes()->Item(2);
    EXPECT_EQ(rebuilt->Type(), automation::msoGroup);
    auto members = rebuilt->Ungroup();
    ASSERT_EQ(members->Count(), 2);
    EXPECT_NE(members->Item(1)->Name(), aName);
    EXPECT_NE(members->Item(2)->Name(), bName);
    EXPECT_EQ(host.log.size(), 2u);
}

TEST_F(DeckFixture, NarrowGroupOrPixelSize9999StaysClosed) {
    settings.PixelSize = "9999";
    auto a = AddPicture(WritePicture("a.png", 480, 360, 0, 1), 0, 100, 240, 180);
    auto b = AddPicture(WritePicture("b.png", 480, 360, 0, 2), 300, 100, 240, 180);
    a->Select(true);
    b->Select(false);
    auto group = state.SourcePresentation->Windows(1)->Selection()->ShapeRange()->Group();
    const std::string groupName = group->Name();
    Walk(*this);
    EXPECT_FALSE(state.PresentationChanged);
    EXPECT_EQ(Names(), std::vector<std::string>{groupName});
}

class Office2000Deck : public DeckFixture {
protected:
    Office2000Deck() : DeckFixture("9.0") {}
};

TEST_F(Office2000Deck, PastesThroughTheWorksheetByRotation) {
    AddPicture(WritePicture("a.png", 1600, 1200, 0, 1), 0, 0, 120, 90);
    auto rotated = AddPicture(WritePicture("b.png", 1600, 1200, 0, 2), 300, 0, 120, 90);
    rotated->SetRotation(20);
    Walk(*this);
    ASSERT_EQ(host.log.size(), 2u) << ::testing::PrintToString(host.log);
    EXPECT_THAT(host.log[0], HasSubstr("画像をJPEGに圧縮"));
    EXPECT_THAT(host.log[1], HasSubstr("画像をﾒﾀﾋﾟｸﾁｬに圧縮"));
    EXPECT_TRUE(state.ExcelWorkbook->Saved());
}

} // namespace

namespace {

TEST_F(DeckFixture, PictureUnderAnotherLanguagesDefaultNameIsReplacedAUserNameIsNot) {
    auto german = AddPicture(WritePicture("photo.png", 480, 360), 0, 0, 360, 270);
    german->SetName("Grafik 2");
    auto russian = AddPicture(WritePicture("photo2.png", 480, 360, 0, 2), 0, 0, 360, 270);
    russian->SetName("Рисунок 4");
    auto named = AddPicture(WritePicture("photo3.png", 480, 360, 0, 3), 0, 0, 360, 270);
    named->SetName("Grafik Titel");
    Walk(*this);
    EXPECT_EQ(host.log.size(), 2u);
    EXPECT_EQ(Find("Grafik 2"), nullptr);
    EXPECT_EQ(Find("Рисунок 4"), nullptr);
    EXPECT_NE(Find("Grafik Titel"), nullptr);
}

TEST_F(DeckFixture, DeckWideStepLogsEachPartAndFollowsTheSetting) {
    auto impl = std::dynamic_pointer_cast<office::model::PresentationImpl>(state.SourcePresentation);
    auto& pkg = impl->Pkg("test");
    const std::string slidePart = std::dynamic_pointer_cast<office::model::SlideImpl>(slide)->PartName();
    const auto jpeg = office::imaging::EncodeJpeg(office::imaging::RenderPicture(
        officeBytes(WritePicture("bg.png", 2400, 1350)), {}, false, false, 2400, 1350));
    const std::string part = pkg.AddPartWithUniqueName("/ppt/media/image", ".jpeg", "image/jpeg", jpeg);
    const std::string rel = pkg.AddRelationship(slidePart, office::package::reltype::kImage, part);
    const std::string bg =
        "<p:bg><p:bgPr><a:blipFill><a:blip r:embed=\"" + rel +
        "\"/><a:stretch><a:fillRect/></a:stretch></a:blipFill><a:effectLst/></p:bgPr></p:bg>";
    pugi::xml_document fragment;
    ASSERT_TRUE(fragment.load_string(bg.c_str()));
    pkg.XmlForEdit(slidePart).document_element().child("p:cSld").prepend_copy(fragment.first_child());

    // As the pass meets a deck: opened from its file.
    state.SourcePresentation->SaveAs(Path("bg.pptx"));
    state.SourcePresentation = state.appPPT->Presentations()->Open(Path("bg.pptx"), true);

    settings.DeckPictures = 0;
    EXPECT_TRUE(engine::CompressDeckPictures(ctx).empty());
    EXPECT_FALSE(state.PresentationChanged);

    settings.DeckPictures = 1;
    const auto results = engine::CompressDeckPictures(ctx);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(state.PresentationChanged);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_THAT(host.log[0], HasSubstr("\t1792x1008 ﾋﾟｸｾﾙの背景画像をJPEGに圧縮 ("));
}

} // namespace

namespace {

TEST_F(DeckFixture, ContentPlaceholderHoldingAPictureIsReplacedATextPlaceholderIsNot) {
    auto pic = AddPicture(WritePicture("photo.png", 480, 360), 10, 10, 360, 270);
    pic->SetName("Content Placeholder 2");
    auto text = slide->Shapes()->AddShape(automation::msoShapeRectangle, 400, 10, 200, 100);
    text->SetName("Content Placeholder 3");
    // Both become placeholders of the layout's body.
    auto ctx2 = std::dynamic_pointer_cast<office::SlideContext>(slide);
    for (const pugi::xpath_node& hit :
         ctx2->SlideRoot().select_nodes("//p:pic/p:nvPicPr/p:nvPr | //p:sp/p:nvSpPr/p:nvPr"))
        hit.node().append_child("p:ph").append_attribute("idx") = "1";
    ctx2->MarkModified();
    ASSERT_EQ(pic->Type(), automation::msoPlaceholder);
    ASSERT_EQ(pic->PlaceholderContainedType(), automation::msoPicture);
    ASSERT_EQ(text->PlaceholderContainedType(), 0);

    Walk(*this);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(Find("Content Placeholder 2"), nullptr);
    EXPECT_NE(Find("Content Placeholder 3"), nullptr);
}

} // namespace
