// The shape walk over the in-memory office: which shapes are replaced, what a replacement takes
// over, the thresholds, the paste formats, groups, objects and the failure rules.

#include "WalkFixture.h"
#include "engine/CompressShapes.h"
#include "engine/ReplacementCycle.h"

#include <cmath>
#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

std::string WalkFixture::Walk() {
    return engine::CompressShapes(ctx, slide, nullptr, true);
}

namespace {

constexpr double KB = 1024;

TEST_F(WalkFixture, PausesWaitOnlyForAnApplicationThatSettlesInItsOwnTime) {
    const int events = host.events;
    engine::Pause(ctx, 50);
    EXPECT_EQ(waits, std::vector<int>{50}) << "the run's own wait decides first";
    state.Wait = nullptr;
    provider.settles = true;
    engine::Pause(ctx, 50);
    EXPECT_EQ(host.events, events + 1) << "the window gets its turn instead of a sleep";
    EXPECT_EQ(waits.size(), 1u);
}

TEST_F(WalkFixture, PictureBelowFileSizeIsLeftWithItsRotation) {
    auto small = AddPicture("Picture 1", 10, 10, 200, 100, 49 * KB);
    small->rotation = 30;
    EXPECT_EQ(Walk(), "");
    EXPECT_TRUE(w.pasteTypes.empty());
    EXPECT_THAT(slide->Names(), ElementsAre("Picture 1"));
    EXPECT_DOUBLE_EQ(small->rotation, 30);
    EXPECT_DOUBLE_EQ(small->width, 200);
    EXPECT_FALSE(state.PresentationChanged);
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(scratch->slides.empty()) << "the measuring slide must go again";
    EXPECT_EQ(host.status, ".");
}

TEST_F(WalkFixture, ReplacementTakesGeometryStackingRotationAndLogs) {
    slide->Add("Rectangle 1", automation::msoAutoShape, 0, 0, 50, 50);
    auto pic = AddPicture("Picture 2", 10.25, 20.5, 300.4, 199.6, 100 * KB);
    pic->rotation = 30;
    slide->Add("Rectangle 3", automation::msoAutoShape, 0, 0, 50, 50);

    Walk();

    ASSERT_EQ(slide->shapes.size(), 3u);
    auto replacement = slide->shapes[1];
    EXPECT_NE(replacement->name, "Picture 2");
    EXPECT_TRUE(pic->deleted);
    EXPECT_EQ(replacement->format, automation::ppPasteJPG);
    EXPECT_NEAR(replacement->left, 10.25, 0.01);
    EXPECT_NEAR(replacement->top, 20.5, 0.01);
    EXPECT_NEAR(replacement->width, 300.4, 0.01);
    EXPECT_NEAR(replacement->height, 199.6, 0.01);
    EXPECT_DOUBLE_EQ(replacement->rotation, 30);
    EXPECT_THAT(slide->Names(), ElementsAre("Rectangle 1", replacement->name, "Rectangle 3"));
    // Copied at 1.4 times its width ("標準画質"), then put back.
    ASSERT_FALSE(w.copiedWidths.empty());
    EXPECT_NEAR(w.copiedWidths.front(), 300.4 * 1.4, 1e-9);
    EXPECT_TRUE(state.PresentationChanged);
    EXPECT_THAT(host.log, ElementsAre("\t300x200 ﾋﾟｸｾﾙの画像をJPEGに圧縮 (100KB→50KB)  "));
    EXPECT_TRUE(scratch->slides.empty());
    EXPECT_EQ(scratch->saves, 2);
    // One pause before the paste, one before copying it, one after deleting the source.
    EXPECT_THAT(waits, ElementsAre(50, 50, 50));
    EXPECT_EQ(w.appWindowState, automation::ppWindowMinimized);
    EXPECT_EQ(host.events, 3);
}

class ExpectRateTest : public WalkFixture, public ::testing::WithParamInterface<std::pair<double, bool>> {};

TEST_P(ExpectRateTest, ReplacementMustBeBelowTheShare) {
    const auto [share, accepted] = GetParam();
    settings.ExpectRate = "95";
    w.encode = [share](int, const fake::Clip& c) { return c.weight * share; };
    AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    Walk();
    EXPECT_EQ(state.PresentationChanged, accepted);
    EXPECT_EQ(slide->shapes.size(), 1u);
    EXPECT_EQ(slide->shapes[0]->name == "Picture 1", !accepted);
    EXPECT_EQ(host.log.size(), accepted ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(NinetyFive, ExpectRateTest,
                         ::testing::Values(std::make_pair(0.96, false), std::make_pair(0.95, false),
                                           std::make_pair(0.94, true)));

TEST_F(WalkFixture, TransparentPictureUnderRecommendedEndsAsMetafile) {
    auto pic = AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    pic->transparentShare = 0.3;
    Walk();
    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPasteJPG, automation::ppPasteMetafilePicture));
    ASSERT_EQ(slide->shapes.size(), 1u);
    EXPECT_EQ(slide->shapes[0]->format, automation::ppPasteMetafilePicture);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_NE(host.log[0].find("ﾒﾀﾋﾟｸﾁｬに圧縮"), std::string::npos);
    EXPECT_EQ(scratch->saves, 3) << "copied and measured again before the metafile paste";
}

TEST_F(WalkFixture, TransparentPictureUnderJpegStaysJpeg) {
    settings.Format = 1;
    auto pic = AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    pic->transparentShare = 0.3;
    Walk();
    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPasteJPG));
    ASSERT_EQ(slide->shapes.size(), 1u);
    EXPECT_EQ(slide->shapes[0]->format, automation::ppPasteJPG);
}

