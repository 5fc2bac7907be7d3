#include "office/fonts/FontSubset.h"

#include "FontTestSupport.h"
#include "GlyphRaster.h"
#include "office/fonts/Eot.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <hb.h>
#include <iterator>

using office::fonts::Bytes;

namespace {

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

using fonttest::Cmap;
using fonttest::ReadFile;

class FontSubsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kDejaVu))
            GTEST_SKIP() << "DejaVu Sans not installed";
        ttf = ReadFile(kDejaVu);
    }
    Bytes ttf;
};

TEST_F(FontSubsetTest, BuiltEotRoundTripsThroughLibeot) {
    const Bytes eot = office::fonts::BuildEot(ttf);
    const auto read = office::fonts::ReadEot(eot);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->sfnt, ttf);
    EXPECT_EQ(read->familyName, "DejaVu Sans");
    EXPECT_EQ(read->styleName, "Book");
    EXPECT_EQ(read->flags, 0u);
}

TEST_F(FontSubsetTest, RewrittenEotIsUncompressedSubsetWithConsistentSizes) {
    const auto original = office::fonts::ReadEot(office::fonts::BuildEot(ttf));
    ASSERT_TRUE(original.has_value());
    const auto subset = office::fonts::SubsetSfnt(ttf, {U'A', U'b', U'1'});
    ASSERT_TRUE(subset.has_value());
    const Bytes eot = office::fonts::WriteEot(*original, *subset);
    const auto reread = office::fonts::ReadEot(eot);
    ASSERT_TRUE(reread.has_value());
    EXPECT_EQ(reread->sfnt, *subset);
    EXPECT_EQ(reread->flags & 0x4u, 0u);
    EXPECT_EQ(reread->flags & 0x1u, 1u);
    EXPECT_EQ(eot[0] | (eot[1] << 8) | (eot[2] << 16) | (eot[3] << 24), int(eot.size()));
    EXPECT_EQ(reread->familyName, "DejaVu Sans");
}

TEST_F(FontSubsetTest, SubsetKeepsRequestedCharactersOnlyAndRendersIdentically) {
    const std::string text = "Quarterly ﬁgures — Übersicht: 12/08 ≈ 37.5 % “ok”";
    std::set<char32_t> wanted;
    for (char32_t c : std::u32string(U"Quarterly ﬁgures — Übersicht: 12/08 ≈ 37.5 % “ok”"))
        wanted.insert(c);
    const auto subset = office::fonts::SubsetSfnt(ttf, wanted);
    ASSERT_TRUE(subset.has_value());
    EXPECT_LT(subset->size(), ttf.size() / 10);

    const auto kept = Cmap(*subset);
    const auto full = Cmap(ttf);
    for (char32_t c : wanted) {
        if (full.count(c)) {
            EXPECT_TRUE(kept.count(c)) << "lost U+" << std::hex << unsigned(c);
        }
    }
    EXPECT_FALSE(kept.count(U'Ж'));
    EXPECT_FALSE(kept.count(U'z'));

    for (int size : {11, 16, 32}) {
        const auto a = fonttest::RenderText(ttf, text, size);
        const auto b = fonttest::RenderText(*subset, text, size);
        EXPECT_EQ(a.missingGlyphs, 0);
        EXPECT_EQ(b.missingGlyphs, 0);
        ASSERT_EQ(a.width, b.width);
        EXPECT_TRUE(a.pixels == b.pixels) << "differs at " << size << " px";
        EXPECT_GT(std::count_if(a.pixels.begin(), a.pixels.end(), [](auto p) { return p > 0; }), 100);
    }
}

TEST_F(FontSubsetTest, XorEncryptedDataIsDecodedAndWrittenBackInTheClear) {
    Bytes eot = office::fonts::BuildEot(ttf);
    const std::size_t dataStart = eot.size() - ttf.size();
    for (std::size_t i = dataStart; i < eot.size(); ++i)
        eot[i] ^= 0x50;
    eot[15] |= 0x10; // Flags |= 0x10000000
    const auto read = office::fonts::ReadEot(eot);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->sfnt, ttf);
    const Bytes rewritten = office::fonts::WriteEot(*read, *office::fonts::SubsetSfnt(ttf, {U'x'}));
    EXPECT_EQ(rewritten[15] & 0x10, 0);
    EXPECT_TRUE(office::fonts::ReadEot(rewritten).has_value());
}

TEST(EotPermissions, SubsettingFollowsFsType) {
    EXPECT_TRUE(office::fonts::SubsettingAllowed(0x0000));
    EXPECT_TRUE(office::fonts::SubsettingAllowed(0x0004));
    EXPECT_TRUE(office::fonts::SubsettingAllowed(0x0008));
    EXPECT_FALSE(office::fonts::SubsettingAllowed(0x0002));
    EXPECT_FALSE(office::fonts::SubsettingAllowed(0x0108));
    EXPECT_FALSE(office::fonts::SubsettingAllowed(0x0200));
}

TEST(EotRead, RejectsWhatIsNotAnEot) {
    EXPECT_FALSE(office::fonts::ReadEot(Bytes(200, 0x41)).has_value());
    EXPECT_FALSE(office::fonts::ReadEot(Bytes{1, 2, 3}).has_value());
    Bytes truncated = office::fonts::BuildEot(ReadFile(kDejaVu));
    truncated.resize(truncated.size() / 2);
    EXPECT_FALSE(office::fonts::ReadEot(truncated).has_value());
}

} // namespace
