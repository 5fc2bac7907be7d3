#include "TestImages.h"
#include "TestZip.h"
#include "office/package/Package.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <vips/vips8>

using office::package::Package;
using office::package::SaveOptions;
namespace reltype = office::package::reltype;

namespace {

testzip::Bytes Plain(const Package& pkg) {
    SaveOptions options;
    options.repack = false;
    return pkg.SaveToBytes("test", options);
}

// A deck whose every part comes from the archive: the edits are saved without repacking first.
template <typename Edit> testzip::Bytes DeckWith(Edit edit) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    edit(*pkg);
    return Plain(*pkg);
}

const testzip::Entry* Find(const std::vector<testzip::Entry>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

testzip::Bytes AsBytes(const std::string& s) {
    return testzip::Bytes(s.begin(), s.end());
}

const char* kSlide = "/ppt/slides/slide1.xml";
const char* kLayout = "/ppt/slideLayouts/slideLayout1.xml";

} // namespace

TEST(PackageRepack, TiffPictureBecomesPngWithContentTypeAndEveryRelationship) {
    const auto tiff = testimages::MakeTiff(40, 30);
    const auto png = testimages::MakePng({});
    auto deck = DeckWith([&](Package& pkg) {
        pkg.AddPart("/ppt/media/scan.tiff", "image/tiff", tiff);
        pkg.AddRelationship(kSlide, reltype::kImage, "/ppt/media/scan.tiff");
        pkg.AddRelationship(kLayout, reltype::kImage, "/ppt/media/scan.tiff");
        // Takes the obvious new name, so the converted picture needs another.
        pkg.AddPart("/ppt/media/scan.png", "image/png", png);
        pkg.AddRelationship(kSlide, reltype::kImage, "/ppt/media/scan.png");
    });
    auto pkg = Package::OpenFromBytes(deck);
    const auto saved = pkg->SaveToBytes();
    auto copy = Package::OpenFromBytes(saved);
    EXPECT_FALSE(copy->HasPart("/ppt/media/scan.tiff"));
    std::string converted;
    for (const auto& source : {kSlide, kLayout}) {
        int images = 0;
        for (const auto& rel : copy->RelationshipsOfType(source, reltype::kImage)) {
            ASSERT_TRUE(copy->HasPart(rel.targetPart)) << rel.target;
            if (rel.targetPart == "/ppt/media/scan.png" || rel.targetPart == "/ppt/media/image1.png")
                continue;
            ++images;
            if (converted.empty())
                converted = rel.targetPart;
            EXPECT_EQ(rel.targetPart, converted) << "both relationships reach the one converted part";
        }
        EXPECT_EQ(images, 1) << source;
    }
    ASSERT_FALSE(converted.empty());
    EXPECT_EQ(office::package::PartExtension(converted), "png");
    EXPECT_EQ(copy->ContentType(converted), "image/png");
    EXPECT_TRUE(testimages::DecodePng(copy->PartBytes("/ppt/media/scan.png")).rgba ==
                testimages::DecodePng(png).rgba);
    const auto pixels = testimages::DecodePng(copy->PartBytes(converted), true);
    vips::VImage original = vips::VImage::new_from_buffer(tiff.data(), tiff.size(), "");
    std::size_t size = 0;
    void* raw = original.write_to_memory(&size);
    const auto* rgb = static_cast<const std::uint8_t*>(raw);
    ASSERT_EQ(pixels.rgba.size(), size / 3 * 4);
    bool same = true;
    for (std::size_t i = 0; i < size / 3 && same; ++i)
        same = pixels.rgba[i * 4] == rgb[i * 3] && pixels.rgba[i * 4 + 1] == rgb[i * 3 + 1] &&
               pixels.rgba[i * 4 + 2] == rgb[i * 3 + 2];
    g_free(raw);
    EXPECT_TRUE(same) << "pixels changed in the conversion";
    // [Content_Types].xml names no part that is not written.
    const auto entries = testzip::ReadZip(saved);
    pugi::xml_document types;
    ASSERT_TRUE(types.load_string(entries.front().data.c_str()));
    for (auto node : types.document_element().children("Override"))
        EXPECT_TRUE(Find(entries, std::string(node.attribute("PartName").value()).substr(1)))
            << node.attribute("PartName").value();
    // The package in memory is not changed by saving it.
    EXPECT_TRUE(pkg->HasPart("/ppt/media/scan.tiff"));
    EXPECT_EQ(pkg->Relationships(kSlide).size(), copy->Relationships(kSlide).size());
}

