// A package read from its file as parts are asked for, and saves streamed into the output: what is
// read and written must not depend on where the bytes live.

#include "TestImages.h"
#include "TestZip.h"
#include "automation/AutomationError.h"
#include "office/package/Package.h"
#include "tests/support/WorkFolders.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace office::package;
using automation::AutomationError;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() { path_ = testsupport::MakeWorkFolder("pkgfile-"); }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

Bytes Plain(const Package& pkg) {
    SaveOptions options;
    options.repack = false;
    return pkg.SaveToBytes("test", options);
}

// Every kind of work a repack does: a JPEG to re-encode and a copy of it to merge, a TIFF to convert
// (which renames it), a PNG, XML to deflate, a part that stays as stored.
Bytes MixedDeck() {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    const char* slide = "/ppt/slides/slide1.xml";
    const auto jpeg = testimages::MakeJpeg(96, 64, 3, {});
    pkg->AddPart("/ppt/media/photo.jpeg", "image/jpeg", jpeg);
    pkg->AddRelationship(slide, reltype::kImage, "/ppt/media/photo.jpeg");
    pkg->AddPart("/ppt/media/again.jpeg", "image/jpeg", jpeg);
    pkg->AddRelationship("/ppt/slideLayouts/slideLayout1.xml", reltype::kImage, "/ppt/media/again.jpeg");
    pkg->AddPart("/ppt/media/scan.tiff", "image/tiff", testimages::MakeTiff(40, 30));
    pkg->AddRelationship(slide, reltype::kImage, "/ppt/media/scan.tiff");
    pkg->AddPart("/ppt/media/chart.png", "image/png", testimages::MakePng({}));
    pkg->AddRelationship(slide, reltype::kImage, "/ppt/media/chart.png");
    return Plain(*pkg);
}

std::string OpenErrorOf(const std::function<void()>& open) {
    try {
        open();
    } catch (const AutomationError& e) {
        return e.what();
    }
    return "(opened)";
}

fs::file_time_type ModificationTime(const fs::path& path) {
    return fs::last_write_time(path);
}

bool Mentions(const std::string& text, const std::string& word) {
    return text.find(word) != std::string::npos;
}

} // namespace

TEST(PackageFile, ReadsAndSavesAsTheSameBytesInMemoryDo) {
    std::vector<std::pair<std::string, Bytes>> decks{{"small", testzip::SmallDeck()}, {"mixed", MixedDeck()}};
    const fs::path corpus = QUARNEL_CORPUS;
    for (const char* name : {"poi__54542_cropped_bitmap.pptx", "aspose-net__Saving_Image.pptx",
                             "oxmlsdk__linkedpicture.pptx", "poi__Divino_Revelado.pptx"})
        if (fs::exists(corpus / name))
            decks.emplace_back(name, testzip::ReadFile(corpus / name));

    TempDir dir;
    SaveOptions plain;
    plain.repack = false;
    for (const auto& [name, bytes] : decks) {
        SCOPED_TRACE(name);
        const fs::path input = dir / "in.pptx";
        testzip::WriteFile(input, bytes);
        const auto written = ModificationTime(input);
        std::unique_ptr<Package> fromBytes, fromFile;
        const std::string bytesError = OpenErrorOf([&] { fromBytes = Package::OpenFromBytes(bytes); });
        const std::string fileError =
            OpenErrorOf([&] { fromFile = Package::Open(testsupport::Utf8(input)); });
        EXPECT_EQ(fileError, bytesError);
        if (!fromBytes || !fromFile)
            continue;

        ASSERT_EQ(fromFile->PartNames(), fromBytes->PartNames());
        for (const auto& part : fromFile->PartNames())
            EXPECT_EQ(fromFile->PartBytes(part), fromBytes->PartBytes(part)) << part;
        for (const SaveOptions& options : {SaveOptions{}, plain}) {
            fromFile->SaveAs(testsupport::Utf8(dir / "out.pptx"), "test", options);
            EXPECT_EQ(testzip::ReadFile(dir / "out.pptx"), fromBytes->SaveToBytes("test", options))
                << (options.repack ? "repacked" : "plain");
        }
        EXPECT_EQ(testzip::ReadFile(input), bytes) << "input written";
        const auto now = ModificationTime(input);
        EXPECT_TRUE(now == written) << "input touched";
        EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.pptx", "out.pptx"}));
    }
}

TEST(PackageFile, ShortRunsAndNoRememberedOutcomesWriteTheSameArchive) {
    const Bytes deck = MixedDeck();
    const Bytes reference = Package::OpenFromBytes(deck)->SaveToBytes();
    // The reference really did each kind of work.
    auto copy = Package::OpenFromBytes(reference);
    EXPECT_FALSE(copy->HasPart("/ppt/media/scan.tiff"));
    EXPECT_FALSE(copy->HasPart("/ppt/media/again.jpeg"));
    EXPECT_TRUE(copy->HasPart("/ppt/media/photo.jpeg"));
    // The order office writers use: content types, package relationships, then every part followed by
    // its own relationships.
    const auto entries = testzip::ReadZip(reference);
    ASSERT_GT(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "[Content_Types].xml");
    EXPECT_EQ(entries[1].name, "_rels/.rels");
    for (std::size_t i = 2; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        const auto rels = name.find("_rels/");
        if (rels == std::string::npos)
            continue;
        const std::string source = name.substr(0, rels) + name.substr(rels + 6, name.size() - rels - 11);
        EXPECT_EQ(entries[i - 1].name, source) << name;
    }

    // One part a run, converted pictures run again when written, nothing remembered between saves.
    SaveOptions tight;
    tight.repackBatchBytes = 1;
    tight.repackCacheBytes = 0;
    auto pkg = Package::OpenFromBytes(deck);
    EXPECT_EQ(pkg->SaveToBytes("test", tight), reference);
    EXPECT_EQ(pkg->SaveToBytes("test", tight), reference);
    // Remembered outcomes give the same archive again; so do they after an edit.
    auto remembering = Package::OpenFromBytes(deck);
    EXPECT_EQ(remembering->SaveToBytes(), reference);
    EXPECT_EQ(remembering->SaveToBytes(), reference);
    for (auto* edited : {pkg.get(), remembering.get()}) {
        edited->XmlForEdit("/ppt/slides/slide1.xml").document_element().append_attribute("edited") = "1";
        edited->AddPictureOnce("/ppt/media/image", "png", "image/png", testimages::MakePng({}));
    }
    EXPECT_EQ(pkg->SaveToBytes("test", tight), remembering->SaveToBytes());
}

