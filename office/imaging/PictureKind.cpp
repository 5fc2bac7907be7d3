#include "office/imaging/Imaging.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace office::imaging {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic,
                std::size_t offset = 0) {
    if (bytes.size() < offset + magic.size()) {
        return false;
    }
    return std::equal(magic.begin(), magic.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool LooksLikeSvg(std::span<const std::uint8_t> bytes) {
    const std::size_t n = std::min<std::size_t>(bytes.size(), 1024);
    const std::string head = Lower(std::string_view(reinterpret_cast<const char*>(bytes.data()), n));
    return head.find("<svg") != std::string::npos;
}

} // namespace

PictureKind KindOf(std::string_view contentTypeOrExtension) {
    std::string key = Lower(contentTypeOrExtension);
    if (const auto semicolon = key.find(';'); semicolon != std::string::npos) {
        key.resize(semicolon);
    }
    while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) {
        key.pop_back();
    }
    if (!key.empty() && key.front() == '.') {
        key.erase(0, 1);
    }
    if (key.rfind("image/", 0) == 0) {
        key.erase(0, 6);
    }
    if (key == "jpeg" || key == "jpg" || key == "jpe" || key == "jfif" || key == "pjpeg") {
        return PictureKind::Jpeg;
    }
    if (key == "png" || key == "x-png") {
        return PictureKind::Png;
    }
    if (key == "gif") {
        return PictureKind::Gif;
    }
    if (key == "bmp" || key == "x-bmp" || key == "x-ms-bmp" || key == "dib" || key == "bitmap") {
        return PictureKind::Bmp;
    }
    if (key == "tiff" || key == "tif") {
        return PictureKind::Tiff;
    }
    if (key == "webp") {
        return PictureKind::WebP;
    }
    if (key == "svg" || key == "svg+xml") {
        return PictureKind::Svg;
    }
    if (key == "emf" || key == "x-emf") {
        return PictureKind::Emf;
    }
    if (key == "wmf" || key == "x-wmf") {
        return PictureKind::Wmf;
    }
    return PictureKind::Unknown;
}

PictureKind SniffKind(std::span<const std::uint8_t> bytes) {
    if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) {
        return PictureKind::Jpeg;
    }
    if (StartsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
        return PictureKind::Png;
    }
    if (StartsWith(bytes, {'G', 'I', 'F', '8'})) {
        return PictureKind::Gif;
    }
    if (StartsWith(bytes, {'B', 'M'}) && bytes.size() >= 26) {
        return PictureKind::Bmp;
    }
    if (StartsWith(bytes, {'I', 'I', 42, 0}) || StartsWith(bytes, {'M', 'M', 0, 42})) {
        return PictureKind::Tiff;
    }
    if (StartsWith(bytes, {'R', 'I', 'F', 'F'}) && StartsWith(bytes, {'W', 'E', 'B', 'P'}, 8)) {
        return PictureKind::WebP;
    }
    if (StartsWith(bytes, {1, 0, 0, 0}) && StartsWith(bytes, {' ', 'E', 'M', 'F'}, 40)) {
        return PictureKind::Emf;
    }
    // Placeable metafile key, or a bare metafile header (type 1 or 2, header size 9 words).
    if (StartsWith(bytes, {0xD7, 0xCD, 0xC6, 0x9A}) || StartsWith(bytes, {1, 0, 9, 0}) ||
        StartsWith(bytes, {2, 0, 9, 0})) {
        return PictureKind::Wmf;
    }
    if (LooksLikeSvg(bytes)) {
        return PictureKind::Svg;
    }
    return PictureKind::Unknown;
}

bool IsMetafile(PictureKind kind) {
    return kind == PictureKind::Emf || kind == PictureKind::Wmf;
}

bool Raster::HasTransparency() const {
    for (std::size_t i = 3; i < rgba.size(); i += 4) {
        if (rgba[i] != 255) {
            return true;
        }
    }
    return false;
}

} // namespace office::imaging
