#include "TestZip.h"
#include "automation/AutomationError.h"
#include "office/package/Package.h"
#include "tests/support/WorkFolders.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace office::package;

namespace {

std::unique_ptr<Package> OpenSmallDeck(const std::vector<testzip::Item>& extra = {}) {
    return Package::OpenFromBytes(testzip::SmallDeck(extra));
}

std::string TextOf(const pugi::xml_document& doc, const char* xpath) {
    auto node = doc.select_node(xpath).node();
    return node ? node.text().get() : "<missing>";
}

} // namespace

TEST(PackageRead, FindsPartsContentTypesAndTheMainPart) {
    auto pkg = OpenSmallDeck();
    EXPECT_EQ(pkg->MainPartName(), "/ppt/presentation.xml");
    auto names = pkg->PartNames();
    EXPECT_EQ(names.size(), 8u); // rels files and [Content_Types].xml are not parts
    EXPECT_EQ(names.front(), "/docProps/core.xml");
    EXPECT_TRUE(pkg->HasPart("/PPT/Slides/SLIDE1.xml"));
    EXPECT_EQ(pkg->CanonicalName("/ppt/MEDIA/image1.PNG"), "/ppt/media/image1.png");
    EXPECT_FALSE(pkg->HasPart("/ppt/slides/_rels/slide1.xml.rels"));
    EXPECT_FALSE(pkg->HasPart("/[Content_Types].xml"));
    // Override wins, Default by extension otherwise, whatever the case of the name.
    EXPECT_EQ(pkg->ContentType("/ppt/Slides/slide1.xml"), contenttype::kSlide);
    EXPECT_EQ(pkg->ContentType("/ppt/media/IMAGE1.png"), "image/png");
    EXPECT_EQ(pkg->ContentType("/ppt/presentation.xml"), contenttype::kPresentationMain);
    EXPECT_EQ(pkg->PartSize("/ppt/media/image1.png"), 3000u);
    EXPECT_THROW(pkg->ContentType("/nope.xml"), automation::AutomationError);
    EXPECT_FALSE(pkg->IsPartModified("/ppt/slides/slide1.xml"));
}

TEST(PackageRead, RelationshipsResolveRelativeToTheirSource) {
    auto pkg = OpenSmallDeck();
    auto rels = pkg->Relationships("/ppt/slides/slide1.xml");
    ASSERT_EQ(rels.size(), 3u);
    EXPECT_EQ(rels[0].targetPart, "/ppt/slideLayouts/slideLayout1.xml");
    EXPECT_EQ(rels[1].target, "../media/image1.png");
    EXPECT_EQ(rels[1].targetPart, "/ppt/media/image1.png");
    EXPECT_TRUE(rels[2].external);
    EXPECT_EQ(rels[2].target, "https://example.com/a?b=1&c=2");
    EXPECT_TRUE(rels[2].targetPart.empty());

    auto image = pkg->FindRelationship("/ppt/slides/slide1.xml", "rId2");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->type, reltype::kImage);
    EXPECT_FALSE(pkg->FindRelationship("/ppt/slides/slide1.xml", "rId9"));
    EXPECT_EQ(pkg->RelationshipsOfType("/ppt/presentation.xml", reltype::kSlide).size(), 1u);
    EXPECT_EQ(pkg->Relationships("/").size(), 2u);
    EXPECT_TRUE(pkg->Relationships("/ppt/media/image1.png").empty());
    EXPECT_EQ(pkg->ResolveTarget("/ppt/slides/slide1.xml", "../MEDIA/image1.png"), "/ppt/media/image1.png");

    // Both the layout and the master point at each other; the master is reached twice.
    auto toMaster = pkg->RelationshipsTo("/ppt/slideMasters/slideMaster1.xml");
    EXPECT_EQ(toMaster.size(), 2u);
}

TEST(PackageRead, LivePartsFollowRelationshipsOnly) {
    auto pkg = OpenSmallDeck();
    auto live = pkg->LiveParts();
    EXPECT_EQ(live.size(), 6u);
    auto has = [&](const char* name) { return std::find(live.begin(), live.end(), name) != live.end(); };
    EXPECT_TRUE(has("/ppt/media/image1.png"));
    EXPECT_TRUE(has("/ppt/slideMasters/slideMaster1.xml"));
    EXPECT_TRUE(has("/docProps/core.xml"));
    EXPECT_FALSE(has("/ppt/media/orphan.png"));
    EXPECT_FALSE(has("/ppt/slides/slide9.xml"));
}

