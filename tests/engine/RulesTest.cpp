// The fixed rules of the replacement: copy scales, paste formats, the acceptance test, log lines,
// size texts, shape names and the transparency pixel rule.

#include "automation/Constants.h"
#include "engine/ObjectConversion.h"
#include "engine/PictureCheck.h"
#include "engine/ReplacementRules.h"
#include "engine/SizeText.h"

#include <gtest/gtest.h>

namespace {

using namespace engine;

TEST(ReplacementRules, ScaleFactorFollowsTheQualityText) {
    EXPECT_DOUBLE_EQ(ScaleFactorForText("ｻｲｽﾞ最優先"), 0.75);
    EXPECT_DOUBLE_EQ(ScaleFactorForText("ｻｲｽﾞ優先"), 1.0);
    EXPECT_DOUBLE_EQ(ScaleFactorForText("標準画質"), 1.4);
    EXPECT_DOUBLE_EQ(ScaleFactorForText("画質優先"), 2.0);
    EXPECT_DOUBLE_EQ(ScaleFactorForText("画質最優先"), 3.0);
    // The stored position goes through the same texts.
    EXPECT_DOUBLE_EQ(ScaleFactor(0), 0.75);
    EXPECT_DOUBLE_EQ(ScaleFactor(2), 1.4);
    EXPECT_DOUBLE_EQ(ScaleFactor(4), 3.0);
    // A value the list cannot hold never shrinks a shape to nothing.
    EXPECT_DOUBLE_EQ(ScaleFactor(5), 1.0);
    EXPECT_DOUBLE_EQ(ScaleFactor(-1), 1.0);
}

TEST(ReplacementRules, PicturePasteTable) {
    using automation::ppPasteGIF, automation::ppPasteJPG, automation::ppPasteMetafilePicture,
        automation::ppPastePNG;
    struct Case {
        int position;
        bool secondTry, rotated, xp;
        int type;
        const char* caption;
        const char* name;
    };
    const Case cases[] = {
        {0, false, false, true, ppPasteJPG, "図 (JPEG)", "JPEG"},
        {0, false, true, true, ppPasteJPG, "図 (JPEG)", "JPEG"}, // rotation is reset first in this mode
        {0, true, false, true, ppPasteMetafilePicture, "図 (拡張メタファイル)", "ﾒﾀﾋﾟｸﾁｬ"},
        {0, false, true, false, ppPasteMetafilePicture, "図 (拡張メタファイル)", "ﾒﾀﾋﾟｸﾁｬ"},
        {0, false, false, false, ppPasteJPG, "図 (JPEG)", "JPEG"},
        {1, true, true, false, ppPasteJPG, "図 (JPEG)", "JPEG"},
        {2, false, false, true, ppPastePNG, "図 (PNG)", "PNG"},
        {3, false, false, false, ppPasteGIF, "図 (GIF)", "GIF"},
        {4, false, false, true, ppPasteMetafilePicture, "図 (拡張メタファイル)", "ﾒﾀﾋﾟｸﾁｬ"},
    };
    for (const auto& c : cases) {
        const PastePlan plan = PicturePastePlan(c.position, c.secondTry, c.rotated, c.xp);
        EXPECT_EQ(plan.dataType, c.type) << c.position << c.secondTry << c.rotated << c.xp;
        EXPECT_EQ(plan.excelCaption, c.caption);
        EXPECT_EQ(plan.formatName, c.name);
    }
}

TEST(ReplacementRules, ObjectPasteByConversionSetting) {
    EXPECT_EQ(ObjectPastePlan("変換する")->dataType, automation::ppPasteMetafilePicture);
    EXPECT_EQ(ObjectPastePlan("変換する")->formatName, "ﾒﾀﾋﾟｸﾁｬ");
    EXPECT_EQ(ObjectPastePlan("JPEG")->excelCaption, "図 (JPEG)");
    EXPECT_EQ(ObjectPastePlan("PNG")->dataType, automation::ppPastePNG);
    EXPECT_EQ(ObjectPastePlan("GIF")->dataType, automation::ppPasteGIF);
    EXPECT_FALSE(ObjectPastePlan("False"));
    EXPECT_FALSE(ObjectPastePlan("変換しない"));
    EXPECT_FALSE(ObjectPastePlan(""));
}

TEST(ReplacementRules, AcceptanceNeedsAStrictlySmallerShare) {
    EXPECT_FALSE(AcceptReplacement(95, 1000, 960));
    EXPECT_FALSE(AcceptReplacement(95, 1000, 950));
    EXPECT_TRUE(AcceptReplacement(95, 1000, 940));
    EXPECT_TRUE(AcceptReplacement(10, 100000, 9999));
    EXPECT_FALSE(AcceptReplacement(75, 0, 0)) << "nothing to beat";
    EXPECT_FALSE(AcceptReplacement(75, -5, 1));
}

TEST(ReplacementRules, SettingNumbers) {
    EXPECT_DOUBLE_EQ(SettingNumber("50"), 50);
    EXPECT_DOUBLE_EQ(SettingNumber("9999"), 9999);
    EXPECT_DOUBLE_EQ(SettingNumber(""), 0);
    EXPECT_DOUBLE_EQ(SettingNumber("abc"), 0);
    EXPECT_EQ(SettingWholeNumber("100"), 100);
    EXPECT_EQ(SettingWholeNumber("1e12"), 2147483647);
}

TEST(ReplacementRules, LogLines) {
    EXPECT_EQ(PictureLogLine(640.4, 479.6, "JPEG", 1536, 1023),
              "\t640x480 ﾋﾟｸｾﾙの画像をJPEGに圧縮 (2KB→1KB)  ");
    EXPECT_EQ(ObjectLogLine(100, 50, "Excel", "PNG", 200 * 1024, 0),
              "\t100x50 ﾋﾟｸｾﾙのExcelｵﾌﾞｼﾞｪｸﾄをPNGに変換して圧縮 (200KB→0KB)  ");
    // Halves go to the even neighbour, as the whole-number conversion of the log does.
    EXPECT_EQ(WholeNumber(2.5), 2);
    EXPECT_EQ(WholeNumber(3.5), 4);
}

TEST(SizeTexts, KilobytesAndMegabytes) {
    EXPECT_EQ(SizeTextKB(0), "0KB");
    EXPECT_EQ(SizeTextKB(1023), "1KB");
    EXPECT_EQ(SizeTextKB(1024), "1KB");
    EXPECT_EQ(SizeTextKB(1536), "2KB");
    EXPECT_EQ(SizeTextMB(10.0 * 1024 * 1024), "10MB");
    EXPECT_EQ(SizeTextMB(512.0 * 1024), "0.5MB");
}

TEST(ShapeNames, PicturesAndObjectsByPrefix) {
    EXPECT_TRUE(IsPictureName("Picture 3"));
    EXPECT_TRUE(IsPictureName("pIcTuRe 12"));
    EXPECT_TRUE(IsPictureName("図 4"));
    EXPECT_FALSE(IsPictureName("図4"));
    EXPECT_FALSE(IsPictureName("Picture"));
    EXPECT_FALSE(IsPictureName("My Picture 3"));
    EXPECT_TRUE(IsObjectName("Object 2"));
    EXPECT_TRUE(IsObjectName("OBJECT 2"));
    EXPECT_FALSE(IsObjectName("Objects 2"));
    EXPECT_EQ(ApplicationOfProgId("Equation.3"), "Equation");
    EXPECT_EQ(ApplicationOfProgId("Excel.Sheet.8"), "Excel");
    EXPECT_EQ(ApplicationOfProgId("Paint"), "Paint");
}

automation::ColorBox Box(std::uint32_t color, int side = 100) {
    automation::ColorBox box;
    box.width = side;
    box.height = side;
    box.colors.assign(static_cast<std::size_t>(side * side), color);
    return box;
}

// Paints the first n pixels (row by row) in color.
automation::ColorBox Painted(automation::ColorBox box, int n, std::uint32_t color) {
    for (int i = 0; i < n; ++i)
        box.colors[static_cast<std::size_t>(i)] = color;
    return box;
}

// What a person would see: a transparent area that shows black (or white) is a loss as soon as it is
// visible, even far below five percent of the picture; JPEG noise leaves it only nearly black.
TEST(TransparencyLoss, AVisibleAreaTurnedBlackOrWhiteCounts) {
    const auto reference = Box(0xFFFFFF);
    EXPECT_FALSE(TransparencyLost(reference, Box(0xFFFFFF), 0.05)) << "white where white was is no loss";
    EXPECT_FALSE(TransparencyLost(reference, Painted(Box(0xFFFFFF), 12, 0), 0.05)) << "a speck";
    EXPECT_TRUE(TransparencyLost(reference, Painted(Box(0xFFFFFF), 13, 0), 0.05)) << "a corner";
    EXPECT_TRUE(TransparencyLost(reference, Painted(Box(0xFFFFFF), 13, 0x030102), 0.05))
        << "JPEG noise on the black fill";
    EXPECT_FALSE(TransparencyLost(reference, Painted(Box(0xFFFFFF), 500, 0x606060), 0.05))
        << "grey is not black";

    const auto gray = Box(0x808080);
    EXPECT_FALSE(TransparencyLost(gray, gray, 0.05));
    EXPECT_TRUE(TransparencyLost(gray, Painted(gray, 13, 0xFFFFFF), 0.05)) << "white where it was not";
    EXPECT_TRUE(TransparencyLost(gray, Painted(gray, 13, 0xF8FAFE), 0.05)) << "nearly white";

    const auto dark = Box(0x202020);
    EXPECT_FALSE(TransparencyLost(dark, Box(0), 0.05))
        << "black where it was dark is JPEG's loss, not alpha's";
    // Black and white mixed add up.
    auto mixed = Painted(gray, 6, 0);
    for (int i = 6; i < 13; ++i)
        mixed.colors[static_cast<std::size_t>(i)] = 0xFFFFFF;
    EXPECT_TRUE(TransparencyLost(gray, mixed, 0.05));
    // A small picture: the share decides before the visible size does.
    EXPECT_FALSE(TransparencyLost(Box(0xFFFFFF, 10), Painted(Box(0xFFFFFF, 10), 5, 0), 0.05));
    EXPECT_TRUE(TransparencyLost(Box(0xFFFFFF, 10), Painted(Box(0xFFFFFF, 10), 6, 0), 0.05));
}

class OneClip : public automation::IClipboard {
public:
    void Clear() override { box.reset(); }
    bool ContainsMetafile() override { return box.has_value(); }
    std::optional<automation::ColorBox> RenderMetafile(int w, int h) override {
        ++renders;
        if (!box || box->width != w || box->height != h)
            return std::nullopt;
        return box;
    }
    std::optional<automation::ColorBox> box;
    int renders = 0;
};

TEST(TransparencyLoss, ClipboardWithoutMetafile) {
    OneClip clip;
    ReferenceImage reference;
    reference.box = Box(0x808080);
    CaptureReferenceImage(clip, reference, 100, 100);
    EXPECT_FALSE(reference.box) << "the previous picture is cleared first";
    EXPECT_FALSE(CheckTransparencyLoss(clip, reference, 0.05));
    EXPECT_EQ(clip.renders, 0);
}

TEST(TransparencyLoss, ComparesCapturedReferenceWithCurrentClipboard) {
    OneClip clip;
    clip.box = Box(0x808080);
    ReferenceImage reference;
    CaptureReferenceImage(clip, reference, 100, 100);
    ASSERT_TRUE(reference.box);
    EXPECT_EQ(reference.box->width, 100);
    clip.box = Painted(Box(0x808080), 2000, 0);
    EXPECT_TRUE(CheckTransparencyLoss(clip, reference, 0.05));
    clip.box = Box(0x808080);
    EXPECT_FALSE(CheckTransparencyLoss(clip, reference, 0.05));
}

} // namespace
