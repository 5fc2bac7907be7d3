// The compound-file reader against files libgsf writes and reads: streams in the mini stream and
// in sectors of both sizes, a FAT long enough to need DIFAT sectors, the root's own entries only,
// damaged structures of every kind refused, and real files read as libgsf reads them.

#include "office/binary/CompoundFile.h"

#include "office/binary/ByteSource.h"
#include "office/binary/DeckFormat.h"
#include "tests/support/CompoundFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <set>

using office::binary::CompoundFile;
using office::binary::DeckFormat;
using office::binary::MemorySource;
using testsupport::CompoundFileOf;
using testsupport::CompoundStorage;
using testsupport::CurrentUser;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kPlainToken = 0xE391C05F;
constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

Bytes Pattern(std::size_t size, unsigned seed) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>((i * 31 + seed * 7 + i / 251) % 256);
    return out;
}

DeckFormat Sniff(const Bytes& bytes) {
    return office::binary::SniffDeckBytes(bytes.data(), bytes.size());
}

std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void Put32(Bytes& b, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void Put16(Bytes& b, std::size_t at, std::uint16_t value) {
    b[at] = static_cast<std::uint8_t>(value);
    b[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Where the structures of a libgsf-written file lie, found by their layout, to damage them.
std::size_t SectorSize(const Bytes& b) {
    return std::size_t{1} << b[30];
}
std::size_t SectorOffset(const Bytes& b, std::uint32_t sector) {
    return (std::size_t{sector} + 1) * SectorSize(b);
}
std::size_t FatEntryOffset(const Bytes& b, std::uint32_t sector) {
    const std::size_t perSector = SectorSize(b) / 4;
    return SectorOffset(b, Get32(b, 76 + 4 * (sector / perSector))) + 4 * (sector % perSector);
}
struct EntryPlace {
    std::uint32_t id;
    std::size_t offset;
};
std::size_t EntryOffset(const Bytes& b, std::uint32_t id) {
    const std::size_t perSector = SectorSize(b) / 128;
    std::uint32_t sector = Get32(b, 48);
    for (std::uint32_t i = 0; i < id / perSector; ++i)
        sector = Get32(b, FatEntryOffset(b, sector));
    return SectorOffset(b, sector) + 128 * (id % perSector);
}
EntryPlace FindEntry(const Bytes& b, const std::string& name) {
    const std::size_t perSector = SectorSize(b) / 128;
    std::uint32_t id = 0;
    for (std::uint32_t sector = Get32(b, 48); sector < 0xFFFFFFFA;
         sector = Get32(b, FatEntryOffset(b, sector)))
        for (std::size_t k = 0; k < perSector; ++k, ++id) {
            const std::size_t at = SectorOffset(b, sector) + 128 * k;
            bool same = b[at + 64] == 2 * (name.size() + 1);
            for (std::size_t i = 0; same && i < name.size(); ++i)
                same = b[at + 2 * i] == static_cast<std::uint8_t>(name[i]) && b[at + 2 * i + 1] == 0;
            if (same)
                return {id, at};
        }
    ADD_FAILURE() << "no entry " << name;
    return {0, 0};
}

Bytes Deck(unsigned sectorSize, Bytes currentUser) {
    return CompoundFileOf(
        CompoundStorage{
            "", {{"Current User", std::move(currentUser)}, {"PowerPoint Document", Pattern(600, 1)}}, {}},
        sectorSize);
}

// As libgsf names entries: GLib's conversion from UTF-16.
std::string Utf8(std::u16string_view text) {
    gchar* converted = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text.data()),
                                       static_cast<glong>(text.size()), nullptr, nullptr, nullptr);
    std::string out = converted ? converted : "(not UTF-16)";
    g_free(converted);
    return out;
}

} // namespace

