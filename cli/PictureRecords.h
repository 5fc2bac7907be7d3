#pragma once

// A parallel batch's worker hands its deck's replaced pictures (images included) to the batch for the
// visual report through this file.

#include "automation/ReplacedPictures.h"

#include <string>
#include <vector>

namespace cli {

bool WritePictureRecords(const std::string& path, const std::vector<automation::ReplacedPicture>& pictures);
// Empty when the file is missing or unreadable.
std::vector<automation::ReplacedPicture> ReadPictureRecords(const std::string& path);

} // namespace cli
