#pragma once

// The raster pictures of the test decks, for the benchmarks.

#include "office/imaging/Imaging.h"

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct Picture {
    std::string name;
    std::vector<std::uint8_t> bytes;
    office::imaging::PictureKind kind;
    int width = 0, height = 0;
    int targetWidth = 0, targetHeight = 0;
    // How a slide shows it, and the factor the copy enlarges that by; the target is the product.
    double shownWidthPt = 0, shownHeightPt = 0;
    double copyScale = 1;
    double megapixels() const { return width * double(height) / 1e6; }
};

const char* KindName(office::imaging::PictureKind kind);

// Distinct raster media of at least 0.1 megapixel from the decks in the folder (sorted by deck
// name), at most limit of them, each with a target size of scale times its own.
std::vector<Picture> CollectPictures(const std::filesystem::path& corpus, double scale, std::size_t limit);

// The raster pictures of at least 0.1 megapixel that the decks' slides show uncropped and outside
// groups, each once per size shown, with the target a copy at scale times the shown size makes
// (96 dpi), as the engine copies them.
std::vector<Picture> CollectShownPictures(const std::filesystem::path& corpus, double scale,
                                          std::size_t limit);

} // namespace bench
