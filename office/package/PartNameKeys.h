#pragma once

// Internal helpers of the package layer for comparing and classifying part names.

#include <optional>
#include <string>
#include <string_view>

namespace office::package::detail {

// Lookup key of a part name: percent-escapes decoded, ASCII lower-cased, backslashes as slashes, so
// that "/PPT/Media/Image%201.PNG" and "/ppt/media/image 1.png" meet.
std::string PartKey(std::string_view partName);
// The source part of a rels part name ("/ppt/slides/_rels/slide1.xml.rels" -> "/ppt/slides/slide1.xml",
// "/_rels/.rels" -> "/"); nullopt when the name is not a rels part name.
std::optional<std::string> SourceOfRelsPart(std::string_view relsPartName);
// A name a new part may take: absolute, no empty, "." or ".." segments, no trailing slash, not a rels
// part and not [Content_Types].xml.
bool IsValidNewPartName(std::string_view partName);
std::string AsciiLower(std::string_view text);

} // namespace office::package::detail
