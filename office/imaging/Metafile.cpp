#include "office/imaging/Metafile.h"

#include "office/imaging/BmpDecoder.h"
#include "office/imaging/EmfMaskedBitmaps.h"
#include "office/imaging/EmfPlusImage.h"
#include "office/imaging/EmfRecordBounds.h"
#include "office/imaging/EmfRecords.h"
#include "office/imaging/ImageLimits.h"
#include "office/imaging/VipsSupport.h"
#include "office/imaging/WmfRecordBounds.h"
#include "platform/DataPaths.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emf2svg.h>
#include <filesystem>
#include <fstream>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <memory>
#include <mutex>

// The EMF converter finalises fontconfig (FcFini) after every line of text it maps from glyph
// indices, as if it owned the library. Fontconfig belongs to the process: the SVG renderer keeps its
// caches for the life of the process, and finalising them under it aborts ("FcCacheFini: Assertion
// failed") or frees them while another thread draws text. This definition takes the converter's call
// in place of the library's; nothing else of ours finalises fontconfig.
extern "C" void FcFini(void) {}

namespace office::imaging {

namespace detail {

namespace {

using namespace emf;

constexpr double kHundredthsMmPerInch = 2540.0;
constexpr double kScreenDpi = 96.0;

std::int32_t ReadI32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::int32_t>(ReadU32(b, at));
}
std::int16_t ReadI16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::int16_t>(ReadU16(b, at));
}

PixelSize EmfSize(std::span<const std::uint8_t> emf) {
    const std::int64_t left = ReadI32(emf, 24), top = ReadI32(emf, 28), right = ReadI32(emf, 32),
                       bottom = ReadI32(emf, 36);
    const double width = static_cast<double>(right - left + 1) * kScreenDpi / kHundredthsMmPerInch;
    const double height = static_cast<double>(bottom - top + 1) * kScreenDpi / kHundredthsMmPerInch;
    const auto w = static_cast<std::int64_t>(std::llround(std::clamp(width, -1e9, 1e9)));
    const auto h = static_cast<std::int64_t>(std::llround(std::clamp(height, -1e9, 1e9)));
    CheckDimensions(w, h);
    return {static_cast<int>(w), static_cast<int>(h)};
}

// libwmf keeps global state in its font and player set-up; one metafile at a time.
std::mutex& WmfMutex() {
    static std::mutex m;
    return m;
}

struct WmfApi {
    wmfAPI* api = nullptr;
    ~WmfApi() {
        if (api != nullptr) {
            wmf_api_destroy(api);
        }
    }
};

constexpr unsigned long kWmfFlags =
    WMF_OPT_FUNCTION | WMF_OPT_GS_FONTMAP | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;

// libwmf refuses to play anything unless it can load fonts for the standard PostScript names, which
// it looks for as Type 1 files we do not install. A font map in Ghostscript's format points those
// names at the DejaVu faces instead; the SVG it writes names the families and librsvg draws them.
// The faces: those shipped with the program (the Windows installer puts them in its data folder),
// else Debian's. The map takes "/" in a path on every system; "\\" would be an escape there.
std::string DejaVuFolder() {
    if (const auto shipped = platform::FindDataPath("fonts/DejaVuSans.ttf")) {
        std::string folder = platform::PathToUtf8(platform::PathFromUtf8(*shipped).parent_path());
        std::replace(folder.begin(), folder.end(), '\\', '/');
        return folder + "/";
    }
    return "/usr/share/fonts/truetype/dejavu/";
}

std::string FontMapText() {
    const char* faces[][2] = {{"Times-Roman", "DejaVuSerif"},
                              {"Times-Italic", "DejaVuSerif-Italic"},
                              {"Times-Bold", "DejaVuSerif-Bold"},
                              {"Times-BoldItalic", "DejaVuSerif-BoldItalic"},
                              {"Helvetica", "DejaVuSans"},
                              {"Helvetica-Oblique", "DejaVuSans-Oblique"},
                              {"Helvetica-Bold", "DejaVuSans-Bold"},
                              {"Helvetica-BoldOblique", "DejaVuSans-BoldOblique"},
                              {"Courier", "DejaVuSansMono"},
                              {"Courier-Oblique", "DejaVuSansMono-Oblique"},
                              {"Courier-Bold", "DejaVuSansMono-Bold"},
                              {"Courier-BoldOblique", "DejaVuSansMono-BoldOblique"},
                              {"Symbol", "DejaVuSans"},
                              {"ZapfDingbats", "DejaVuSans"}};
    const std::string folder = DejaVuFolder();
    std::string text;
    for (const auto& face : faces) {
        text += std::string("/") + face[0] + " (" + folder + face[1] + ".ttf) ;\n";
    }
    return text;
}

// The font map file, in a folder of this process that goes again when the process ends; the folders
// of killed runs go when the next run makes its own.
class FontMap {
public:
    FontMap() {
        std::error_code ec;
        const auto temp = std::filesystem::temp_directory_path(ec);
        if (ec) {
            return;
        }
        platform::RemoveStaleWorkFolders(temp, kPrefix);
        folder_ = platform::CreateWorkFolder(temp, kPrefix);
        if (folder_.empty()) {
            return;
        }
        const std::filesystem::path file = folder_ / "fontmap";
        const std::string text = FontMapText();
        std::ofstream out(file, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            return;
        }
        // libwmf opens it with fopen, which takes the ANSI code page on Windows; a folder that has
        // no name there goes without a font map.
        try {
            path_ = file.string();
        } catch (const std::exception&) {
            path_.clear();
        }
    }
    ~FontMap() {
        if (!folder_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(folder_, ec);
        }
    }
    FontMap(const FontMap&) = delete;
    FontMap& operator=(const FontMap&) = delete;
    const std::string& path() const { return path_; }

private:
    static constexpr const char* kPrefix = "quarnel-wmf-";
    std::filesystem::path folder_;
    std::string path_;
};

const std::string& WmfFontMap() {
    static const FontMap map;
    return map.path();
}

// libwmf leaves out the SVG namespace, without which librsvg draws nothing.
std::string WithSvgNamespace(std::string svg) {
    const auto open = svg.find("<svg");
    if (open != std::string::npos && svg.find("xmlns=\"http://www.w3.org/2000/svg\"") == std::string::npos) {
        svg.insert(open + 4,
                   " xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"");
    }
    return svg;
}

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;

// The frame a placeable metafile declares, in the points (1/72 inch) libwmf measures in.
std::optional<wmfD_Rect> PlaceableFrameInPoints(std::span<const std::uint8_t> wmf) {
    if (wmf.size() < 22 || ReadU32(wmf, 0) != kPlaceableKey) {
        return std::nullopt;
    }
    const double unitsPerInch = static_cast<std::uint16_t>(ReadI16(wmf, 14));
    if (unitsPerInch == 0) {
        return std::nullopt;
    }
    const double left = ReadI16(wmf, 6), top = ReadI16(wmf, 8), right = ReadI16(wmf, 10),
                 bottom = ReadI16(wmf, 12);
    wmfD_Rect frame{};
    frame.TL.x = static_cast<float>(std::min(left, right) * 72.0 / unitsPerInch);
    frame.TL.y = static_cast<float>(std::min(top, bottom) * 72.0 / unitsPerInch);
    frame.BR.x = static_cast<float>(std::max(left, right) * 72.0 / unitsPerInch);
    frame.BR.y = static_cast<float>(std::max(top, bottom) * 72.0 / unitsPerInch);
    if (frame.BR.x <= frame.TL.x || frame.BR.y <= frame.TL.y) {
        return std::nullopt;
    }
    return frame;
}

// Whether the drawing lies inside the frame (with a point of slack for pen widths). When it does
// not, the frame and the drawing disagree about the origin, and the drawing's own extent is safer.
bool Contains(const wmfD_Rect& frame, const wmfD_Rect& drawing) {
    constexpr float slack = 1.0f;
    return drawing.TL.x >= frame.TL.x - slack && drawing.TL.y >= frame.TL.y - slack &&
           drawing.BR.x <= frame.BR.x + slack && drawing.BR.y <= frame.BR.y + slack;
}

std::string WmfToSvg(std::span<const std::uint8_t> wmf, PixelSize* sizeOnly) {
    CheckWmfRecordBounds(wmf);
    std::lock_guard lock(WmfMutex());
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    std::string fontMap = WmfFontMap();
    options.gs_fontmap_file = fontMap.data();
    WmfApi holder;
    if (wmf_api_create(&holder.api, kWmfFlags, &options) != wmf_E_None) {
        throw ImagingError("the metafile reader could not start");
    }
    wmfAPI* api = holder.api;
    // libwmf reads from the buffer only; the cast is for its C signature.
    std::vector<unsigned char> copy(wmf.begin(), wmf.end());
    if (wmf_mem_open(api, copy.data(), static_cast<long>(copy.size())) != wmf_E_None) {
        throw ImagingError("metafile cannot be opened");
    }
    wmfD_Rect bbox{};
    if (wmf_scan(api, 0, &bbox) != wmf_E_None) {
        throw ImagingError("metafile cannot be read");
    }
    unsigned int width = 0, height = 0;
    if (wmf_display_size(api, &width, &height, kScreenDpi, kScreenDpi) != wmf_E_None) {
        throw ImagingError("metafile has no usable size");
    }
    CheckDimensions(width, height);
    if (sizeOnly != nullptr) {
        *sizeOnly = {static_cast<int>(width), static_cast<int>(height)};
        return {};
    }
    if (auto frame = PlaceableFrameInPoints(wmf); frame && Contains(*frame, bbox)) {
        // libwmf frames the drawing by what it draws; a placeable file says its own frame, and
        // margins around the drawing are part of the picture.
        bbox = *frame;
        width = static_cast<unsigned>(std::lround((bbox.BR.x - bbox.TL.x) * kScreenDpi / 72.0));
        height = static_cast<unsigned>(std::lround((bbox.BR.y - bbox.TL.y) * kScreenDpi / 72.0));
        CheckDimensions(width, height);
    }
    wmf_svg_t* svg = WMF_SVG_GetData(api);
    svg->out = wmf_stream_create(api, nullptr);
    svg->Description = nullptr;
    svg->bbox = bbox;
    svg->width = width;
    svg->height = height;
    svg->flags |= WMF_SVG_INLINE_IMAGES;
    const wmf_error_t played = wmf_play(api, 0, &bbox);
    char* buffer = nullptr;
    unsigned long length = 0;
    wmf_stream_destroy(api, svg->out, &buffer, &length);
    if (played != wmf_E_None || buffer == nullptr || length == 0) {
        throw ImagingError("metafile cannot be drawn");
    }
    return WithSvgNamespace(std::string(buffer, length)); // the buffer belongs to the reader
}

// The converter sizes its drawing by the bounds of what is drawn; a picture is its frame, which may
// hold a margin around the drawing (an object's icon sits in a frame with room for its label).
// Sets the SVG's size and origin to the frame, in the reference device's pixels the drawing uses.
std::string FramedBySvgFrame(std::string svg, std::span<const std::uint8_t> emf) {
    const double deviceW = ReadI32(emf, 72), deviceH = ReadI32(emf, 76);
    const double mmW = ReadI32(emf, 80), mmH = ReadI32(emf, 84);
    if (deviceW <= 0 || deviceH <= 0 || mmW <= 0 || mmH <= 0) {
        return svg;
    }
    const double pxPerHundredthX = deviceW / (mmW * 100.0), pxPerHundredthY = deviceH / (mmH * 100.0);
    const double left = ReadI32(emf, 24) * pxPerHundredthX, top = ReadI32(emf, 28) * pxPerHundredthY;
    // A frame may span more than 32 bits can count.
    const double width =
        static_cast<double>(std::int64_t{ReadI32(emf, 32)} - ReadI32(emf, 24)) * pxPerHundredthX;
    const double height =
        static_cast<double>(std::int64_t{ReadI32(emf, 36)} - ReadI32(emf, 28)) * pxPerHundredthY;
    const auto open = svg.find("<svg");
    const auto close = open == std::string::npos ? open : svg.find('>', open);
    const auto group = close == std::string::npos ? close : svg.find("<g transform=\"translate(", close);
    if (group == std::string::npos || !(width > 0 && height > 0) || !std::isfinite(width) ||
        !std::isfinite(height)) {
        return svg;
    }
    const auto groupEnd = svg.find(')', group);
    if (groupEnd == std::string::npos) {
        return svg;
    }
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "<g transform=\"translate(%.4f, %.4f", -left, -top);
    svg.replace(group, groupEnd - group, buffer);
    std::string tag = svg.substr(open, close - open);
    for (const auto& [name, value] : {std::pair{" width=\"", width}, std::pair{" height=\"", height}}) {
        const auto at = tag.find(name);
        const auto end = at == std::string::npos ? at : tag.find('"', at + std::strlen(name));
        if (end == std::string::npos) {
            return svg;
        }
        std::snprintf(buffer, sizeof buffer, "%.4f", value);
        tag.replace(at + std::strlen(name), end - at - std::strlen(name), buffer);
    }
    svg.replace(open, close - open, tag);
    return svg;
}

std::string EmfToSvg(std::span<const std::uint8_t> original) {
    const auto merged = WithMaskedBitmapsMerged(original);
    const std::span<const std::uint8_t> emf = merged ? std::span<const std::uint8_t>(*merged) : original;
    CheckEmfRecordBounds(emf);
    generatorOptions options{};
    char emptyNamespace[] = "";
    options.nameSpace = emptyNamespace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    std::vector<char> copy(emf.begin(), emf.end());
    // The converter was written for one file per process run; keep it to one call at a time.
    static std::mutex converterMutex;
    std::lock_guard lock(converterMutex);
    char* out = nullptr;
    std::size_t length = 0;
    const int ok = emf2svg(copy.data(), copy.size(), &out, &length, &options);
    std::unique_ptr<char, decltype(&std::free)> owned(out, &std::free);
    if (ok == 0 || out == nullptr || length == 0) {
        throw ImagingError("enhanced metafile cannot be converted");
    }
    return FramedBySvgFrame(std::string(out, length), emf);
}

// The SVG is copied into the blob because the loader reads it lazily.
vips::VImage SvgLoad(const std::string& svg, double scale) {
    VipsBlob* blob = vips_blob_copy(svg.data(), svg.size());
    try {
        vips::VImage image = vips::VImage::svgload_buffer(blob, vips::VImage::option()->set("scale", scale));
        vips_area_unref(VIPS_AREA(blob));
        return image;
    } catch (...) {
        vips_area_unref(VIPS_AREA(blob));
        throw;
    }
}

// The SVG drawn onto exactly width x height pixels: its own size becomes the view box, stretched to
// fill them. Loading at a scale instead rounds the canvas up, and the partly covered last row or
// column then shows as a faint line once the picture is flattened. Empty when the root element has
// no usable size.
std::optional<std::string> SizedSvg(std::string svg, int width, int height) {
    const auto open = svg.find("<svg");
    const auto close = open == std::string::npos ? open : svg.find('>', open);
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::string tag = svg.substr(open, close - open);
    // The value of a root attribute and where it sits in the tag.
    auto attribute = [&tag](const char* name) -> std::optional<std::pair<std::size_t, std::size_t>> {
        const std::string key = std::string(" ") + name + "=\"";
        const auto at = tag.find(key);
        const auto end = at == std::string::npos ? at : tag.find('"', at + key.size());
        if (end == std::string::npos) {
            return std::nullopt;
        }
        return std::pair{at + key.size(), end};
    };
    const auto w = attribute("width"), h = attribute("height");
    if (!w || !h || attribute("preserveAspectRatio")) {
        return std::nullopt;
    }
    // A length in user units (plain or px), as the view box needs.
    auto length = [&tag](std::pair<std::size_t, std::size_t> range) {
        const char* start = tag.c_str() + range.first;
        char* end = nullptr;
        const double value = std::strtod(start, &end);
        const std::string_view unit(end, static_cast<std::size_t>(tag.c_str() + range.second - end));
        return (unit.empty() || unit == "px") && value > 0 && std::isfinite(value) ? value : 0.0;
    };
    const double ownWidth = length(*w), ownHeight = length(*h);
    if (ownWidth == 0 || ownHeight == 0) {
        return std::nullopt;
    }
    // Later attribute first, so that the earlier one's position still holds.
    const bool widthFirst = w->first < h->first;
    for (const auto& [range, value] : {std::pair{widthFirst ? *h : *w, widthFirst ? height : width},
                                       std::pair{widthFirst ? *w : *h, widthFirst ? width : height}}) {
        tag.replace(range.first, range.second - range.first, std::to_string(value));
    }
    if (!attribute("viewBox")) {
        char viewBox[96];
        std::snprintf(viewBox, sizeof viewBox, " viewBox=\"0 0 %.4f %.4f\"", ownWidth, ownHeight);
        tag += viewBox;
    }
    tag += " preserveAspectRatio=\"none\"";
    svg.replace(open, close - open, tag);
    return svg;
}

} // namespace

