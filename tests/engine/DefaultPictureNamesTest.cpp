// The default picture names of every language, and the deck-wide step's log line.

#include "engine/DefaultPictureNames.h"

#include "engine/DeckPictureStep.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using namespace engine;

struct LanguageCase {
    const char* language;
    const char* name; // as the language version names its fourth inserted picture
};

class DefaultPictureNamePerLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(DefaultPictureNamePerLanguage, NumberedNameIsDefaultAndNothingElseIs) {
    const std::string name = GetParam().name;
    EXPECT_TRUE(IsDefaultPictureName(name));
    EXPECT_TRUE(IsDefaultPictureName(name + "12"));
    const std::string word = name.substr(0, name.size() - 2);
    EXPECT_FALSE(IsDefaultPictureName(word)) << "no number";
    EXPECT_FALSE(IsDefaultPictureName(word + " ")) << "blank without number";
    EXPECT_FALSE(IsDefaultPictureName(word + "4")) << "no blank";
    EXPECT_FALSE(IsDefaultPictureName(name + " copy")) << "renamed";
    EXPECT_FALSE(IsDefaultPictureName("My " + name)) << "renamed";
    EXPECT_FALSE(IsDefaultPlaceholderName(name));
    const auto& table = DefaultPictureNames();
    EXPECT_TRUE(std::any_of(table.begin(), table.end(), [&](const DefaultPictureName& row) {
        return row.language == GetParam().language && row.word == word;
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, DefaultPictureNamePerLanguage,
    ::testing::Values(
        LanguageCase{"en", "Picture 4"}, LanguageCase{"ja", "図 4"}, LanguageCase{"generator", "Image 4"},
        LanguageCase{"generator", "Graphic 4"}, LanguageCase{"de", "Grafik 4"}, LanguageCase{"fr", "Image 4"},
        LanguageCase{"es", "Imagen 4"}, LanguageCase{"it", "Immagine 4"}, LanguageCase{"pt", "Imagem 4"},
        LanguageCase{"nl", "Afbeelding 4"}, LanguageCase{"ru", "Рисунок 4"}, LanguageCase{"uk", "Рисунок 4"},
        LanguageCase{"zh-CN", "图片 4"}, LanguageCase{"zh-TW", "圖片 4"}, LanguageCase{"ko", "그림 4"},
        LanguageCase{"pl", "Obraz 4"}, LanguageCase{"cs", "Obrázek 4"}, LanguageCase{"sk", "Obrázok 4"},
        LanguageCase{"hu", "Kép 4"}, LanguageCase{"tr", "Resim 4"}, LanguageCase{"sv", "Bild 4"},
        LanguageCase{"da", "Billede 4"}, LanguageCase{"nb", "Bilde 4"}, LanguageCase{"fi", "Kuva 4"},
        LanguageCase{"el", "Εικόνα 4"}, LanguageCase{"ro", "Imagine 4"}, LanguageCase{"sl", "Slika 4"},
        LanguageCase{"hr", "Slika 4"}, LanguageCase{"sr", "Слика 4"}, LanguageCase{"bg", "Картина 4"},
        LanguageCase{"ca", "Imatge 4"}, LanguageCase{"et", "Pilt 4"}, LanguageCase{"lv", "Attēls 4"},
        LanguageCase{"lt", "Paveikslėlis 4"}, LanguageCase{"id", "Gambar 4"},
        LanguageCase{"vi", "Hình ảnh 4"}, LanguageCase{"th", "รูปภาพ 4"}, LanguageCase{"he", "תמונה 4"},
        LanguageCase{"ar", "صورة 4"}, LanguageCase{"hi", "चित्र 4"}));

TEST(DefaultPictureNames, EveryRowOfTheTableIsTested) {
    // Each language of the table appears in the cases above; a row added without a case fails here.
    const std::set<std::string> tested = {
        "en", "ja", "generator", "de", "fr", "es", "it", "pt", "nl", "ru", "uk", "zh-CN", "zh-TW",
        "ko", "pl", "cs",        "sk", "hu", "tr", "sv", "da", "nb", "fi", "el", "ro",    "sl",
        "hr", "sr", "bg",        "ca", "et", "lv", "lt", "id", "vi", "th", "he", "ar",    "hi"};
    for (const auto& row : DefaultPictureNames())
        EXPECT_TRUE(tested.count(std::string(row.language))) << row.language;
}

TEST(DefaultPictureNames, LatinLettersIgnoreCaseOthersMustMatch) {
    EXPECT_TRUE(IsDefaultPictureName("GRAFIK 2"));
    EXPECT_TRUE(IsDefaultPictureName("picture 2"));
    EXPECT_FALSE(IsDefaultPictureName("рисунок 2x"));
    EXPECT_FALSE(IsDefaultPictureName("Picture 2.5"));
}

// LibreOffice Impress writes the pictures it inserts without a name.
TEST(DefaultPictureNames, AnEmptyNameIsNoPersonsChoice) {
    EXPECT_TRUE(IsDefaultPictureName(""));
    EXPECT_FALSE(IsDefaultPictureName(" "));
    EXPECT_FALSE(IsDefaultPlaceholderName(""));
}

// Names people give pictures, and names no producer was found to write, stay protected: among them
// LibreOffice Writer's blank-less "Image1".
TEST(DefaultPictureNames, ChosenAndUnknownNamesStayProtected) {
    for (const char* name : {"Logo 1", "Photo 2", "Фото 3", "Schroders logo", "Image1", "Picture1", "Слайд 2",
                             "Picture 2 copy", "Copy of Picture 2"})
        EXPECT_FALSE(IsDefaultPictureName(name)) << name;
}

// The suite's version 12 names a picture put into a content placeholder after the file it came from.
TEST(DefaultPictureNames, PictureFileNamesAreDefaultOtherFileNamesAreNot) {
    for (const char* name :
         {"IMGP0517.JPG", "smallperson.jpg", "Image_AnimatedGIF.gif", "scan 3.tiff", "chart.emf", "logo.Png"})
        EXPECT_TRUE(IsDefaultPictureName(name)) << name;
    for (const char* name : {"report.docx", "notes.txt", ".png", "photos/IMGP0517.JPG", "C:\\logo.png",
                             "logo.png.old", "jpg", "Team photo"})
        EXPECT_FALSE(IsDefaultPictureName(name)) << name;
}

TEST(DefaultPictureNames, PlaceholdersHoldingPictures) {
    EXPECT_TRUE(IsDefaultPlaceholderName("Content Placeholder 3"));
    EXPECT_TRUE(IsDefaultPlaceholderName("Picture Placeholder 7"));
    EXPECT_TRUE(IsDefaultPlaceholderName("コンテンツ プレースホルダー 2"));
    EXPECT_TRUE(IsDefaultPlaceholderName("図プレースホルダー 5"));
    EXPECT_FALSE(IsDefaultPlaceholderName("Title 1"));
    EXPECT_FALSE(IsDefaultPlaceholderName("Content Placeholder"));
    EXPECT_FALSE(IsDefaultPictureName("Content Placeholder 3"));
}

TEST(DeckPictureStep, LogLineNamesThePlaceInTheWalksStyle) {
    automation::DeckPictureResult r;
    r.width = 1920;
    r.height = 1080;
    r.format = "JPEG";
    r.bytesBefore = 3283.0 * 1024;
    r.bytesAfter = 81.0 * 1024;
    r.place = automation::DeckPicturePlace::Background;
    EXPECT_EQ(DeckPictureLogLine(r), "\t1920x1080 ﾋﾟｸｾﾙの背景画像をJPEGに圧縮 (3283KB→81KB)");
    r.place = automation::DeckPicturePlace::Fill;
    EXPECT_NE(DeckPictureLogLine(r).find("の塗りつぶし画像を"), std::string::npos);
    r.place = automation::DeckPicturePlace::Layout;
    EXPECT_NE(DeckPictureLogLine(r).find("のﾚｲｱｳﾄ画像を"), std::string::npos);
    r.place = automation::DeckPicturePlace::Master;
    EXPECT_NE(DeckPictureLogLine(r).find("のﾏｽﾀｰ画像を"), std::string::npos);
    r.place = automation::DeckPicturePlace::Notes;
    EXPECT_NE(DeckPictureLogLine(r).find("のﾉｰﾄ画像を"), std::string::npos);
}

} // namespace
