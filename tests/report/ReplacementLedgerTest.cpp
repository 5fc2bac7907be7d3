// The engine's account of replaced pictures: which pastes count, what they show, and what they replaced.

#include "office/ledger/ReplacementLedger.h"

#include "office/imaging/Imaging.h"

#include <gtest/gtest.h>
#include <set>
#include <vips/vips8>

using office::ledger::PasteNote;
using office::ledger::ReplacementLedger;
using office::ledger::ShapeKey;

namespace {

std::vector<std::uint8_t> Picture(int width, int height, std::uint8_t shade, bool jpeg) {
    office::imaging::Raster r{width, height, {}};
    r.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(shade + x % 32);
            p[1] = static_cast<std::uint8_t>(y % 64 * 2);
            p[2] = static_cast<std::uint8_t>((x + y) % 128);
            p[3] = 255;
        }
    return jpeg ? office::imaging::EncodeJpeg(r) : office::imaging::EncodePng(r);
}

// Shapes on slides, as the test says they are.
struct Slides {
    std::set<std::pair<std::string, std::uint32_t>> shapes;
    void Add(const ShapeKey& k) { shapes.insert({k.slidePart, k.id}); }
    void Remove(const ShapeKey& k) { shapes.erase({k.slidePart, k.id}); }
    ReplacementLedger::ShapeExists Exists() const {
        return [this](const ShapeKey& k) { return shapes.count({k.slidePart, k.id}) > 0; };
    }
};

class Ledger : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(VIPS_INIT("test_report"), 0); }

    PasteNote Note(const ShapeKey& source, const ShapeKey& pasted, std::uint8_t shade = 40) {
        PasteNote note;
        note.source = source;
        note.pasted = pasted;
        note.sourceBytes = std::make_shared<const std::vector<std::uint8_t>>(Picture(200, 100, shade, false));
        note.pastedBytes = Picture(200, 100, shade, true);
        note.shownWidth = 400;
        note.shownHeight = 200;
        return note;
    }
    // One paste as the walk makes it: settle, paste, note.
    void Paste(const PasteNote& note) {
        ledger.Settle(slides.Exists());
        slides.Add(note.pasted);
        ledger.NotePaste(note);
    }
    std::vector<automation::ReplacedPicture> Standing() {
        return ledger.Standing(
            slides.Exists(), [](const std::string& part) { return part == "/s1" ? 1 : 2; },
            [](const std::string&) { return true; });
    }

    Slides slides;
    ReplacementLedger ledger{320};
    const ShapeKey a{"/s1", 2}, b{"/s2", 2}, pastedA{"/s1", 3}, pastedB{"/s2", 3};
};

} // namespace

TEST_F(Ledger, CountsAPasteOnlyOnceItStandsForItsSource) {
    slides.Add(a);
    slides.Add(b);
    Paste(Note(a, pastedA));
    EXPECT_TRUE(Standing().empty()) << "the source is still there: not decided yet";
    slides.Remove(a); // taken over
    // A rejected paste on the next slide, whose id is then given to the next paste there.
    Paste(Note(b, pastedB, 90));
    slides.Remove(pastedB);
    Paste(Note(b, pastedB, 120));
    slides.Remove(b);

    const auto standing = Standing();
    ASSERT_EQ(standing.size(), 2u);
    EXPECT_EQ(standing[0].uses[0].slide, 1);
    EXPECT_EQ(standing[1].uses[0].slide, 2);
    for (const auto& p : standing) {
        EXPECT_TRUE(p.compared);
        EXPECT_EQ(p.formatBefore, "PNG");
        EXPECT_EQ(p.formatAfter, "JPEG");
        EXPECT_EQ(p.widthBefore, 200);
        EXPECT_EQ(p.widthAfter, 200);
        // Shown at 400 x 200: the thumbnail is 320 x 160, both sides.
        EXPECT_EQ(p.before.width, 320);
        EXPECT_EQ(p.after.height, 160);
        EXPECT_GT(p.similarity, 0.8);
        EXPECT_LE(p.similarity, 1.0);
    }
}

