#include "RoundTripCheck.h"
#include "TestZip.h"
#include "automation/AutomationError.h"
#include "office/package/ArchiveSink.h"
#include "office/package/Package.h"
#include "platform/StagingFiles.h"
#include "tests/support/WorkFolders.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace office::package;
using automation::AutomationError;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() { path_ = testsupport::MakeWorkFolder("pkgsave-"); }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_))
            names.push_back(testsupport::Utf8(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

const testzip::Entry* FindEntry(const std::vector<testzip::Entry>& entries, const std::string& name) {
    for (const auto& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

} // namespace

TEST(PackageSave, UnchangedSaveKeepsEveryLivePartAndDropsTheRest) {
    auto original = testzip::SmallDeck();
    auto pkg = Package::OpenFromBytes(original);
    auto saved = pkg->SaveToBytes();
    roundtrip::ExpectFaithfulCopy(*pkg, saved);

    auto entries = testzip::ReadZip(saved);
    EXPECT_FALSE(FindEntry(entries, "ppt/media/orphan.png"));
    EXPECT_FALSE(FindEntry(entries, "ppt/slides/slide9.xml"));
    // Without the repack, untouched parts and rels travel with their compressed bytes unchanged; with
    // it, their stored form only ever shrinks.
    SaveOptions plain;
    plain.repack = false;
    auto plainEntries = testzip::ReadZip(pkg->SaveToBytes("test", plain));
    auto before = testzip::ReadZip(original);
    for (const char* name :
         {"ppt/slides/slide1.xml", "ppt/slides/_rels/slide1.xml.rels", "ppt/media/image1.png"}) {
        const auto* a = FindEntry(before, name);
        const auto* b = FindEntry(plainEntries, name);
        const auto* c = FindEntry(entries, name);
        ASSERT_TRUE(a && b && c) << name;
        EXPECT_EQ(a->stored, b->stored) << name;
        EXPECT_EQ(a->method, b->method) << name;
        EXPECT_LE(c->stored.size(), a->stored.size()) << name;
        EXPECT_EQ(c->data, a->data) << name;
    }
}

TEST(PackageSave, ContentTypesListExactlyTheWrittenParts) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    pkg->AddPartWithUniqueName("/ppt/media/image", "gif", contenttype::kGif, {'G', 'I', 'F'});
    pkg->AddRelationship("/ppt/slides/slide1.xml", reltype::kImage, "/ppt/media/image2.gif");
    // A part whose content type disagrees with its extension's default needs an Override.
    pkg->AddPart("/ppt/embeddings/data.png", "application/x-odd", {1});
    pkg->AddRelationship("/ppt/slides/slide1.xml", reltype::kOleObject, "/ppt/embeddings/data.png");
    auto entries = testzip::ReadZip(pkg->SaveToBytes());
    ASSERT_EQ(entries.front().name, "[Content_Types].xml");
    pugi::xml_document types;
    ASSERT_TRUE(types.load_string(entries.front().data.c_str()));
    auto root = types.document_element();
    EXPECT_FALSE(root.find_child_by_attribute("Override", "PartName", "/ppt/slides/slide9.xml"))
        << "Override kept for a part that is not written";
    EXPECT_TRUE(root.find_child_by_attribute("Default", "Extension", "gif"));
    EXPECT_TRUE(root.find_child_by_attribute("Override", "PartName", "/ppt/embeddings/data.png"));
    EXPECT_FALSE(root.find_child_by_attribute("Override", "PartName", "/ppt/media/image1.png"));
    int overrides = 0;
    for (auto node : root.children("Override")) {
        ++overrides;
        std::string part = node.attribute("PartName").value();
        EXPECT_TRUE(FindEntry(entries, part.substr(1))) << "Override for missing " << part;
    }
    EXPECT_EQ(overrides, 6); // presentation, slide, layout, master, core properties, the odd part
    // Every written part is covered by a Default or an Override.
    auto copy = Package::OpenFromBytes(pkg->SaveToBytes());
    for (const auto& name : copy->PartNames())
        EXPECT_FALSE(copy->ContentType(name).empty()) << name;
}

TEST(PackageSave, NewPicturesAreStoredAndNewXmlIsDeflated) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    std::string png = pkg->AddPartWithUniqueName("/ppt/media/image", "png", contenttype::kPng,
                                                 testzip::ToBytes(testzip::FakePng(20000, 5)));
    pkg->AddRelationship("/ppt/slides/slide1.xml", reltype::kImage, png);
    pkg->XmlForEdit("/ppt/slides/slide1.xml");
    auto entries = testzip::ReadZip(pkg->SaveToBytes());
    EXPECT_EQ(FindEntry(entries, png.substr(1))->method, 0);
    EXPECT_EQ(FindEntry(entries, "ppt/slides/slide1.xml")->method, 8);
    EXPECT_EQ(FindEntry(entries, "ppt/slides/_rels/slide1.xml.rels")->method, 8);
    EXPECT_LT(FindEntry(entries, "[Content_Types].xml")->stored.size(),
              FindEntry(entries, "[Content_Types].xml")->data.size());
}

TEST(PackageSave, SaveAsWritesAtomicallyAndNeverTheInput) {
    TempDir dir;
    const fs::path input = dir.path() / "in.pptx";
    auto bytes = testzip::SmallDeck();
    testzip::WriteFile(input, bytes);
    auto pkg = Package::Open(testsupport::Utf8(input));
    pkg->XmlForEdit("/ppt/slides/slide1.xml");

    const fs::path output = dir.path() / "out.pptx";
    pkg->SaveAs(testsupport::Utf8(output));
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.pptx", "out.pptx"})) << "temporary file left behind";
    roundtrip::ExpectFaithfulCopy(*pkg, testzip::ReadFile(output));

    // Saving again replaces the earlier output.
    pkg->SetPartBytes("/ppt/media/image1.png", {9, 9});
    pkg->SaveAs(testsupport::Utf8(output));
    EXPECT_EQ(Package::Open(testsupport::Utf8(output))->PartBytes("/ppt/media/image1.png"), (Bytes{9, 9}));

    try {
        pkg->SaveAs(testsupport::Utf8(input), "Presentation.SaveAs");
        FAIL() << "overwriting the opened file must be refused";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.member(), "Presentation.SaveAs");
    }
    EXPECT_EQ(testzip::ReadFile(input), bytes);
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.pptx", "out.pptx"}));
}