TEST(CompoundFile, StreamsReadBackAsWrittenInBothSectorSizes) {
    // Either side of the mini sector (64), of the mini stream cutoff (4096) and, at 70000 bytes,
    // a chain that runs through two FAT sectors of a version 3 file.
    const std::vector<std::size_t> sizes = {0, 16, 63, 64, 65, 1000, 4095, 4096, 4097, 9000, 70000};
    for (const unsigned sectorSize : {512u, 4096u}) {
        CompoundStorage root;
        for (const std::size_t size : sizes)
            root.streams["s" + std::to_string(size)] = Pattern(size, static_cast<unsigned>(size));
        const Bytes bytes = CompoundFileOf(root, sectorSize);
        ASSERT_EQ(SectorSize(bytes), sectorSize);
        MemorySource source(bytes);
        std::optional<CompoundFile> file = CompoundFile::Open(source);
        ASSERT_TRUE(file) << sectorSize;
        EXPECT_EQ(file->RootEntries().size(), sizes.size());
        for (const std::size_t size : sizes) {
            const std::string name = "s" + std::to_string(size);
            const office::binary::CompoundEntry* entry = file->FindRootStream(name);
            ASSERT_NE(entry, nullptr) << name;
            EXPECT_EQ(entry->size, size);
            const Bytes expected = Pattern(size, static_cast<unsigned>(size));
            EXPECT_EQ(file->ReadStream(*entry, kAll), expected) << name << " in " << sectorSize;
            const std::size_t head = std::min<std::size_t>(size, 70);
            EXPECT_EQ(file->ReadStream(*entry, 70), Bytes(expected.begin(), expected.begin() + head)) << name;
        }
    }
}

TEST(CompoundFile, FatBeyondTheHeaderIsFoundThroughDifatSectors) {
    // The header lists 109 FAT sectors, enough for 7 MB of 512-byte sectors.
    const Bytes big = Pattern(7800000, 3);
    Bytes bytes = CompoundFileOf(CompoundStorage{"", {{"Big", big}, {"Small", Pattern(100, 4)}}, {}});
    ASSERT_GT(Get32(bytes, 44), 109u);
    ASSERT_GT(Get32(bytes, 72), 0u); // DIFAT sectors
    {
        MemorySource source(bytes);
        std::optional<CompoundFile> file = CompoundFile::Open(source);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->ReadStream(*file->FindRootStream("Big"), kAll), big);
        EXPECT_EQ(file->ReadStream(*file->FindRootStream("Small"), kAll), Pattern(100, 4));
    }
    for (const std::uint32_t difat : {kEndOfChain, 0x00FFFFFFu}) {
        Put32(bytes, 68, difat);
        MemorySource source(bytes);
        EXPECT_FALSE(CompoundFile::Open(source)) << difat;
    }
}

TEST(CompoundFile, RootEntriesAreTheRootsChildrenOnly) {
    // Enough entries for a directory of several sectors and a tree of some depth.
    CompoundStorage root;
    std::set<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "Stream " + std::to_string(i);
        root.streams[name] = Pattern(static_cast<std::size_t>(i * 10), static_cast<unsigned>(i));
        expected.insert(name);
    }
    root.storages.push_back(
        CompoundStorage{"Embedded",
                        {{"PowerPoint Document", Pattern(50, 9)}},
                        {CompoundStorage{"Deeper", {{"Current User", CurrentUser(kPlainToken)}}, {}}}});
    expected.insert("Embedded");
    const Bytes bytes = CompoundFileOf(root);
    MemorySource source(bytes);
    std::optional<CompoundFile> file = CompoundFile::Open(source);
    ASSERT_TRUE(file);
    std::set<std::string> names;
    for (const office::binary::CompoundEntry& entry : file->RootEntries()) {
        names.insert(Utf8(entry.name));
        EXPECT_EQ(entry.isStream, entry.name != u"Embedded");
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(file->FindRootStream("PowerPoint Document"), nullptr);
    EXPECT_EQ(file->FindRootStream("Current User"), nullptr);
    EXPECT_EQ(file->FindRootStream("Embedded"), nullptr); // a storage, not a stream
    ASSERT_NE(file->FindRootStream("stream 39"), nullptr);
    EXPECT_EQ(file->ReadStream(*file->FindRootStream("STREAM 39"), kAll), Pattern(390, 39));
}

TEST(CompoundFile, NamesCompareByTheirUppercase) {
    using office::binary::CompoundNameEquals;
    EXPECT_TRUE(CompoundNameEquals(u"Current User", "CURRENT user"));
    EXPECT_TRUE(CompoundNameEquals(u"", ""));
    EXPECT_FALSE(CompoundNameEquals(u"Current User", "Current Use"));
    EXPECT_FALSE(CompoundNameEquals(u"Current Users", "Current User"));
    EXPECT_FALSE(CompoundNameEquals(u"Current_User", "Current User"));
    // Dotless i and long s uppercase to I and S; the Kelvin sign and accented letters stay apart.
    EXPECT_TRUE(CompoundNameEquals(u"Po\u0131nt", "POINT"));
    EXPECT_TRUE(CompoundNameEquals(u"\u017Ftream", "Stream"));
    EXPECT_FALSE(CompoundNameEquals(u"\u212Aey", "key"));
    EXPECT_FALSE(CompoundNameEquals(u"Us\u00E9r", "User"));
    EXPECT_FALSE(CompoundNameEquals(std::u16string(1, u'\0'), ""));
}

