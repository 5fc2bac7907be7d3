// A presentation file is opened by what it holds: packages of every kind keep their kind, compound
// files are told apart by their streams, and decks in the binary format go through the converter,
// whose every way of failing leaves a Japanese explanation and no file behind.

#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/binary/DeckFormat.h"
#include "office/binary/LibreOfficeConverter.h"
#include "office/imaging/Imaging.h"
#include "office/model/OpenDeck.h"
#include "office/package/Package.h"
#include "tests/support/CompoundFiles.h"
#include "tests/support/Environment.h"
#include "tests/support/ProcessState.h"

#include <chrono>
#include <csignal>
#include <gmock/gmock.h>

using namespace officetest;
using office::binary::DeckFormat;
using ::testing::HasSubstr;
using testsupport::BinaryDeckBytes;
using testsupport::CompoundFile;

namespace {

namespace ct = office::package::contenttype;

// A one-slide deck saved by the engine, with its main part turned into the given kind; a macro
// kind also gets a VBA project.
std::string MakePackage(const TempDir& dir, const std::string& name, const char* mainType, bool withVba) {
    const std::string plain = dir.File("plain-" + name + ".pptx");
    {
        office::OfficeProvider provider;
        auto app = provider.CreatePowerPoint();
        auto pres = app->Presentations()->Add(true);
        pres->Slides()
            ->Add(1, automation::ppLayoutBlank)
            ->Shapes()
            ->AddShape(automation::msoShapeRectangle, 10, 10, 100, 50);
        pres->SaveAs(plain);
        pres->Close();
    }
    auto pkg = office::package::Package::Open(plain);
    const std::string main = pkg->MainPartName();
    pkg->SetContentType(main, mainType);
    if (withVba) {
        pkg->AddPart("/ppt/vbaProject.bin", "application/vnd.ms-office.vbaProject",
                     office::package::Bytes(300, 0x5A));
        pkg->AddRelationship(main, office::package::reltype::kVbaProject, "/ppt/vbaProject.bin");
    }
    const std::string path = dir.File(name);
    pkg->SaveAs(path);
    return path;
}

std::string ExecutableScript(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.File(name);
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// The userText of the AutomationError that open throws; fails the test when nothing is thrown.
template <typename Step> std::string FailureOf(Step&& step, std::string* detail = nullptr) {
    try {
        step();
    } catch (const automation::AutomationError& error) {
        if (detail)
            *detail = error.what();
        return error.userText();
    }
    ADD_FAILURE() << "no error";
    return {};
}

using testsupport::Running;

bool Empty(const std::string& folder) {
    return fs::is_empty(folder);
}

} // namespace

TEST(DeckFormat, CompoundFilesAreToldApartByTheirStreams) {
    const auto plain = BinaryDeckBytes(false);
    const auto locked = BinaryDeckBytes(true);
    const auto encryptedPackage =
        CompoundFile({{"EncryptionInfo", {1, 2, 3}}, {"EncryptedPackage", {4, 5, 6}}});
    const auto document = CompoundFile({{"WordDocument", std::vector<std::uint8_t>(100, 1)}});
    EXPECT_EQ(office::binary::SniffDeckBytes(plain.data(), plain.size()), DeckFormat::BinaryDeck);
    EXPECT_EQ(office::binary::SniffDeckBytes(locked.data(), locked.size()), DeckFormat::EncryptedBinaryDeck);
    EXPECT_EQ(office::binary::SniffDeckBytes(encryptedPackage.data(), encryptedPackage.size()),
              DeckFormat::EncryptedPackage);
    EXPECT_EQ(office::binary::SniffDeckBytes(document.data(), document.size()),
              DeckFormat::OtherCompoundFile);

    // The signature with nothing sound behind it, a ZIP header and plain text.
    std::vector<std::uint8_t> damaged(plain.begin(), plain.begin() + 8);
    damaged.resize(700, 0xFF);
    EXPECT_EQ(office::binary::SniffDeckBytes(damaged.data(), damaged.size()),
              DeckFormat::DamagedCompoundFile);
    const std::uint8_t zip[] = {'P', 'K', 3, 4, 0, 0};
    EXPECT_EQ(office::binary::SniffDeckBytes(zip, sizeof zip), DeckFormat::Package);
    const std::uint8_t text[] = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(office::binary::SniffDeckBytes(text, sizeof text), DeckFormat::Unknown);
    EXPECT_EQ(office::binary::SniffDeckBytes(text, 0), DeckFormat::Unknown);

    TempDir dir;
    WriteBytes(dir.File("locked.pptx"), locked);
    EXPECT_EQ(office::binary::SniffDeckFile(dir.File("locked.pptx")), DeckFormat::EncryptedBinaryDeck);
    EXPECT_EQ(office::binary::SniffDeckFile(dir.File("missing.ppt")), DeckFormat::Unknown);
}

// "Current User" under 4096 bytes lies in the mini stream, from 4096 on in sectors of its own;
// either way and in either sector size its header token tells an encrypted deck.
TEST(DeckFormat, TheHeaderTokenIsFoundInTheMiniStreamAndInSectors) {
    for (const unsigned sectorSize : {512u, 4096u})
        for (const std::size_t userSize :
             {std::size_t{16}, std::size_t{32}, std::size_t{4095}, std::size_t{4096}, std::size_t{9000}})
            for (const bool encrypted : {false, true}) {
                auto user = testsupport::CurrentUser(encrypted ? 0xF3D1C4DF : 0xE391C05F);
                user.resize(userSize, 0x20);
                const auto deck = testsupport::CompoundFileOf(
                    {"",
                     {{"Current User", user}, {"PowerPoint Document", std::vector<std::uint8_t>(5000, 7)}},
                     {}},
                    sectorSize);
                EXPECT_EQ(office::binary::SniffDeckBytes(deck.data(), deck.size()),
                          encrypted ? DeckFormat::EncryptedBinaryDeck : DeckFormat::BinaryDeck)
                    << sectorSize << " " << userSize;
                TempDir dir;
                WriteBytes(dir.File("deck.ppt"), deck);
                EXPECT_EQ(office::binary::SniffDeckFile(dir.File("deck.ppt")),
                          encrypted ? DeckFormat::EncryptedBinaryDeck : DeckFormat::BinaryDeck)
                    << sectorSize << " " << userSize;
            }
    // Too short to hold a token: a plain deck, as before.
    const auto shortUser = CompoundFile({{"Current User", std::vector<std::uint8_t>(15, 0xDF)},
                                         {"PowerPoint Document", std::vector<std::uint8_t>(10, 7)}});
    EXPECT_EQ(office::binary::SniffDeckBytes(shortUser.data(), shortUser.size()), DeckFormat::BinaryDeck);
}

// Only streams directly inside the root storage decide, and their names compare without case.
TEST(DeckFormat, OnlyTheRootStoragesStreamsDecide) {
    using testsupport::CompoundFileOf;
    using testsupport::CompoundStorage;
    const auto sniff = [](const std::vector<std::uint8_t>& bytes) {
        return office::binary::SniffDeckBytes(bytes.data(), bytes.size());
    };
    const std::vector<std::uint8_t> user = testsupport::CurrentUser(0xF3D1C4DF);
    // A document with a deck embedded in one of its storages is no deck.
    EXPECT_EQ(sniff(CompoundFileOf(
                  {"",
                   {{"WordDocument", std::vector<std::uint8_t>(100, 1)}},
                   {{"ObjectPool",
                     {},
                     {{"_1234", {{"PowerPoint Document", {1, 2}}, {"Current User", user}}, {}}}}}})),
              DeckFormat::OtherCompoundFile);
    // A deck with an encrypted package embedded is a deck; its own "Current User" decides.
    EXPECT_EQ(sniff(CompoundFileOf(
                  {"",
                   {{"PowerPoint Document", {1, 2}}, {"Current User", testsupport::CurrentUser(0xE391C05F)}},
                   {{"Embedded",
                     {{"EncryptedPackage", {3}}, {"EncryptionInfo", {4}}, {"Current User", user}},
                     {}}}})),
              DeckFormat::BinaryDeck);
    // A storage that bears a stream's name is not that stream.
    EXPECT_EQ(
        sniff(CompoundFileOf({"", {{"Current User", user}}, {{"PowerPoint Document", {{"x", {1}}}, {}}}})),
        DeckFormat::OtherCompoundFile);
    EXPECT_EQ(sniff(CompoundFileOf({"", {{"POWERPOINT DOCUMENT", {1, 2}}, {"current user", user}}, {}})),
              DeckFormat::EncryptedBinaryDeck);
    EXPECT_EQ(
        sniff(CompoundFileOf({"", {{"encryptedpackage", {1}}, {"PowerPoint Document", {1}}}, {}}, 4096)),
        DeckFormat::EncryptedPackage);
}

TEST(DeckFormat, PackagesKeepTheirKindWhateverTheirName) {
    TempDir dir;
    struct Case {
        const char* type;
        bool vba;
        const char* kept;
    };
    for (const Case& c :
         {Case{ct::kPresentationMain, false, "pptx"}, Case{ct::kPresentationMacroMain, true, "pptm"},
          Case{ct::kSlideshowMain, false, "ppsx"}, Case{ct::kSlideshowMacroMain, true, "ppsm"},
          Case{ct::kTemplateMain, false, "potx"}, Case{ct::kTemplateMacroMain, true, "potm"}}) {
        // Named .ppt: the name is wrong, the content decides.
        const std::string path = MakePackage(dir, std::string("renamed-") + c.kept + ".ppt", c.type, c.vba);
        office::OfficeProvider provider;
        auto app = provider.CreatePowerPoint();
        auto pres = app->Presentations()->Open(path, true);
        EXPECT_EQ(pres->DefaultSaveExtension(), c.kept);
        EXPECT_EQ(pres->Slides()->Count(), 1);

        const std::string out = dir.File(std::string("out.") + c.kept);
        pres->SaveAs(out);
        auto saved = office::package::Package::Open(out);
        EXPECT_EQ(saved->ContentType(saved->MainPartName()), c.type) << c.kept;
        if (c.vba) {
            ASSERT_TRUE(saved->HasPart("/ppt/vbaProject.bin")) << c.kept;
            EXPECT_EQ(saved->PartBytes("/ppt/vbaProject.bin"), office::package::Bytes(300, 0x5A));
        }
        // The input was opened read-only: not even a new extension lets the save overwrite it.
        EXPECT_THROW(pres->SaveAs(path), automation::AutomationError);
        pres->Close();
    }
    EXPECT_EQ(office::model::ConvertedExtensionFor("/x/show.PPS"), "ppsx");
    EXPECT_EQ(office::model::ConvertedExtensionFor("/x/design.pot"), "potx");
    EXPECT_EQ(office::model::ConvertedExtensionFor("/x/deck.ppt"), "pptx");
    EXPECT_EQ(office::model::ConvertedExtensionFor("/x/binary-named.pptx"), "pptx");
    EXPECT_EQ(office::model::PackageExtensionFor("application/vnd.ms-excel"), "");
}

// A signed deck comes out unsigned: the signature covers bytes the save changes, and a kept one would
// only show as broken. Everything else of the package stays.
TEST(DeckFormat, ASavedDeckCarriesNoSignature) {
    TempDir dir;
    const std::string plain = MakePackage(dir, "plain.pptx", ct::kPresentationMain, false);
    {
        auto pkg = office::package::Package::Open(plain);
        pkg->AddPart("/_xmlsignatures/origin.sigs",
                     "application/vnd.openxmlformats-package.digital-signature-origin", {});
        const std::string signature = R"(<Signature xmlns="http://www.w3.org/2000/09/xmldsig#"/>)";
        pkg->AddPart("/_xmlsignatures/sig1.xml",
                     "application/vnd.openxmlformats-package.digital-signature-xmlsignature+xml",
                     {signature.begin(), signature.end()});
        pkg->AddRelationship(office::package::kPackageRoot, office::package::reltype::kDigitalSignatureOrigin,
                             "/_xmlsignatures/origin.sigs");
        pkg->AddRelationship(
            "/_xmlsignatures/origin.sigs",
            "http://schemas.openxmlformats.org/package/2006/relationships/digital-signature/signature",
            "/_xmlsignatures/sig1.xml");
        pkg->SaveAs(dir.File("signed.pptx"));
    }
    ASSERT_TRUE(office::package::Package::Open(dir.File("signed.pptx"))->HasPart("/_xmlsignatures/sig1.xml"));
    office::OfficeProvider provider;
    auto pres = provider.CreatePowerPoint()->Presentations()->Open(dir.File("signed.pptx"), true);
    pres->SaveAs(dir.File("out.pptx"));
    auto saved = office::package::Package::Open(dir.File("out.pptx"));
    EXPECT_TRUE(saved
                    ->RelationshipsOfType(office::package::kPackageRoot,
                                          office::package::reltype::kDigitalSignatureOrigin)
                    .empty());
    EXPECT_FALSE(saved->HasPart("/_xmlsignatures/origin.sigs"));
    EXPECT_FALSE(saved->HasPart("/_xmlsignatures/sig1.xml"));
    EXPECT_EQ(saved->MainPartName(), "/ppt/presentation.xml");
    EXPECT_TRUE(saved->HasPart("/ppt/slides/slide1.xml"));
}

TEST(DeckFormat, FilesThatCannotOpenSayWhyInJapanese) {
    TempDir dir;
    WriteBytes(dir.File("locked.ppt"), BinaryDeckBytes(true));
    WriteBytes(dir.File("locked-package.pptx"),
               CompoundFile({{"EncryptionInfo", {1}}, {"EncryptedPackage", {2}}}));
    WriteBytes(dir.File("letter.ppt"), CompoundFile({{"WordDocument", std::vector<std::uint8_t>(100, 1)}}));
    std::ofstream(dir.File("garbage.ppt")) << "not a deck at all";
    std::ofstream(dir.File("cut.pptx")) << "PK\x03\x04 cut short";
    office::binary::ConverterSettings never;
    never.program = "/nonexistent/never-called";
    auto open = [&](const std::string& name) {
        return [&, name] { office::model::OpenDeck(dir.File(name), never, nullptr, "Presentations.Open"); };
    };
    std::string detail;
    EXPECT_EQ(FailureOf(open("locked.ppt"), &detail), "パスワードで保護されたファイルは開けません。");
    EXPECT_THAT(detail, HasSubstr("Presentations.Open: password-protected"));
    EXPECT_EQ(FailureOf(open("locked-package.pptx")), "パスワードで保護されたファイルは開けません。");
    EXPECT_EQ(FailureOf(open("letter.ppt")), "PowerPointのファイルではありません。");
    // A file that is no compound file goes to the package reader, whose English cause the log translates.
    EXPECT_EQ(FailureOf(open("garbage.ppt"), &detail), "");
    EXPECT_THAT(detail, HasSubstr("not an OOXML package"));
    EXPECT_EQ(FailureOf(open("cut.pptx"), &detail), "");
    EXPECT_THAT(detail, HasSubstr("damaged or truncated"));
    EXPECT_EQ(FailureOf(open("absent.ppt")), "ファイルが見つかりません。");
}

class Converter : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "the stand-in converters are shell scripts";
#endif
        fs::create_directories(work);
        settings.tempFolder = work;
        WriteBytes(deck, BinaryDeckBytes(false));
    }
    // Runs Presentations.Open over the binary deck with the converter settings of this test.
    automation::PresentationPtr Open(const office::binary::StopCheck& stop = nullptr) {
        provider = std::make_unique<office::OfficeProvider>("12.0", settings);
        provider->SetInterruptCheck(stop);
        return provider->CreatePowerPoint()->Presentations()->Open(deck, true);
    }
    TempDir dir;
    std::string work = dir.File("work");
    std::string deck = dir.File("old deck.pps");
    office::binary::ConverterSettings settings;
    std::unique_ptr<office::OfficeProvider> provider;
};

