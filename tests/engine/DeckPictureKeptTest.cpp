// A replacement that cannot free its picture is not made, and a deck whose replacements together
// did not pay off still gets its lossless save when that alone is smaller.

#include "../package/TestZip.h"
#include "DeckFixture.h"
#include "WholePass.h"
#include "office/package/Package.h"

#include <gmock/gmock.h>
#include <random>

namespace {

using office::package::Package;
using ::testing::HasSubstr;
using wholepass::CompressTo;
using wholepass::LiveMedia;

bool Logged(const std::vector<std::string>& log, const std::string& text) {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

bool AnyReplacementLine(const std::vector<std::string>& log) {
    return std::any_of(log.begin(), log.end(),
                       [](const std::string& line) { return !line.empty() && line.front() == '\t'; });
}

constexpr const char* kKeptElsewhere = "他の場所でも使われているため";

// A walk whose only "replacement" is the given picture added to each slide.
engine::SlideWalker GrowingWalk(const std::string& picture) {
    return [picture](engine::EngineContext& c, automation::SlidePtr container, automation::ShapePtr, bool) {
        container->Shapes()->AddPicture(picture, 10, 10, 400, 400);
        c.state.PresentationChanged = true;
        return std::string();
    };
}

class DeckPictureKept : public DeckFixture {
protected:
    // The deck so far, saved and then opened again as the source the pass reads.
    std::string SaveInput(const std::string& name) {
        const std::string input = Path(name);
        state.SourcePresentation->SaveAs(input);
        return input;
    }
};

TEST_F(DeckPictureKept, PictureAlsoShownUnderAProtectedNameIsNotReplaced) {
    const std::string photo = WritePicture("photo.png", 800, 600);
    AddPicture(photo, 0, 0, 240, 180);
    AddPicture(photo, 300, 200, 240, 180)->SetName("Team photo"); // the person's own name
    const std::string input = SaveInput("protected.pptx");
    ASSERT_EQ(LiveMedia(*Package::Open(input)).size(), 1u);

    const std::string output = Path("protected-out.pptx");
    const auto outcome = CompressTo(ctx, input, output);

    EXPECT_TRUE(Logged(host.log, kKeptElsewhere)) << ::testing::PrintToString(host.log);
    EXPECT_FALSE(AnyReplacementLine(host.log)) << ::testing::PrintToString(host.log);
    // Nothing replaced: at most the lossless save, which stores the one picture still once.
    if (outcome.result == engine::PassResult::Compressed) {
        EXPECT_EQ(LiveMedia(*Package::Open(output)).size(), 1u);
        EXPECT_LT(outcome.outputSize, outcome.inputSize);
    } else {
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

TEST_F(DeckPictureKept, PictureAlsoShownAsBackgroundIsRecompressedInPlaceForBoth) {
    const std::string photo = WritePicture("photo.png", 1600, 1200);
    AddPicture(photo, 0, 0, 360, 270);
    std::string input = SaveInput("background.pptx");
    {
        // The slide's background shows the picture's part too, through the picture's own relationship.
        auto pkg = Package::Open(input);
        const std::string slidePart = "/ppt/slides/slide1.xml";
        auto& doc = pkg->XmlForEdit(slidePart);
        pugi::xml_node blip = doc.select_node("//p:pic/p:blipFill/a:blip").node();
        ASSERT_TRUE(blip);
        pugi::xml_node cSld = doc.document_element().child("p:cSld");
        pugi::xml_node bgPr = cSld.prepend_child("p:bg").append_child("p:bgPr");
        pugi::xml_node fill = bgPr.append_child("a:blipFill");
        fill.append_child("a:blip").append_attribute("r:embed").set_value(blip.attribute("r:embed").value());
        fill.append_child("a:stretch").append_child("a:fillRect");
        bgPr.append_child("a:effectLst");
        input = Path("background-shared.pptx");
        pkg->SaveAs(input);
    }
    settings.DeckPictures = 1;

    const std::string output = Path("background-out.pptx");
    const auto outcome = CompressTo(ctx, input, output);

    ASSERT_EQ(outcome.result, engine::PassResult::Compressed) << ::testing::PrintToString(host.log);
    EXPECT_TRUE(Logged(host.log, kKeptElsewhere)) << ::testing::PrintToString(host.log);
    ASSERT_EQ(outcome.deckPictures.size(), 1u) << ::testing::PrintToString(host.log);
    EXPECT_EQ(outcome.deckPictures[0].place, automation::DeckPicturePlace::Background);
    auto saved = Package::Open(output);
    EXPECT_EQ(LiveMedia(*saved).size(), 1u) << "picture and background still share one, smaller part";
    EXPECT_LT(outcome.outputSize, outcome.inputSize);
}

// The placeholder's box comes from its layout, which the scan of places cannot size: it is still the
// walk's own place, so its picture is replaced.
TEST_F(DeckPictureKept, PicturePlaceholderSizedByItsLayoutIsStillReplaced) {
    const std::string corpusDeck = std::string(QUARNEL_CORPUS) + "/powertools__PictureWithCaptionLayout.pptx";
    if (!std::filesystem::exists(corpusDeck))
        GTEST_SKIP() << "corpus deck not available";
    const std::string input = Path("caption.pptx");
    std::filesystem::copy_file(corpusDeck, input);

    const auto outcome = CompressTo(ctx, input, Path("caption-out.pptx"));

    ASSERT_EQ(outcome.result, engine::PassResult::Compressed) << ::testing::PrintToString(host.log);
    EXPECT_FALSE(Logged(host.log, kKeptElsewhere)) << ::testing::PrintToString(host.log);
    EXPECT_TRUE(AnyReplacementLine(host.log)) << ::testing::PrintToString(host.log);
}

// Deflates nothing: the lossless save of such a deck is clearly smaller than the file.
void StoreUncompressed(const std::string& path) {
    std::vector<testzip::Item> items;
    for (const auto& entry : testzip::ReadZip(testzip::ReadFile(path)))
        items.emplace_back(entry.name, entry.data, false);
    testzip::WriteFile(path, testzip::BuildZip(items));
}

TEST_F(DeckPictureKept, LosslessSaveStandsWhenTheReplacementsMadeTheDeckLarger) {
    AddPicture(WritePicture("photo.png", 400, 300), 0, 0, 300, 225);
    const std::string input = SaveInput("stored.pptx");
    StoreUncompressed(input);
    const auto inputBytes = testzip::ReadFile(input);

    // A walk whose "replacement" is a large picture of noise, which no deflate makes small.
    office::imaging::Raster noise;
    noise.width = noise.height = 700;
    noise.rgba.resize(static_cast<std::size_t>(noise.width) * noise.height * 4);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < noise.rgba.size(); ++i)
        noise.rgba[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>(random());
    const std::string noisy = WritePng("noise.png", noise);
    const engine::SlideWalker growingWalk = GrowingWalk(noisy);

    const std::string output = Path("stored-out.pptx");
    const auto outcome = CompressTo(ctx, input, output, growingWalk);

    ASSERT_EQ(outcome.result, engine::PassResult::Compressed) << ::testing::PrintToString(host.log);
    EXPECT_TRUE(outcome.changesDiscarded);
    EXPECT_TRUE(Logged(host.log, "画像の置き換えを破棄して元の内容のまま保存し直します"))
        << ::testing::PrintToString(host.log);
    EXPECT_THAT(host.log.back(), HasSubstr(output));
    auto saved = Package::Open(output);
    EXPECT_EQ(LiveMedia(*saved).size(), 1u) << "the walk's picture is not in the output";
    EXPECT_EQ(testzip::ReadZip(testzip::ReadFile(output)).size(), testzip::ReadZip(inputBytes).size());
    EXPECT_LT(static_cast<double>(std::filesystem::file_size(output)), outcome.inputSize);
    EXPECT_EQ(testzip::ReadFile(input), inputBytes) << "the input is never written";
}

TEST_F(DeckPictureKept, NothingIsWrittenWhenNeitherSaveIsSmaller) {
    AddPicture(WritePicture("photo.png", 400, 300), 0, 0, 300, 225);
    // Saved once more as it is: then already in its smallest lossless form.
    const std::string input = Path("tight.pptx");
    state.appPPT->Presentations()->Open(SaveInput("first.pptx"), true)->SaveAs(input);
    const std::string noisy = WritePicture("big.png", 900, 900, 0, 11);
    const engine::SlideWalker growingWalk = GrowingWalk(noisy);

    const std::string output = Path("tight-out.pptx");
    const auto outcome = CompressTo(ctx, input, output, growingWalk);

    EXPECT_EQ(outcome.result, engine::PassResult::NotSmaller) << ::testing::PrintToString(host.log);
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_THAT(host.log.back(), HasSubstr("より小さくならないため保存しませんでした"));
}

} // namespace