TEST_F(Ledger, APasteTakenAwayAgainIsNotListedEvenWhenItsSourceGoesLater) {
    slides.Add(a);
    Paste(Note(a, pastedA));
    slides.Remove(pastedA);
    ledger.Settle(slides.Exists());
    slides.Remove(a);
    EXPECT_TRUE(Standing().empty());
}

TEST_F(Ledger, APasteOfAPasteReplacesTheFirstSourceWhicheverConversionStays) {
    for (bool secondStays : {true, false}) {
        ReplacementLedger fresh(320);
        Slides shapes;
        shapes.Add(a);
        const ShapeKey first{"/s1", 10}, second{"/s1", 11};
        PasteNote one = Note(a, first, 30);
        fresh.Settle(shapes.Exists());
        shapes.Add(first);
        fresh.NotePaste(one);
        // The second conversion is copied from the first one.
        PasteNote two = Note(first, second, 200);
        two.sourceBytes = std::make_shared<const std::vector<std::uint8_t>>(one.pastedBytes);
        fresh.Settle(shapes.Exists());
        shapes.Add(second);
        fresh.NotePaste(two);
        shapes.Remove(secondStays ? first : second);
        shapes.Remove(a);
        const auto standing = fresh.Standing(
            shapes.Exists(), [](const std::string&) { return 1; }, [](const std::string&) { return true; });
        ASSERT_EQ(standing.size(), 1u) << secondStays;
        EXPECT_EQ(standing[0].formatBefore, "PNG") << "before is the original, not the first conversion";
        EXPECT_EQ(standing[0].bytesBefore, static_cast<double>(one.sourceBytes->size()));
        EXPECT_EQ(standing[0].bytesAfter, static_cast<double>((secondStays ? two : one).pastedBytes.size()));
    }
}

TEST_F(Ledger, APictureThatCannotBeDrawnIsListedWithoutImages) {
    slides.Add(a);
    PasteNote note = Note(a, pastedA);
    note.sourceBytes =
        std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{'n', 'o', 'p', 'e'});
    Paste(note);
    slides.Remove(a);
    const auto standing = Standing();
    ASSERT_EQ(standing.size(), 1u);
    EXPECT_FALSE(standing[0].compared);
    EXPECT_TRUE(standing[0].before.bytes.empty());
    EXPECT_TRUE(standing[0].after.bytes.empty());
}

TEST_F(Ledger, AReplacedPartCountsWhileThePackageHoldsIt) {
    const auto before = Picture(300, 200, 10, false);
    const auto after = Picture(150, 100, 10, true);
    office::ledger::PartNote note;
    note.partAfter = "/ppt/media/image1.jpeg";
    note.uses = {{automation::DeckPicturePlace::Layout, 0}};
    note.before = {before, {}, std::nullopt};
    note.after = {after, {}, std::nullopt};
    note.shownWidth = 150;
    note.shownHeight = 100;
    ledger.NotePart(note);
    bool held = true;
    const auto list = [&] {
        return ledger.Standing(
            slides.Exists(), [](const std::string&) { return 0; },
            [&](const std::string& part) { return held && part == note.partAfter; });
    };
    const auto standing = list();
    ASSERT_EQ(standing.size(), 1u);
    EXPECT_EQ(standing[0].by, automation::ReplacedBy::DeckPicture);
    EXPECT_EQ(standing[0].uses, note.uses);
    EXPECT_EQ(standing[0].widthBefore, 300);
    EXPECT_EQ(standing[0].widthAfter, 150);
    EXPECT_EQ(standing[0].after.width, 150) << "shown at 150 pixels: no larger in the report";
    held = false; // a layout removed afterwards takes its picture with it
    EXPECT_TRUE(list().empty());
}