TEST_F(Converter, ABinaryDeckOpensAsWhatTheConverterMadeOfIt) {
    const std::string made = MakePackage(dir, "made.pptx", ct::kPresentationMain, false);
    const std::string unnamed = dir.File("unnamed.pptx");
    {
        // As LibreOffice writes a binary deck's shapes: a picture and a rectangle without names.
        office::OfficeProvider builder;
        auto pres = builder.CreatePowerPoint()->Presentations()->Open(made, false);
        office::imaging::Raster pixels;
        pixels.width = 8;
        pixels.height = 8;
        pixels.rgba.assign(8 * 8 * 4, 128);
        WriteBytes(dir.File("p.png"), office::imaging::EncodePng(pixels));
        auto shapes = pres->Slides()->Item(1)->Shapes();
        shapes->AddPicture(dir.File("p.png"), 200, 100, 80, 80);
        for (int i = 1; i <= shapes->Count(); ++i)
            shapes->Item(i)->SetName("");
        pres->SaveAs(unnamed);
    }
    // Checks what the real converter is promised: a private profile with macros off, its own
    // temporary folder, the input under a plain name; then writes its result where asked.
    const std::string seenFile = dir.File("seen");
    settings.program = ExecutableScript(dir, "fake-soffice", R"SH(
out=""; prev=""; profile=""; input=""
for a in "$@"; do
  [ "$prev" = "--outdir" ] && out="$a"
  case "$a" in -env:UserInstallation=file://*) profile="${a#-env:UserInstallation=file://}";; esac
  prev="$a"; input="$a"
done
grep -q DisableMacrosExecution "$profile/user/registrymodifications.xcu" && echo macros-off > "$SEEN"
[ "$(basename "$input")" = deck.ppt ] && echo plain-name >> "$SEEN"
touch "$TMPDIR/lu1234.tmp"
cp "$MADE" "$out/deck.pptx"
)SH");
    testsupport::SetEnv("SEEN", seenFile);
    testsupport::SetEnv("MADE", unnamed);
    auto pres = Open();
    EXPECT_EQ(pres->Slides()->Count(), 1);
    // Unnamed shapes get the names the office application would make up; the walk relies on them.
    auto shapes = pres->Slides()->Item(1)->Shapes();
    ASSERT_EQ(shapes->Count(), 2);
    EXPECT_THAT(shapes->Item(1)->Name(), ::testing::StartsWith("Shape "));
    EXPECT_THAT(shapes->Item(2)->Name(), ::testing::StartsWith("Picture "));
    // A show stays a show.
    EXPECT_EQ(pres->DefaultSaveExtension(), "ppsx");
    EXPECT_EQ(pres->FullName(), fs::absolute(deck).lexically_normal().string());
    testsupport::UnsetEnv("SEEN");
    testsupport::UnsetEnv("MADE");
    std::ifstream seen(seenFile);
    std::string first, second;
    seen >> first >> second;
    EXPECT_EQ(first, "macros-off");
    EXPECT_EQ(second, "plain-name");
    EXPECT_TRUE(Empty(work));
    const std::string out = dir.File("old deck.ppsx");
    pres->SaveAs(out);
    auto saved = office::package::Package::Open(out);
    EXPECT_EQ(saved->ContentType(saved->MainPartName()), ct::kSlideshowMain);
}

