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

TEST(TransparencyLoss, MoreThanFivePercentBlackOrWhiteCounts) {
    const auto reference = Box(0xFFFFFF);
    EXPECT_FALSE(TransparencyLost(reference, Box(0xFFFFFF), 0.05)) << "white where white was is no loss";
    EXPECT_FALSE(TransparencyLost(reference, Painted(Box(0xFFFFFF), 500, 0), 0.05)) << "exactly the limit";
    EXPECT_TRUE(TransparencyLost(reference, Painted(Box(0xFFFFFF), 501, 0), 0.05));

    const auto gray = Box(0x808080);
    EXPECT_FALSE(TransparencyLost(gray, gray, 0.05));
    EXPECT_TRUE(TransparencyLost(gray, Painted(gray, 501, 0xFFFFFF), 0.05)) << "white where it was not";
    EXPECT_FALSE(TransparencyLost(gray, Painted(gray, 501, 0xFEFEFE), 0.05)) << "only pure white counts";

    const auto black = Box(0);
    EXPECT_FALSE(TransparencyLost(black, black, 0.05)) << "black where black was is no loss";
    // Black and white mixed add up.
    auto mixed = Painted(gray, 300, 0);
    for (int i = 300; i < 600; ++i)
        mixed.colors[static_cast<std::size_t>(i)] = 0xFFFFFF;
    EXPECT_TRUE(TransparencyLost(gray, mixed, 0.05));
    EXPECT_FALSE(TransparencyLost(gray, mixed, 0.10));
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
    CaptureReferenceImage(clip, reference);
    EXPECT_FALSE(reference.box) << "the previous picture is cleared first";
    EXPECT_FALSE(CheckTransparencyLoss(clip, reference, 0.05));
    EXPECT_EQ(clip.renders, 0);
}

TEST(TransparencyLoss, ComparesCapturedReferenceWithCurrentClipboard) {
    OneClip clip;
    clip.box = Box(0x808080);
    ReferenceImage reference;
    CaptureReferenceImage(clip, reference);
    ASSERT_TRUE(reference.box);
    EXPECT_EQ(reference.box->width, 100);
    clip.box = Painted(Box(0x808080), 2000, 0);
    EXPECT_TRUE(CheckTransparencyLoss(clip, reference, 0.05));
    clip.box = Box(0x808080);
    EXPECT_FALSE(CheckTransparencyLoss(clip, reference, 0.05));
}

} // namespace
