#include "FakeSlide.h"
#include "TimingFixture.h"
#include "automation/Constants.h"
#include "office/model/SlideFeatures.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace features_test;
using automation::AutomationError;

namespace {

std::string Behavior(int& id, const std::string& element, const std::string& attrs,
                     const std::string& attrName, const std::string& after) {
    return "<" + element + " " + attrs + "><p:cBhvr additive=\"sum\"><p:cTn id=\"" + std::to_string(id++) +
           "\" dur=\"1000\" fill=\"hold\"/><p:tgtEl><p:spTgt spid=\"4\"/></p:tgtEl>" +
           (attrName.empty() ? ""
                             : "<p:attrNameLst><p:attrName>" + attrName + "</p:attrName></p:attrNameLst>") +
           "</p:cBhvr>" + after + "</" + element + ">";
}

// One effect on picture 4 holding one behaviour of every kind; the same in both branches.
std::string Slide() {
    int id = 5;
    std::string behaviors =
        Behavior(id, "p:animMotion", "origin=\"layout\" path=\"M 0 0 L 0.25 0 E\" pathEditMode=\"relative\"",
                 "ppt_x", "<p:by x=\"25000\" y=\"-5000\"/>") +
        Behavior(id, "p:animClr", "clrSpc=\"rgb\"", "fillcolor", "<p:to><a:srgbClr val=\"FF8000\"/></p:to>") +
        Behavior(id, "p:animScale", "", "", "<p:by x=\"150000\" y=\"150000\"/>") +
        Behavior(
            id, "p:anim", "calcmode=\"lin\" valueType=\"num\"", "ppt_y",
            "<p:tavLst><p:tav tm=\"0\"><p:val><p:strVal val=\"#ppt_y\"/></p:val></p:tav><p:tav tm=\"100000\" "
            "fmla=\"#ppt_y+$\"><p:val><p:fltVal val=\"0.5\"/></p:val></p:tav></p:tavLst>") +
        Behavior(id, "p:cmd", "type=\"call\" cmd=\"playFrom(0.0)\"", "", "");
    std::string effect =
        "<p:par><p:cTn id=\"4\" presetID=\"2\" presetClass=\"entr\" presetSubtype=\"8\" "
        "fill=\"hold\" nodeType=\"clickEffect\"><p:stCondLst><p:cond delay=\"0\"/></p:stCondLst>"
        "<p:childTnLst>" +
        behaviors + "</p:childTnLst></p:cTn></p:par>";
    int next = 3;
    std::string group = ClickGroup(next, SubGroup(next, 0, effect));
    std::string timing = Timing(next, group, "");
    return FakeSlide::Wrap(ThreeShapes(), "<mc:AlternateContent><mc:Choice Requires=\"p14\">" + timing +
                                              "</mc:Choice><mc:Fallback>" + timing +
                                              "</mc:Fallback></mc:AlternateContent>");
}

TEST(Behaviors, TypedViewsReadAndWriteTheirElements) {
    FakeSlide slide(Slide());
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto effect = office::MakeTimeLine(context)->MainSequence()->Item(1);
    auto behaviors = effect->Behaviors();
    ASSERT_EQ(behaviors->Count(), 5);
    std::vector<int> types;
    for (int j = 1; j <= 5; ++j)
        types.push_back(behaviors->Item(j)->Type());
    EXPECT_EQ(types, (std::vector<int>{1, 2, 3, 5, 6}));

    auto motion = behaviors->Item(1)->MotionEffect();
    EXPECT_DOUBLE_EQ(motion->ByX(), 25.0);
    EXPECT_DOUBLE_EQ(motion->ByY(), -5.0);
    EXPECT_EQ(motion->Path(), "M 0 0 L 0.25 0 E");
    EXPECT_THROW(motion->FromX(), AutomationError);
    motion->SetToX(10);
    EXPECT_DOUBLE_EQ(motion->ToX(), 10.0);
    EXPECT_DOUBLE_EQ(motion->ToY(), 0.0);
    EXPECT_EQ(behaviors->Item(1)->Additive(), 2);
    EXPECT_THROW(behaviors->Item(1)->ColorEffect(), AutomationError);
    EXPECT_THROW(behaviors->Item(1)->SetType(automation::msoAnimTypeScale), AutomationError);

    auto color = behaviors->Item(2)->ColorEffect();
    EXPECT_EQ(color->To(), 0x0080FF); // FF8000 as 0xBBGGRR
    color->SetTo(0x123456);
    EXPECT_THROW(color->From(), AutomationError);

    EXPECT_DOUBLE_EQ(behaviors->Item(3)->ScaleEffect()->ByX(), 150.0);
    EXPECT_DOUBLE_EQ(effect->EffectParameters()->Size(), 150.0);
    effect->EffectParameters()->SetSize(200);
    EXPECT_DOUBLE_EQ(behaviors->Item(3)->ScaleEffect()->ByY(), 200.0);

    auto property = behaviors->Item(4)->PropertyEffect();
    EXPECT_EQ(property->Property(), 2);
    auto points = property->Points();
    ASSERT_EQ(points->Count(), 2);
    EXPECT_TRUE(points->Smooth());
    EXPECT_EQ(std::get<std::string>(points->Item(1)->Value()), "#ppt_y");
    EXPECT_DOUBLE_EQ(points->Item(2)->Time(), 1.0);
    EXPECT_EQ(points->Item(2)->Formula(), "#ppt_y+$");
    EXPECT_DOUBLE_EQ(std::get<double>(points->Item(2)->Value()), 0.5);
    auto added = points->Add();
    added->SetTime(0.5);
    added->SetValue(automation::Variant(0.25));
    EXPECT_EQ(points->Count(), 3);
    EXPECT_DOUBLE_EQ(points->Item(3)->Time(), 0.5);

    auto command = behaviors->Item(5)->CommandEffect();
    EXPECT_EQ(command->Command(), "playFrom(0.0)");
    EXPECT_EQ(command->Type(), 1);

    auto parameters = effect->EffectParameters();
    EXPECT_EQ(parameters->Direction(), 4); // from the left
    parameters->SetDirection(1);           // from the top
    EXPECT_TRUE(parameters->Relative());
    EXPECT_EQ(parameters->Color2()->RGB(), 0x123456);
    EXPECT_THROW(parameters->FontName(), AutomationError);
    EXPECT_THROW(parameters->Color2()->SchemeColor(), AutomationError);

    // Every edit reached both branches alike.
    std::vector<pugi::xml_node> branches;
    for (pugi::xml_node branch : slide.SlideRoot().child("mc:AlternateContent").children())
        branches.push_back(branch.child("p:timing"));
    ASSERT_EQ(branches.size(), 2u);
    std::ostringstream choice, fallback;
    branches[0].print(choice, "", pugi::format_raw);
    branches[1].print(fallback, "", pugi::format_raw);
    EXPECT_EQ(choice.str(), fallback.str());
    EXPECT_NE(choice.str().find("presetSubtype=\"1\""), std::string::npos);
    EXPECT_NE(choice.str().find("<p:to x=\"10000\" y=\"0\"/>"), std::string::npos);
    EXPECT_NE(choice.str().find("563412"), std::string::npos);
    EXPECT_NE(choice.str().find("tm=\"50000\""), std::string::npos);
}

} // namespace
