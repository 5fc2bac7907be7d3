// Groups the walk may not open stay exactly as they were.

#include "DeckFixture.h"
#include "engine/CompressShapes.h"
#include "office/model/SlideContext.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

pugi::xml_node SlideRoot(const automation::SlidePtr& slide) {
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    return ctx ? ctx->SlideRoot() : pugi::xml_node{};
}

pugi::xml_node LockedGroup(const automation::SlidePtr& slide) {
    return SlideRoot(slide)
        .select_node("//p:grpSp[p:nvGrpSpPr/p:cNvGrpSpPr/a:grpSpLocks[@noUngrp='1']]")
        .node();
}

std::string Text(pugi::xml_node node) {
    std::ostringstream out;
    node.print(out, "", pugi::format_raw);
    return out.str();
}

// The slide's timing with the time nodes' own ids left out: moving an effect away and back renumbers
// them, which changes nothing that plays.
std::string TimingWithoutNodeIds(const automation::SlidePtr& slide) {
    pugi::xml_document copy;
    copy.append_copy(SlideRoot(slide).child("p:timing"));
    for (pugi::xpath_node n : copy.select_nodes("//p:cTn"))
        n.node().remove_attribute("id");
    return Text(copy.document_element());
}

TEST_F(DeckFixture, GroupLockedAgainstUngroupingIsLeftWholeByTheWalk) {
    auto a = AddPicture(WritePicture("a.png", 640, 480, 0, 1), 0, 100, 240, 180);
    auto b = AddPicture(WritePicture("b.png", 640, 480, 0, 2), 300, 100, 240, 180);
    a->Select(true);
    b->Select(false);
    auto group = state.SourcePresentation->Windows(1)->Selection()->ShapeRange()->Group();
    const std::string groupName = group->Name();
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    pugi::xml_node locks = SlideRoot(slide).select_node("//p:grpSp/p:nvGrpSpPr/p:cNvGrpSpPr").node();
    locks.append_child("a:grpSpLocks").append_attribute("noUngrp").set_value("1");
    ctx->MarkModified();
    slide->TimeLine()->MainSequence()->AddEffect(group, 10, -1);
    const std::string before = Text(LockedGroup(slide));
    const std::string timingBefore = TimingWithoutNodeIds(slide);
    ASSERT_FALSE(before.empty());

    engine::CompressShapes(this->ctx, slide, nullptr, true);

    auto sequence = slide->TimeLine()->MainSequence();
    ASSERT_EQ(sequence->Count(), 1) << "the group's animation came back from the placeholder";
    EXPECT_EQ(sequence->Item(1)->Shape()->Name(), groupName);
    EXPECT_EQ(TimingWithoutNodeIds(slide), timingBefore);

    EXPECT_FALSE(state.PresentationChanged);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(Names(), std::vector<std::string>{groupName}) << "no placeholder left behind";
    EXPECT_EQ(Text(LockedGroup(slide)), before);
}

TEST_F(DeckFixture, LockedDesignGroupOfACorpusDeckKeepsItsFilledBars) {
    const std::string input = std::string(QUARNEL_CORPUS) + "/officeparser__test.pptx";
    if (!std::filesystem::exists(input))
        GTEST_SKIP() << "corpus deck not available";
    state.SourcePresentation = state.appPPT->Presentations()->Open(input, true);
    auto first = state.SourcePresentation->Slides()->Item(1);
    settings.FileSize = "10";
    settings.Ratio = 0;
    const std::string before = Text(LockedGroup(first));
    ASSERT_NE(before.find("<a:grpFill"), std::string::npos) << "the deck's bars take the group's fill";

    engine::CompressShapes(ctx, first, nullptr, true);

    EXPECT_EQ(Text(LockedGroup(first)), before);
}

} // namespace
