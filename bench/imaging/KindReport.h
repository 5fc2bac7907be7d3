#pragma once

// Per picture kind (photo, screenshot or drawing, graphic with alpha): bytes and similarity of the
// former fixed paste settings against the encoders' per-picture choice.

#include "BenchPictures.h"

#include <vector>

namespace bench {

void ReportByKind(const std::vector<const Picture*>& pictures, bool perPicture);

} // namespace bench
