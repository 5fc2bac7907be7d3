#include "office/repack/PictureToPng.h"

#include "office/imaging/BmpDecoder.h"
#include "office/imaging/VipsSupport.h"
#include "office/repack/PngRepack.h"

#include <cmath>
#include <cstring>
#include <string>

namespace office::repack {

namespace {

Bytes PhysChunk(double pixelsPerMetreX, double pixelsPerMetreY) {
    std::uint8_t data[9] = {};
    const std::uint32_t x = std::uint32_t(std::lround(pixelsPerMetreX));
    const std::uint32_t y = std::uint32_t(std::lround(pixelsPerMetreY));
    for (int i = 0; i < 4; ++i) {
        data[i] = std::uint8_t(x >> (24 - 8 * i));
        data[4 + i] = std::uint8_t(y >> (24 - 8 * i));
    }
    data[8] = 1; // unit: metre
    return MakePngChunk("pHYs", data);
}

Bytes IccChunk(const void* profile, std::size_t size) {
    static constexpr char kName[] = "ICC Profile";
    Bytes data(kName, kName + sizeof kName); // name, its terminating zero
    data.push_back(0);                       // compression method: deflate
    Bytes packed = DeflateZlib(std::span(static_cast<const std::uint8_t*>(profile), size), 12);
    data.insert(data.end(), packed.begin(), packed.end());
    return MakePngChunk("iCCP", data);
}

std::uint32_t LittleEndian32(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

// The first page's ExtraSamples value (338): 2 is alpha not premultiplied; 0 when absent.
int TiffExtraSamples(std::span<const std::uint8_t> tiff) {
    if (tiff.size() < 8 || (tiff[0] != tiff[1]) || (tiff[0] != 'I' && tiff[0] != 'M'))
        return 0;
    const bool little = tiff[0] == 'I';
    auto u16 = [&](std::size_t at) {
        if (at + 2 > tiff.size())
            return 0u;
        return little ? unsigned(tiff[at] | tiff[at + 1] << 8) : unsigned(tiff[at] << 8 | tiff[at + 1]);
    };
    auto u32 = [&](std::size_t at) {
        return little ? u16(at) | std::uint32_t(u16(at + 2)) << 16
                      : std::uint32_t(u16(at)) << 16 | u16(at + 2);
    };
    const std::size_t ifd = u32(4);
    const unsigned count = u16(ifd);
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + std::size_t(i) * 12;
        if (entry + 12 > tiff.size())
            return 0;
        if (u16(entry) == 338)
            return u32(entry + 4) == 1 ? int(u16(entry + 8)) : -1;
    }
    return 0;
}

} // namespace

std::optional<Bytes> TiffToPng(std::span<const std::uint8_t> tiff) {
    using vips::VImage;
    try {
        imaging::detail::EnsureVips();
        const char* loader = vips_foreign_find_load_buffer(tiff.data(), tiff.size());
        if (!loader || std::string(loader).find("Tiff") == std::string::npos)
            return std::nullopt;
        VImage image = VImage::new_from_buffer(tiff.data(), tiff.size(), "");
        constexpr double kMaxSampleBytes = double(1 << 28);
        if (double(image.width()) * image.height() * image.bands() * 2 > kMaxSampleBytes)
            return std::nullopt;
        if (image.get_typeof("n-pages") && image.get_int("n-pages") != 1)
            return std::nullopt;
        if (image.get_typeof("orientation") && image.get_int("orientation") != 1)
            return std::nullopt;
        const VipsInterpretation kind = image.interpretation();
        const bool wide = image.format() == VIPS_FORMAT_USHORT;
        if (!wide && image.format() != VIPS_FORMAT_UCHAR)
            return std::nullopt;
        PngSamples samples;
        if (image.bands() == 1 && (kind == VIPS_INTERPRETATION_B_W || kind == VIPS_INTERPRETATION_GREY16))
            samples.colorType = 0;
        else if (image.bands() == 3 &&
                 (kind == VIPS_INTERPRETATION_sRGB || kind == VIPS_INTERPRETATION_RGB16))
            samples.colorType = 2;
        else if (image.bands() == 4 &&
                 (kind == VIPS_INTERPRETATION_sRGB || kind == VIPS_INTERPRETATION_RGB16) &&
                 TiffExtraSamples(tiff) == 2)
            samples.colorType = 6; // straight alpha, as PNG has it; premultiplied alpha stays TIFF
        else
            return std::nullopt;
        samples.width = std::uint32_t(image.width());
        samples.height = std::uint32_t(image.height());
        samples.bitDepth = wide ? 16 : 8;
        std::size_t size = 0;
        void* pixels = image.write_to_memory(&size);
        if (!pixels)
            return std::nullopt;
        samples.rows.assign(static_cast<std::uint8_t*>(pixels), static_cast<std::uint8_t*>(pixels) + size);
        g_free(pixels);
        if (wide) {
            for (std::size_t i = 0; i + 1 < samples.rows.size(); i += 2) {
                std::uint16_t v;
                std::memcpy(&v, &samples.rows[i], 2);
                samples.rows[i] = std::uint8_t(v >> 8);
                samples.rows[i + 1] = std::uint8_t(v);
            }
        }
        std::vector<Bytes> chunks;
        if (image.get_typeof("icc-profile-data")) {
            std::size_t length = 0;
            const void* profile = image.get_blob("icc-profile-data", &length);
            chunks.push_back(IccChunk(profile, length));
        }
        // libvips reports 1 pixel/mm when the file states no resolution; then PNG states none either.
        if (image.get_typeof("resolution-unit"))
            chunks.push_back(PhysChunk(image.xres() * 1000.0, image.yres() * 1000.0));
        return EncodePng(samples, chunks);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<Bytes> BmpToPng(std::span<const std::uint8_t> bmp) {
    constexpr std::size_t kInfo = 14;
    if (bmp.size() < kInfo + 40 || bmp[0] != 'B' || bmp[1] != 'M')
        return std::nullopt;
    const std::uint32_t headerSize = LittleEndian32(bmp, kInfo);
    // A V5 header may carry or link a colour profile; such files keep their own form.
    if (headerSize >= 124 && bmp.size() >= kInfo + 60) {
        const std::uint32_t space = LittleEndian32(bmp, kInfo + 56);
        if (space == 0x4D424544 /* MBED */ || space == 0x4C494E4B /* LINK */)
            return std::nullopt;
    }
    try {
        imaging::Raster raster = imaging::detail::DecodeBmp(bmp);
        bool opaque = true;
        for (std::size_t i = 3; opaque && i < raster.rgba.size(); i += 4)
            opaque = raster.rgba[i] == 255;
        PngSamples samples;
        samples.width = std::uint32_t(raster.width);
        samples.height = std::uint32_t(raster.height);
        samples.bitDepth = 8;
        samples.colorType = opaque ? 2 : 6;
        if (opaque) {
            samples.rows.reserve(raster.rgba.size() / 4 * 3);
            for (std::size_t i = 0; i < raster.rgba.size(); i += 4)
                samples.rows.insert(samples.rows.end(), &raster.rgba[i], &raster.rgba[i] + 3);
        } else {
            samples.rows = std::move(raster.rgba);
        }
        std::vector<Bytes> chunks;
        const std::uint32_t xppm = LittleEndian32(bmp, kInfo + 24), yppm = LittleEndian32(bmp, kInfo + 28);
        if (headerSize >= 40 && xppm > 0 && yppm > 0 && xppm < 0x7FFFFFFF && yppm < 0x7FFFFFFF)
            chunks.push_back(PhysChunk(xppm, yppm));
        return EncodePng(samples, chunks);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace office::repack
