#include "TestZip.h"
#include "automation/AutomationError.h"
#include "office/package/Package.h"
#include "tests/support/WorkFolders.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace office::package;
using automation::AutomationError;

namespace {

// The message of the error opening these bytes; fails the test when opening succeeds.
std::string OpenError(const Bytes& bytes, const OpenLimits& limits = {}) {
    try {
        Package::OpenFromBytes(bytes, "Presentations.Open", limits);
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.member(), "Presentations.Open");
        return e.what();
    }
    ADD_FAILURE() << "opened without error";
    return {};
}

bool Mentions(const std::string& text, const std::string& word) {
    return text.find(word) != std::string::npos;
}

Bytes CompoundFile(const std::vector<std::string>& streamNames) {
    Bytes out = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    out.resize(512, 0);
    for (const auto& name : streamNames) {
        for (char c : name) {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(0);
        }
        out.resize(out.size() + 64, 0);
    }
    return out;
}

// A deflate stream of `size` zero bytes, made in chunks so the test stays light.
std::string DeflatedZeros(std::size_t size) {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string chunk(1 << 20, '\0');
    std::string out;
    std::string buffer(1 << 16, '\0');
    std::size_t left = size;
    do {
        std::size_t now = std::min(left, chunk.size());
        left -= now;
        zs.next_in = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_in = static_cast<uInt>(now);
        do {
            zs.next_out = reinterpret_cast<Bytef*>(buffer.data());
            zs.avail_out = static_cast<uInt>(buffer.size());
            deflate(&zs, left == 0 ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer.data(), buffer.size() - zs.avail_out);
        } while (zs.avail_out == 0);
    } while (left > 0);
    deflateEnd(&zs);
    return out;
}

} // namespace

TEST(PackageHostile, NonPackagesSayWhatTheyAre) {
    EXPECT_TRUE(Mentions(OpenError({}), "empty"));
    EXPECT_TRUE(Mentions(OpenError(testzip::ToBytes("%PDF-1.4 not a deck")), "no ZIP signature"));
    EXPECT_TRUE(Mentions(OpenError(CompoundFile({"EncryptionInfo", "EncryptedPackage"})), "encrypted"));
    std::string ppt = OpenError(CompoundFile({"Current User", "PowerPoint Document"}));
    EXPECT_TRUE(Mentions(ppt, ".ppt binary format not supported")) << ppt;
    EXPECT_FALSE(Mentions(ppt, "encrypted")) << ppt;
    EXPECT_TRUE(
        Mentions(OpenError(CompoundFile({"PowerPoint Document", "EncryptedSummary"})), "encrypted .ppt"));
    EXPECT_TRUE(Mentions(OpenError(CompoundFile({"WordDocument"})), "encrypted or legacy binary format"));
}

TEST(PackageHostile, DamagedArchivesFailCleanly) {
    auto deck = testzip::SmallDeck();
    for (std::size_t cut : {std::size_t{4}, std::size_t{100}, deck.size() / 2, deck.size() - 10}) {
        Bytes truncated(deck.begin(), deck.begin() + static_cast<long>(cut));
        EXPECT_TRUE(Mentions(OpenError(truncated), "damaged or truncated")) << cut;
    }
    // Flipping bytes anywhere must never crash; the damage shows on opening or on reading a part.
    for (std::size_t at = 0; at < deck.size(); at += 97) {
        Bytes mangled = deck;
        mangled[at] ^= 0x5A;
        try {
            auto pkg = Package::OpenFromBytes(mangled);
            for (const auto& name : pkg->LiveParts())
                pkg->PartBytes(name);
            pkg->SaveToBytes();
        } catch (const AutomationError&) {
        }
    }
}

