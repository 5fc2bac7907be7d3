#include "TestZip.h"
#include "automation/AutomationError.h"
#include "office/package/Package.h"

#include <gtest/gtest.h>

using namespace office::package;
using automation::AutomationError;

namespace {

const char* kSlide = "/ppt/slides/slide1.xml";

std::unique_ptr<Package> Reopen(const Package& pkg) {
    return Package::OpenFromBytes(pkg.SaveToBytes());
}

} // namespace

TEST(PackageEdit, EditedXmlIsWrittenBackWithoutReformatting) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    const std::string original = testzip::ToString(pkg->PartBytes(kSlide));
    auto& doc = pkg->XmlForEdit(kSlide);
    EXPECT_TRUE(pkg->IsPartModified(kSlide));
    // Untouched after all: the serialised tree equals the stored text except for the line break
    // after the declaration.
    std::string expected = original;
    expected.erase(expected.find("?>\r\n") + 2, 2);
    EXPECT_EQ(testzip::ToString(pkg->PartBytes(kSlide)), expected);

    doc.select_node("//a:r[3]/a:t").node().text().set("changed & <new>");
    auto copy = Reopen(*pkg);
    const auto& again = copy->XmlForRead(kSlide);
    EXPECT_STREQ(again.select_node("//a:r[3]/a:t").node().text().get(), "changed & <new>");
    EXPECT_STREQ(again.select_node("//a:r[2]/a:t").node().text().get(), "  two  spaces  ");
    EXPECT_TRUE(again.select_node("//mc:AlternateContent/mc:Choice/p:pic[@r:embed='rId2']"));
    EXPECT_EQ(pkg->PartSize(kSlide), pkg->PartBytes(kSlide).size());
}

TEST(PackageEdit, AddsUniquelyNamedPartsAndRelationships) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    // image1.png exists, so image1 is taken for every extension.
    EXPECT_EQ(pkg->NextFreePartName("/ppt/media/image", "png"), "/ppt/media/image2.png");
    EXPECT_EQ(pkg->NextFreePartName("/ppt/media/image", "jpeg"), "/ppt/media/image2.jpeg");
    EXPECT_EQ(pkg->NextFreePartName("/ppt/media/orphan", "png"), "/ppt/media/orphan1.png");
    EXPECT_EQ(pkg->NextFreePartName("/ppt/MEDIA/IMAGE", ".png"), "/ppt/MEDIA/IMAGE2.png");
    const std::string png = testzip::FakePng(1234, 3);
    std::string name =
        pkg->AddPartWithUniqueName("/ppt/media/image", "png", contenttype::kPng, testzip::ToBytes(png));
    EXPECT_EQ(name, "/ppt/media/image2.png");
    EXPECT_EQ(pkg->NextFreePartName("/ppt/media/image", ".png"), "/ppt/media/image3.png");
    EXPECT_TRUE(pkg->IsPartModified(name));
    EXPECT_THROW(pkg->AddPart("/PPT/media/Image2.PNG", contenttype::kPng, {}), AutomationError);
    EXPECT_THROW(pkg->AddPart("/ppt/media/x.png", "", {}), AutomationError);
    EXPECT_THROW(pkg->AddPart("ppt/media/x.png", contenttype::kPng, {}), AutomationError);
    EXPECT_THROW(pkg->AddPart("/ppt/_rels/x.xml.rels", contenttype::kXml, {}), AutomationError);

    // Ids continue above the highest rIdN in the slide's rels (rId3).
    std::string id = pkg->AddRelationship(kSlide, reltype::kImage, name);
    EXPECT_EQ(id, "rId4");
    EXPECT_EQ(pkg->AddExternalRelationship(kSlide, reltype::kHyperlink, "file:///x y.pptx"), "rId5");
    auto rel = pkg->FindRelationship(kSlide, id);
    ASSERT_TRUE(rel);
    EXPECT_EQ(rel->target, "../media/image2.png");
    EXPECT_EQ(rel->targetPart, name);
    EXPECT_THROW(pkg->AddRelationship(kSlide, reltype::kImage, "/ppt/media/none.png"), AutomationError);

    // A new part without relationships of its own gets its first one.
    EXPECT_EQ(pkg->AddRelationship(name, reltype::kImage, "/ppt/media/image1.png"), "rId1");

    auto copy = Reopen(*pkg);
    EXPECT_EQ(testzip::ToString(copy->PartBytes(name)), png);
    EXPECT_EQ(copy->ContentType(name), "image/png");
    EXPECT_EQ(copy->FindRelationship(kSlide, "rId5")->target, "file:///x y.pptx");
    EXPECT_TRUE(copy->FindRelationship(kSlide, "rId5")->external);
    EXPECT_EQ(copy->FindRelationship(name, "rId1")->targetPart, "/ppt/media/image1.png");
}