TEST(PackageSave, TheUnfinishedArchiveIsAStagingFileOfThisProcessBesideTheTarget) {
    TempDir dir;
    const fs::path target = dir.path() / "out 【圧縮】.pptx";
    {
        detail::TempFileSink sink(target, "Presentation.SaveAs");
        const std::uint8_t bytes[] = {'P', 'K'};
        sink.WriteAt(0, bytes, sizeof bytes);
        const auto files = dir.Files();
        ASSERT_EQ(files.size(), 1u);
        // What a later run needs to remove it should this process be killed now.
        const auto staging = platform::ParseStagingName(files.front());
        ASSERT_TRUE(staging) << files.front();
        EXPECT_EQ(staging->kind, platform::kStagingSave);
        EXPECT_EQ(staging->pid, platform::CurrentProcessId());
        EXPECT_EQ(staging->target, testsupport::Utf8(target.filename()));
        EXPECT_EQ(files.front().front(), '.');
    }
    EXPECT_TRUE(dir.Files().empty()) << "an uncommitted staging file stays behind";
}

TEST(PackageSave, FailedSaveLeavesNothingBehind) {
    TempDir dir;
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    EXPECT_THROW(pkg->SaveAs(testsupport::Utf8(dir.path() / "missing" / "out.pptx")), AutomationError);
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
    fs::create_directory(dir.path() / "folder.pptx");
    EXPECT_THROW(pkg->SaveAs(testsupport::Utf8(dir.path() / "folder.pptx")), AutomationError);
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder.pptx"));

    // A save that fails while building the archive (malformed rels reached on the way) writes nothing.
    auto items = testzip::SmallDeckItems();
    for (auto& item : items) {
        if (item.name == "ppt/slides/_rels/slide1.xml.rels")
            item.data = "<Relationships><broken";
    }
    auto broken = Package::OpenFromBytes(testzip::BuildZip(items));
    EXPECT_THROW(broken->SaveAs(testsupport::Utf8(dir.path() / "out.pptx")), AutomationError);
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"folder.pptx"}));

    // A folder nobody can create files in, root included.
    EXPECT_THROW(pkg->SaveAs("/proc/quarnel-package-test.pptx"), AutomationError);
    EXPECT_FALSE(fs::exists("/proc/quarnel-package-test.pptx"));
}