TEST_F(Converter, EveryFailureExplainsItselfAndLeavesNothingBehind) {
    std::string detail;
    // No converter installed.
    settings.program = "quarnel-no-such-converter";
    EXPECT_THAT(FailureOf([&] { Open(); }), HasSubstr("LibreOffice (soffice) が見つかりません。"));
    EXPECT_TRUE(Empty(work));

    // One that cannot load the file: the output it printed is the detail.
    settings.program = ExecutableScript(dir, "fails", "echo 'Error: source file could not be loaded'\n");
    EXPECT_EQ(FailureOf([&] { Open(); }, &detail),
              "ファイルが壊れているか、LibreOfficeで読み込めない形式です。");
    EXPECT_THAT(detail, HasSubstr("source file could not be loaded"));
    EXPECT_TRUE(Empty(work));

    // One that writes something that is no package.
    settings.program =
        ExecutableScript(dir, "junk", R"(for a in "$@"; do [ "$p" = --outdir ] && o="$a"; p="$a"; done
echo junk > "$o/deck.pptx"
)");
    EXPECT_EQ(FailureOf([&] { Open(); }), "LibreOfficeが変換したファイルを読み込めませんでした。");
    EXPECT_TRUE(Empty(work));

    // One that crashes.
    settings.program = ExecutableScript(dir, "crashes", "kill -SEGV $$\n");
    EXPECT_EQ(FailureOf([&] { Open(); }), "LibreOfficeが変換中に異常終了しました。");
    EXPECT_TRUE(Empty(work));
}

