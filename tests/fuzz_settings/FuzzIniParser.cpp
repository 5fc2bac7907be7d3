// Any bytes as an INI file: decoding, parsing, looking up and editing must neither crash nor lose
// the edit, and writing back must be stable.

#include "FuzzSeedRunner.h"
#include "platform/CodePage.h"
#include "settings/IniDocument.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto encoding = platform::DetectEncoding(bytes);
    const std::string text = platform::ToUtf8(bytes, encoding);
    Require(platform::IsValidUtf8(text));

    settings::IniDocument doc;
    doc.Parse(text);
    const std::string once = doc.Serialize();
    settings::IniDocument again;
    again.Parse(once);
    Require(again.Serialize() == once);

    // Use the first line's text as section and key names, as hostile as the input gets.
    const std::string_view firstLine = bytes.substr(0, bytes.find('\n'));
    const std::string name(firstLine.substr(0, 16));
    (void)doc.Find(name, name);
    doc.Set("name", "0", "excel");
    doc.Set(name, "k", "value");
    Require(doc.Find("name", "0") == std::optional<std::string>("excel"));
    settings::IniDocument reread;
    reread.Parse(doc.Serialize());
    Require(reread.Find("name", "0") == std::optional<std::string>("excel"));

    (void)platform::CutToEncodedBytes(text, size % 1100, encoding);
    return 0;
}