std::optional<Raster> BitmapOnlyEmf(std::span<const std::uint8_t> emf) {
    if (SniffKind(emf) != PictureKind::Emf) {
        return std::nullopt;
    }
    const PixelSize size = EmfSize(emf);
    // In a dual metafile the EMF+ image is what players draw; the GDI bitmap may be a smaller
    // stand-in for players without EMF+.
    std::optional<Raster> plus;
    if (const auto encoded = EmfPlusImageBytes(emf)) {
        try {
            EnsureVips();
            const vips::VImage image = vips::VImage::new_from_buffer(encoded->data(), encoded->size(), "");
            if (image.width() != size.width || image.height() != size.height) {
                return std::nullopt;
            }
            plus = ToRaster(ToSrgbAlpha(image));
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    std::optional<Raster> found;
    std::size_t at = 0;
    while (at + 8 <= emf.size()) {
        const std::uint32_t type = ReadU32(emf, at);
        const std::uint32_t recordSize = ReadU32(emf, at + 4);
        if (recordSize < 8 || recordSize % 4 != 0 || recordSize > emf.size() - at) {
            return std::nullopt;
        }
        const auto record = emf.subspan(at, recordSize);
        if (type == kEmrStretchDibits || type == kEmrAlphaBlend) {
            if (found) {
                return std::nullopt; // several bitmaps: draw it the general way
            }
            const bool alpha = type == kEmrAlphaBlend;
            const std::int32_t cxDest = alpha ? ReadI32(record, 32) : ReadI32(record, 72);
            const std::int32_t cyDest = alpha ? ReadI32(record, 36) : ReadI32(record, 76);
            const std::size_t offBmi = ReadU32(record, alpha ? 84 : 48);
            const std::size_t offBits = ReadU32(record, alpha ? 92 : 56);
            if (ReadI32(record, 24) != 0 || ReadI32(record, 28) != 0 || cxDest != size.width ||
                cyDest != size.height) {
                return std::nullopt;
            }
            if (plus) {
                found = std::move(plus); // what EMF+ players draw: the GDI stand-in need not be decoded
            } else {
                Raster bitmap = DecodeDib(record, offBmi, offBits, alpha);
                if (bitmap.width != size.width || bitmap.height != size.height) {
                    return std::nullopt;
                }
                found = std::move(bitmap);
            }
        } else if (type == kEmrEof) {
            return found;
        } else if (type != kEmrHeader && type != kEmrSetStretchBltMode && type != kEmrComment) {
            // Comments carry the EMF+ records read above, or nothing that draws.
            return std::nullopt;
        }
        at += recordSize;
    }
    return std::nullopt;
}

namespace {

// The SVG renderer lays text out in fixed-point units and aborts the process on a font a few million
// units tall (a 4-million-pixel font did; one million did not), and it renders for minutes text under
// a transform that scales it by 10^36. A metafile that asks for either is refused rather than drawn:
// no picture shows text that size, and no world transform of a real one scales by a million.
constexpr double kLargestFontSize = 1'000'000;
constexpr double kLargestScale = 1'000'000;

// Every number after each occurrence of key, up to count of them.
template <typename Each> void NumbersAfter(const std::string& svg, const char* key, int count, Each&& each) {
    const std::size_t keyLength = std::strlen(key);
    for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + keyLength)) {
        const char* value = svg.c_str() + at + keyLength;
        for (int k = 0; k < count; ++k) {
            while (*value == ' ' || *value == ',')
                ++value;
            char* end = nullptr;
            const double number = std::strtod(value, &end);
            if (end == value)
                break;
            each(number);
            value = end;
        }
    }
}

// Only numbers count: the renderer ignores what it cannot read as one ("nan", which the EMF converter
// writes for some fonts), and so does this check.
void CheckDrawable(const std::string& svg) {
    NumbersAfter(svg, "matrix(", 4, [&](double v) {
        if (std::isfinite(v) && std::fabs(v) > kLargestScale)
            throw ImagingError("the metafile's transform is too large to be drawn");
    });
    for (const char* key : {"font-size=\"", "font-size:"})
        NumbersAfter(svg, key, 1, [&](double size) {
            if (std::isfinite(size) && std::fabs(size) > kLargestFontSize)
                throw ImagingError("the metafile's text is too large to be drawn");
        });
}

} // namespace