// A transparent corner is visible long before it is 5 % of the picture; a speck is not.
TEST_F(WalkFixture, AVisibleTransparentAreaGoesToAMetafileASpeckKeepsJpeg) {
    auto pic = AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    pic->transparentShare = 0.01;
    Walk();
    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPasteJPG, automation::ppPasteMetafilePicture));

    w.pasteTypes.clear();
    slide->shapes.clear();
    pic = AddPicture("Picture 2", 0, 0, 100, 100, 200 * KB);
    pic->transparentShare = 0.0001; // a few pixels of the whole copy
    Walk();
    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPasteJPG));
}

TEST_F(WalkFixture, FormatPositionsChooseTheirDataTypes) {
    const int expected[] = {automation::ppPasteJPG, automation::ppPasteJPG, automation::ppPastePNG,
                            automation::ppPasteGIF, automation::ppPasteMetafilePicture};
    for (int position = 0; position < 5; ++position) {
        settings.Format = position;
        w.pasteTypes.clear();
        slide->shapes.clear();
        AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
        Walk();
        EXPECT_THAT(w.pasteTypes, ElementsAre(expected[position])) << position;
    }
}

TEST_F(WalkFixture, OnlyPicturesByTypeOrNameAreReplaced) {
    AddPicture("Logo", 0, 0, 100, 100, 200 * KB);                            // renamed by the user
    slide->Add("Picture 3", automation::msoMedia, 0, 0, 100, 100, 200 * KB); // a movie
    AddPicture("PICTURE 4", 0, 0, 100, 100, 200 * KB);
    AddPicture("図 5", 0, 0, 100, 100, 200 * KB);
    AddPicture("Pictures 6", 0, 0, 100, 100, 200 * KB); // no blank after the word
    Walk();
    EXPECT_EQ(w.pasteTypes.size(), 2u);
    EXPECT_NE(slide->Find("Logo"), nullptr);
    EXPECT_NE(slide->Find("Picture 3"), nullptr);
    EXPECT_NE(slide->Find("Pictures 6"), nullptr);
    EXPECT_EQ(slide->Find("PICTURE 4"), nullptr);
    EXPECT_EQ(slide->Find("図 5"), nullptr);
}

TEST_F(WalkFixture, SmallGroupStaysClosed) {
    auto a = AddPicture("Picture 1", 0, 0, 40, 40, 200 * KB);
    auto b = AddPicture("Picture 2", 0, 0, 30, 30, 200 * KB);
    auto group = AddGroup({a, b});
    ASSERT_NEAR(group->width, 40, 1e-9);
    Walk();
    EXPECT_TRUE(w.pasteTypes.empty());
    EXPECT_THAT(slide->Names(), ElementsAre(group->name));
    EXPECT_EQ(group->members.size(), 2u);
}

TEST_F(WalkFixture, PixelSize9999OpensNoGroup) {
    settings.PixelSize = "9999";
    auto a = AddPicture("Picture 1", 0, 0, 400, 300, 200 * KB);
    auto b = AddPicture("Picture 2", 500, 0, 400, 300, 200 * KB);
    AddGroup({a, b});
    Walk();
    EXPECT_TRUE(w.pasteTypes.empty());
}

