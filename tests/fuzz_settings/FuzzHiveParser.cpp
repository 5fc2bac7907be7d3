// Any bytes as a registry hive file: parsing must not crash, and whatever parses must write back to
// text that parses to the same hive.

#include "FuzzSeedRunner.h"
#include "settings/HiveFile.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    settings::HiveData hive;
    if (hive.Parse(bytes) != settings::HiveParseResult::Ok) {
        return 0;
    }
    const std::string text = hive.Serialize();
    settings::HiveData again;
    if (again.Parse(text) != settings::HiveParseResult::Ok || again.Serialize() != text) {
        std::abort();
    }
    for (const auto& name : hive.Subkeys("")) {
        if (!hive.HasKey(name)) {
            std::abort();
        }
        (void)hive.Subkeys(name);
    }
    return 0;
}
