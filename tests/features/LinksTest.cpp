#include "FakeSlide.h"
#include "TimingFixture.h"
#include "TransferHelper.h"
#include "automation/Constants.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <gtest/gtest.h>

using namespace features_test;
using automation::AutomationError;

namespace {

constexpr const char* kHyperlink =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";
constexpr const char* kSlide = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide";
constexpr const char* kAudio = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/audio";

// Picture 4 carries the actions under test (click and hover elements given); picture 6 has an extLst in its
// cNvPr, so new action elements must go before it.
std::string Slide(const std::string& click, const std::string& hover) {
    return FakeSlide::Wrap("<p:pic><p:nvPicPr><p:cNvPr id=\"4\" name=\"Picture 3\">" + click + hover +
                           "</p:cNvPr><p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill/><p:spPr/></p:pic>"
                           "<p:pic><p:nvPicPr><p:cNvPr id=\"6\" name=\"Picture 5\"><a:extLst><a:ext "
                           "uri=\"{X}\"/></a:extLst></p:cNvPr>"
                           "<p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill/><p:spPr/></p:pic>");
}

struct Copied {
    std::shared_ptr<automation::IActionSetting> source, target;
};

Copied CopyBoth(FakeSlide& slide, int index) {
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    Copied out{office::MakeActionSetting(context, 4, index), office::MakeActionSetting(context, 6, index)};
    CopyActionSetting(*out.source, *out.target);
    return out;
}

pugi::xml_node CNvPr6(FakeSlide& slide) {
    return office::xml::CNvPrOf(slide.ShapeNode(6));
}

TEST(ActionSettings, HyperlinkOnClickKeepsAddressAndScreenTip) {
    FakeSlide slide(Slide("<a:hlinkClick r:id=\"rId3\" tooltip=\"Go there\" highlightClick=\"1\"/>", ""));
    slide.relationships["rId3"] = {"rId3", kHyperlink, "https://example.com/page#part", true};
    Copied copy = CopyBoth(slide, automation::ppMouseClick);
    EXPECT_EQ(copy.source->Hyperlink()->Address(), "https://example.com/page");
    EXPECT_EQ(copy.target->Hyperlink()->Address(), "https://example.com/page");
    EXPECT_EQ(copy.target->Hyperlink()->SubAddress(), "part");
    EXPECT_EQ(copy.target->Hyperlink()->ScreenTip(), "Go there");
    EXPECT_EQ(copy.target->Action(), automation::ppActionHyperlink);
    EXPECT_TRUE(copy.target->AnimateAction());
    pugi::xml_node element = CNvPr6(slide).child("a:hlinkClick");
    ASSERT_TRUE(element);
    auto rel = slide.FindRelationship(element.attribute("r:id").value());
    ASSERT_TRUE(rel);
    EXPECT_TRUE(rel->external);
    EXPECT_EQ(rel->target, "https://example.com/page#part");
    EXPECT_EQ(std::string(CNvPr6(slide).first_child().name()), "a:hlinkClick"); // before a:extLst
    // The displayed text is kept by the setting object only.
    copy.target->Hyperlink()->SetTextToDisplay("Example");
    EXPECT_EQ(copy.target->Hyperlink()->TextToDisplay(), "Example");

    // Taking the action away removes the element and the relationship nobody uses any more.
    copy.target->SetAnimateAction(false);
    copy.target->Hyperlink()->SetScreenTip("");
    copy.target->Hyperlink()->SetAddress("");
    EXPECT_FALSE(CNvPr6(slide).child("a:hlinkClick"));
    EXPECT_EQ(slide.relationships.size(), 1u);
}

TEST(ActionSettings, MouseOverSoundKeepsNameAndType) {
    FakeSlide slide(Slide("<a:hlinkClick r:id=\"\" action=\"ppaction://hlinkshowjump?jump=nextslide\"/>",
                          "<a:hlinkHover r:id=\"\" action=\"ppaction://noaction\"><a:snd r:embed=\"rId7\" "
                          "name=\"applause.wav\"/></a:hlinkHover>"));
    slide.relationships["rId7"] = {"rId7", kAudio, "../media/audio1.wav", false};
    Copied click = CopyBoth(slide, automation::ppMouseClick);
    Copied hover = CopyBoth(slide, automation::ppMouseOver);
    EXPECT_EQ(click.target->Action(), automation::ppActionNextSlide);
    EXPECT_EQ(hover.target->SoundEffect()->Name(), "applause.wav");
    EXPECT_EQ(hover.target->SoundEffect()->Type(), automation::ppSoundFile);
    EXPECT_EQ(hover.target->Action(), automation::ppActionNone);
    pugi::xml_node cNvPr = CNvPr6(slide);
    std::vector<std::string> order;
    for (pugi::xml_node child : cNvPr.children())
        order.push_back(child.name());
    EXPECT_EQ(order, (std::vector<std::string>{"a:hlinkClick", "a:hlinkHover", "a:extLst"}));
    EXPECT_STREQ(cNvPr.child("a:hlinkHover").child("a:snd").attribute("r:embed").value(), "rId7");

    // Stop-previous-sound is a flag of its own; a sound unknown to the slide cannot be named.
    hover.target->SoundEffect()->SetType(automation::ppSoundStopPrevious);
    EXPECT_FALSE(cNvPr.child("a:hlinkHover").child("a:snd"));
    EXPECT_EQ(hover.target->SoundEffect()->Type(), automation::ppSoundStopPrevious);
    EXPECT_THROW(hover.target->SoundEffect()->SetName("missing.wav"), AutomationError);
    EXPECT_TRUE(slide.relationships.count("rId7")); // still used by the source
}

TEST(ActionSettings, SlideJumpsMacrosProgramsAndShowsCarryOver) {
    struct Case {
        std::string element;
        std::map<std::string, office::Relationship> rels;
        int action;
        std::string run, show, subAddress;
    };
    std::vector<Case> cases = {
        {"<a:hlinkClick r:id=\"rId3\" action=\"ppaction://hlinksldjump\"/>",
         {{"rId3", {"rId3", kSlide, "slide3.xml", false}}},
         automation::ppActionHyperlink,
         "",
         "",
         "258,3,"},
        {"<a:hlinkClick r:id=\"\" action=\"ppaction://macro?name=Module1.Go\"/>",
         {},
         automation::ppActionRunMacro,
         "Module1.Go",
         "",
         ""},
        {"<a:hlinkClick r:id=\"rId3\" action=\"ppaction://program\"/>",
         {{"rId3", {"rId3", kHyperlink, "file:///C:/tools/run.exe", true}}},
         automation::ppActionRunProgram,
         "file:///C:/tools/run.exe",
         "",
         ""},
        {"<a:hlinkClick r:id=\"\" action=\"ppaction://customshow?id=1&amp;return=true\"/>",
         {},
         automation::ppActionNamedSlideShow,
         "",
         "Short",
         ""},
    };
    for (const Case& c : cases) {
        FakeSlide slide(Slide(c.element, ""));
        slide.relationships = c.rels;
        slide.customShows = {{0, "Long"}, {1, "Short"}};
        Copied copy = CopyBoth(slide, automation::ppMouseClick);
        SCOPED_TRACE(c.element);
        EXPECT_EQ(copy.source->Action(), c.action);
        EXPECT_EQ(copy.target->Action(), c.action);
        EXPECT_EQ(copy.target->Run(), c.run);
        EXPECT_EQ(copy.target->SlideShowName(), c.show);
        EXPECT_EQ(copy.target->Hyperlink()->SubAddress(), c.subAddress);
        pugi::xml_node source = office::xml::CNvPrOf(slide.ShapeNode(4)).child("a:hlinkClick");
        pugi::xml_node target = CNvPr6(slide).child("a:hlinkClick");
        EXPECT_STREQ(target.attribute("action").value(), source.attribute("action").value());
        auto a = slide.FindRelationship(source.attribute("r:id").value());
        auto b = slide.FindRelationship(target.attribute("r:id").value());
        ASSERT_EQ(a.has_value(), b.has_value());
        if (a) {
            EXPECT_EQ(a->target, b->target);
            EXPECT_EQ(a->external, b->external);
            EXPECT_EQ(a->type, b->type);
        }
    }
}

TEST(ActionSettings, MailAddressKeepsItsSubject) {
    FakeSlide slide(Slide("<a:hlinkClick r:id=\"rId3\"/>", ""));
    slide.relationships["rId3"] = {"rId3", kHyperlink, "mailto:team@example.com?subject=Hello", true};
    Copied copy = CopyBoth(slide, automation::ppMouseClick);
    EXPECT_EQ(copy.source->Hyperlink()->Address(), "mailto:team@example.com");
    EXPECT_EQ(copy.target->Hyperlink()->EmailSubject(), "Hello");
    auto rel = slide.FindRelationship(CNvPr6(slide).child("a:hlinkClick").attribute("r:id").value());
    EXPECT_EQ(rel->target, "mailto:team@example.com?subject=Hello");
    EXPECT_THROW(office::MakeActionSetting(std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {}), 4, 3),
                 AutomationError);
}

