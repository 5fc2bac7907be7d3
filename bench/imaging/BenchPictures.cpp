#include "BenchPictures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <pugixml.hpp>
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

namespace {

std::vector<std::filesystem::path> Decks(const std::filesystem::path& corpus) {
    std::vector<std::filesystem::path> decks;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() == ".pptx") {
            decks.push_back(entry.path());
        }
    }
    std::sort(decks.begin(), decks.end());
    return decks;
}

std::optional<std::vector<std::uint8_t>> ReadEntry(zip_t* zip, const std::string& name) {
    zip_stat_t st;
    if (zip_stat(zip, name.c_str(), 0, &st) != 0 || st.size > 64u * 1024 * 1024) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(st.size);
    zip_file_t* file = zip_fopen(zip, name.c_str(), 0);
    if (file == nullptr) {
        return std::nullopt;
    }
    const bool complete = zip_fread(file, bytes.data(), st.size) == static_cast<zip_int64_t>(st.size);
    zip_fclose(file);
    return complete ? std::optional(std::move(bytes)) : std::nullopt;
}

// "ppt/slides/../media/image1.png" -> "ppt/media/image1.png"
std::string Resolve(const std::string& folder, const std::string& target) {
    if (!target.empty() && target[0] == '/') {
        return target.substr(1);
    }
    return (std::filesystem::path(folder) / target).lexically_normal().generic_string();
}

} // namespace

std::vector<Picture> CollectShownPictures(const std::filesystem::path& corpus, double scale,
                                          std::size_t limit) {
    constexpr double kEmuPerPoint = 12700;
    std::vector<Picture> pictures;
    std::set<std::pair<std::size_t, std::pair<int, int>>> seen;
    for (const auto& deck : Decks(corpus)) {
        int error = 0;
        zip_t* zip = zip_open(deck.c_str(), ZIP_RDONLY, &error);
        if (zip == nullptr) {
            continue;
        }
        for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0) && pictures.size() < limit; ++i) {
            const char* name = zip_get_name(zip, static_cast<zip_uint64_t>(i), 0);
            const std::string slide = name != nullptr ? name : "";
            if (slide.rfind("ppt/slides/slide", 0) != 0 || slide.find('/', 11) != std::string::npos) {
                continue;
            }
            const auto xml = ReadEntry(zip, slide);
            const auto rels = ReadEntry(zip, "ppt/slides/_rels/" + slide.substr(11) + ".rels");
            pugi::xml_document slideDoc, relsDoc;
            if (!xml || !rels || !slideDoc.load_buffer(xml->data(), xml->size()) ||
                !relsDoc.load_buffer(rels->data(), rels->size())) {
                continue;
            }
            std::map<std::string, std::string> targets;
            for (pugi::xml_node rel : relsDoc.document_element().children("Relationship")) {
                if (std::string_view(rel.attribute("TargetMode").value()) != "External") {
                    targets[rel.attribute("Id").value()] =
                        Resolve("ppt/slides", rel.attribute("Target").value());
                }
            }
            for (pugi::xpath_node hit : slideDoc.select_nodes("/p:sld/p:cSld/p:spTree/p:pic")) {
                const pugi::xml_node pic = hit.node();
                const pugi::xml_node blipFill = pic.child("p:blipFill");
                const pugi::xml_node ext = pic.child("p:spPr").child("a:xfrm").child("a:ext");
                const auto target = targets.find(blipFill.child("a:blip").attribute("r:embed").value());
                const pugi::xml_node crop = blipFill.child("a:srcRect");
                if (target == targets.end() || !ext ||
                    (crop && (crop.attribute("l") || crop.attribute("t") || crop.attribute("r") ||
                              crop.attribute("b")))) {
                    continue;
                }
                auto bytes = ReadEntry(zip, target->second);
                if (!bytes) {
                    continue;
                }
                const PictureKind kind = office::imaging::SniffKind(*bytes);
                if (office::imaging::IsMetafile(kind) || kind == PictureKind::Unknown ||
                    kind == PictureKind::Svg) {
                    continue;
                }
                Picture p{deck.filename().string() + ":" + target->second, std::move(*bytes), kind};
                p.shownWidthPt = ext.attribute("cx").as_double() / kEmuPerPoint;
                p.shownHeightPt = ext.attribute("cy").as_double() / kEmuPerPoint;
                p.copyScale = scale;
                p.targetWidth = std::max(1, int(std::lround(p.shownWidthPt * scale * 4 / 3)));
                p.targetHeight = std::max(1, int(std::lround(p.shownHeightPt * scale * 4 / 3)));
                const std::size_t hash = std::hash<std::string_view>{}(
                    std::string_view(reinterpret_cast<const char*>(p.bytes.data()), p.bytes.size()));
                if (p.shownWidthPt <= 0 || p.shownHeightPt <= 0 ||
                    !seen.insert({hash, {p.targetWidth, p.targetHeight}}).second) {
                    continue;
                }
                try {
                    const auto size = office::imaging::MeasurePicture(p.bytes);
                    p.width = size.width;
                    p.height = size.height;
                    if (double(size.width) * size.height >= 100'000 && pictures.size() < limit) {
                        pictures.push_back(std::move(p));
                    }
                } catch (const office::imaging::ImagingError&) {
                }
            }
        }
        zip_close(zip);
    }
    return pictures;
}

std::vector<Picture> CollectPictures(const std::filesystem::path& corpus, double scale, std::size_t limit) {
    std::vector<Picture> pictures;
    std::set<std::size_t> seen;
    for (const auto& deck : Decks(corpus)) {
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
                p.shownWidthPt = p.targetWidth * 0.75;
                p.shownHeightPt = p.targetHeight * 0.75;
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