std::string MetafileToSvg(std::span<const std::uint8_t> metafile, PictureKind kind) {
    std::string svg;
    if (kind == PictureKind::Emf) {
        svg = EmfToSvg(metafile);
    } else if (kind == PictureKind::Wmf) {
        svg = WmfToSvg(metafile, nullptr);
    } else {
        throw ImagingError("not a metafile");
    }
    CheckDrawable(svg);
    return svg;
}

vips::VImage RasteriseMetafile(std::span<const std::uint8_t> metafile, PictureKind kind, int width,
                               int height, int clipWidth, int clipHeight) {
    EnsureVips();
    CheckDimensions(width, height);
    vips::VImage image;
    if (kind == PictureKind::Emf) {
        if (auto bitmap = BitmapOnlyEmf(metafile)) {
            image = FromRaster(*bitmap);
        }
    }
    try {
        if (image.get_image() == nullptr) {
            const std::string svg = MetafileToSvg(metafile, kind);
            if (const auto sized = SizedSvg(svg, width, height)) {
                image = SvgLoad(*sized, 1.0);
            } else {
                const vips::VImage probe = SvgLoad(svg, 1.0);
                const double scale = std::max(static_cast<double>(width) / probe.width(),
                                              static_cast<double>(height) / probe.height());
                CheckDimensions(std::llround(probe.width() * scale), std::llround(probe.height() * scale));
                image = SvgLoad(svg, scale);
            }
        }
        image = ToSrgbAlpha(image);
        if (image.width() != width || image.height() != height) {
            image = image.premultiply()
                        .resize(static_cast<double>(width) / image.width(),
                                vips::VImage::option()->set("vscale",
                                                            static_cast<double>(height) / image.height()))
                        .unpremultiply()
                        .cast(VIPS_FORMAT_UCHAR);
            image = image.gravity(VIPS_COMPASS_DIRECTION_NORTH_WEST, width, height,
                                  vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
        }
        if (clipWidth > 0 && clipHeight > 0 && (clipWidth < width || clipHeight < height)) {
            // The loaders draw on demand, so cutting first leaves the rest undrawn.
            image = image.extract_area(0, 0, std::min(clipWidth, width), std::min(clipHeight, height));
        }
        return image.copy_memory();
    } catch (const vips::VError& e) {
        throw ImagingError(std::string("metafile cannot be drawn: ") + e.what());
    }
}

} // namespace detail