TEST_F(WalkFixture, OpenedGroupIsRebuiltWithMembersAnimationAndPlace) {
    slide->Add("Rectangle 1", automation::msoAutoShape, 0, 0, 10, 10);
    auto a = AddPicture("Picture 2", 0, 0, 400, 300, 200 * KB);
    auto b = slide->Add("TextBox 3", automation::msoTextBox, 450, 0, 100, 40);
    auto group = AddGroup({a, b});
    slide->Add("Rectangle 4", automation::msoAutoShape, 0, 0, 10, 10);
    slide->sequence->AddEffect(group, 10, -1);
    const std::string oldName = group->name;

    Walk();

    ASSERT_EQ(slide->shapes.size(), 3u) << "placeholder gone, members grouped again";
    auto rebuilt = slide->shapes[1];
    EXPECT_EQ(rebuilt->type, automation::msoGroup);
    EXPECT_NE(rebuilt->name, oldName);
    ASSERT_EQ(rebuilt->members.size(), 2u);
    EXPECT_EQ(rebuilt->members[0]->format, automation::ppPasteJPG) << "the picture member was replaced";
    EXPECT_EQ(rebuilt->members[1]->name, "TextBox 3");
    EXPECT_THAT(slide->Names(), ElementsAre("Rectangle 1", rebuilt->name, "Rectangle 4"));
    ASSERT_EQ(slide->sequence->effects.size(), 1u);
    EXPECT_EQ(slide->sequence->effects[0]->shape, rebuilt);
    EXPECT_EQ(slide->sequence->effects[0]->type, 10);
    EXPECT_EQ(host.status, "..") << "one dot per call of the walk";
}

TEST_F(WalkFixture, FailingUngroupLeavesTheSlideAsItWas) {
    auto a = AddPicture("Picture 1", 0, 0, 400, 300, 200 * KB);
    auto b = AddPicture("Picture 2", 500, 0, 400, 300, 200 * KB);
    auto group = AddGroup({a, b});
    auto after = AddPicture("Picture 3", 0, 400, 400, 300, 200 * KB);
    slide->sequence->AddEffect(group, 7, -1);
    w.failing.insert("Ungroup");

    Walk();

    ASSERT_EQ(slide->shapes.size(), 2u) << "no placeholder left behind";
    EXPECT_EQ(slide->shapes[0], group);
    EXPECT_EQ(group->members.size(), 2u);
    ASSERT_EQ(slide->sequence->effects.size(), 1u);
    EXPECT_EQ(slide->sequence->effects[0]->shape, group) << "animation moved back to the group";
    EXPECT_TRUE(after->deleted) << "the walk goes on with the next shape";
}

TEST_F(WalkFixture, FailedPasteAbandonsOnlyThatShape) {
    auto first = AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    auto second = AddPicture("Picture 2", 0, 0, 100, 100, 200 * KB);
    second->rotation = 45;
    // The second shape's replacement cannot be copied: it must go, the source stays upright as before.
    w.failing.insert("Shape.Copy@Picture 101");
    Walk();
    EXPECT_TRUE(first->deleted);
    EXPECT_FALSE(second->deleted);
    EXPECT_DOUBLE_EQ(second->rotation, 45);
    ASSERT_EQ(slide->shapes.size(), 2u);
    EXPECT_EQ(slide->shapes[0]->name, "Picture 100") << "the first replacement stays";
    EXPECT_EQ(slide->shapes[1], second);
    EXPECT_EQ(host.log.size(), 1u);
}

TEST_F(WalkFixture, FailedSourceCopyReplacesNothingAndRestoresSize) {
    auto other = AddPicture("Picture 1", 0, 0, 100, 100, 300 * KB);
    other->Copy(); // something else already on the clipboard
    auto pic = AddPicture("Picture 2", 0, 0, 120, 80, 200 * KB);
    w.failing.insert("Shape.Copy@Picture 2");
    slide->shapes.erase(slide->shapes.begin());
    Walk();
    EXPECT_TRUE(w.pasteTypes.empty()) << "never paste what another shape left on the clipboard";
    EXPECT_DOUBLE_EQ(pic->width, 120);
    EXPECT_FALSE(pic->deleted);
}

TEST_F(WalkFixture, FailedMeasurementRemovesTheScratchSlide) {
    AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    w.failing.insert("SaveAs");
    Walk();
    EXPECT_TRUE(scratch->slides.empty());
    EXPECT_TRUE(w.pasteTypes.empty());
    EXPECT_FALSE(state.PresentationChanged);
}

TEST_F(WalkFixture, RejectedReplacementRestoresRotation) {
    settings.ExpectRate = "10";
    auto pic = AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    pic->rotation = 90;
    Walk();
    EXPECT_FALSE(pic->deleted);
    EXPECT_DOUBLE_EQ(pic->rotation, 90);
    EXPECT_EQ(slide->shapes.size(), 1u) << "rejected replacement deleted";
}

