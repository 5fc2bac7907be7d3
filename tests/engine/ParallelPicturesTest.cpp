// Picture work on several threads inside one deck: the deck, the log and the pass's outcome come out
// exactly as from one thread, and the work made ahead is what the pastes take.

#include "DeckFixture.h"
#include "WholePass.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using wholepass::CompressTo;

std::vector<char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One pass over the input with its own application, store and log.
class PassRun : public DeckFixture {
public:
    explicit PassRun(unsigned workers) : DeckFixture("12.0", workers) {}
    void TestBody() override {}

    std::string Compress(const std::string& input) {
        const std::string output = Path("out.pptx");
        const auto outcome = CompressTo(ctx, input, output);
        summary = std::to_string(static_cast<int>(outcome.result)) + " " +
                  std::to_string(outcome.outputSize) + " " + std::to_string(outcome.deckPictures.size()) +
                  " " + std::to_string(outcome.changesDiscarded);
        return output;
    }
    // The log with this run's folder named alike for every run.
    std::vector<std::string> Log() const {
        std::vector<std::string> lines = host.log;
        const std::string folder = Path("");
        for (auto& line : lines)
            for (auto at = line.find(folder); at != std::string::npos; at = line.find(folder))
                line.replace(at, folder.size(), "OUT/");
        return lines;
    }
    std::string summary;
};

void ExpectSameRuns(const std::string& input) {
    PassRun alone(0), together(2);
    const std::string a = alone.Compress(input), b = together.Compress(input);
    EXPECT_EQ(alone.summary, together.summary) << input;
    EXPECT_EQ(alone.Log(), together.Log()) << input;
    ASSERT_EQ(std::filesystem::exists(a), std::filesystem::exists(b)) << input;
    if (std::filesystem::exists(a)) {
        EXPECT_TRUE(FileBytes(a) == FileBytes(b)) << "outputs differ: " << input;
    }
}

TEST_F(DeckFixture, AGeneratedDeckComesOutTheSameFromOneThreadAndFromSeveral) {
    auto source = state.SourcePresentation;
    // Big photos shown small, one at its own size, one that loses transparency as a JPEG, one too small
    // to touch, the same picture twice, and a group the walk opens (crops come with the corpus).
    slide->Shapes()->AddPicture(WritePicture("big.png", 1600, 1200, 0, 1), 20, 20, 300, 225);
    slide->Shapes()->AddPicture(WritePicture("own.png", 400, 300, 0, 2), 340, 20, 300, 225);
    auto second = source->Slides()->Add(2, automation::ppLayoutBlank);
    second->Shapes()->AddPicture(WritePicture("wide.png", 1200, 900, 0, 3), 20, 20, 400, 300);
    second->Shapes()->AddPicture(WritePicture("clear.png", 900, 600, 0.4, 4), 440, 20, 300, 200);
    second->Shapes()->AddPicture(WritePicture("tiny.png", 40, 30, 0, 5), 440, 300, 30, 22);
    auto third = source->Slides()->Add(3, automation::ppLayoutBlank);
    const std::string twice = WritePicture("twice.png", 1000, 700, 0, 6);
    third->Shapes()->AddPicture(twice, 20, 20, 300, 210);
    third->Shapes()->AddPicture(twice, 340, 20, 300, 210);
    auto p1 = third->Shapes()->AddPicture(WritePicture("g1.png", 900, 900, 0, 7), 20, 260, 200, 200);
    auto p2 = third->Shapes()->AddPicture(WritePicture("g2.png", 900, 900, 0, 8), 240, 260, 200, 200);
    third->Select();
    p1->Select(true);
    p2->Select(false);
    state.SourcePresentation->Windows(1)->Selection()->ShapeRange()->Group();
    const std::string input = Path("generated.pptx");
    source->SaveAs(input);

    PassRun together(2);
    together.Compress(input);
    EXPECT_GT(together.provider.Engine().Ahead().Hits(), 0u) << "nothing was made ahead";
    ExpectSameRuns(input);
}

// Real decks: photos, layout and master pictures, fills, media posters, crops, groups and objects.
class CorpusParallel : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusParallel, ComesOutTheSameFromOneThreadAndFromSeveral) {
    const std::string input = std::string(QUARNEL_CORPUS) + "/" + GetParam();
    if (!std::filesystem::exists(input))
        GTEST_SKIP() << "corpus deck absent: " << input;
    ExpectSameRuns(input);
}

INSTANTIATE_TEST_SUITE_P(Decks, CorpusParallel,
                         ::testing::Values("poi__bug65228.pptx", "aspose-net__PresentationDemo.pptx",
                                           "tika__testPPT_2imgs.pptx", "shapecrawler__pictures-case001.pptx",
                                           "poi__54542_cropped_bitmap.pptx", "oxmlsdk__animation.pptx"));

} // namespace
