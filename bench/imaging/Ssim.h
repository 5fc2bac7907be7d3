#pragma once

#include "office/imaging/Imaging.h"

namespace bench {

// Mean structural similarity of the luma of two equally sized rasters, over 8x8 windows stepped
// by 4 pixels (the classic constants for 8-bit data). Alpha is ignored: flatten both first.
double LumaSsim(const office::imaging::Raster& a, const office::imaging::Raster& b);

} // namespace bench
