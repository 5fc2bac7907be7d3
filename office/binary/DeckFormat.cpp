#include "office/binary/DeckFormat.h"

#include "office/binary/ByteSource.h"
#include "office/binary/CompoundFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace office::binary {
namespace {

constexpr std::array<std::uint8_t, 8> kCompoundSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::array<std::uint8_t, 4> kZipSignature = {'P', 'K', 0x03, 0x04};
// CurrentUserAtom.headerToken (at byte 12 of the "Current User" stream) of an encrypted deck;
// an unencrypted one carries 0xE391C05F.
constexpr std::uint32_t kEncryptedToken = 0xF3D1C4DF;

DeckFormat ByHeader(const std::uint8_t* data, std::size_t size) {
    if (size >= kCompoundSignature.size() &&
        std::memcmp(data, kCompoundSignature.data(), kCompoundSignature.size()) == 0)
        return DeckFormat::BinaryDeck; // refined by the streams
    if (size >= kZipSignature.size() && std::memcmp(data, kZipSignature.data(), kZipSignature.size()) == 0)
        return DeckFormat::Package;
    return DeckFormat::Unknown;
}

DeckFormat ByStreams(ByteSource& source) {
    std::optional<CompoundFile> file = CompoundFile::Open(source);
    if (!file)
        return DeckFormat::DamagedCompoundFile;
    if (file->FindRootStream("EncryptedPackage") || file->FindRootStream("EncryptionInfo"))
        return DeckFormat::EncryptedPackage;
    if (!file->FindRootStream("PowerPoint Document"))
        return DeckFormat::OtherCompoundFile;
    const CompoundEntry* user = file->FindRootStream("Current User");
    if (!user || user->size < 16)
        return DeckFormat::BinaryDeck;
    const std::optional<std::vector<std::uint8_t>> head = file->ReadStream(*user, 16);
    if (!head)
        return DeckFormat::DamagedCompoundFile;
    const std::uint8_t* token = head->data() + 12;
    const std::uint32_t headerToken =
        static_cast<std::uint32_t>(token[0]) | static_cast<std::uint32_t>(token[1]) << 8 |
        static_cast<std::uint32_t>(token[2]) << 16 | static_cast<std::uint32_t>(token[3]) << 24;
    return headerToken == kEncryptedToken ? DeckFormat::EncryptedBinaryDeck : DeckFormat::BinaryDeck;
}

} // namespace

DeckFormat SniffDeckBytes(const std::uint8_t* data, std::size_t size) {
    const DeckFormat byHeader = ByHeader(data, size);
    if (byHeader != DeckFormat::BinaryDeck)
        return byHeader;
    MemorySource source({data, size});
    return ByStreams(source);
}

DeckFormat SniffDeckFile(const std::string& path) {
    FileSource source(path);
    std::array<std::uint8_t, 8> head{};
    if (!source.IsOpen())
        return DeckFormat::Unknown;
    const std::size_t headSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(source.Size(), head.size()));
    if (!source.ReadAt(0, std::span(head).first(headSize)))
        return DeckFormat::Unknown;
    const DeckFormat byHeader = ByHeader(head.data(), headSize);
    if (byHeader != DeckFormat::BinaryDeck)
        return byHeader;
    return ByStreams(source);
}

} // namespace office::binary