TEST(PackageRead, XmlKeepsTextWhitespaceAndUnknownMarkup) {
    auto pkg = OpenSmallDeck();
    const auto& doc = pkg->XmlForRead("/ppt/slides/slide1.xml");
    EXPECT_EQ(TextOf(doc, "//a:r[1]/a:t"), " ");
    EXPECT_EQ(TextOf(doc, "//a:r[2]/a:t"), "  two  spaces  ");
    EXPECT_EQ(TextOf(doc, "//a:r[3]/a:t"), "<tag> & \xE3\x82\xAF");
    EXPECT_TRUE(doc.select_node("//x15:unknown[@x15:attr='v']/x15:child"));
    EXPECT_TRUE(doc.select_node("//mc:AlternateContent/mc:Choice[@Requires='x15']"));
    EXPECT_FALSE(pkg->IsPartModified("/ppt/slides/slide1.xml")) << "reading must not mark a part changed";
    // The same tree comes back on the second call (parsed once).
    EXPECT_EQ(&doc, &pkg->XmlForRead("/ppt/slides/slide1.xml"));
}

TEST(PackageRead, PartBytesAreTheStoredContent) {
    auto items = testzip::SmallDeckItems();
    auto pkg = OpenSmallDeck();
    for (const auto& item : items) {
        if (item.name.find(".rels") != std::string::npos || item.name == "[Content_Types].xml")
            continue;
        EXPECT_EQ(testzip::ToString(pkg->PartBytes("/" + item.name)), item.data) << item.name;
    }
}

TEST(PackageRead, PercentEscapedTargetsAndOddNamesResolve) {
    auto items = testzip::SmallDeckItems();
    for (auto& item : items) {
        if (item.name == "ppt/slides/_rels/slide1.xml.rels") {
            auto at = item.data.find("../media/image1.png");
            item.data.replace(at, 19, "../media/My%20Picture.PNG");
        }
        if (item.name == "ppt/media/image1.png")
            item.name = "ppt/media/my picture.png";
    }
    auto pkg = Package::OpenFromBytes(testzip::BuildZip(items));
    auto rel = pkg->FindRelationship("/ppt/slides/slide1.xml", "rId2");
    ASSERT_TRUE(rel);
    EXPECT_EQ(rel->targetPart, "/ppt/media/my picture.png");
    auto live = pkg->LiveParts();
    EXPECT_NE(std::find(live.begin(), live.end(), "/ppt/media/my picture.png"), live.end());
}

TEST(PackageRead, OpensFromDiskWithoutTouchingTheFile) {
    const std::filesystem::path folder = testsupport::MakeWorkFolder("pkgread-");
    const std::string path = testsupport::Utf8(folder / "deck.pptx");
    auto bytes = testzip::SmallDeck();
    testzip::WriteFile(path, bytes);
    {
        auto pkg = Package::Open(path);
        EXPECT_EQ(pkg->SourcePath(), path);
        pkg->XmlForEdit("/ppt/slides/slide1.xml").document_element().append_attribute("x") = "1";
        pkg->SetPartBytes("/ppt/media/image1.png", {1, 2, 3});
        EXPECT_EQ(pkg->MainPartName(), "/ppt/presentation.xml");
    }
    EXPECT_EQ(testzip::ReadFile(path), bytes);
    std::filesystem::remove(folder / "deck.pptx");
    try {
        Package::Open(path, "Presentations.Open");
        FAIL() << "opening a missing file must fail";
    } catch (const automation::AutomationError& e) {
        EXPECT_EQ(e.member(), "Presentations.Open");
        EXPECT_NE(std::string(e.what()).find("not found"), std::string::npos) << e.what();
    }
    EXPECT_THROW(Package::Open(testsupport::Utf8(folder)), automation::AutomationError);
    std::filesystem::remove_all(folder);
}

TEST(PackageRead, StrictConformanceMainRelationshipIsFound) {
    auto items = testzip::SmallDeckItems();
    for (auto& item : items) {
        if (item.name == "_rels/.rels") {
            const std::string transitional = reltype::kOfficeDocument;
            item.data.replace(item.data.find(transitional), transitional.size(),
                              reltype::kOfficeDocumentStrict);
        }
    }
    auto pkg = Package::OpenFromBytes(testzip::BuildZip(items));
    EXPECT_EQ(pkg->MainPartName(), "/ppt/presentation.xml");
    EXPECT_EQ(pkg->LiveParts().size(), 6u);
}