TEST(PackageFile, AFileChangedWhileOpenFailsTheSaveAndOneRemovedStillSaves) {
    TempDir dir;
    const Bytes deck = MixedDeck();
    const Bytes expected = Package::OpenFromBytes(deck)->SaveToBytes();

    // Removed or replaced by another file: the package reads on from the file it opened.
    testzip::WriteFile(dir / "gone.pptx", deck);
    auto gone = Package::Open(testsupport::Utf8(dir / "gone.pptx"));
    fs::remove(dir / "gone.pptx");
    testzip::WriteFile(dir / "other.pptx", testzip::SmallDeck());
    std::error_code renamed;
    fs::rename(dir / "other.pptx", dir / "gone.pptx", renamed);
#ifndef _WIN32
    ASSERT_FALSE(renamed) << renamed.message();
#endif
    // (On Windows the name of a removed file stays taken while the file is open.)
    gone->SaveAs(testsupport::Utf8(dir / "out.pptx"));
    EXPECT_EQ(testzip::ReadFile(dir / "out.pptx"), expected);
    gone.reset();
    fs::remove(dir / "gone.pptx");
    fs::remove(dir / "other.pptx");
    fs::remove(dir / "out.pptx");

    // Written over in place: another deck, the deck cut short, one byte of it changed. No read is
    // trusted (an untouched part is copied as stored, unchecked, so the save looks once more at the
    // end), no output is left.
    auto flipped = deck;
    flipped[deck.size() / 2] ^= 0xFF;
    SaveOptions plain;
    plain.repack = false;
    for (const Bytes& replacement :
         {testzip::SmallDeck(), Bytes(deck.begin(), deck.begin() + deck.size() / 2), flipped}) {
        for (const SaveOptions& options : {SaveOptions{}, plain}) {
            const fs::path input = dir / "in.pptx";
            testzip::WriteFile(input, deck);
            // An old time stamp, so that the rewrite shows even within the file system's clock tick.
            std::error_code dated;
            fs::last_write_time(
                input,
                std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{946684800}}),
                dated);
            ASSERT_FALSE(dated) << dated.message();
            auto pkg = Package::Open(testsupport::Utf8(input));
            auto original = Package::OpenFromBytes(deck);
            std::fstream(input, std::ios::in | std::ios::out | std::ios::binary)
                .write(reinterpret_cast<const char*>(replacement.data()),
                       std::streamsize(replacement.size()));
            fs::resize_file(input, replacement.size());
            // A part still found where it was may be read; anything else is refused, never taken.
            for (const auto& part : original->PartNames()) {
                try {
                    EXPECT_EQ(pkg->PartBytes(part), original->PartBytes(part)) << part;
                } catch (const AutomationError& e) {
                    EXPECT_TRUE(Mentions(e.what(), "the file changed while it was open"))
                        << part << ": " << e.what();
                }
            }
            try {
                pkg->SaveAs(testsupport::Utf8(dir / "out.pptx"), "Presentation.SaveAs", options);
                ADD_FAILURE() << "saved from a file that changed";
            } catch (const AutomationError& e) {
                EXPECT_EQ(e.member(), "Presentation.SaveAs");
                EXPECT_TRUE(Mentions(e.what(), "the file changed while it was open")) << e.what();
            }
            EXPECT_EQ(dir.Files(), std::vector<std::string>{"in.pptx"});
        }
    }
}

TEST(PackageFile, MoreEntriesThanClassicZipCountsAreWrittenWithZip64) {
    // Every part reached from the slide, so that all of them are written.
    auto items = testzip::SmallDeckItems();
    std::string rels = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                       "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    const int count = 0x10000;
    for (int i = 0; i < count; ++i) {
        items.push_back({"ppt/media/n" + std::to_string(i) + ".bin", std::to_string(i), false});
        rels += "<Relationship Id=\"rId" + std::to_string(i + 10) +
                "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/package\" "
                "Target=\"../media/n" +
                std::to_string(i) + ".bin\"/>";
    }
    rels += "</Relationships>";
    for (auto& item : items)
        if (item.name == "ppt/slides/_rels/slide1.xml.rels")
            item.data = rels;
    OpenLimits roomy;
    roomy.maxEntries = 2 * count;

    TempDir dir;
    testzip::WriteFile(dir / "in.pptx", testzip::BuildZip(items));
    auto pkg = Package::Open(testsupport::Utf8(dir / "in.pptx"), "test", roomy);
    pkg->SaveAs(testsupport::Utf8(dir / "out.pptx"));
    const Bytes saved = testzip::ReadFile(dir / "out.pptx");
    EXPECT_EQ(saved, pkg->SaveToBytes());
    auto copy = Package::OpenFromBytes(saved, "test", roomy);
    EXPECT_EQ(copy->LiveParts().size(), pkg->LiveParts().size());
    EXPECT_EQ(copy->PartBytes("/ppt/media/n65535.bin"), testzip::ToBytes("65535"));
}
