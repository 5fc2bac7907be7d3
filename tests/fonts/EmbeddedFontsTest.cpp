#include "../package/TestZip.h"
#include "FontTestSupport.h"
#include "GlyphRaster.h"
#include "office/fonts/DeckCharacters.h"
#include "office/fonts/Eot.h"
#include "office/fonts/SubsetEmbeddedFonts.h"
#include "office/package/Package.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <hb.h>
#include <iterator>
#include <map>

using office::fonts::Bytes;
using office::fonts::FontOutcome;
using office::package::Package;

namespace {

constexpr const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";
constexpr const char* kFontRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/font";
constexpr const char* kSlideText = "Sales grew 12% in Q3 — “strong” finish";

using fonttest::Cmap;
using fonttest::ReadFile;

// The small test deck with DejaVu Sans embedded as regular and bold, its slide showing kSlideText.
std::unique_ptr<Package> DeckWithEmbeddedFonts(const std::vector<Bytes>& eots) {
    auto package = Package::OpenFromBytes(testzip::SmallDeck());
    const std::string main = package->MainPartName();
    pugi::xml_node root = package->XmlForEdit(main).document_element();
    pugi::xml_node list = root.insert_child_after("p:embeddedFontLst", root.child("p:sldIdLst"));
    pugi::xml_node entry = list.append_child("p:embeddedFont");
    entry.append_child("p:font").append_attribute("typeface") = "DejaVu Sans";
    const char* styles[] = {"p:regular", "p:bold"};
    for (std::size_t i = 0; i < eots.size(); ++i) {
        const std::string part =
            package->AddPartWithUniqueName("/ppt/fonts/font", ".fntdata", "application/x-fontdata", eots[i]);
        entry.append_child(styles[i]).append_attribute("r:id") =
            package->AddRelationship(main, kFontRel, part).c_str();
    }
    pugi::xml_node text = package->XmlForEdit("/ppt/slides/slide1.xml").select_node("//a:t").node();
    text.text().set(kSlideText);
    return package;
}

class EmbeddedFontsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(kFontDir) + "DejaVuSans-Bold.ttf"))
            GTEST_SKIP() << "no DejaVu";
        regular = ReadFile(std::string(kFontDir) + "DejaVuSans.ttf");
        bold = ReadFile(std::string(kFontDir) + "DejaVuSans-Bold.ttf");
    }
    Bytes regular, bold;
};

TEST_F(EmbeddedFontsTest, EveryStyleKeepsTheDeckCharactersAndRendersThemAsTheFullFont) {
    auto package = DeckWithEmbeddedFonts({office::fonts::BuildEot(regular), office::fonts::BuildEot(bold)});
    const auto results = office::fonts::SubsetEmbeddedFonts(*package);
    ASSERT_EQ(results.size(), 2u);
    std::set<char32_t> deck;
    office::fonts::AddUtf8Characters(kSlideText, deck);
    office::fonts::AddUtf8Characters("<tag> & two spaces", deck);

    const Bytes* full[] = {&regular, &bold};
    for (std::size_t i = 0; i < results.size(); ++i) {
        const auto& result = results[i];
        EXPECT_EQ(result.typeface, "DejaVu Sans");
        EXPECT_EQ(result.style, i == 0 ? "regular" : "bold");
        ASSERT_EQ(result.outcome, FontOutcome::Subset);
        EXPECT_LT(result.bytesAfter * 5, result.bytesBefore);
        const Bytes stored = package->PartBytes(result.partName);
        EXPECT_EQ(stored.size(), result.bytesAfter);
        const auto eot = office::fonts::ReadEot(stored);
        ASSERT_TRUE(eot.has_value());
        const auto cmap = Cmap(eot->sfnt);
        for (char32_t c : deck)
            EXPECT_TRUE(cmap.count(c)) << result.style << " lost U+" << std::hex << unsigned(c);
        for (char32_t c = U'0'; c <= U'9'; ++c)
            EXPECT_TRUE(cmap.count(c)); // slide numbers, dates
        EXPECT_FALSE(cmap.count(U'Ж'));
        EXPECT_FALSE(cmap.count(U'Ω'));
        for (int size : {12, 24}) {
            const auto a = fonttest::RenderText(*full[i], kSlideText, size);
            const auto b = fonttest::RenderText(eot->sfnt, kSlideText, size);
            EXPECT_TRUE(a.pixels == b.pixels) << result.style << " at " << size << " px";
        }
    }
    EXPECT_STREQ(
        package->XmlForRead(package->MainPartName()).document_element().attribute("saveSubsetFonts").value(),
        "1");

    // The saved deck carries the subset parts and opens again.
    const auto path = std::filesystem::temp_directory_path() / "quarnel-fonts-subset.pptx";
    package->SaveAs(path.string());
    auto reopened = Package::Open(path.string());
    EXPECT_EQ(reopened->PartBytes(results[0].partName).size(), results[0].bytesAfter);
    std::filesystem::remove(path);
}

