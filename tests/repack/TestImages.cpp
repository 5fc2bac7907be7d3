#include "TestImages.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>
#include <vips/vips8>

namespace testimages {

namespace {

struct JpegTrap {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegTrap*>(info->err)->jump, 1);
}

std::uint8_t Sample(int x, int y, int c, unsigned& state) {
    state = state * 1103515245u + 12345u;
    return std::uint8_t((x * 3 + y * 2 + c * 40) + ((state >> 16) & 15));
}

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void PngFlush(png_structp) {}

int ChannelsOf(int colorType) {
    return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
}

} // namespace

Bytes MakeJpeg(int width, int height, int components, const std::vector<JpegMarker>& markers) {
    jpeg_compress_struct info;
    JpegTrap trap;
    info.err = jpeg_std_error(&trap.pub);
    trap.pub.error_exit = JpegFail;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        throw std::runtime_error("cannot make the test JPEG");
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    info.optimize_coding = FALSE;
    info.write_JFIF_header = FALSE; // the markers given say what the file carries
    info.write_Adobe_marker = FALSE;
    jpeg_start_compress(&info, TRUE);
    for (const auto& m : markers)
        jpeg_write_marker(&info, m.code, m.data.data(), unsigned(m.data.size()));
    std::vector<JSAMPLE> row(std::size_t(width) * components);
    unsigned state = 7;
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                row[std::size_t(x) * components + c] = Sample(x, int(info.next_scanline), c, state);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes result(out, out + size);
    std::free(out);
    return result;
}

Bytes DecodeJpeg(const Bytes& jpeg) {
    jpeg_decompress_struct info;
    JpegTrap trap;
    info.err = jpeg_std_error(&trap.pub);
    trap.pub.error_exit = JpegFail;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&info);
        throw std::runtime_error("cannot decode the JPEG");
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    const std::size_t stride = std::size_t(info.output_width) * info.output_components;
    Bytes pixels(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {pixels.data() + stride * info.output_scanline};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pixels;
}

std::vector<JpegMarker> JpegMarkers(const Bytes& jpeg) {
    std::vector<JpegMarker> markers;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
        const int code = jpeg[pos + 1];
        if (code == 0xDA || code == 0xD9)
            break;
        const std::size_t length = std::size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3];
        if ((code >= 0xE0 && code <= 0xEF) || code == 0xFE)
            markers.push_back(
                {code, Bytes(jpeg.begin() + long(pos + 4), jpeg.begin() + long(pos + 2 + length))});
        pos += 2 + length;
    }
    return markers;
}

Bytes MakePng(const PngSpec& spec) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("cannot make the test PNG");
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, png_uint_32(spec.width), png_uint_32(spec.height), spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (spec.colorType == 3) {
        for (int i = 0; i < (1 << spec.bitDepth); ++i)
            palette.push_back({png_byte(i * 17), png_byte(255 - i * 13), png_byte(i * 5)});
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    }
    png_byte alphas[4] = {0, 64, 128, 200};
    png_color_16 key{};
    key.gray = 3;
    key.red = 10;
    key.green = 20;
    key.blue = 30;
    if (spec.withTransparency)
        png_set_tRNS(png, info, alphas, spec.colorType == 3 ? 4 : 0, spec.colorType == 3 ? nullptr : &key);
    png_set_gAMA_fixed(png, info, 45455);
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Comment");
    text.text = const_cast<char*>("made by a test");
    png_set_text(png, info, &text, 1);
    png_set_compression_level(png, 1);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_write_info(png, info);
    const std::size_t rowBytes =
        (std::size_t(spec.width) * ChannelsOf(spec.colorType) * spec.bitDepth + 7) / 8;
    Bytes rows(rowBytes * spec.height);
    unsigned state = 11;
    for (int y = 0; y < spec.height; ++y)
        for (std::size_t i = 0; i < rowBytes; ++i)
            rows[y * rowBytes + i] = spec.colorType == 3 && spec.bitDepth == 8
                                         ? Sample(int(i), y, 0, state) & 15
                                         : Sample(int(i), y, 0, state);
    std::vector<png_bytep> pointers;
    for (int y = 0; y < spec.height; ++y)
        pointers.push_back(rows.data() + y * rowBytes);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Pixels DecodePng(const Bytes& png, bool eightBit) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        throw std::runtime_error(std::string("cannot read the PNG: ") + image.message);
    image.format = eightBit ? PNG_FORMAT_RGBA : PNG_FORMAT_LINEAR_RGB_ALPHA;
    Pixels pixels;
    pixels.width = int(image.width);
    pixels.height = int(image.height);
    Bytes buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr))
        throw std::runtime_error(std::string("cannot decode the PNG: ") + image.message);
    if (eightBit) {
        pixels.rgba.assign(buffer.begin(), buffer.end());
    } else {
        pixels.rgba.resize(buffer.size() / 2);
        std::memcpy(pixels.rgba.data(), buffer.data(), buffer.size());
    }
    return pixels;
}

std::vector<std::string> PngChunkTypes(const Bytes& png) {
    std::vector<std::string> types;
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::size_t length = std::size_t(png[pos]) << 24 | std::size_t(png[pos + 1]) << 16 |
                                   std::size_t(png[pos + 2]) << 8 | png[pos + 3];
        types.emplace_back(reinterpret_cast<const char*>(&png[pos + 4]), 4);
        pos += length + 12;
    }
    return types;
}

std::pair<int, int> PngDepthAndColorType(const Bytes& png) {
    return {png.at(24), png.at(25)};
}

bool SamePixels(const Bytes& a, const Bytes& b) {
    auto isJpeg = [](const Bytes& x) { return x.size() > 2 && x[0] == 0xFF && x[1] == 0xD8; };
    auto isPng = [](const Bytes& x) { return x.size() > 8 && x[0] == 0x89 && x[1] == 'P'; };
    if (isJpeg(a) && isJpeg(b))
        return DecodeJpeg(a) == DecodeJpeg(b);
    if (isPng(a) && isPng(b)) {
        const Pixels x = DecodePng(a), y = DecodePng(b);
        return x.width == y.width && x.height == y.height && x.rgba == y.rgba;
    }
    if (VIPS_INIT("test") != 0)
        return false;
    vips::VImage x = vips::VImage::new_from_buffer(a.data(), a.size(), "");
    vips::VImage y = vips::VImage::new_from_buffer(b.data(), b.size(), "");
    if (x.width() != y.width() || x.height() != y.height() || x.bands() != y.bands() ||
        x.format() != y.format())
        return false;
    return (x == y).min() == 255;
}

Bytes MakeTiff(int width, int height) {
    if (VIPS_INIT("test") != 0)
        throw std::runtime_error("libvips does not start");
    Bytes rgb = Noise(std::size_t(width) * height * 3, 4);
    for (auto& v : rgb)
        v &= 0xF0;
    vips::VImage image =
        vips::VImage::new_from_memory(rgb.data(), rgb.size(), width, height, 3, VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    void* data = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(".tif", &data, &size,
                          vips::VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_NONE));
    Bytes out(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    g_free(data);
    return out;
}

Bytes Noise(std::size_t size, unsigned seed) {
    Bytes out(size);
    for (auto& b : out) {
        seed = seed * 1103515245u + 12345u;
        b = std::uint8_t(seed >> 16);
    }
    return out;
}

} // namespace testimages
