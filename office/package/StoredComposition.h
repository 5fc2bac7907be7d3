#pragma once

// What a package file's bytes are spent on, by kind of part, as stored (compressed) in the file.
// The ZIP's own headers and directory count as "other".

#include <cstdint>
#include <map>
#include <string>

namespace office::package {

struct StoredComposition {
    std::uint64_t pictures = 0; // ppt/media pictures (and any other image part)
    std::uint64_t media = 0;    // movies and sound
    std::uint64_t fonts = 0;    // embedded fonts
    std::uint64_t objects = 0;  // embedded objects and packages
    std::uint64_t xml = 0;      // markup and relationships
    std::uint64_t other = 0;
    std::uint64_t Total() const { return pictures + media + fonts + objects + xml + other; }
    // Every entry's stored size by part name ("/ppt/media/image1.png").
    std::map<std::string, std::uint64_t> entries;
};

// Throws automation::AutomationError when the file is no readable package.
StoredComposition ReadStoredComposition(const std::string& path);

// The kind an entry counts as, by its stored name.
enum class StoredKind { Pictures, Media, Fonts, Objects, Xml, Other };
StoredKind StoredKindOf(const std::string& entryName);

} // namespace office::package