TEST_F(EmbeddedFontsTest, FontForbiddingSubsettingOrUnreadableIsLeftByteForByte) {
    Bytes noSubset = office::fonts::BuildEot(regular);
    noSubset[32] = 0x00; // fsType 0x0100: embed whole fonts only
    noSubset[33] = 0x01;
    Bytes garbage(4096, 0x5A);
    auto package = DeckWithEmbeddedFonts({noSubset, garbage});
    const auto results = office::fonts::SubsetEmbeddedFonts(*package);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].outcome, FontOutcome::Forbidden);
    EXPECT_EQ(results[1].outcome, FontOutcome::Unreadable);
    EXPECT_EQ(package->PartBytes(results[0].partName), noSubset);
    EXPECT_EQ(package->PartBytes(results[1].partName), garbage);
    EXPECT_FALSE(
        package->XmlForRead(package->MainPartName()).document_element().attribute("saveSubsetFonts"));
}

TEST(DeckCharactersTest, CollectsRunsChartValuesBulletsAndFieldCharacters) {
    auto package = Package::OpenFromBytes(testzip::SmallDeck());
    pugi::xml_node tree = package->XmlForEdit("/ppt/slides/slide1.xml").select_node("//p:txBody").node();
    pugi::xml_node p = tree.append_child("a:p");
    p.append_child("a:pPr").append_child("a:buChar").append_attribute("char") = "➢";
    p.append_child("a:r").append_child("a:t").text().set("Ωmega 漢字");
    const auto characters = office::fonts::DeckCharacters(*package);
    for (char32_t c : std::u32string(U"➢Ωmega漢字ク<>&年月日"))
        EXPECT_TRUE(characters.count(c));
    EXPECT_TRUE(characters.count(U'7'));
    EXPECT_FALSE(characters.count(U'Ж'));
    std::set<char32_t> decoded;
    office::fonts::AddUtf8Characters("a\xFF\xC3\xA9\xE2\x82", decoded); // bad lead byte, truncated tail
    EXPECT_EQ(decoded, (std::set<char32_t>{U'a', U'é'}));
}

// A deck saved by the editor with MicroType Express compressed fonts.
TEST(EmbeddedFontsCorpus, CompressedFontsOfARealDeckShrinkAndKeepItsCharacters) {
    const std::string path = std::string(QUARNEL_CORPUS) + "/aspose-net__InkOptions.pptx";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "corpus absent";
    auto package = Package::Open(path);
    const auto deck = office::fonts::DeckCharacters(*package);
    std::map<std::string, Bytes> before;
    for (const auto& name : package->PartNames())
        if (name.ends_with(".fntdata"))
            before[name] = package->PartBytes(name);
    const auto results = office::fonts::SubsetEmbeddedFonts(*package);
    ASSERT_EQ(results.size(), 6u);
    std::uint64_t totalBefore = 0, totalAfter = 0;
    for (const auto& result : results) {
        ASSERT_EQ(result.outcome, FontOutcome::Subset) << result.typeface << " " << result.style;
        totalBefore += result.bytesBefore;
        totalAfter += result.bytesAfter;
        const auto original = office::fonts::ReadEot(before[result.partName]);
        const auto subset = office::fonts::ReadEot(package->PartBytes(result.partName));
        ASSERT_TRUE(original && subset);
        EXPECT_NE(original->flags & 0x4u, 0u); // the input really was compressed
        EXPECT_EQ(subset->familyName, original->familyName);
        const auto fullCmap = Cmap(original->sfnt);
        const auto subsetCmap = Cmap(subset->sfnt);
        for (char32_t c : deck)
            if (fullCmap.count(c)) {
                EXPECT_TRUE(subsetCmap.count(c)) << result.partName << " U+" << std::hex << unsigned(c);
            }
        EXPECT_LT(subsetCmap.size() * 4, fullCmap.size());
        const std::string sample = "The quick brown fox 0123456789";
        EXPECT_TRUE(fonttest::RenderText(original->sfnt, sample, 20).pixels ==
                    fonttest::RenderText(subset->sfnt, sample, 20).pixels)
            << result.partName;
    }
    EXPECT_LT(totalAfter * 4, totalBefore);
}

} // namespace
