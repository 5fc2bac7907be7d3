#pragma once

// The resolution a picture file declares (JFIF density, PNG pHYs). A tiled fill draws each tile at
// the picture's pixels over this resolution, so a re-encoded tile must declare what its source did.

#include "office/imaging/Imaging.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace office::deckpictures {

struct Density {
    double xPerMetre = 0;
    double yPerMetre = 0;
};

// nullopt when the file declares none (or only an aspect ratio).
std::optional<Density> ReadDensity(const std::vector<std::uint8_t>& bytes, imaging::PictureKind kind);

// Makes a JPEG or PNG declare exactly the given density, or none. False when the file's layout is
// not one this can edit (the caller then keeps the old picture).
bool WriteDensity(std::vector<std::uint8_t>& bytes, imaging::PictureKind kind,
                  const std::optional<Density>& density);

} // namespace office::deckpictures
