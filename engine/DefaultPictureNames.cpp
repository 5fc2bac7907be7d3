#include "engine/DefaultPictureNames.h"

#include "engine/ObjectConversion.h"

#include <algorithm>
#include <cctype>

namespace engine {

namespace {

// Sources: the localized UI strings of the office suite's picture insertion (the same word names a
// picture in every application of the suite), checked against decks and documents written by each
// language version; "generator" rows are what common deck-writing libraries and the suite's icon
// and graphic insertion name a picture. Seen in written files: "Picture" in decks of the suite
// (Windows and Mac), and in the code of python-pptx and Apache POI; "Рисунок", "Grafik" and "图片"
// (also WPS) in decks of those language versions; "Graphic" on pictures of the suite's layouts;
// "Image" in PptxGenJS's code. LibreOffice Impress (7.4) writes the pictures it inserts with an
// empty name; IsDefaultPictureName takes that too, since no person can leave a picture without one.
const std::vector<DefaultPictureName> kPictureNames = {
    {"en", "Picture"}, {"ja", "図"},           {"generator", "Image"}, {"generator", "Graphic"},
    {"de", "Grafik"},  {"fr", "Image"},        {"es", "Imagen"},       {"it", "Immagine"},
    {"pt", "Imagem"},  {"nl", "Afbeelding"},   {"ru", "Рисунок"},      {"uk", "Рисунок"},
    {"zh-CN", "图片"}, {"zh-TW", "圖片"},      {"ko", "그림"},         {"pl", "Obraz"},
    {"cs", "Obrázek"}, {"sk", "Obrázok"},      {"hu", "Kép"},          {"tr", "Resim"},
    {"sv", "Bild"},    {"da", "Billede"},      {"nb", "Bilde"},        {"fi", "Kuva"},
    {"el", "Εικόνα"},  {"ro", "Imagine"},      {"sl", "Slika"},        {"hr", "Slika"},
    {"sr", "Слика"},   {"bg", "Картина"},      {"ca", "Imatge"},       {"et", "Pilt"},
    {"lv", "Attēls"},  {"lt", "Paveikslėlis"}, {"id", "Gambar"},       {"vi", "Hình ảnh"},
    {"th", "รูปภาพ"},   {"he", "תמונה"},        {"ar", "صورة"},         {"hi", "चित्र"},
};

const std::vector<DefaultPictureName> kPlaceholderNames = {
    {"en", "Content Placeholder"},
    {"en", "Picture Placeholder"},
    {"ja", "コンテンツ プレースホルダー"},
    {"ja", "図プレースホルダー"},
};

char AsciiLower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// word, one blank, then one or more digits and nothing else.
bool IsWordAndNumber(const std::string& name, std::string_view word) {
    if (name.size() < word.size() + 2)
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (AsciiLower(name[i]) != AsciiLower(word[i]))
            return false;
    if (name[word.size()] != ' ')
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(word.size()) + 1, name.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool MatchesTable(const std::string& name, const std::vector<DefaultPictureName>& table) {
    return std::any_of(table.begin(), table.end(),
                       [&](const DefaultPictureName& row) { return IsWordAndNumber(name, row.word); });
}

} // namespace

const std::vector<DefaultPictureName>& DefaultPictureNames() {
    return kPictureNames;
}

const std::vector<DefaultPictureName>& DefaultPlaceholderNames() {
    return kPlaceholderNames;
}

bool IsDefaultPictureName(const std::string& name) {
    return name.empty() || MatchesTable(name, kPictureNames) || IsPictureFileName(name);
}

// Seen on pictures in content placeholders of decks the suite's version 12 wrote ("IMGP0517.JPG",
// "smallperson.jpg", "Image_AnimatedGIF.gif"), in the public test data of the OpenXML SDK.
bool IsPictureFileName(const std::string& name) {
    static constexpr std::string_view kExtensions[] = {".jpg", ".jpeg", ".jpe",  ".png", ".gif",
                                                       ".bmp", ".tif",  ".tiff", ".emf", ".wmf"};
    if (name.find_first_of("/\\") != std::string::npos)
        return false;
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(), AsciiLower);
    return std::find(std::begin(kExtensions), std::end(kExtensions), extension) != std::end(kExtensions);
}

bool IsDefaultPlaceholderName(const std::string& name) {
    return MatchesTable(name, kPlaceholderNames);
}

bool IsUnprotectedPictureName(const std::string& name, bool placeholder) {
    if (placeholder)
        return IsDefaultPlaceholderName(name) || IsDefaultPictureName(name) || IsPictureName(name);
    return IsDefaultPictureName(name) || IsPictureName(name);
}

} // namespace engine