// Connector 7 is glued with both ends to picture 4 (sites 4 and 2), connector 8 to the text box 5.
std::string ConnectorSlide() {
    auto connector = [](int id, const std::string& glue) {
        return "<p:cxnSp><p:nvCxnSpPr><p:cNvPr id=\"" + std::to_string(id) + "\" name=\"Connector " +
               std::to_string(id) + "\"/><p:cNvCxnSpPr>" + glue +
               "</p:cNvCxnSpPr><p:nvPr/></p:nvCxnSpPr><p:spPr/></p:cxnSp>";
    };
    return FakeSlide::Wrap(ThreeShapes() +
                           connector(7, "<a:stCxn id=\"4\" idx=\"3\"/><a:endCxn id=\"4\" idx=\"1\"/>") +
                           connector(8, "<a:cxnSpLocks/><a:stCxn id=\"5\" idx=\"0\"/>"));
}

void ReattachConnectors(FakeSlide& slide, const std::shared_ptr<automation::IShape>& oldShape,
                        const automation::ShapePtr& newShape) {
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    for (std::uint32_t id : {7u, 8u}) {
        auto format = office::MakeConnectorFormat(context, id);
        if (format->BeginConnected() && format->BeginConnectedShape()->Name() == oldShape->Name()) {
            int site = format->BeginConnectionSite();
            format->BeginDisconnect();
            format->BeginConnect(newShape, site);
        }
        if (format->EndConnected() && format->EndConnectedShape()->Name() == oldShape->Name()) {
            int site = format->EndConnectionSite();
            format->EndDisconnect();
            format->EndConnect(newShape, site);
        }
    }
}