TEST(PackageSave, ReadOnlyFolderLeavesTheExistingFileAlone) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder's rights are its access list, which std::filesystem does not set";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
#endif
    TempDir dir;
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    const fs::path locked = dir.path() / "locked";
    fs::create_directory(locked);
    testzip::WriteFile(locked / "out.pptx", {1, 2, 3});
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(pkg->SaveAs(testsupport::Utf8(locked / "out.pptx")), AutomationError);
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(testzip::ReadFile(locked / "out.pptx"), (Bytes{1, 2, 3})) << "existing file damaged";
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(locked))
        left.push_back(testsupport::Utf8(e.path().filename()));
    EXPECT_EQ(left, std::vector<std::string>{"out.pptx"});
}

TEST(PackageSave, PartsWithoutAContentTypeGetOneOnSave) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck(
        {{"ppt/media/extra.jpg", "\xFF\xD8\xFF", false}, {"ppt/media/blob.weird", "?", false}}));
    // Neither has a Default or an Override in the original [Content_Types].xml.
    EXPECT_EQ(pkg->ContentType("/ppt/media/extra.jpg"), "");
    pkg->AddRelationship("/ppt/slides/slide1.xml", reltype::kImage, "/ppt/media/extra.jpg");
    pkg->AddRelationship("/ppt/slides/slide1.xml", reltype::kOleObject, "/ppt/media/blob.weird");
    auto copy = Package::OpenFromBytes(pkg->SaveToBytes());
    EXPECT_EQ(copy->ContentType("/ppt/media/extra.jpg"), "image/jpeg");
    EXPECT_EQ(copy->ContentType("/ppt/media/blob.weird"), contenttype::kOctetStream);
}

TEST(PackageSave, EditedUtf16PartIsWrittenAsDeclaredUtf8) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?><p:sld "
                      "xmlns:p=\"urn:p\" xmlns:a=\"urn:a\"><a:t>\xE3\x82\xAF x</a:t></p:sld>";
    // UTF-8 -> UTF-16LE for the characters used here (ASCII and U+30AF).
    std::string utf16 = "\xFF\xFE";
    for (std::size_t i = 0; i < xml.size(); ++i) {
        if (static_cast<unsigned char>(xml[i]) == 0xE3) {
            utf16 += "\xAF\x30";
            i += 2;
        } else {
            utf16 += xml[i];
            utf16 += '\0';
        }
    }
    auto items = testzip::SmallDeckItems();
    for (auto& item : items) {
        if (item.name == "ppt/slides/slide1.xml")
            item.data = utf16;
    }
    auto pkg = Package::OpenFromBytes(testzip::BuildZip(items));
    EXPECT_STREQ(pkg->XmlForRead("/ppt/slides/slide1.xml").select_node("//a:t").node().text().get(),
                 "\xE3\x82\xAF x");
    pkg->XmlForEdit("/ppt/slides/slide1.xml");
    std::string saved = testzip::ToString(pkg->PartBytes("/ppt/slides/slide1.xml"));
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u) << saved;
    EXPECT_NE(saved.find("<a:t>\xE3\x82\xAF x</a:t>"), std::string::npos) << saved;
}

TEST(PackageSave, OutputFileGetsTheUsualPermissions) {
    TempDir dir;
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    const fs::path output = dir.path() / "out.pptx";
#ifdef _WIN32
    pkg->SaveAs(testsupport::Utf8(output));
    // Whatever its staging file was, the output is a plain file like any other new one.
    const DWORD attributes = GetFileAttributesW(output.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY |
                            FILE_ATTRIBUTE_SYSTEM),
              0u)
        << attributes;
#else
    mode_t previous = umask(027);
    pkg->SaveAs(testsupport::Utf8(output));
    umask(previous);
    // mkstemp would leave 0600; the output must follow the umask like any other new file.
    EXPECT_EQ(fs::status(output).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}