TEST_F(WalkFixture, ReplacementTakesOverLinksConnectorsAndAnimation) {
    auto pic = AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    auto other = slide->Add("Rectangle 2", automation::msoAutoShape, 200, 0, 50, 50);
    auto line = slide->Add("Connector 3", automation::msoAutoShape, 0, 0, 10, 10);
    line->connector = std::make_shared<fake::Connector>(w);
    line->connector->begin = pic;
    line->connector->beginSite = 3;
    line->connector->end = other;
    line->connector->endSite = 1;
    pic->actions[0]->address = "https://example.org/";
    pic->actions[0]->screenTip = "tip";
    pic->actions[1]->soundName = "chime.wav";
    pic->actions[1]->soundType = automation::ppSoundFile;
    slide->sequence->AddEffect(other, 1, -1);
    slide->sequence->AddEffect(pic, 2, -1);
    slide->sequence->effects[1]->exit = true;

    Walk();

    auto replacement = slide->shapes[0];
    ASSERT_TRUE(pic->deleted);
    EXPECT_EQ(replacement->actions[0]->address, "https://example.org/");
    EXPECT_EQ(replacement->actions[0]->screenTip, "tip");
    EXPECT_EQ(replacement->actions[1]->soundName, "chime.wav");
    EXPECT_EQ(replacement->actions[1]->soundType, automation::ppSoundFile);
    EXPECT_EQ(line->connector->begin, replacement);
    EXPECT_EQ(line->connector->beginSite, 3);
    EXPECT_EQ(line->connector->end, other);
    ASSERT_EQ(slide->sequence->effects.size(), 2u);
    EXPECT_EQ(slide->sequence->effects[0]->shape, other);
    EXPECT_EQ(slide->sequence->effects[1]->shape, replacement);
    EXPECT_EQ(slide->sequence->effects[1]->type, 2);
    EXPECT_TRUE(slide->sequence->effects[1]->exit);
}

TEST_F(WalkFixture, Office2000PastesThroughTheWorksheet) {
    UseOffice2000();
    auto upright = AddPicture("Picture 1", 0, 0, 100, 100, 200 * KB);
    auto rotated = AddPicture("Picture 2", 0, 0, 100, 100, 200 * KB);
    rotated->rotation = 20;
    rotated->legacy->EntryEffect_ = 257;
    rotated->legacy->AnimationOrder_ = 2;
    rotated->legacy->Animate_ = true;

    Walk();

    EXPECT_THAT(w.excelFormats, ElementsAre("図 (JPEG)", "図 (拡張メタファイル)"));
    EXPECT_TRUE(w.pasteTypes.empty()) << "no PasteSpecial on the slide";
    EXPECT_TRUE(sheet->pasted.empty()) << "the sheet's shape is deleted after the copy";
    EXPECT_TRUE(sheet->saved);
    ASSERT_EQ(slide->shapes.size(), 2u);
    EXPECT_EQ(slide->shapes[0]->format, automation::ppPasteJPG);
    auto second = slide->shapes[1];
    EXPECT_EQ(second->format, automation::ppPasteMetafilePicture);
    EXPECT_DOUBLE_EQ(second->rotation, 0) << "rotation is not set on this path";
    EXPECT_EQ(second->legacy->EntryEffect_, 257);
    EXPECT_EQ(second->legacy->AnimationOrder_, 2);
    EXPECT_TRUE(second->legacy->Animate_);
    EXPECT_TRUE(upright->deleted);
    EXPECT_EQ(w.calls["Shape.Rotation"], 2) << "read for the caption only";
}

TEST_F(WalkFixture, ObjectsFollowTheirApplicationSetting) {
    settings.OLE = 1;
    auto equation = slide->Add("Object 1", automation::msoEmbeddedOLEObject, 0, 0, 120, 60, 200 * KB);
    equation->progId = "Equation.3";
    auto sheetObject = slide->Add("OBJECT 2", automation::msoEmbeddedOLEObject, 0, 100, 120, 60, 200 * KB);
    sheetObject->progId = "Excel.Sheet.8";
    exceptions.AddToExceptionList("Excel", settings::kDoNotConvert);
    exceptions.AddToExceptionList("Equation", settings::kConvert);

    Walk();

    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPasteMetafilePicture));
    EXPECT_FALSE(sheetObject->deleted);
    EXPECT_TRUE(equation->deleted);
    EXPECT_THAT(host.log,
                ElementsAre("\t120x60 ﾋﾟｸｾﾙのEquationｵﾌﾞｼﾞｪｸﾄをﾒﾀﾋﾟｸﾁｬに変換して圧縮 (200KB→100KB)  "));
}

