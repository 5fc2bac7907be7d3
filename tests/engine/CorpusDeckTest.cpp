// The walk over real-world decks: whatever it replaces, every slide keeps its number of shapes,
// its main-sequence effects (each on a shape of the slide), and the hyperlinks of its shapes;
// the result saves and opens again. Skipped when the corpus folder is absent.

#include "DeckFixture.h"
#include "engine/Attempt.h"
#include "engine/CompressShapes.h"

#include <filesystem>
#include <gmock/gmock.h>

namespace {

struct SlideSummary {
    int shapes = 0;
    int effects = 0;
    int effectsOnShapesOfTheSlide = 0;
    std::vector<std::string> links;
    std::string names; // for the failure message only
    bool operator==(const SlideSummary& o) const {
        return shapes == o.shapes && effects == o.effects &&
               effectsOnShapesOfTheSlide == o.effectsOnShapesOfTheSlide && links == o.links;
    }
};

void PrintTo(const SlideSummary& s, std::ostream* os) {
    *os << "{shapes " << s.shapes << ", effects " << s.effects << "/" << s.effectsOnShapesOfTheSlide
        << ", links " << ::testing::PrintToString(s.links) << ", " << s.names << "}";
}

SlideSummary Summarize(automation::ISlide& slide) {
    SlideSummary s;
    auto shapes = slide.Shapes();
    s.shapes = shapes->Count();
    std::set<std::string> names;
    for (int i = 1; i <= s.shapes; ++i) {
        auto shape = shapes->Item(i);
        names.insert(shape->Name());
        s.names += "[" + shape->Name() + " " + std::to_string(shape->Type()) + "]";
        if (auto address =
                engine::AttemptValue([&] { return shape->ActionSettings(1)->Hyperlink()->Address(); });
            address && !address->empty())
            s.links.push_back(*address);
    }
    auto sequence = engine::AttemptValue([&] { return slide.TimeLine()->MainSequence(); });
    if (sequence && *sequence) {
        s.effects = (*sequence)->Count();
        for (int i = 1; i <= s.effects; ++i) {
            auto name = engine::AttemptValue([&] { return (*sequence)->Item(i)->Shape()->Name(); });
            s.effectsOnShapesOfTheSlide += name && names.count(*name);
        }
    }
    return s;
}

class CorpusDeck : public DeckFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(CorpusDeck, WalkKeepsShapesEffectsAndLinks) {
    const std::string input = std::string(QUARNEL_CORPUS) + "/" + GetParam();
    if (!std::filesystem::exists(input))
        GTEST_SKIP() << "corpus deck absent: " << input;
    settings.FileSize = "10";
    settings.ExpectRate = "95";
    auto deck = state.appPPT->Presentations()->Open(input, true);
    state.SourcePresentation = deck;
    auto slides = deck->Slides();
    const int count = slides->Count();
    std::vector<SlideSummary> before;
    for (int i = 1; i <= count; ++i)
        before.push_back(Summarize(*slides->Item(i)));

    for (int i = 1; i <= count; ++i)
        engine::CompressShapes(ctx, slides->Item(i), nullptr, true);

    ASSERT_EQ(slides->Count(), count);
    for (int i = 1; i <= count; ++i)
        EXPECT_EQ(Summarize(*slides->Item(i)), before[static_cast<std::size_t>(i - 1)]) << "slide " << i;
    const std::string output = Path("out.pptx");
    deck->SaveAs(output);
    auto reopened = state.appPPT->Presentations()->Open(output, true);
    EXPECT_EQ(reopened->Slides()->Count(), count);
    reopened->Close();
    deck->Close();
}

INSTANTIATE_TEST_SUITE_P(Decks, CorpusDeck,
                         ::testing::Values("oxmlsdk__animation.pptx", "tika__testPPT_2imgs.pptx",
                                           "poi__stress021.pptx", "shapecrawler__pictures-case001.pptx",
                                           "poi__54542_cropped_bitmap.pptx"));

} // namespace