TEST(PackageHostile, StructuralProblemsAreNamed) {
    auto without = [](const std::string& drop) {
        auto items = testzip::SmallDeckItems();
        std::erase_if(items, [&](const testzip::Item& i) { return i.name == drop; });
        return testzip::BuildZip(items);
    };
    EXPECT_TRUE(Mentions(OpenError(without("[Content_Types].xml")), "[Content_Types].xml is missing"));
    EXPECT_TRUE(Mentions(OpenError(without("_rels/.rels")), "package relationships are missing"));
    EXPECT_TRUE(Mentions(OpenError(without("ppt/presentation.xml")), "main part"));

    auto items = testzip::SmallDeckItems();
    for (auto& item : items) {
        if (item.name == "[Content_Types].xml") {
            auto at = item.data.find("presentationml.presentation.main+xml");
            item.data.replace(at, 36, "wordprocessingml.document.main+xml");
        }
    }
    EXPECT_TRUE(Mentions(OpenError(testzip::BuildZip(items)), "not a presentation"));

    auto dup = testzip::SmallDeckItems();
    dup.push_back({"PPT/Slides/Slide1.xml", "<x/>"});
    EXPECT_TRUE(Mentions(OpenError(testzip::BuildZip(dup)), "duplicate"));
}

TEST(PackageHostile, MalformedXmlFailsOnlyWhenThePartIsNeeded) {
    auto items = testzip::SmallDeckItems();
    for (auto& item : items) {
        if (item.name == "ppt/slides/slide1.xml")
            item.data = "<p:sld><p:cSld></p:sld>";
    }
    auto pkg = Package::OpenFromBytes(testzip::BuildZip(items));
    EXPECT_NO_THROW(pkg->XmlForRead("/ppt/presentation.xml"));
    try {
        pkg->XmlForRead("/ppt/slides/slide1.xml");
        FAIL() << "malformed XML accepted";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(Mentions(e.what(), "malformed XML in part /ppt/slides/slide1.xml")) << e.what();
    }
    EXPECT_THROW(pkg->XmlForEdit("/ppt/slides/slide1.xml"), AutomationError);
    // Not parsed, so saved as it was.
    auto copy = Package::OpenFromBytes(pkg->SaveToBytes());
    EXPECT_EQ(testzip::ToString(copy->PartBytes("/ppt/slides/slide1.xml")), "<p:sld><p:cSld></p:sld>");

    auto badTypes = testzip::SmallDeckItems();
    badTypes.front().data = "<Types><Default";
    EXPECT_TRUE(Mentions(OpenError(testzip::BuildZip(badTypes)), "malformed [Content_Types].xml"));
}

