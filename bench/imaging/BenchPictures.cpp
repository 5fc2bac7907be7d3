#include "BenchPictures.h"

#include <algorithm>
#include <functional>
#include <set>
#include <zip.h>

namespace bench {

using office::imaging::PictureKind;

const char* KindName(office::imaging::PictureKind kind) {
    using office::imaging::PictureKind;
    switch (kind) {
    case PictureKind::Jpeg:
        return "JPEG";
    case PictureKind::Png:
        return "PNG";
    case PictureKind::Gif:
        return "GIF";
    case PictureKind::Bmp:
        return "BMP";
    case PictureKind::Tiff:
        return "TIFF";
    default:
        return "other";
    }
}

std::vector<Picture> CollectPictures(const std::filesystem::path& corpus, double scale, std::size_t limit) {
    std::vector<Picture> pictures;
    std::set<std::size_t> seen;
    std::vector<std::filesystem::path> decks;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() == ".pptx") {
            decks.push_back(entry.path());
        }
    }
    std::sort(decks.begin(), decks.end());
    for (const auto& deck : decks) {
        int error = 0;
        zip_t* zip = zip_open(deck.c_str(), ZIP_RDONLY, &error);
        if (zip == nullptr) {
            continue;
        }
        for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
            zip_stat_t st;
            if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
                std::string_view(st.name).rfind("ppt/media/", 0) != 0 || st.size > 64u * 1024 * 1024) {
                continue;
            }
            std::vector<std::uint8_t> bytes(st.size);
            zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
            if (file == nullptr) {
                continue;
            }
            const bool complete = zip_fread(file, bytes.data(), st.size) == static_cast<zip_int64_t>(st.size);
            zip_fclose(file);
            const PictureKind kind = office::imaging::SniffKind(bytes);
            if (!complete || office::imaging::IsMetafile(kind) || kind == PictureKind::Unknown ||
                kind == PictureKind::Svg) {
                continue;
            }
            const std::size_t hash = std::hash<std::string_view>{}(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
            if (!seen.insert(hash).second) {
                continue;
            }
            try {
                const auto size = office::imaging::MeasurePicture(bytes);
                if (double(size.width) * size.height < 100'000) {
                    continue; // icons and bullets say nothing about throughput
                }
                Picture p{deck.filename().string() + ":" + st.name, std::move(bytes), kind, size.width,
                          size.height};
                p.targetWidth = std::max(1, int(size.width * scale + 0.5));
                p.targetHeight = std::max(1, int(size.height * scale + 0.5));
                pictures.push_back(std::move(p));
            } catch (const office::imaging::ImagingError&) {
            }
        }
        zip_close(zip);
    }
    if (pictures.size() > limit) {
        pictures.resize(limit);
    }
    return pictures;
}

} // namespace bench
