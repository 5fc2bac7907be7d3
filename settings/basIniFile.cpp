#include "settings/basIniFile.h"

#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "settings/IniDocument.h"

namespace settings {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct DecodedIni {
    platform::TextEncoding encoding = platform::TextEncoding::Utf8;
    bool bom = false;
    IniDocument document;
};

DecodedIni Decode(std::string_view bytes) {
    DecodedIni decoded;
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        decoded.bom = true;
        bytes.remove_prefix(kUtf8Bom.size());
    }
    decoded.encoding = platform::DetectEncoding(bytes);
    decoded.document.Parse(platform::ToUtf8(bytes, decoded.encoding));
    return decoded;
}

} // namespace

std::string IniFile::ReadIni(const std::string& section, const std::string& key,
                             const std::string& defaultText) const {
    if (IniFilePath.empty()) {
        return defaultText;
    }
    const auto file = platform::ReadWholeFile(IniFilePath);
    if (file.status != platform::ReadStatus::Ok) {
        return defaultText;
    }
    const DecodedIni decoded = Decode(file.bytes);
    const auto value = decoded.document.Find(section, key);
    if (!value || value->empty()) {
        return defaultText;
    }
    // The read buffer holds kIniReadLimit bytes of the file's own encoding, its terminator included.
    return platform::CutToEncodedBytes(*value, static_cast<std::size_t>(kIniReadLimit) - 1, decoded.encoding);
}

int IniFile::WriteIni(const std::string& section, const std::string& key, const std::string& value) {
    if (IniFilePath.empty()) {
        return 0;
    }
    const auto file = platform::ReadWholeFile(IniFilePath);
    if (file.status == platform::ReadStatus::Failed) {
        return 0; // never replace a file that could not be read
    }
    DecodedIni decoded = Decode(file.bytes);
    decoded.document.Set(section, key, value);
    // Files are written in UTF-8 here, whatever they were read in.
    const std::string text =
        (decoded.bom ? std::string(kUtf8Bom) : std::string()) + decoded.document.Serialize();
    return platform::WriteFileAtomically(IniFilePath, text) ? 1 : 0;
}

} // namespace settings