TEST(Connectors, BothEndsMoveToTheReplacementAtTheirSites) {
    FakeSlide slide(ConnectorSlide());
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    slide.DuplicateShape(4, 9);
    auto glued = office::MakeConnectorFormat(context, 7);
    EXPECT_EQ(glued->BeginConnectionSite(), 4);
    EXPECT_EQ(glued->EndConnectionSite(), 2);
    ReattachConnectors(slide, slide.Shape(4), slide.ShapeById(9));
    EXPECT_EQ(glued->BeginConnectedShape()->Name(), "Picture 8");
    EXPECT_EQ(glued->EndConnectedShape()->Name(), "Picture 8");
    EXPECT_EQ(glued->BeginConnectionSite(), 4);
    EXPECT_EQ(glued->EndConnectionSite(), 2);
    pugi::xml_node props = slide.ShapeNode(7).child("p:nvCxnSpPr").child("p:cNvCxnSpPr");
    EXPECT_STREQ(props.child("a:stCxn").attribute("idx").value(), "3");
    EXPECT_STREQ(props.first_child().name(), "a:stCxn");
    EXPECT_STREQ(props.last_child().name(), "a:endCxn");

    auto other = office::MakeConnectorFormat(context, 8);
    EXPECT_EQ(other->BeginConnectedShape()->Name(), "TextBox 4");
    EXPECT_EQ(other->BeginConnectionSite(), 1);
    EXPECT_FALSE(other->EndConnected());
    EXPECT_THROW(other->EndConnectedShape(), AutomationError);
    // A new begin goes after the locks and before the end.
    other->EndConnect(slide.ShapeById(6), 3);
    other->BeginDisconnect();
    other->BeginConnect(slide.ShapeById(4), 2);
    std::vector<std::string> order;
    for (pugi::xml_node child : slide.ShapeNode(8).child("p:nvCxnSpPr").child("p:cNvCxnSpPr").children())
        order.push_back(child.name());
    EXPECT_EQ(order, (std::vector<std::string>{"a:cxnSpLocks", "a:stCxn", "a:endCxn"}));

    FakeSlide elsewhere(ConnectorSlide());
    EXPECT_THROW(other->BeginConnect(elsewhere.ShapeById(4), 1), AutomationError);
    EXPECT_THROW(other->BeginConnect(slide.ShapeById(8), 1), AutomationError);
    EXPECT_THROW(other->BeginConnect(slide.ShapeById(4), 0), AutomationError);
    EXPECT_THROW(office::MakeConnectorFormat(context, 4)->BeginConnected(), AutomationError);
}

