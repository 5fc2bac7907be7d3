#pragma once

// The fixed rules of the replacement cycle that need no presentation: the copy scale of each
// quality choice, the paste format of each case, the acceptance test and the log lines.

#include <optional>
#include <string>
#include <vector>

namespace engine {

// combFormat items by position.
const std::vector<std::string>& FormatTexts();
// combRatio items by position.
const std::vector<std::string>& RatioTexts();

inline constexpr const char* kFormatJpeg = "JPEG";
inline constexpr const char* kFormatPng = "PNG";
inline constexpr const char* kFormatGif = "GIF";
inline constexpr const char* kFormatMetafile = "ﾒﾀﾋﾟｸﾁｬ";

// The factor a shape is scaled by before it is copied, by the text of the quality choice;
// 1.0 for a text that names none, so that a stray value never collapses a shape.
double ScaleFactorForText(const std::string& ratioText);
// The same through the stored list position.
double ScaleFactor(int ratioIndex);

// How the replacement is pasted: the slide's PasteSpecial data type, or the worksheet's format
// caption on the older paste path, and the format name the log line shows.
struct PastePlan {
    int dataType = 0;
    std::string excelCaption;
    std::string formatName;
};

// A picture (or an object's second conversion) by the format position. secondTry asks for the
// metafile that replaces a JPEG which lost transparency; rotated matters only to the worksheet
// path, which cannot paste a rotated picture as JPEG.
PastePlan PicturePastePlan(int formatPosition, bool secondTry, bool rotated, bool officeXPMode);
// An object's first conversion by its conversion setting; nothing when the setting names no format.
std::optional<PastePlan> ObjectPastePlan(const std::string& decision);

// A replacement is kept only when it is below expectRate percent of the source.
bool AcceptReplacement(double expectRate, double sizeBefore, double sizeAfter);

// The numbers of the settings texts, as the controls hand them over ("50" -> 50; junk -> 0).
double SettingNumber(const std::string& text);
int SettingWholeNumber(const std::string& text);

// A point measure rounded to a whole number for a log line (halves to even).
long long WholeNumber(double value);

// "\t" W "x" H " ﾋﾟｸｾﾙの画像を" FORMAT "に圧縮 (" BEFORE "→" AFTER ")  "
std::string PictureLogLine(double width, double height, const std::string& formatName, double sizeBefore,
                           double sizeAfter);
// "\t" W "x" H " ﾋﾟｸｾﾙの" KIND "ｵﾌﾞｼﾞｪｸﾄを" FORMAT "に変換して圧縮 (" BEFORE "→" AFTER ")  "
std::string ObjectLogLine(double width, double height, const std::string& kind, const std::string& formatName,
                          double sizeBefore, double sizeAfter);

} // namespace engine
