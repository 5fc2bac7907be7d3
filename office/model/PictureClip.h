#pragma once

// Turning a picture's bytes into a shape clip that a plain paste inserts as a picture shape.

#include "office/clipboard/EngineClipboard.h"
#include "office/imaging/Imaging.h"

#include <cstdint>
#include <string>
#include <vector>

namespace office {

// A p:pic of the given size (points) at the top-left corner, whose image part holds the bytes,
// with the look and crop given.
ShapeClip MakePictureClip(std::vector<std::uint8_t> bytes, imaging::PictureKind kind, double widthPt,
                          double heightPt, const PictureLook& look = {}, const imaging::CropRect& crop = {});

// The file extension (without the dot) and content type an image part of that kind takes.
struct PictureFileType {
    std::string extension;
    std::string contentType;
};
PictureFileType FileTypeOf(imaging::PictureKind kind);

} // namespace office
