#include "engine/ReplacementRules.h"

#include "automation/Constants.h"
#include "engine/SizeText.h"
#include "settings/ExceptionList.h"

#include <cmath>
#include <cstdlib>

namespace engine {

namespace {

constexpr const char* kCaptionJpeg = "図 (JPEG)";
constexpr const char* kCaptionPng = "図 (PNG)";
constexpr const char* kCaptionGif = "図 (GIF)";
constexpr const char* kCaptionMetafile = "図 (拡張メタファイル)";

PastePlan Jpeg() {
    return {automation::ppPasteJPG, kCaptionJpeg, kFormatJpeg};
}
PastePlan Png() {
    return {automation::ppPastePNG, kCaptionPng, kFormatPng};
}
PastePlan Gif() {
    return {automation::ppPasteGIF, kCaptionGif, kFormatGif};
}
PastePlan Metafile() {
    return {automation::ppPasteMetafilePicture, kCaptionMetafile, kFormatMetafile};
}

std::string SizeLine(double width, double height) {
    return "\t" + std::to_string(WholeNumber(width)) + "x" + std::to_string(WholeNumber(height));
}

} // namespace

const std::vector<std::string>& FormatTexts() {
    static const std::vector<std::string> texts{"推奨形式", "JPEG", "PNG", "GIF", "ﾒﾀﾋﾟｸﾁｬ"};
    return texts;
}

const std::vector<std::string>& RatioTexts() {
    static const std::vector<std::string> texts{"ｻｲｽﾞ最優先", "ｻｲｽﾞ優先", "標準画質", "画質優先",
                                                "画質最優先"};
    return texts;
}

double ScaleFactorForText(const std::string& ratioText) {
    static const double factors[] = {0.75, 1.0, 1.4, 2.0, 3.0};
    const auto& texts = RatioTexts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == ratioText)
            return factors[i];
    }
    return 1.0;
}

double ScaleFactor(int ratioIndex) {
    const auto& texts = RatioTexts();
    if (ratioIndex < 0 || static_cast<std::size_t>(ratioIndex) >= texts.size())
        return ScaleFactorForText("");
    return ScaleFactorForText(texts[static_cast<std::size_t>(ratioIndex)]);
}

PastePlan PicturePastePlan(int formatPosition, bool secondTry, bool rotated, bool officeXPMode) {
    switch (formatPosition) {
    case 0:
        if (secondTry || (!officeXPMode && rotated))
            return Metafile();
        return Jpeg();
    case 2:
        return Png();
    case 3:
        return Gif();
    case 4:
        return Metafile();
    default: // position 1, and anything the list cannot hold
        return Jpeg();
    }
}

std::optional<PastePlan> ObjectPastePlan(const std::string& decision) {
    if (decision == settings::kConvert)
        return Metafile();
    if (decision == kFormatJpeg)
        return Jpeg();
    if (decision == kFormatPng)
        return Png();
    if (decision == kFormatGif)
        return Gif();
    return std::nullopt;
}

bool AcceptReplacement(double expectRate, double sizeBefore, double sizeAfter) {
    // A source that weighs nothing cannot be beaten; the quotient would be meaningless.
    if (!(sizeBefore > 0))
        return false;
    return expectRate > sizeAfter / sizeBefore * 100.0;
}

double SettingNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value))
        return 0;
    return value;
}

int SettingWholeNumber(const std::string& text) {
    const double value = SettingNumber(text);
    if (value > 2147483647.0)
        return 2147483647;
    if (value < -2147483647.0)
        return -2147483647;
    return static_cast<int>(WholeNumber(value));
}

long long WholeNumber(double value) {
    if (!std::isfinite(value))
        return 0;
    return static_cast<long long>(std::nearbyint(value));
}

std::string PictureLogLine(double width, double height, const std::string& formatName, double sizeBefore,
                           double sizeAfter) {
    return SizeLine(width, height) + " ﾋﾟｸｾﾙの画像を" + formatName + "に圧縮 (" + SizeTextKB(sizeBefore) +
           "→" + SizeTextKB(sizeAfter) + ")  ";
}

std::string ObjectLogLine(double width, double height, const std::string& kind, const std::string& formatName,
                          double sizeBefore, double sizeAfter) {
    return SizeLine(width, height) + " ﾋﾟｸｾﾙの" + kind + "ｵﾌﾞｼﾞｪｸﾄを" + formatName + "に変換して圧縮 (" +
           SizeTextKB(sizeBefore) + "→" + SizeTextKB(sizeAfter) + ")  ";
}

} // namespace engine