TEST(ShapeReferences, ForgottenShapeLeavesNoReferenceBehind) {
    int id = 3;
    std::string main = ClickGroup(id, SubGroup(id, 0,
                                               EffectXml(id, {4, "entr", 10, "clickEffect", 0, 500}) +
                                                   EffectXml(id, {5, "entr", 1, "withEffect", 0, 1}))) +
                       ClickGroup(id, SubGroup(id, 0, EffectXml(id, {5, "emph", 8, "clickEffect", 1, 2000})));
    std::string timing =
        Timing(id, main, "<p:bldP spid=\"5\" grpId=\"0\" build=\"p\"/><p:bldP spid=\"4\" grpId=\"0\"/>");
    // Two interactive sequences: one started by a click on shape 5, one started by shape 6 animating 5.
    auto interactive = [&](int trigger, int animated) {
        return "<p:seq concurrent=\"1\" nextAc=\"seek\"><p:cTn id=\"" + std::to_string(id++) +
               "\" restart=\"whenNotActive\" fill=\"hold\" evtFilter=\"cancelBubble\" "
               "nodeType=\"interactiveSeq\">"
               "<p:stCondLst><p:cond evt=\"onClick\" delay=\"0\"><p:tgtEl><p:spTgt spid=\"" +
               std::to_string(trigger) + "\"/></p:tgtEl></p:cond></p:stCondLst><p:childTnLst>" +
               ClickGroup(id, SubGroup(id, 0, EffectXml(id, {animated, "emph", 8, "clickEffect", 2, 500}))) +
               "</p:childTnLst></p:cTn><p:nextCondLst><p:cond evt=\"onClick\" delay=\"0\"><p:tgtEl><p:spTgt "
               "spid=\"" +
               std::to_string(trigger) + "\"/></p:tgtEl></p:cond></p:nextCondLst></p:seq>";
    };
    std::string extra = interactive(5, 4) + interactive(6, 5);
    timing.insert(timing.find("</p:childTnLst></p:cTn></p:par></p:tnLst>"), extra);
    std::string xml = ConnectorSlide();
    xml.insert(xml.find("</p:sld>"), timing);
    FakeSlide slide(xml);
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});

    office::ForgetShape(slide, 5);
    EXPECT_TRUE(slide.modified);
    for (pugi::xml_node target : office::xml::Descendants(slide.SlideRoot(), "p:spTgt"))
        EXPECT_STRNE(target.attribute("spid").value(), "5");
    pugi::xml_node kept = office::timing::TimingBranches(slide.SlideRoot()).at(0);
    EXPECT_FALSE(office::timing::BuildEntry(kept, 5, "0"));
    EXPECT_TRUE(office::timing::BuildEntry(kept, 4, "0"));
    EXPECT_EQ(office::xml::Descendants(kept, "p:seq").size(), 1u); // both interactive sequences went
    EXPECT_FALSE(slide.ShapeNode(8).child("p:nvCxnSpPr").child("p:cNvCxnSpPr").child("a:stCxn"));
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    ASSERT_EQ(sequence->Count(), 1);
    EXPECT_EQ(sequence->Item(1)->Shape()->Name(), "Picture 3");

    office::ForgetShape(slide, 4);
    EXPECT_FALSE(slide.SlideRoot().child("p:timing"));
    EXPECT_FALSE(slide.ShapeNode(7).child("p:nvCxnSpPr").child("p:cNvCxnSpPr").child("a:stCxn"));
}