// Each damage to a sound deck, in either sector size, makes the deck damaged: never another
// verdict, a crash or a hang (the fuzz target runs the same code under the sanitizers).
TEST(CompoundFile, DamagedStructuresAreRefused) {
    using Damage = std::function<void(Bytes&)>;
    const auto root = [](const Bytes& b) { return SectorOffset(b, Get32(b, 48)); };
    const auto entry = [](const Bytes& b, const char* name) { return FindEntry(b, name).offset; };
    const auto firstChild = [&](const Bytes& b) {
        const std::uint32_t id = Get32(b, root(b) + 76);
        return EntryPlace{id, EntryOffset(b, id)};
    };
    const std::vector<std::pair<const char*, Damage>> anyDeck = {
        {"byte order", [](Bytes& b) { Put16(b, 28, 0xFEFF); }},
        {"version against sector size", [](Bytes& b) { b[26] = b[26] == 3 ? 4 : 3; }},
        {"mini sector size", [](Bytes& b) { Put16(b, 32, 7); }},
        {"mini stream cutoff", [](Bytes& b) { Put32(b, 56, 8192); }},
        {"more FAT sectors than the file", [](Bytes& b) { Put32(b, 44, 100000); }},
        {"FAT sector out of the file", [](Bytes& b) { Put32(b, 76, 0x00100000); }},
        {"directory out of the file", [](Bytes& b) { Put32(b, 48, 0x00100000); }},
        {"directory on a free sector", [](Bytes& b) { Put32(b, 48, 0xFFFFFFFF); }},
        {"directory chain looping",
         [](Bytes& b) { Put32(b, FatEntryOffset(b, Get32(b, 48)), Get32(b, 48)); }},
        {"root entry a storage", [&](Bytes& b) { b[root(b) + 66] = 1; }},
        {"root child out of the directory", [&](Bytes& b) { Put32(b, root(b) + 76, 100000); }},
        {"sibling naming itself",
         [&](Bytes& b) {
             const EntryPlace child = firstChild(b);
             Put32(b, child.offset + 68, child.id);
         }},
        {"sibling back to the root", [&](Bytes& b) { Put32(b, firstChild(b).offset + 72, 0); }},
        {"entry of no known type", [&](Bytes& b) { b[firstChild(b).offset + 66] = 7; }},
        {"name length odd", [&](Bytes& b) { Put16(b, firstChild(b).offset + 64, 13); }},
        {"name length beyond the field", [&](Bytes& b) { Put16(b, firstChild(b).offset + 64, 66); }},
        {"mini stream larger than the file", [&](Bytes& b) { Put32(b, root(b) + 120, 0x7FFFFFFF); }},
        {"cut inside the directory", [&](Bytes& b) { b.resize(root(b) + 64); }},
    };
    const std::vector<std::pair<const char*, Damage>> smallCurrentUser = {
        {"Current User outside the mini stream",
         [&](Bytes& b) { Put32(b, entry(b, "Current User") + 116, 0x10000); }},
        {"Current User larger than the mini stream",
         [&](Bytes& b) { Put32(b, entry(b, "Current User") + 120, 4000); }},
        {"mini stream chain looping",
         [&](Bytes& b) { Put32(b, FatEntryOffset(b, Get32(b, root(b) + 116)), Get32(b, root(b) + 116)); }},
        {"mini stream chain cut short", [&](Bytes& b) { Put32(b, root(b) + 116, kEndOfChain); }},
        {"mini FAT out of the file", [](Bytes& b) { Put32(b, 60, 0x00100000); }},
    };
    const std::vector<std::pair<const char*, Damage>> largeCurrentUser = {
        {"Current User out of the file",
         [&](Bytes& b) { Put32(b, entry(b, "Current User") + 116, 0x00100000); }},
        {"Current User on a free sector",
         [&](Bytes& b) { Put32(b, entry(b, "Current User") + 116, 0xFFFFFFFF); }},
        {"Current User larger than the file",
         [&](Bytes& b) { Put32(b, entry(b, "Current User") + 120, 0x7FFFFFF0); }},
        {"file cut before Current User",
         [&](Bytes& b) { b.resize(SectorOffset(b, Get32(b, entry(b, "Current User") + 116))); }},
    };
    Bytes largeUser = CurrentUser(kPlainToken);
    largeUser.resize(5000, 0);
    for (const unsigned sectorSize : {512u, 4096u}) {
        for (const bool large : {false, true}) {
            const Bytes sound = Deck(sectorSize, large ? largeUser : CurrentUser(kPlainToken));
            ASSERT_EQ(Sniff(sound), DeckFormat::BinaryDeck);
            for (const auto* damages : {&anyDeck, large ? &largeCurrentUser : &smallCurrentUser})
                for (const auto& [what, damage] : *damages) {
                    Bytes damaged = sound;
                    damage(damaged);
                    EXPECT_EQ(Sniff(damaged), DeckFormat::DamagedCompoundFile)
                        << what << ", sectors of " << sectorSize << (large ? ", large" : ", small");
                }
        }
    }
}