PixelSize MetafileSize(std::span<const std::uint8_t> metafile) {
    const PictureKind kind = SniffKind(metafile);
    if (kind == PictureKind::Emf) {
        return detail::EmfSize(metafile);
    }
    if (kind == PictureKind::Wmf) {
        if (metafile.size() >= 22 && detail::ReadU32(metafile, 0) == detail::kPlaceableKey) {
            const int left = detail::ReadI16(metafile, 6), top = detail::ReadI16(metafile, 8);
            const int right = detail::ReadI16(metafile, 10), bottom = detail::ReadI16(metafile, 12);
            const int unitsPerInch = static_cast<std::uint16_t>(detail::ReadI16(metafile, 14));
            if (unitsPerInch == 0) {
                throw ImagingError("metafile declares no scale");
            }
            const auto w = std::llround(std::abs(right - left) * detail::kScreenDpi / unitsPerInch);
            const auto h = std::llround(std::abs(bottom - top) * detail::kScreenDpi / unitsPerInch);
            detail::CheckDimensions(w, h);
            return {static_cast<int>(w), static_cast<int>(h)};
        }
        PixelSize size;
        detail::WmfToSvg(metafile, &size);
        return size;
    }
    throw ImagingError("not a metafile");
}

automation::ColorBox RenderMetafileToBox(std::span<const std::uint8_t> metafile, int boxWidth,
                                         int boxHeight) {
    detail::CheckDimensions(boxWidth, boxHeight);
    const PictureKind kind = SniffKind(metafile);
    if (!IsMetafile(kind)) {
        throw ImagingError("not a metafile");
    }
    const PixelSize size = MetafileSize(metafile);
    // Only the part inside the box is needed, but the picture is drawn at its own size first so
    // that what shows is exactly what a full rendering would show there.
    return BoxOnWhite(detail::ToRaster(detail::RasteriseMetafile(metafile, kind, size.width, size.height,
                                                                 boxWidth, boxHeight)),
                      boxWidth, boxHeight);
}

automation::ColorBox BoxOnWhite(const Raster& drawn, int boxWidth, int boxHeight) {
    detail::CheckDimensions(boxWidth, boxHeight);
    detail::CheckRaster(drawn, "raster");
    automation::ColorBox box;
    box.width = boxWidth;
    box.height = boxHeight;
    box.colors.assign(static_cast<std::size_t>(boxWidth) * boxHeight, 0x00FFFFFFu);
    const int w = std::min(boxWidth, drawn.width), h = std::min(boxHeight, drawn.height);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &drawn.rgba[(static_cast<std::size_t>(y) * drawn.width + x) * 4];
            const unsigned a = p[3];
            std::uint32_t color = 0;
            for (int c = 0; c < 3; ++c) {
                const unsigned over = (p[c] * a + 255u * (255u - a) + 127u) / 255u; // onto white
                color |= static_cast<std::uint32_t>(over) << (8 * c);
            }
            box.colors[static_cast<std::size_t>(y) * boxWidth + x] = color;
        }
    }
    return box;
}

} // namespace office::imaging
