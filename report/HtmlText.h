#pragma once

// Small pieces of HTML text: escaping, inline images, sizes and shares as the report writes them.

#include "automation/ReplacedPictures.h"

#include <cstdint>
#include <span>
#include <string>

namespace report {

std::string Escaped(const std::string& text);
std::string Base64(std::span<const std::uint8_t> bytes);
// "data:image/jpeg;base64,..."; empty for an image without bytes.
std::string DataUri(const automation::ReportImage& image);
// "12.3 KB", "4.56 MB", "980 B".
std::string BytesText(double bytes);
// "-42 %" for after/before = 0.58; "+3 %" when it grew.
std::string ChangeText(double before, double after);

} // namespace report