TEST(PackageEdit, RetargetingAndRemovingRelationshipsChangesWhatIsLive) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    std::string jpeg =
        pkg->AddPartWithUniqueName("/ppt/media/image", "jpeg", contenttype::kJpeg, {0xFF, 0xD8, 0xFF});
    pkg->SetRelationshipTarget(kSlide, "rId2", jpeg);
    EXPECT_EQ(pkg->FindRelationship(kSlide, "rId2")->target, "../media/image2.jpeg");
    EXPECT_THROW(pkg->SetRelationshipTarget(kSlide, "rId77", jpeg), AutomationError);
    auto live = pkg->LiveParts();
    EXPECT_EQ(std::count(live.begin(), live.end(), "/ppt/media/image1.png"), 0);
    EXPECT_EQ(std::count(live.begin(), live.end(), jpeg), 1);
    EXPECT_TRUE(pkg->RelationshipsTo("/ppt/media/image1.png").empty());

    auto copy = Reopen(*pkg);
    EXPECT_FALSE(copy->HasPart("/ppt/media/image1.png"));
    EXPECT_EQ(copy->ContentType(jpeg), "image/jpeg");

    EXPECT_TRUE(pkg->RemoveRelationship(kSlide, "rId3"));
    EXPECT_FALSE(pkg->RemoveRelationship(kSlide, "rId3"));
    EXPECT_FALSE(pkg->RemoveRelationship("/ppt/media/image1.png", "rId1"));
    EXPECT_EQ(pkg->Relationships(kSlide).size(), 2u);
}

TEST(PackageEdit, SharedPartStaysWhileAnyRelationshipReachesIt) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    // The layout also points at the picture; dropping the slide's link keeps it alive.
    pkg->AddRelationship("/ppt/slideLayouts/slideLayout1.xml", reltype::kImage, "/ppt/media/image1.png");
    EXPECT_EQ(pkg->RelationshipsTo("/ppt/media/image1.png").size(), 2u);
    pkg->RemoveRelationship(kSlide, "rId2");
    auto copy = Reopen(*pkg);
    EXPECT_TRUE(copy->HasPart("/ppt/media/image1.png"));
    EXPECT_EQ(copy->RelationshipsTo("/ppt/media/image1.png").size(), 1u);
}