TEST(CompoundFile, EveryTruncationIsJudgedWithoutFault) {
    for (const unsigned sectorSize : {512u, 4096u}) {
        const Bytes sound = Deck(sectorSize, CurrentUser(kPlainToken));
        const std::size_t directoryEnd = SectorOffset(sound, Get32(sound, 48)) + sectorSize;
        for (std::size_t cut = 8; cut < sound.size(); cut += 61) {
            const DeckFormat format = Sniff(Bytes(sound.begin(), sound.begin() + cut));
            if (cut < directoryEnd) {
                EXPECT_EQ(format, DeckFormat::DamagedCompoundFile) << cut;
            } else {
                EXPECT_TRUE(format == DeckFormat::DamagedCompoundFile || format == DeckFormat::BinaryDeck)
                    << cut;
            }
        }
    }
}

// Every compound file of the real corpus: the root's entries and the head of "Current User" as
// libgsf reads them, and so the verdict libgsf's reading gives; a .ppt is a deck.
TEST(CompoundFile, RealFilesReadAsLibgsfReadsThem) {
    namespace fs = std::filesystem;
    if (!fs::is_directory(QUARNEL_CORPUS))
        GTEST_SKIP() << "no corpus";
    int checked = 0;
    for (const auto& item : fs::directory_iterator(QUARNEL_CORPUS)) {
        if (!item.is_regular_file())
            continue;
        std::ifstream in(item.path(), std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.size() < 8 || Get32(bytes, 0) != 0xE011CFD0 || Get32(bytes, 4) != 0xE11AB1A1)
            continue;
        const std::string name = item.path().filename().string();
        const auto reference = testsupport::LibgsfRootEntries(bytes, 16);
        ASSERT_TRUE(reference) << name;
        MemorySource source(bytes);
        std::optional<CompoundFile> file = CompoundFile::Open(source);
        ASSERT_TRUE(file) << name;
        std::multiset<std::string> ours;
        std::multiset<std::string> theirs;
        for (const office::binary::CompoundEntry& entry : file->RootEntries())
            ours.insert(Utf8(entry.name) + (entry.isStream ? "" : "/"));
        bool hasDeck = false;
        bool encryptedPackage = false;
        bool encryptedUser = false;
        for (const testsupport::LibgsfEntry& entry : *reference) {
            theirs.insert(entry.name + (entry.isStream ? "" : "/"));
            hasDeck |= entry.isStream && entry.name == "PowerPoint Document";
            encryptedPackage |=
                entry.isStream && (entry.name == "EncryptedPackage" || entry.name == "EncryptionInfo");
            if (entry.isStream && entry.name == "Current User") {
                ASSERT_EQ(file->ReadStream(*file->FindRootStream("Current User"), 16), entry.head) << name;
                encryptedUser = entry.head.size() == 16 && Get32(entry.head, 12) == 0xF3D1C4DF;
            }
        }
        EXPECT_EQ(ours, theirs) << name;
        const DeckFormat expected = encryptedPackage ? DeckFormat::EncryptedPackage
                                    : !hasDeck       ? DeckFormat::OtherCompoundFile
                                    : encryptedUser  ? DeckFormat::EncryptedBinaryDeck
                                                     : DeckFormat::BinaryDeck;
        EXPECT_EQ(Sniff(bytes), expected) << name;
        EXPECT_EQ(office::binary::SniffDeckFile(item.path().string()), expected) << name;
        if (item.path().extension() == ".ppt") {
            EXPECT_TRUE(expected == DeckFormat::BinaryDeck || expected == DeckFormat::EncryptedBinaryDeck)
                << name;
        }
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "no compound files in the corpus";
}