TEST(ShapeReferences, RenumberFollowsOnlyWhereTheOldIdIsGone) {
    // A pasted group whose connector 22 is glued to its member 20, which now has id 30.
    std::string group =
        "<p:grpSp><p:nvGrpSpPr><p:cNvPr id=\"21\" name=\"Group 20\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
        "<p:grpSpPr/><p:sp><p:nvSpPr><p:cNvPr id=\"30\" name=\"Oval "
        "29\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr/>"
        "</p:sp><p:cxnSp><p:nvCxnSpPr><p:cNvPr id=\"22\" name=\"Connector 21\"/><p:cNvCxnSpPr><a:stCxn "
        "id=\"20\" "
        "idx=\"1\"/></p:cNvCxnSpPr><p:nvPr/></p:nvCxnSpPr><p:spPr/></p:cxnSp></p:grpSp>";
    std::string xml = ConnectorSlide();
    xml.insert(xml.find("</p:spTree>"), group);
    FakeSlide slide(xml);
    office::RenumberShape(slide, 20, 30);
    auto glue = slide.ShapeNode(22).child("p:nvCxnSpPr").child("p:cNvCxnSpPr").child("a:stCxn");
    EXPECT_STREQ(glue.attribute("id").value(), "30");

    // Shape 4 still exists: the glue of connector 7 outside the pasted element stays with it.
    slide.DuplicateShape(4, 40);
    office::RenumberShape(slide, 4, 40);
    auto begin = slide.ShapeNode(7).child("p:nvCxnSpPr").child("p:cNvCxnSpPr").child("a:stCxn");
    EXPECT_STREQ(begin.attribute("id").value(), "4");
    // Once shape 4 has gone, references to it follow the new id.
    slide.ShapeNode(4).parent().remove_child(slide.ShapeNode(4));
    office::RenumberShape(slide, 4, 40);
    EXPECT_STREQ(begin.attribute("id").value(), "40");
}

} // namespace

namespace {

TEST(ActionSettings, ActionsMadeFromNothing) {
    FakeSlide slide(Slide("", ""));
    slide.customShows = {{3, "Extra"}};
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto click = office::MakeActionSetting(context, 6, automation::ppMouseClick);
    EXPECT_EQ(click->Action(), automation::ppActionNone);
    EXPECT_THROW(click->SetAction(automation::ppActionHyperlink), AutomationError);
    EXPECT_THROW(click->SetAction(automation::ppActionOLEVerb), AutomationError); // pictures have no verbs

    // A program waits for its path; the path becomes an external relationship.
    click->SetAction(automation::ppActionRunProgram);
    EXPECT_FALSE(CNvPr6(slide).child("a:hlinkClick"));
    click->SetRun("/usr/bin/true");
    pugi::xml_node element = CNvPr6(slide).child("a:hlinkClick");
    EXPECT_STREQ(element.attribute("action").value(), "ppaction://program");
    auto rel = slide.FindRelationship(element.attribute("r:id").value());
    ASSERT_TRUE(rel);
    EXPECT_TRUE(rel->external);
    EXPECT_EQ(click->Run(), "/usr/bin/true");

    // Switching to a custom show drops the program's relationship.
    click->Hyperlink()->SetShowAndReturn(true);
    click->SetAction(automation::ppActionNamedSlideShow);
    click->SetSlideShowName("Extra");
    EXPECT_STREQ(element.attribute("action").value(), "ppaction://customshow?id=3&return=true");
    EXPECT_TRUE(slide.relationships.empty());
    EXPECT_THROW(click->SetSlideShowName("Missing"), AutomationError);

    // A slide jump named by slide id finds the slide's index.
    click->Hyperlink()->SetSubAddress("259,,Title");
    EXPECT_STREQ(element.attribute("action").value(), "ppaction://hlinksldjump");
    EXPECT_EQ(click->Hyperlink()->SubAddress(), "259,4,");
    EXPECT_THROW(click->Hyperlink()->SetSubAddress("0,9,"), AutomationError);

    click->SetAction(automation::ppActionEndShow);
    EXPECT_STREQ(element.attribute("action").value(), "ppaction://hlinkshowjump?jump=endshow");
    EXPECT_TRUE(slide.relationships.empty());
    click->SetAction(automation::ppActionNone);
    EXPECT_FALSE(CNvPr6(slide).child("a:hlinkClick"));
}

} // namespace
