#include "office/layouts/RemoveUnusedLayouts.h"

#include "../package/TestZip.h"
#include "office/package/OpcTypes.h"
#include "office/package/Package.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using office::package::Package;
namespace reltype = office::package::reltype;

namespace {

constexpr const char* kLayoutType =
    "application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml";
constexpr const char* kMasterType =
    "application/vnd.openxmlformats-officedocument.presentationml.slideMaster+xml";
constexpr const char* kThemeType = "application/vnd.openxmlformats-officedocument.theme+xml";
constexpr const char* kMain = "/ppt/presentation.xml";

office::package::Bytes Text(const std::string& s) {
    return {s.begin(), s.end()};
}

void ListLayout(Package& package, const std::string& master, const std::string& layout, long long id) {
    const std::string rid = package.AddRelationship(master, reltype::kSlideLayout, layout);
    package.AddRelationship(layout, reltype::kSlideMaster, master);
    pugi::xml_node root = package.XmlForEdit(master).document_element();
    pugi::xml_node list = root.child("p:sldLayoutIdLst") ? root.child("p:sldLayoutIdLst")
                                                         : root.append_child("p:sldLayoutIdLst");
    pugi::xml_node entry = list.append_child("p:sldLayoutId");
    entry.append_attribute("id") = std::to_string(id).c_str();
    entry.append_attribute("r:id") = rid.c_str();
}

// The small deck (slide1 on layout1 of master1) plus an unused layout2 with its own picture under
// master1, and a second master with layout3 and theme2 that no slide uses.
std::unique_ptr<Package> DeckWithUnusedLayouts() {
    auto package = Package::OpenFromBytes(testzip::SmallDeck());
    const std::string master1 = "/ppt/slideMasters/slideMaster1.xml";
    pugi::xml_node list = package->XmlForEdit(master1).document_element().append_child("p:sldLayoutIdLst");
    pugi::xml_node entry = list.append_child("p:sldLayoutId");
    entry.append_attribute("id") = "2147483649";
    entry.append_attribute("r:id") = "rId1";

    package->AddPart("/ppt/slideLayouts/slideLayout2.xml", kLayoutType,
                     Text("<p:sldLayout xmlns:p=\"urn:p\"/>"));
    package->AddPart("/ppt/media/layoutpicture.png", "image/png", Text(testzip::FakePng(5000, 3)));
    package->AddRelationship("/ppt/slideLayouts/slideLayout2.xml", reltype::kImage,
                             "/ppt/media/layoutpicture.png");
    ListLayout(*package, master1, "/ppt/slideLayouts/slideLayout2.xml", 2147483650);

    const std::string master2 = "/ppt/slideMasters/slideMaster2.xml";
    package->AddPart(master2, kMasterType, Text("<p:sldMaster xmlns:p=\"urn:p\" xmlns:r=\"urn:r\"/>"));
    package->AddPart("/ppt/theme/theme2.xml", kThemeType, Text("<a:theme xmlns:a=\"urn:a\"/>"));
    package->AddRelationship(master2, reltype::kTheme, "/ppt/theme/theme2.xml");
    package->AddPart("/ppt/slideLayouts/slideLayout3.xml", kLayoutType,
                     Text("<p:sldLayout xmlns:p=\"urn:p\"/>"));
    ListLayout(*package, master2, "/ppt/slideLayouts/slideLayout3.xml", 2147483652);
    const std::string rid = package->AddRelationship(kMain, reltype::kSlideMaster, master2);
    pugi::xml_node masters = package->XmlForEdit(kMain).document_element().child("p:sldMasterIdLst");
    pugi::xml_node second = masters.append_child("p:sldMasterId");
    second.append_attribute("id") = "2147483651";
    second.append_attribute("r:id") = rid.c_str();
    return package;
}

bool Live(const Package& package, const std::string& part) {
    const auto live = package.LiveParts();
    return std::find(live.begin(), live.end(), part) != live.end();
}

int Entries(const Package& package, const std::string& part, const char* list) {
    const auto children = package.XmlForRead(part).document_element().child(list).children();
    return int(std::distance(children.begin(), children.end()));
}

TEST(RemoveUnusedLayouts, DropsUnusedLayoutsAndEmptiedMastersWithTheirListsAndParts) {
    auto package = DeckWithUnusedLayouts();
    ASSERT_TRUE(Live(*package, "/ppt/media/layoutpicture.png"));
    const auto removal = office::layouts::RemoveUnusedLayouts(*package);
    EXPECT_EQ(removal.layoutsRemoved, 2);
    EXPECT_EQ(removal.mastersRemoved, 1);

    EXPECT_EQ(Entries(*package, kMain, "p:sldMasterIdLst"), 1);
    EXPECT_EQ(Entries(*package, "/ppt/slideMasters/slideMaster1.xml", "p:sldLayoutIdLst"), 1);
    EXPECT_EQ(package->RelationshipsOfType(kMain, reltype::kSlideMaster).size(), 1u);
    const auto layoutRels =
        package->RelationshipsOfType("/ppt/slideMasters/slideMaster1.xml", reltype::kSlideLayout);
    ASSERT_EQ(layoutRels.size(), 1u);
    EXPECT_EQ(layoutRels[0].targetPart, "/ppt/slideLayouts/slideLayout1.xml");

    const auto path = std::filesystem::temp_directory_path() / "quarnel-layouts.pptx";
    package->SaveAs(path.string());
    auto saved = Package::Open(path.string());
    std::filesystem::remove(path);
    for (const char* gone :
         {"/ppt/slideLayouts/slideLayout2.xml", "/ppt/slideLayouts/slideLayout3.xml",
          "/ppt/slideMasters/slideMaster2.xml", "/ppt/theme/theme2.xml", "/ppt/media/layoutpicture.png"})
        EXPECT_FALSE(saved->HasPart(gone)) << gone;
    for (const char* kept : {"/ppt/slides/slide1.xml", "/ppt/slideLayouts/slideLayout1.xml",
                             "/ppt/slideMasters/slideMaster1.xml", "/ppt/media/image1.png"})
        EXPECT_TRUE(Live(*saved, kept)) << kept;
    const auto rendered = saved->PartBytes("/ppt/slideMasters/slideMaster1.xml");
    EXPECT_NE(std::string(rendered.begin(), rendered.end()).find("r:id=\"rId1\""), std::string::npos);
}

TEST(RemoveUnusedLayouts, DeckWithoutSlidesKeepsOneMasterAndOneLayout) {
    auto package = DeckWithUnusedLayouts();
    for (const auto& rel : package->RelationshipsOfType(kMain, reltype::kSlide))
        package->RemoveRelationship(kMain, rel.id);
    const auto removal = office::layouts::RemoveUnusedLayouts(*package);
    EXPECT_EQ(removal.layoutsRemoved, 2);
    EXPECT_EQ(removal.mastersRemoved, 1);
    EXPECT_TRUE(Live(*package, "/ppt/slideMasters/slideMaster1.xml"));
    EXPECT_TRUE(Live(*package, "/ppt/slideLayouts/slideLayout1.xml"));
}

TEST(RemoveUnusedLayouts, EveryLayoutInUseLeavesTheDeckUnchanged) {
    // The small deck's master relates to its layout without listing it: still its layout, in use.
    auto package = Package::OpenFromBytes(testzip::SmallDeck());
    const auto removal = office::layouts::RemoveUnusedLayouts(*package);
    EXPECT_EQ(removal.layoutsRemoved, 0);
    EXPECT_EQ(removal.mastersRemoved, 0);
    EXPECT_FALSE(package->IsPartModified(kMain));
    EXPECT_FALSE(package->IsPartModified("/ppt/slideMasters/slideMaster1.xml"));
}

} // namespace