TEST(PackageEdit, ReplacingAndRemovingParts) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    pkg->XmlForRead(kSlide);
    pkg->SetPartBytes(kSlide, testzip::ToBytes("<p:sld xmlns:p=\"urn:p\"><p:cSld/></p:sld>"));
    EXPECT_TRUE(pkg->XmlForRead(kSlide).select_node("/p:sld/p:cSld")) << "stale tree after replacing bytes";
    EXPECT_FALSE(pkg->XmlForRead(kSlide).select_node("//a:t"));

    pkg->SetContentType("/ppt/media/image1.png", "image/x-custom");
    EXPECT_EQ(pkg->ContentType("/ppt/media/image1.png"), "image/x-custom");

    pkg->RemovePart("/ppt/slideLayouts/slideLayout1.xml");
    EXPECT_FALSE(pkg->HasPart("/ppt/slideLayouts/slideLayout1.xml"));
    EXPECT_THROW(pkg->Relationships("/ppt/slideLayouts/slideLayout1.xml"), AutomationError);
    EXPECT_THROW(pkg->RemovePart("/ppt/slideLayouts/slideLayout1.xml"), AutomationError);
    // A part added under the removed name starts without the old relationships.
    pkg->AddPart("/ppt/slideLayouts/slideLayout1.xml", "application/xml", testzip::ToBytes("<x/>"));
    EXPECT_TRUE(pkg->Relationships("/ppt/slideLayouts/slideLayout1.xml").empty());

    auto copy = Reopen(*pkg);
    EXPECT_EQ(copy->ContentType("/ppt/media/image1.png"), "image/x-custom");
    EXPECT_EQ(copy->ContentType("/ppt/slideLayouts/slideLayout1.xml"), "application/xml");
    EXPECT_FALSE(copy->XmlForRead(kSlide).select_node("//a:t"));
}

TEST(PackageEdit, APictureIsStoredOnceAndOnlyIdenticalPicturesAreShared) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    const Bytes stored = testzip::ToBytes(testzip::FakePng(3000, 7));
    // The stored picture (still compressed in the archive) is found and named, not copied.
    EXPECT_EQ(pkg->AddPictureOnce("/ppt/media/image", ".png", contenttype::kPng, stored),
              "/ppt/media/image1.png");
    EXPECT_EQ(pkg->NextFreePartName("/ppt/media/image", ".png"), "/ppt/media/image2.png");

    // Same length, other bytes; or the same bytes declared as another kind: a new part each time.
    const Bytes other = testzip::ToBytes(testzip::FakePng(3000, 8));
    ASSERT_EQ(other.size(), stored.size());
    const std::string otherName = pkg->AddPictureOnce("/ppt/media/image", ".png", contenttype::kPng, other);
    EXPECT_EQ(otherName, "/ppt/media/image2.png");
    EXPECT_EQ(pkg->AddPictureOnce("/ppt/media/image", ".jpeg", "image/jpeg", stored),
              "/ppt/media/image3.jpeg");
    // A part added in this session is found as well.
    EXPECT_EQ(pkg->AddPictureOnce("/ppt/media/image", ".png", contenttype::kPng, other), otherName);

    // Not pictures, not the deck's media, or with relationships of their own: never shared.
    const Bytes xml = pkg->PartBytes(kSlide);
    EXPECT_NE(pkg->AddPictureOnce("/ppt/slides/slide", ".xml", contenttype::kXml, xml), kSlide);
    pkg->AddPart("/docProps/thumb.png", contenttype::kPng, testzip::ToBytes(testzip::FakePng(700, 4)));
    EXPECT_NE(pkg->AddPictureOnce("/ppt/media/image", ".png", contenttype::kPng,
                                  testzip::ToBytes(testzip::FakePng(700, 4))),
              "/docProps/thumb.png");
    pkg->AddRelationship(otherName, reltype::kImage, "/ppt/media/image1.png");
    EXPECT_NE(pkg->AddPictureOnce("/ppt/media/image", ".png", contenttype::kPng, other), otherName);
}

TEST(PackageEdit, ASharedPartThatNothingReachedIsSavedOnceLinkedAgain) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    const Bytes orphan = testzip::ToBytes(testzip::FakePng(500, 9));
    const std::string name = pkg->AddPictureOnce("/ppt/media/image", ".png", contenttype::kPng, orphan);
    ASSERT_EQ(name, "/ppt/media/orphan.png");
    EXPECT_FALSE(Reopen(*pkg)->HasPart(name));
    pkg->AddRelationship(kSlide, reltype::kImage, name);
    auto copy = Reopen(*pkg);
    ASSERT_TRUE(copy->HasPart(name));
    EXPECT_EQ(copy->PartBytes(name), orphan);
}
