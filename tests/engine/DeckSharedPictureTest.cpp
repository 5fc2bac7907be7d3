// A picture shown by several shapes: the replacements share one new part, the deck stores it once,
// and what the log says matches the files.

#include "DeckFixture.h"
#include "WholePass.h"
#include "engine/CompressPresentation.h"
#include "engine/CompressShapes.h"
#include "engine/SizeText.h"
#include "office/package/Package.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <set>

namespace {

using office::package::Package;
using ::testing::HasSubstr;
using wholepass::CompressTo;
using wholepass::LiveMedia;

// The image parts the slide's pictures show, one entry per picture shape.
std::vector<std::string> PicturesOfSlide(Package& pkg, const std::string& slidePart) {
    std::vector<std::string> parts;
    const auto& doc = pkg.XmlForRead(slidePart);
    for (pugi::xpath_node blip : doc.select_nodes("//p:pic/p:blipFill/a:blip")) {
        auto rel = pkg.FindRelationship(slidePart, blip.node().attribute("r:embed").value());
        parts.push_back(rel ? rel->targetPart : std::string());
    }
    return parts;
}

long CountLines(const std::vector<std::string>& log, const std::string& text) {
    return std::count_if(log.begin(), log.end(),
                         [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

TEST_F(DeckFixture, OnePictureOnSixSlidesIsKeptAsOneNewPart) {
    const std::string photo = WritePicture("photo.png", 640, 480);
    auto source = state.SourcePresentation;
    slide->Shapes()->AddPicture(photo, 40, 30, 480, 360);
    for (int i = 2; i <= 6; ++i)
        source->Slides()->Add(i, automation::ppLayoutBlank)->Shapes()->AddPicture(photo, 40, 30, 480, 360);
    const std::string input = Path("six.pptx");
    source->SaveAs(input);
    ASSERT_EQ(LiveMedia(*Package::Open(input)).size(), 1u) << "the deck stores the inserted picture once";

    const std::string output = Path("six-out.pptx");
    const auto outcome = CompressTo(ctx, input, output);

    ASSERT_EQ(outcome.result, engine::PassResult::Compressed) << ::testing::PrintToString(host.log);
    auto saved = Package::Open(output);
    const auto media = LiveMedia(*saved);
    ASSERT_EQ(media.size(), 1u) << ::testing::PrintToString(media);
    EXPECT_EQ(saved->ContentType(media[0]), "image/jpeg");
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(PicturesOfSlide(*saved, "/ppt/slides/slide" + std::to_string(i) + ".xml"),
                  std::vector<std::string>{media[0]})
            << "slide " << i;

    // Six replacements logged, and a closing line with the sizes the files really have.
    EXPECT_EQ(CountLines(host.log, "\t480x360 ﾋﾟｸｾﾙの画像をJPEGに圧縮 ("), 6);
    const double inputSize = static_cast<double>(std::filesystem::file_size(input));
    const double outputSize = static_cast<double>(std::filesystem::file_size(output));
    EXPECT_LT(outputSize, inputSize);
    EXPECT_EQ(outcome.outputSize, outputSize);
    ASSERT_GE(host.log.size(), 2u);
    // The closing line, followed by the line naming the output.
    EXPECT_THAT(host.log[host.log.size() - 2],
                HasSubstr("▲" + engine::SizeTextKB(inputSize) + "→" + engine::SizeTextKB(outputSize) +
                          " に圧縮しました。"));
    EXPECT_THAT(host.log.back(), HasSubstr(output));
}

TEST_F(DeckFixture, ShapesSharingAPictureShareItsReplacementAtTheSameSize) {
    const std::string photo = WritePicture("photo.png", 640, 480);
    AddPicture(photo, 0, 0, 240, 180);
    AddPicture(photo, 300, 0, 240, 180);
    AddPicture(photo, 0, 200, 360, 270); // shown larger: a replacement of its own
    const std::string input = Path("shared.pptx");
    state.SourcePresentation->SaveAs(input);
    {
        auto before = Package::Open(input);
        const auto shown = PicturesOfSlide(*before, "/ppt/slides/slide1.xml");
        ASSERT_EQ(std::set<std::string>(shown.begin(), shown.end()).size(), 1u) << "one part, three shapes";
    }

    engine::CompressShapes(ctx, slide, nullptr, true);

    ASSERT_EQ(host.log.size(), 3u) << ::testing::PrintToString(host.log);
    const std::string output = Path("shared-out.pptx");
    state.SourcePresentation->SaveAs(output);
    auto saved = Package::Open(output);
    const auto shown = PicturesOfSlide(*saved, "/ppt/slides/slide1.xml");
    ASSERT_EQ(shown.size(), 3u);
    std::map<std::string, int> uses;
    for (const auto& part : shown)
        ++uses[part];
    ASSERT_EQ(uses.size(), 2u) << ::testing::PrintToString(shown);
    // The two shapes of one size show one part; the source picture, shown by nobody now, is gone.
    EXPECT_EQ(std::max(uses.begin()->second, std::next(uses.begin())->second), 2);
    EXPECT_EQ(LiveMedia(*saved).size(), 2u);
}

TEST_F(DeckFixture, CorpusDeckWithPhotosShownTwiceStoresEachReplacementOnce) {
    const std::string input =
        std::string(QUARNEL_CORPUS) + "/poi__ca.ubc.cs.people__emhill_presentations_HowWeRefactor.pptx";
    if (!std::filesystem::exists(input))
        GTEST_SKIP() << "corpus deck not available";
    settings.Ratio = 2;
    settings.FileSize = "100";
    settings.ExpectRate = "95";
    const std::string output = Path("refactor-out.pptx");
    const auto outcome = CompressTo(ctx, input, output);
    ASSERT_EQ(outcome.result, engine::PassResult::Compressed) << ::testing::PrintToString(host.log);

    auto saved = Package::Open(output);
    std::map<std::vector<std::uint8_t>, std::vector<std::string>> byBytes;
    for (const auto& part : LiveMedia(*saved))
        byBytes[saved->PartBytes(part)].push_back(part);
    for (const auto& [bytes, parts] : byBytes)
        EXPECT_EQ(parts.size(), 1u) << "stored twice: " << ::testing::PrintToString(parts);
}

TEST_F(DeckFixture, ScratchDeckMeasuresARepeatedPictureInFullEveryTime) {
    AddPicture(WritePicture("photo.png", 640, 480), 0, 0, 480, 360)->Copy();
    auto slides = state.ScratchPresentation->Slides();
    std::vector<double> sizes;
    for (int i = 0; i < 2; ++i) {
        slides->Add(1, automation::ppLayoutBlank)->Shapes()->Paste();
        state.ScratchPresentation->SaveAs(state.ProbePathBefore);
        slides->Delete(1);
        sizes.push_back(static_cast<double>(std::filesystem::file_size(state.ProbePathBefore)) -
                        state.ProbeBaseSize);
    }
    EXPECT_GT(sizes[0], 100 * 1024.0);
    EXPECT_EQ(sizes[1], sizes[0]);
}

} // namespace
