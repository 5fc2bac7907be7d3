// Every deck of the corpus: each main sequence reads, and moving the first animated shape's effects to a
// copy leaves the sequence as it was and no new reference to a missing shape. Walks the whole corpus.

#include "features/CorpusFiles.h"
#include "features/FakeSlide.h"
#include "features/TransferHelper.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace features_test;

namespace {

std::set<std::string> Dangling(pugi::xml_node root) {
    std::set<std::string> ids, out;
    for (pugi::xml_node cNvPr : office::xml::Descendants(root, "p:cNvPr"))
        ids.insert(cNvPr.attribute("id").value());
    for (const auto& [element, attr] : {std::pair{"p:spTgt", "spid"}, std::pair{"p:bldP", "spid"},
                                        std::pair{"a:stCxn", "id"}, std::pair{"a:endCxn", "id"}})
        for (pugi::xml_node node : office::xml::Descendants(root, element))
            if (!ids.count(node.attribute(attr).value()))
                out.insert(std::string(element) + "=" + node.attribute(attr).value());
    return out;
}

struct Seen {
    std::string shape;
    int type, trigger;
    double duration;
    bool exit;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> Snapshot(automation::ISequence& sequence) {
    std::vector<Seen> out;
    for (int i = 1; i <= sequence.Count(); ++i) {
        auto effect = sequence.Item(i);
        std::string shape;
        Attempt([&] { shape = effect->Shape()->Name(); });
        auto timing = effect->Timing();
        out.push_back({shape, effect->EffectType(), timing->TriggerType(),
                       std::round(timing->Duration() * 1000) / 1000, effect->Exit()});
    }
    return out;
}

TEST(AllDecks, SequencesReadAndEffectsMove) {
    std::filesystem::path corpus(QUARNEL_CORPUS);
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "corpus not found";
    int slides = 0, moved = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".pptx")
            continue;
        for (const auto& [part, xml] : SlideParts(entry.path().string())) {
            SCOPED_TRACE(entry.path().filename().string() + " " + part);
            FakeSlide slide(xml);
            ++slides;
            auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
            auto timeline = office::MakeTimeLine(context);
            auto sequence = timeline->MainSequence();
            std::vector<Seen> before;
            ASSERT_NO_THROW(before = Snapshot(*sequence));
            std::uint32_t oldId = 0;
            auto timings = office::timing::TimingBranches(slide.SlideRoot());
            for (pugi::xml_node effect : timings.empty() ? std::vector<pugi::xml_node>()
                                                         : office::timing::MainEffectNodes(timings.front())) {
                pugi::xml_node node = slide.ShapeNode(office::timing::EffectTarget(effect));
                if (node && (std::string(node.name()) == "p:pic" || std::string(node.name()) == "p:sp")) {
                    oldId = office::timing::EffectTarget(effect);
                    break;
                }
            }
            if (!oldId)
                continue;
            std::set<std::string> danglingBefore = Dangling(slide.SlideRoot());
            std::string oldName = slide.Shape(oldId)->Name();
            slide.DuplicateShape(oldId, 90000);
            std::string newName = slide.Shape(90000)->Name();
            TransferEffects(*timeline, *slide.Shape(oldId), slide.ShapeById(90000));
            office::ForgetShape(slide, oldId);
            pugi::xml_node old = slide.ShapeNode(oldId);
            old.parent().remove_child(old);
            for (Seen& seen : before)
                if (seen.shape == oldName)
                    seen.shape = newName;
            EXPECT_EQ(Snapshot(*sequence), before);
            std::set<std::string> danglingAfter = Dangling(slide.SlideRoot());
            for (const std::string& reference : danglingAfter)
                EXPECT_TRUE(danglingBefore.count(reference)) << reference;
            ++moved;
        }
    }
    RecordProperty("slides", slides);
    RecordProperty("moved", moved);
    EXPECT_GT(moved, 0);
}

} // namespace
