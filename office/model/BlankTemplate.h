#pragma once

// The blank presentation that Presentations.Add starts from: a 16:9 deck with one master, one blank
// layout and a theme, built in memory from XML held by the program.

#include <cstdint>
#include <string>
#include <vector>

namespace office::model {

// The template as a .pptx archive.
const std::vector<std::uint8_t>& BlankPresentationArchive();

// The XML of a new empty slide.
std::string EmptySlideXml();

inline constexpr const char* kNsP = "http://schemas.openxmlformats.org/presentationml/2006/main";
inline constexpr const char* kNsA = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kNsR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

} // namespace office::model