TEST(PackageRepack, IdenticalPicturesAreStoredOnceButEmbeddedObjectsStayApart) {
    const auto jpeg = testimages::MakeJpeg(64, 48, 3, {});
    const auto ole = testimages::Noise(3000, 8);
    auto deck = DeckWith([&](Package& pkg) {
        pkg.AddPart("/ppt/media/image2.jpeg", "image/jpeg", jpeg);
        pkg.AddPart("/ppt/media/image3.jpeg", "image/jpeg", jpeg);
        pkg.AddRelationship(kSlide, reltype::kImage, "/ppt/media/image2.jpeg");
        pkg.AddRelationship(kLayout, reltype::kImage, "/ppt/media/image3.jpeg");
        pkg.AddRelationship(kLayout, reltype::kImage, "/ppt/media/image2.jpeg");
        pkg.AddPart("/ppt/embeddings/oleObject1.bin",
                    "application/vnd.openxmlformats-officedocument.oleObject", ole);
        pkg.AddPart("/ppt/embeddings/oleObject2.bin",
                    "application/vnd.openxmlformats-officedocument.oleObject", ole);
        pkg.AddRelationship(kSlide, reltype::kOleObject, "/ppt/embeddings/oleObject1.bin");
        pkg.AddRelationship(kSlide, reltype::kOleObject, "/ppt/embeddings/oleObject2.bin");
    });
    auto copy = Package::OpenFromBytes(Package::OpenFromBytes(deck)->SaveToBytes());
    EXPECT_TRUE(copy->HasPart("/ppt/media/image2.jpeg"));
    EXPECT_FALSE(copy->HasPart("/ppt/media/image3.jpeg"));
    for (const auto& source : {kSlide, kLayout})
        for (const auto& rel : copy->RelationshipsOfType(source, reltype::kImage))
            EXPECT_TRUE(copy->HasPart(rel.targetPart)) << source << " " << rel.id << " -> " << rel.target;
    const auto layoutImages = copy->RelationshipsOfType(kLayout, reltype::kImage);
    ASSERT_EQ(layoutImages.size(), 2u);
    EXPECT_EQ(layoutImages[0].targetPart, "/ppt/media/image2.jpeg");
    EXPECT_EQ(layoutImages[1].targetPart, "/ppt/media/image2.jpeg");
    const auto kept = copy->PartBytes("/ppt/media/image2.jpeg");
    EXPECT_LT(kept.size(), jpeg.size()) << "the picture was repacked too";
    EXPECT_EQ(testimages::DecodeJpeg(kept), testimages::DecodeJpeg(jpeg));
    EXPECT_TRUE(copy->HasPart("/ppt/embeddings/oleObject1.bin"));
    EXPECT_TRUE(copy->HasPart("/ppt/embeddings/oleObject2.bin"));
}

TEST(PackageRepack, UnchangedSaveIsNeverLargerAndKeepsEveryPartsContent) {
    auto deck = DeckWith([&](Package& pkg) {
        pkg.AddPart("/ppt/media/photo.jpg", "image/jpeg", testimages::MakeJpeg(120, 90, 3, {}));
        pkg.AddRelationship(kSlide, reltype::kImage, "/ppt/media/photo.jpg");
        pkg.AddPart("/ppt/media/chart.png", "image/png", testimages::MakePng({100, 80, 6, 8, false, false}));
        pkg.AddRelationship(kSlide, reltype::kImage, "/ppt/media/chart.png");
    });
    // Stored XML (as some writers leave it) is deflated.
    auto items = testzip::SmallDeckItems();
    for (auto& item : items)
        if (item.name == "ppt/slides/slide1.xml")
            item.deflate = false;
    for (const auto& input : {deck, testzip::BuildZip(items), testzip::SmallDeck()}) {
        auto pkg = Package::OpenFromBytes(input);
        const auto saved = pkg->SaveToBytes();
        EXPECT_LE(saved.size(), input.size());
        auto copy = Package::OpenFromBytes(saved);
        ASSERT_EQ(copy->PartNames(), pkg->LiveParts());
        for (const auto& name : pkg->LiveParts()) {
            SCOPED_TRACE(name);
            const auto before = pkg->PartBytes(name), after = copy->PartBytes(name);
            const std::string type = pkg->ContentType(name);
            EXPECT_EQ(copy->ContentType(name), type);
            if (type == "image/jpeg")
                EXPECT_EQ(testimages::DecodeJpeg(after), testimages::DecodeJpeg(before));
            else if (type == "image/png" && name != "/ppt/media/image1.png")
                EXPECT_TRUE(testimages::DecodePng(after).rgba == testimages::DecodePng(before).rgba);
            else
                EXPECT_TRUE(after == before);
        }
        const auto entries = testzip::ReadZip(saved);
        EXPECT_EQ(Find(entries, "ppt/slides/slide1.xml")->method, 8);
    }
}

