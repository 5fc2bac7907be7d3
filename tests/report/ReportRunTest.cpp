// The visual report over real runs of the engine on generated decks: what it lists, the images it
// shows, and decks that were not kept.

#include "BatchFixture.h"
#include "ReportDeck.h"
#include "ReportHtmlReading.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"
#include "office/imaging/Imaging.h"
#include "office/package/StoredComposition.h"
#include "report/DeckSection.h"
#include "report/HtmlReport.h"

#include <gmock/gmock.h>
#include <set>

using ::testing::HasSubstr;

namespace {

class ReportRun : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        ASSERT_EQ(VIPS_INIT("test_report"), 0);
        engine_ = std::make_unique<office::OfficeProvider>("12.0");
        real_ = std::make_unique<engine::EngineContext>(
            engine::EngineContext{host, config, exceptions, *registry, *engine_, state});
        state.ReportThumbnailWidth = report::kThumbnailWidth;
    }
    batch::RunSummary RunOn(const std::string& deck) {
        batch::BatchRun run(*real_);
        return run.btnStart_Click(deck);
    }
    std::unique_ptr<office::OfficeProvider> engine_;
    std::unique_ptr<engine::EngineContext> real_;
};

void ExpectDecodes(const automation::ReportImage& image, const std::string& what) {
    ASSERT_FALSE(image.bytes.empty()) << what;
    const auto size = office::imaging::MeasurePicture(image.bytes);
    EXPECT_EQ(size.width, image.width) << what;
    EXPECT_EQ(size.height, image.height) << what;
    EXPECT_LE(image.width, report::kThumbnailWidth) << what;
}

} // namespace

TEST_F(ReportRun, ListsEveryReplacementTheRunCountsWithImagesThatDecode) {
    const std::string deck = dir + "/deck.pptx";
    BuildReportDeck(deck, dir, 3);
    const auto summary = RunOn(deck);
    ASSERT_EQ(summary.entries.size(), 1u);
    const batch::EntryReport& e = summary.entries[0];
    ASSERT_EQ(e.result, "compressed") << host.log;
    ASSERT_EQ(e.shapesReplaced, 3) << host.log;
    ASSERT_EQ(e.deckPictures.size(), 1u) << host.log;
    ASSERT_EQ(e.pictures.size(), 4u);

    std::set<int> walkSlides;
    int deckPictures = 0;
    const auto input = office::package::ReadStoredComposition(deck);
    const auto output = office::package::ReadStoredComposition(e.output);
    for (const auto& p : e.pictures) {
        // The parts are named as the files store them, so the page can give their stored sizes.
        EXPECT_EQ(input.entries.count(p.partBefore), 1u) << p.partBefore;
        EXPECT_EQ(output.entries.count(p.partAfter), 1u) << p.partAfter;
        ExpectDecodes(p.before, "before");
        ExpectDecodes(p.after, "after");
        EXPECT_TRUE(p.compared);
        EXPECT_GT(p.similarity, 0.5);
        EXPECT_LE(p.similarity, 1.0);
        EXPECT_EQ(p.formatBefore, "PNG");
        EXPECT_EQ(p.formatAfter, "JPEG");
        EXPECT_LT(p.bytesAfter, p.bytesBefore);
        ASSERT_EQ(p.uses.size(), 1u);
        if (p.by == automation::ReplacedBy::DeckPicture) {
            ++deckPictures;
            EXPECT_EQ(p.uses[0].place, automation::DeckPicturePlace::Background);
            EXPECT_EQ(p.uses[0].slide, 1);
            // The background fills the slide: its thumbnail has the slide's proportions (16:9 or 4:3).
            EXPECT_EQ(p.before.width, report::kThumbnailWidth);
        } else {
            EXPECT_EQ(p.by, automation::ReplacedBy::Walk);
            EXPECT_EQ(p.uses[0].place, automation::DeckPicturePlace::Slide);
            walkSlides.insert(p.uses[0].slide);
            // Shown at 480 x 360 points: 640 x 480 pixels, so the thumbnail keeps 4:3.
            EXPECT_EQ(p.before.width, 320);
            EXPECT_EQ(p.before.height, 240);
        }
    }
    EXPECT_EQ(deckPictures, 1);
    EXPECT_EQ(walkSlides, (std::set<int>{1, 2, 3}));

    const std::string html = report::ReportHtml(summary.entries);
    const auto rows = reporttest::PictureRows(html);
    ASSERT_EQ(rows.size(), 4u);
    double lastSaved = 1e18;
    for (const auto& row : rows) {
        EXPECT_LE(row.saved, lastSaved) << "rows go by bytes saved";
        lastSaved = row.saved;
        ASSERT_EQ(row.images.size(), 2u);
        for (const auto& image : row.images)
            EXPECT_GT(office::imaging::MeasurePicture(image).width, 0);
    }
    EXPECT_THAT(html, HasSubstr(report::OutcomeText(e)));
    EXPECT_THAT(html, HasSubstr(e.output));
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http://"), std::string::npos);
    EXPECT_EQ(html.find("https://"), std::string::npos);
}

TEST_F(ReportRun, ADeckThatWasNotKeptShowsWhyAndNoPictures) {
    // A deck this engine wrote without pictures: no save can make it smaller.
    const std::string deck = dir + "/empty.pptx";
    BuildPictureDeck(deck, dir, 0);
    const auto summary = RunOn(deck);
    ASSERT_EQ(summary.entries.size(), 1u);
    const batch::EntryReport& e = summary.entries[0];
    ASSERT_TRUE(e.output.empty()) << e.result << "\n" << host.log;
    EXPECT_TRUE(e.pictures.empty());

    const std::string html = report::ReportHtml(summary.entries);
    EXPECT_THAT(html, HasSubstr("class=\"outcome not-kept\""));
    EXPECT_THAT(html, HasSubstr(report::OutcomeText(e)));
    EXPECT_TRUE(reporttest::PictureRows(html).empty());
    EXPECT_EQ(html.find("出力ファイル (output)"), std::string::npos);
}

TEST_F(ReportRun, NothingIsRecordedUnlessTheRunAsks) {
    state.ReportThumbnailWidth = 0;
    const std::string deck = dir + "/deck.pptx";
    BuildReportDeck(deck, dir, 1);
    const auto summary = RunOn(deck);
    ASSERT_EQ(summary.entries[0].result, "compressed") << host.log;
    EXPECT_GT(summary.entries[0].shapesReplaced, 0);
    EXPECT_TRUE(summary.entries[0].pictures.empty());
}
