// Real decks: every main sequence reads without failing, an effect move keeps every effect's settings,
// and every embedded object is recognised. Skipped when the corpus folder is absent.

#include "CorpusFiles.h"
#include "FakeSlide.h"
#include "TransferHelper.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace features_test;

namespace {

std::string Deck(const char* name) {
    return std::string(QUARNEL_CORPUS) + "/" + name;
}

int EffectNodesInMainSequence(pugi::xml_node timing) {
    int count = 0;
    for (pugi::xml_node cTn : office::xml::Descendants(office::timing::MainSeqCTn(timing), "p:cTn")) {
        std::string type = cTn.attribute("nodeType").value();
        count += type == "clickEffect" || type == "withEffect" || type == "afterEffect";
    }
    return count;
}

std::shared_ptr<FakeSlide> Unowned(FakeSlide& slide) {
    return std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
}

const char* kTimingDecks[] = {"oxmlsdk__animation.pptx", "poi__stress013.pptx",
                              "aspose-net__PresentationDemo.pptx", "poi__bug62513.pptx"};

TEST(Corpus, EveryMainSequenceReads) {
    int decks = 0, effects = 0;
    for (const char* name : kTimingDecks) {
        if (!std::filesystem::exists(Deck(name)))
            continue;
        ++decks;
        for (const auto& [part, xml] : SlideParts(Deck(name))) {
            SCOPED_TRACE(std::string(name) + " " + part);
            FakeSlide slide(xml);
            auto sequence = office::MakeTimeLine(Unowned(slide))->MainSequence();
            auto timings = office::timing::TimingBranches(slide.SlideRoot());
            int expected = timings.empty() ? 0 : EffectNodesInMainSequence(timings.front());
            ASSERT_EQ(sequence->Count(), expected);
            for (int i = 1; i <= sequence->Count(); ++i) {
                EXPECT_NO_THROW({
                    auto effect = sequence->Item(i);
                    EXPECT_EQ(effect->Index(), i);
                    effect->EffectType();
                    effect->Exit();
                    auto timing = effect->Timing();
                    EXPECT_GE(timing->Duration(), 0);
                    timing->TriggerType();
                    timing->TriggerDelayTime();
                    timing->Accelerate();
                    timing->Decelerate();
                    timing->RepeatCount();
                    timing->Speed();
                    timing->Restart();
                    timing->RewindAtEnd();
                    auto behaviors = effect->Behaviors();
                    for (int j = 1; j <= behaviors->Count(); ++j) {
                        auto behavior = behaviors->Item(j);
                        EXPECT_GT(behavior->Type(), 0);
                        behavior->Accumulate();
                        behavior->Additive();
                    }
                });
                ++effects;
            }
        }
    }
    if (decks == 0)
        GTEST_SKIP() << "corpus not found";
    RecordProperty("effects", effects);
    EXPECT_GT(effects, 0);
}

struct Seen {
    std::string shape;
    int type, trigger;
    double duration, delay;
    bool exit;
};

std::vector<Seen> Snapshot(automation::ISequence& sequence) {
    std::vector<Seen> out;
    for (int i = 1; i <= sequence.Count(); ++i) {
        auto effect = sequence.Item(i);
        std::string shape;
        try {
            shape = effect->Shape()->Name();
        } catch (const automation::AutomationError&) {
        }
        auto timing = effect->Timing();
        out.push_back({shape, effect->EffectType(), timing->TriggerType(), timing->Duration(),
                       timing->TriggerDelayTime(), effect->Exit()});
    }
    return out;
}

// On every animated slide, the effects of the first animated picture or shape move to a copy of it.
TEST(Corpus, MovingEffectsKeepsTheirSettings) {
    int decks = 0, moved = 0;
    for (const char* name : kTimingDecks) {
        if (!std::filesystem::exists(Deck(name)))
            continue;
        ++decks;
        for (const auto& [part, xml] : SlideParts(Deck(name))) {
            SCOPED_TRACE(std::string(name) + " " + part);
            FakeSlide slide(xml);
            auto timeline = office::MakeTimeLine(Unowned(slide));
            auto sequence = timeline->MainSequence();
            std::uint32_t oldId = 0;
            for (int i = 1; i <= sequence->Count() && !oldId; ++i) {
                std::uint32_t id = office::timing::EffectTarget(
                    office::timing::MainEffectNodes(office::timing::TimingBranches(slide.SlideRoot())
                                                        .front())[static_cast<std::size_t>(i - 1)]);
                pugi::xml_node node = slide.ShapeNode(id);
                if (node && (std::string(node.name()) == "p:pic" || std::string(node.name()) == "p:sp"))
                    oldId = id;
            }
            if (!oldId)
                continue;
            std::vector<Seen> before = Snapshot(*sequence);
            std::string oldName = slide.Shape(oldId)->Name();
            std::uint32_t newId = 9000;
            slide.DuplicateShape(oldId, newId);
            std::string newName = slide.Shape(newId)->Name();
            TransferEffects(*timeline, *slide.Shape(oldId), slide.ShapeById(newId));
            office::ForgetShape(slide, oldId);
            std::vector<Seen> after = Snapshot(*sequence);
            ASSERT_EQ(after.size(), before.size());
            for (std::size_t i = 0; i < after.size(); ++i) {
                EXPECT_EQ(after[i].shape, before[i].shape == oldName ? newName : before[i].shape) << i;
                EXPECT_EQ(after[i].type, before[i].type) << i;
                EXPECT_EQ(after[i].trigger, before[i].trigger) << i;
                EXPECT_NEAR(after[i].duration, before[i].duration, 1e-6) << i;
                EXPECT_NEAR(after[i].delay, before[i].delay, 1e-6) << i;
                EXPECT_EQ(after[i].exit, before[i].exit) << i;
            }
            for (pugi::xml_node timing : office::timing::TimingBranches(slide.SlideRoot())) {
                std::set<std::string> ids;
                for (pugi::xml_node cTn : office::xml::Descendants(timing, "p:cTn"))
                    EXPECT_TRUE(ids.insert(cTn.attribute("id").value()).second);
                for (pugi::xml_node target : office::xml::Descendants(timing, "p:spTgt"))
                    EXPECT_NE(std::string(target.attribute("spid").value()), std::to_string(oldId));
            }
            ++moved;
        }
    }
    if (decks == 0)
        GTEST_SKIP() << "corpus not found";
    RecordProperty("moved", moved);
    EXPECT_GT(moved, 0);
}

TEST(Corpus, EveryEmbeddedObjectIsRecognised) {
    int decks = 0;
    for (const char* name :
         {"aspose-net__OlePptx.pptx", "poi__bug62513.pptx", "tika__testWPSAttachment.pptx"}) {
        if (!std::filesystem::exists(Deck(name)))
            continue;
        ++decks;
        int frames = 0;
        for (const auto& [part, xml] : SlideParts(Deck(name))) {
            SCOPED_TRACE(std::string(name) + " " + part);
            FakeSlide slide(xml);
            for (pugi::xml_node frame : office::xml::Descendants(slide.SlideRoot(), "p:graphicFrame")) {
                std::string uri = frame.child("a:graphic").child("a:graphicData").attribute("uri").value();
                if (uri.find("/ole") == std::string::npos)
                    continue;
                ++frames;
                auto info = office::ReadOleObject(frame);
                ASSERT_TRUE(info);
                EXPECT_FALSE(info->progId.empty());
                EXPECT_FALSE(info->objectRelId.empty());
                EXPECT_TRUE(!info->previewRelId.empty() || !info->vmlShapeId.empty());
            }
        }
        EXPECT_GT(frames, 0) << name;
    }
    if (decks == 0)
        GTEST_SKIP() << "corpus not found";
}

} // namespace
