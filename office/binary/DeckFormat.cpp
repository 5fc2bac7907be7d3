#include "office/binary/DeckFormat.h"

#include <array>
#include <cstring>
#include <fstream>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <memory>
#include <mutex>

namespace office::binary {
namespace {

constexpr std::array<std::uint8_t, 8> kCompoundSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::array<std::uint8_t, 4> kZipSignature = {'P', 'K', 0x03, 0x04};
// CurrentUserAtom.headerToken (at byte 12 of the "Current User" stream) of an encrypted deck;
// an unencrypted one carries 0xE391C05F.
constexpr std::uint32_t kEncryptedToken = 0xF3D1C4DF;

struct Unref {
    void operator()(gpointer object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, Unref>;

DeckFormat ByHeader(const std::uint8_t* data, std::size_t size) {
    if (size >= kCompoundSignature.size() &&
        std::memcmp(data, kCompoundSignature.data(), kCompoundSignature.size()) == 0)
        return DeckFormat::BinaryDeck; // refined by the streams
    if (size >= kZipSignature.size() && std::memcmp(data, kZipSignature.data(), kZipSignature.size()) == 0)
        return DeckFormat::Package;
    return DeckFormat::Unknown;
}

bool EncryptedCurrentUser(GsfInfile* ole) {
    GPtr<GsfInput> user(gsf_infile_child_by_name(ole, "Current User"));
    if (!user || gsf_input_size(user.get()) < 16)
        return false;
    const guint8* head = gsf_input_read(user.get(), 16, nullptr);
    if (!head)
        return false;
    const std::uint32_t token =
        static_cast<std::uint32_t>(head[12]) | static_cast<std::uint32_t>(head[13]) << 8 |
        static_cast<std::uint32_t>(head[14]) << 16 | static_cast<std::uint32_t>(head[15]) << 24;
    return token == kEncryptedToken;
}

// libgsf reports a damaged compound file with a stream of critical messages on stderr; the verdict
// (damaged) is what counts here, so its messages are dropped.
void QuietLibgsf() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_log_set_handler(
            "libgsf:msole", static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        g_log_set_handler(
            "libgsf", static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

DeckFormat ByStreams(GsfInput* input) {
    QuietLibgsf();
    GError* error = nullptr;
    GPtr<GsfInfile> ole(gsf_infile_msole_new(input, &error));
    if (error)
        g_error_free(error);
    if (!ole)
        return DeckFormat::DamagedCompoundFile;
    auto has = [&](const char* name) {
        return GPtr<GsfInput>(gsf_infile_child_by_name(ole.get(), name)) != nullptr;
    };
    if (has("EncryptedPackage") || has("EncryptionInfo"))
        return DeckFormat::EncryptedPackage;
    if (!has("PowerPoint Document"))
        return DeckFormat::OtherCompoundFile;
    return EncryptedCurrentUser(ole.get()) ? DeckFormat::EncryptedBinaryDeck : DeckFormat::BinaryDeck;
}

} // namespace

DeckFormat SniffDeckBytes(const std::uint8_t* data, std::size_t size) {
    const DeckFormat byHeader = ByHeader(data, size);
    if (byHeader != DeckFormat::BinaryDeck)
        return byHeader;
    GPtr<GsfInput> input(gsf_input_memory_new(data, static_cast<gsf_off_t>(size), FALSE));
    return input ? ByStreams(input.get()) : DeckFormat::DamagedCompoundFile;
}

DeckFormat SniffDeckFile(const std::string& path) {
    std::array<std::uint8_t, 8> head{};
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return DeckFormat::Unknown;
        in.read(reinterpret_cast<char*>(head.data()), head.size());
        const DeckFormat byHeader = ByHeader(head.data(), static_cast<std::size_t>(in.gcount()));
        if (byHeader != DeckFormat::BinaryDeck)
            return byHeader;
    }
    GError* error = nullptr;
    GPtr<GsfInput> input(gsf_input_stdio_new(path.c_str(), &error));
    if (error)
        g_error_free(error);
    return input ? ByStreams(input.get()) : DeckFormat::Unknown;
}

} // namespace office::binary