TEST(PackageHostile, ZipBombsAreRefused) {
    // Entries that declare huge inflated sizes: 4 GiB, and 10 GB through a zip64 field.
    EXPECT_TRUE(Mentions(OpenError(testzip::SmallDeck({{"ppt/media/big.bin", "abc", true, 0xFFFFFFF0u}})),
                         "zip bomb"));
    std::string tenGb = OpenError(testzip::SmallDeck({{"ppt/media/big.bin", "abc", true, 10'000'000'000u}}));
    EXPECT_TRUE(Mentions(tenGb, "zip bomb") && Mentions(tenGb, "10000000000")) << tenGb;

    // An honest 600 MiB stream of zeros (about 600 KiB compressed) passes the per-part ceiling.
    const std::size_t big = std::size_t{600} << 20;
    std::string zeros = DeflatedZeros(big);
    testzip::Item bomb{"ppt/media/zeros.bin", "", false, static_cast<std::uint32_t>(big)};
    bomb.data = zeros;
    auto bombDeck = testzip::SmallDeck({bomb});
    EXPECT_TRUE(Mentions(OpenError(bombDeck), "zip bomb"));

    // Declared totals far beyond the archive's size trip the ratio check.
    OpenLimits tight;
    tight.ratioFloorBytes = 1 << 20;
    tight.maxRatio = 50;
    EXPECT_TRUE(Mentions(
        OpenError(testzip::SmallDeck({{"ppt/media/a.bin", std::string(4 << 20, 'a')}}), tight), "zip bomb"));

    // An entry whose headers claim 100 bytes but which inflates to 8 MiB: stopped while inflating.
    testzip::Item liar{"ppt/media/liar.bin", std::string(8 << 20, '\0'), true, 100u};
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck({liar}));
    try {
        pkg->PartBytes("/ppt/media/liar.bin");
        FAIL() << "inflated past the declared size";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(Mentions(e.what(), "zip bomb") || Mentions(e.what(), "damaged")) << e.what();
    }
}

TEST(PackageHostile, TooManyEntriesAreRefused) {
    std::vector<testzip::Item> extra;
    extra.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        extra.push_back({"ppt/junk/" + std::to_string(i), "", false});
    std::string message = OpenError(testzip::SmallDeck(extra));
    EXPECT_TRUE(Mentions(message, "too many entries")) << message;
}

TEST(PackageHostile, CorpusFilesThatAreNotUsableDecks) {
    const std::filesystem::path corpus = QUARNEL_CORPUS;
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no corpus at " << corpus;
    struct Case {
        const char* file;
        const char* says;
    };
    for (const Case& c : {Case{"poi__Divino_Revelado.pptx", "damaged or truncated"},
                          Case{"poi__cryptoapi-proc2356.ppt", "encrypted .ppt"},
                          Case{"poi__PPT95.ppt", ".ppt binary format not supported"},
                          Case{"aspose-net__Layout_presentation.ppt", ".ppt binary format not supported"}}) {
        const auto path = corpus / c.file;
        if (!std::filesystem::exists(path))
            continue;
        auto before = testzip::ReadFile(path);
        try {
            Package::Open(testsupport::Utf8(path));
            ADD_FAILURE() << c.file << " opened";
        } catch (const AutomationError& e) {
            EXPECT_TRUE(Mentions(e.what(), c.says)) << c.file << ": " << e.what();
        }
        EXPECT_EQ(testzip::ReadFile(path), before) << c.file << " changed";
    }
}

TEST(PackageHostile, FilesOnDiskAreRefusedAsTheirBytesAre) {
    const std::filesystem::path dir = testsupport::MakeWorkFolder("pkghostile-");
    // A stream name lying across the piece boundary of the search (1 MiB in) is found all the same.
    Bytes farName = CompoundFile({});
    farName.resize((1u << 20) - 7, 0);
    for (char c : std::string("EncryptedPackage")) {
        farName.push_back(static_cast<std::uint8_t>(c));
        farName.push_back(0);
    }
    testzip::Item liar{"ppt/media/a.bin", std::string(4 << 20, 'a')};
    OpenLimits tight;
    tight.ratioFloorBytes = 1 << 20;
    tight.maxRatio = 50;
    auto deck = testzip::SmallDeck();
    auto fileError = [](const std::filesystem::path& path, const OpenLimits& limits) -> std::string {
        try {
            Package::Open(testsupport::Utf8(path), "Presentations.Open", limits);
        } catch (const AutomationError& e) {
            return e.what();
        }
        return "(opened)";
    };
    struct Case {
        Bytes bytes;
        OpenLimits limits;
        const char* says;
    };
    for (const Case& c :
         {Case{{}, {}, "empty"}, Case{testzip::ToBytes("%PDF-1.4"), {}, "no ZIP signature"},
          Case{CompoundFile({"Current User", "PowerPoint Document"}), {}, ".ppt binary format"},
          Case{farName, {}, "encrypted"},
          Case{Bytes(deck.begin(), deck.begin() + 100), {}, "damaged or truncated"},
          Case{testzip::SmallDeck({{"ppt/media/big.bin", "abc", true, 10'000'000'000u}}), {}, "zip bomb"},
          Case{testzip::SmallDeck({liar}), tight, "zip bomb"}}) {
        const auto path = dir / "deck.pptx";
        testzip::WriteFile(path, c.bytes);
        const std::string fromFile = fileError(path, c.limits);
        EXPECT_TRUE(Mentions(fromFile, c.says)) << fromFile;
        EXPECT_EQ(fromFile, OpenError(c.bytes, c.limits));
        EXPECT_EQ(testzip::ReadFile(path), c.bytes);
    }
    // Missing files and folders are named as such.
    EXPECT_TRUE(Mentions(fileError(dir / "missing.pptx", {}), "file not found"));
    std::filesystem::create_directory(dir / "folder.pptx");
    EXPECT_TRUE(Mentions(fileError(dir / "folder.pptx", {}), "is a folder"));
    std::filesystem::remove_all(dir);
}
