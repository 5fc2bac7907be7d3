#pragma once

// Cuts every font embedded in a presentation down to the characters its text uses. Each font part
// is replaced only when the subset container came out smaller; fonts whose licence forbids
// subsetting, and parts we cannot decode, are left exactly as they were.

#include <cstdint>
#include <string>
#include <vector>

namespace office::package {
class Package;
}

namespace office::fonts {

enum class FontOutcome { Subset, NotSmaller, Forbidden, Unreadable };

struct FontSubsetResult {
    std::string typeface; // p:font/@typeface
    std::string style;    // regular, bold, italic, boldItalic
    std::string partName;
    std::uint64_t bytesBefore = 0;
    std::uint64_t bytesAfter = 0; // equals bytesBefore unless subset
    FontOutcome outcome = FontOutcome::Unreadable;
};

std::vector<FontSubsetResult> SubsetEmbeddedFonts(office::package::Package& package);

} // namespace office::fonts