TEST_F(WalkFixture, NewApplicationIsRegisteredAndLeftAlone) {
    settings.OLE = 1;
    auto obj = slide->Add("Object 1", automation::msoEmbeddedOLEObject, 0, 0, 120, 60, 200 * KB);
    obj->progId = "Visio.Drawing.11";
    Walk();
    EXPECT_EQ(exceptions.ObjToImage("visio"), "False");
    EXPECT_FALSE(obj->deleted);
    EXPECT_TRUE(w.pasteTypes.empty());
    EXPECT_TRUE(scratch->slides.empty());
}

TEST_F(WalkFixture, ObjectsStayWhenConversionIsOffButAreRegistered) {
    auto obj = slide->Add("Object 1", automation::msoEmbeddedOLEObject, 0, 0, 120, 60, 200 * KB);
    obj->progId = "Equation.3";
    Walk();
    EXPECT_FALSE(obj->deleted);
    ASSERT_EQ(exceptions.entries().size(), 1u);
    EXPECT_EQ(exceptions.entries()[0].name, "equation");
}

TEST_F(WalkFixture, SecondConversionPastesThePictureAgainAsJpeg) {
    settings.OLE = 1;
    settings.Twice = 1;
    auto obj = slide->Add("Object 1", automation::msoEmbeddedOLEObject, 0, 0, 120, 60, 200 * KB);
    obj->progId = "Equation.3";
    exceptions.AddToExceptionList("equation", "PNG");
    Walk();
    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPastePNG, automation::ppPasteJPG));
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_NE(host.log[0].find("EquationｵﾌﾞｼﾞｪｸﾄをJPEGに変換して圧縮"), std::string::npos);
    EXPECT_EQ(scratch->saves, 3) << "the object, the first conversion and the second";
    ASSERT_EQ(slide->shapes.size(), 1u);
    EXPECT_EQ(slide->shapes[0]->format, automation::ppPasteJPG);
}

// A metafile of text and lines can be far smaller than its JPEG: the second conversion then does not
// stand, and the first one replaces the object.
TEST_F(WalkFixture, SecondConversionThatComesOutLargerLeavesTheFirst) {
    settings.OLE = 1;
    settings.Twice = 1;
    auto obj = slide->Add("Object 1", automation::msoEmbeddedOLEObject, 0, 0, 120, 60, 200 * KB);
    obj->progId = "Equation.3";
    exceptions.AddToExceptionList("equation", settings::kConvert);
    w.encode = [](int type, const fake::Clip& c) {
        return type == automation::ppPasteJPG ? c.weight * 1.5 : c.weight / 10;
    };
    Walk();
    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPasteMetafilePicture, automation::ppPasteJPG));
    EXPECT_TRUE(obj->deleted);
    ASSERT_EQ(slide->shapes.size(), 1u) << "the larger JPEG is gone";
    EXPECT_EQ(slide->shapes[0]->format, automation::ppPasteMetafilePicture);
    EXPECT_THAT(host.log,
                ElementsAre("\t120x60 ﾋﾟｸｾﾙのEquationｵﾌﾞｼﾞｪｸﾄをﾒﾀﾋﾟｸﾁｬに変換して圧縮 (200KB→20KB)  "));
}

TEST_F(WalkFixture, NoSecondConversionUnderAFixedFormat) {
    settings.OLE = 1;
    settings.Twice = 1;
    settings.Format = 1;
    auto obj = slide->Add("Object 1", automation::msoEmbeddedOLEObject, 0, 0, 120, 60, 200 * KB);
    obj->progId = "Equation.3";
    exceptions.AddToExceptionList("equation", settings::kConvert);
    Walk();
    EXPECT_THAT(w.pasteTypes, ElementsAre(automation::ppPasteMetafilePicture));
}

TEST_F(WalkFixture, EmptySlideReturnsAtOnce) {
    EXPECT_EQ(Walk(), "");
    EXPECT_EQ(host.status, "") << "no dot for a slide without shapes";
}

} // namespace

namespace {

TEST_F(WalkFixture, RebuiltGroupTakesNoOutsideShapeOfTheSameName) {
    auto outside = slide->Add("Rectangle 6", automation::msoAutoShape, 0, 0, 10, 10);
    auto a = AddPicture("Picture 2", 0, 0, 400, 300, 200 * KB);
    auto b = slide->Add("Rectangle 6", automation::msoAutoShape, 450, 0, 100, 40);
    AddGroup({a, b});
    Walk();
    ASSERT_EQ(slide->shapes.size(), 2u);
    EXPECT_EQ(slide->shapes[0], outside);
    EXPECT_EQ(slide->shapes[1]->members.size(), 2u);
}

} // namespace
