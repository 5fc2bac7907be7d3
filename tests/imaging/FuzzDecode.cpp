// Any bytes as a picture: measuring, rendering, drawing as a metafile and re-encoding either work or
// fail with ImagingError; anything else (a crash, another exception, a wrong-sized result) aborts.

#include "office/imaging/Imaging.h"

#include <cstdlib>
#include <exception>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace office::imaging;
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        const PictureKind kind = SniffKind(bytes);
        const PixelSize natural = MeasurePicture(bytes);
        Require(natural.width > 0 && natural.height > 0);
        CropRect crop;
        crop.left = size % 3 == 0 ? 0.1 : -0.1;
        crop.bottom = 0.2;
        const Raster r = RenderPicture(bytes, crop, size % 2 == 0, size % 5 == 0, 33, 17);
        Require(r.width == 33 && r.height == 17 && r.rgba.size() == 33u * 17u * 4u);
        Require(!EncodeJpeg(r).empty());
        Require(SniffKind(EncodePng(r)) == PictureKind::Png);
        Require(SniffKind(EncodeGif(r)) == PictureKind::Gif);
        const auto emf = WrapInEmf(r);
        const PixelSize wrapped = MetafileSize(emf);
        Require(wrapped.width == 33 && wrapped.height == 17);
        if (IsMetafile(kind)) {
            const auto box = RenderMetafileToBox(bytes, 20, 20);
            Require(box.colors.size() == 400u);
        }
    } catch (const ImagingError&) {
        // Refusing the input is the expected answer to most of it.
    } catch (const std::exception&) {
        std::abort();
    }
    return 0;
}

#ifndef QUARNEL_LIBFUZZER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

// As an ordinary program: every file under the folders named on the command line, whole and cut
// at a few places.
int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i], ec)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
            for (std::size_t cut : {bytes.size(), bytes.size() / 2, bytes.size() / 4 * 3, std::size_t{64}}) {
                LLVMFuzzerTestOneInput(bytes.data(), std::min(cut, bytes.size()));
            }
            ++files;
        }
    }
    std::printf("%d seed files passed\n", files);
    return files > 0 ? 0 : 1; // a missing seed folder is a broken test, not a pass
}
#endif