TEST_F(Converter, AHungConverterIsKilledAtTheTimeLimitAndOnStop) {
    const std::string pidFile = dir.File("pid");
    // The converter starts a helper of its own, as the real one does; both must go.
    settings.program = ExecutableScript(dir, "hangs", "sleep 60 &\necho $! > '" + pidFile + "'\nsleep 60\n");
    settings.timeLimit = std::chrono::seconds(1);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(FailureOf([&] { Open(); }), "LibreOfficeでの変換が1秒以内に終わりませんでした。");
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    EXPECT_TRUE(Empty(work));
    std::ifstream in(pidFile);
    int helper = 0;
    in >> helper;
    ASSERT_GT(helper, 0);
    EXPECT_FALSE(Running(helper)) << "the converter's helper survived";

    settings.timeLimit = std::chrono::seconds(60);
    int polls = 0;
    const auto stopBegin = std::chrono::steady_clock::now();
    EXPECT_EQ(FailureOf([&] { Open([&] { return ++polls > 5; }); }), "LibreOfficeでの変換を中断しました。");
    EXPECT_LT(std::chrono::steady_clock::now() - stopBegin, std::chrono::seconds(10));
    EXPECT_TRUE(Empty(work));
}

TEST_F(Converter, FoldersOfADeadRunAreRemovedAndOthersKept) {
    // A process id above any real one stands for a run that was killed.
    const std::string dead = work + "/" + office::binary::kConvertFolderPrefix + "999999999-abcdef";
    const std::string live =
        work + "/" + office::binary::kConvertFolderPrefix + std::to_string(::getpid()) + "-x";
    const std::string foreign = work + "/somebody-else";
    for (const auto& folder : {dead, live, foreign})
        fs::create_directories(folder + "/profile");
    settings.program = ExecutableScript(dir, "fails", "exit 1\n");
    (void)FailureOf([&] { Open(); });
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(foreign));
}