TEST(PackageRepack, PartsAddedInThisRunAreNotReencodedAndSavesAreRepeatable) {
    const auto jpeg = testimages::MakeJpeg(80, 60, 3, {});
    const auto deck = DeckWith([&](Package& pkg) {
        pkg.AddPart("/ppt/media/old.jpeg", "image/jpeg", jpeg);
        pkg.AddRelationship(kSlide, reltype::kImage, "/ppt/media/old.jpeg");
    });
    auto pkg = Package::OpenFromBytes(deck);
    const auto pasted = testimages::MakeJpeg(81, 60, 3, {});
    pkg->AddPart("/ppt/media/new.jpeg", "image/jpeg", pasted);
    pkg->AddRelationship(kSlide, reltype::kImage, "/ppt/media/new.jpeg");
    const auto first = pkg->SaveToBytes();
    const auto entries = testzip::ReadZip(first);
    const auto* added = Find(entries, "ppt/media/new.jpeg");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->method, 0);
    EXPECT_TRUE(AsBytes(added->data) == pasted) << "a picture made in this run keeps its bytes";
    EXPECT_LT(Find(entries, "ppt/media/old.jpeg")->data.size(), jpeg.size());
    // Saved again, and saved from a fresh copy of the same input: the same bytes.
    EXPECT_TRUE(pkg->SaveToBytes() == first);
    auto again = Package::OpenFromBytes(deck);
    again->AddPart("/ppt/media/new.jpeg", "image/jpeg", pasted);
    again->AddRelationship(kSlide, reltype::kImage, "/ppt/media/new.jpeg");
    EXPECT_TRUE(again->SaveToBytes() == first);
}

TEST(PackageRepack, ArchiveUsesOnlyDeflateOrStoredWithMatchingVersions) {
    const auto saved = Package::OpenFromBytes(testzip::SmallDeck())->SaveToBytes();
    const auto entries = testzip::ReadZip(saved);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().name, "[Content_Types].xml");
    EXPECT_EQ(entries[1].name, "_rels/.rels");
    // Walk the central directory: method, version needed, flags and extra fields of each entry.
    std::size_t end = saved.size() - 22;
    ASSERT_EQ(saved[end], 0x50);
    auto u16 = [&](std::size_t at) { return unsigned(saved[at] | saved[at + 1] << 8); };
    auto u32 = [&](std::size_t at) { return std::size_t(u16(at)) | std::size_t(u16(at + 2)) << 16; };
    std::size_t pos = u32(end + 16);
    for (std::size_t i = 0; i < u16(end + 10); ++i) {
        ASSERT_EQ(u32(pos), 0x02014B50u);
        const unsigned method = u16(pos + 10);
        EXPECT_TRUE(method == 0 || method == 8);
        EXPECT_EQ(u16(pos + 6), method == 8 ? 20u : 10u) << "version needed";
        EXPECT_EQ(u16(pos + 8), 0u) << "flags";
        EXPECT_EQ(u16(pos + 30), 0u) << "extra field";
        pos += 46 + u16(pos + 28) + u16(pos + 30) + u16(pos + 32);
    }
    EXPECT_EQ(entries.size(), u16(end + 10));
}
