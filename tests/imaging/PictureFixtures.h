#pragma once

// Pictures made in the test itself, so that every case states its input.

#include "office/imaging/Imaging.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <vips/vips8>

namespace fixtures {

using Rgba = std::array<std::uint8_t, 4>;
using office::imaging::Raster;

inline constexpr Rgba kRed{255, 0, 0, 255};
inline constexpr Rgba kGreen{0, 255, 0, 255};
inline constexpr Rgba kBlue{0, 0, 255, 255};
inline constexpr Rgba kYellow{255, 255, 0, 255};
inline constexpr Rgba kClear{0, 0, 0, 0};

inline void StartVips() {
    static const bool started = VIPS_INIT("quarnel-tests") == 0;
    (void)started;
}

inline Rgba At(const Raster& r, int x, int y) {
    const std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * r.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

inline std::string Text(const Rgba& c) {
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + "," +
           std::to_string(c[3]);
}

inline bool Near(const Rgba& a, const Rgba& b, int tolerance) {
    for (int i = 0; i < 4; ++i) {
        if (std::abs(int(a[i]) - int(b[i])) > tolerance) {
            return false;
        }
    }
    return true;
}

inline Raster Solid(int w, int h, Rgba c) {
    Raster r;
    r.width = w;
    r.height = h;
    for (int i = 0; i < w * h; ++i) {
        r.rgba.insert(r.rgba.end(), c.begin(), c.end());
    }
    return r;
}

// Red top-left, green top-right, blue bottom-left, yellow bottom-right.
inline Raster Quadrants(int w, int h) {
    Raster r = Solid(w, h, kRed);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgba c = y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kYellow);
            std::copy(c.begin(), c.end(), &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4]);
        }
    }
    return r;
}

// Opaque red disc in the middle of a transparent square.
inline Raster DiscOnClear(int size) {
    Raster r = Solid(size, size, kClear);
    const double c = (size - 1) / 2.0, radius = size / 4.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if ((x - c) * (x - c) + (y - c) * (y - c) <= radius * radius) {
                std::copy(kRed.begin(), kRed.end(), &r.rgba[(static_cast<std::size_t>(y) * size + x) * 4]);
            }
        }
    }
    return r;
}

// A smooth colour field with many thousands of distinct colours.
inline Raster Gradient(int w, int h, bool withAlpha) {
    Raster r = Solid(w, h, kClear);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, w - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1));
            p[2] = static_cast<std::uint8_t>((x + y) * 127 / std::max(1, w + h - 2));
            p[3] = withAlpha && x < w / 4 ? 0 : 255;
        }
    }
    return r;
}

inline vips::VImage ToVips(const Raster& r) {
    StartVips();
    return vips::VImage(vips_image_new_from_memory_copy(r.rgba.data(), r.rgba.size(), r.width, r.height, 4,
                                                        VIPS_FORMAT_UCHAR))
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Encodes with libvips directly (".png", ".jpg[Q=95]", ".tif", ".webp", ".gif").
inline std::vector<std::uint8_t> SaveWithVips(const vips::VImage& image, const char* suffix) {
    void* data = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(suffix, &data, &size);
    std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    g_free(data);
    return out;
}

// Decodes with libvips directly, as straight RGBA.
inline Raster LoadWithVips(const std::vector<std::uint8_t>& bytes) {
    StartVips();
    vips::VImage image = vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "");
    image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.bands() == 3) {
        image = image.bandjoin_const({255});
    }
    image = image.cast(VIPS_FORMAT_UCHAR);
    Raster r;
    r.width = image.width();
    r.height = image.height();
    std::size_t size = 0;
    void* mem = image.write_to_memory(&size);
    r.rgba.assign(static_cast<std::uint8_t*>(mem), static_cast<std::uint8_t*>(mem) + size);
    g_free(mem);
    return r;
}

inline void Le16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Le32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Le16(b, v & 0xFFFF);
    Le16(b, v >> 16);
}

// A Windows bitmap file of the raster: 24-bit, 32-bit (BI_RGB, alpha byte as given) or 8-bit with a
// palette of the raster's colours (at most 256). Rows bottom-up unless topDown.
inline std::vector<std::uint8_t> MakeBmp(const Raster& r, int bpp, bool topDown = false) {
    std::vector<Rgba> palette;
    std::vector<std::uint8_t> indices;
    if (bpp == 8) {
        for (int i = 0; i < r.width * r.height; ++i) {
            const Rgba c = At(r, i % r.width, i / r.width);
            auto it = std::find(palette.begin(), palette.end(), c);
            if (it == palette.end()) {
                palette.push_back(c);
                it = palette.end() - 1;
            }
            indices.push_back(static_cast<std::uint8_t>(it - palette.begin()));
        }
    }
    const std::size_t stride = ((static_cast<std::size_t>(r.width) * bpp + 31) / 32) * 4;
    const std::uint32_t bitsOffset = static_cast<std::uint32_t>(14 + 40 + palette.size() * 4);
    std::vector<std::uint8_t> b{'B', 'M'};
    Le32(b, static_cast<std::uint32_t>(bitsOffset + stride * r.height));
    Le32(b, 0);
    Le32(b, bitsOffset);
    Le32(b, 40);
    Le32(b, static_cast<std::uint32_t>(r.width));
    Le32(b, static_cast<std::uint32_t>(topDown ? -r.height : r.height));
    Le16(b, 1);
    Le16(b, static_cast<std::uint32_t>(bpp));
    Le32(b, 0);
    Le32(b, static_cast<std::uint32_t>(stride * r.height));
    Le32(b, 2835);
    Le32(b, 2835);
    Le32(b, static_cast<std::uint32_t>(palette.size()));
    Le32(b, 0);
    for (const Rgba& c : palette) {
        b.insert(b.end(), {c[2], c[1], c[0], 0});
    }
    for (int row = 0; row < r.height; ++row) {
        const int y = topDown ? row : r.height - 1 - row;
        std::size_t written = 0;
        for (int x = 0; x < r.width; ++x) {
            const Rgba c = At(r, x, y);
            if (bpp == 8) {
                b.push_back(indices[static_cast<std::size_t>(y) * r.width + x]);
                written += 1;
            } else {
                b.insert(b.end(), {c[2], c[1], c[0]});
                written += 3;
                if (bpp == 32) {
                    b.push_back(c[3]);
                    written += 1;
                }
            }
        }
        for (; written < stride; ++written) {
            b.push_back(0);
        }
    }
    return b;
}

inline std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace fixtures
