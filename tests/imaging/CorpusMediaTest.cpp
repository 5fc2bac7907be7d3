// Metafiles and pictures from real decks: they must draw, or fail with ImagingError, never crash.

#include "PictureFixtures.h"
#include "tests/support/WorkFolders.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <zip.h>

using namespace fixtures;
using office::imaging::ImagingError;
using office::imaging::PictureKind;

namespace {

struct MediaPart {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<MediaPart> MediaOf(const std::filesystem::path& deck) {
    std::vector<MediaPart> parts;
    int error = 0;
    // libzip takes UTF-8 names on every system.
    zip_t* zip = zip_open(testsupport::Utf8(deck).c_str(), ZIP_RDONLY, &error);
    if (zip == nullptr) {
        return parts;
    }
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            std::string_view(st.name).rfind("ppt/media/", 0) != 0) {
            continue;
        }
        zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        if (file == nullptr) {
            continue;
        }
        MediaPart part{st.name, std::vector<std::uint8_t>(st.size)};
        const zip_int64_t read = zip_fread(file, part.bytes.data(), st.size);
        zip_fclose(file);
        if (read == static_cast<zip_int64_t>(st.size)) {
            parts.push_back(std::move(part));
        }
    }
    zip_close(zip);
    return parts;
}

std::filesystem::path Corpus() {
    return QUARNEL_CORPUS;
}

bool DrewSomething(const Raster& r) {
    for (std::size_t i = 3; i < r.rgba.size(); i += 4) {
        if (r.rgba[i] != 0) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(CorpusMedia, MetafilesOfRealDecksDraw) {
    int drawn = 0, visible = 0, refused = 0, wmf = 0, emf = 0;
    for (const char* deck : {"aspose-net__OlePptx.pptx", "tika__testWPSAttachment.pptx"}) {
        const auto path = Corpus() / deck;
        if (!std::filesystem::exists(path)) {
            GTEST_SKIP() << "corpus not present";
        }
        for (const MediaPart& part : MediaOf(path)) {
            const PictureKind kind = office::imaging::SniffKind(part.bytes);
            if (!office::imaging::IsMetafile(kind)) {
                continue;
            }
            (kind == PictureKind::Wmf ? wmf : emf)++;
            try {
                const auto size = office::imaging::MetafileSize(part.bytes);
                ASSERT_GT(size.width, 0) << part.name;
                const int w = std::min(size.width, 800), h = std::min(size.height, 800);
                const Raster r = office::imaging::RenderPicture(part.bytes, {}, false, false, w, h);
                EXPECT_EQ(r.width, w);
                EXPECT_EQ(r.height, h);
                visible += DrewSomething(r) ? 1 : 0;
                const auto box = office::imaging::RenderMetafileToBox(part.bytes, 100, 100);
                EXPECT_EQ(box.colors.size(), 10000u);
                ++drawn;
            } catch (const ImagingError& e) {
                ++refused;
                std::cout << deck << " " << part.name << ": " << e.what() << "\n";
            }
        }
    }
    EXPECT_GT(wmf, 0);
    EXPECT_GT(emf, 0);
    // Nearly all of them must draw; an odd one the converters cannot handle may be refused.
    EXPECT_GE(drawn, (drawn + refused) * 3 / 4);
    EXPECT_GE(visible, drawn * 3 / 4);
}

TEST(CorpusMedia, RasterPicturesOfADeckDecodeAtAScaledSize) {
    const auto path = Corpus() / "aspose-java__ContentBG_Image.pptx";
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << "corpus not present";
    }
    int decoded = 0;
    for (const MediaPart& part : MediaOf(path)) {
        if (office::imaging::SniffKind(part.bytes) == PictureKind::Unknown) {
            continue;
        }
        const auto size = office::imaging::MeasurePicture(part.bytes);
        const int w = std::max(1, size.width / 3), h = std::max(1, size.height / 3);
        const Raster r = office::imaging::RenderPicture(part.bytes, {}, false, false, w, h);
        EXPECT_EQ(r.width, w);
        EXPECT_EQ(r.height, h);
        ++decoded;
    }
    EXPECT_GT(decoded, 0);
}

// An object shown as an icon: its preview draws the icon through a mask in the top of a frame that
// leaves room for a label. Drawn as an office suite draws it: in its frame, at its size, and with the
// page showing around the icon, not a black square.
TEST(CorpusMedia, AnIconPreviewDrawsInItsFrameWithoutItsMask) {
    const auto path = Corpus() / "aspose-net__TestOlePresentation.pptx";
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << "corpus not present";
    }
    std::vector<std::uint8_t> emf;
    for (const MediaPart& part : MediaOf(path)) {
        if (part.name == "ppt/media/image9.emf") {
            emf = part.bytes;
        }
    }
    ASSERT_FALSE(emf.empty());
    const auto size = office::imaging::MetafileSize(emf);
    EXPECT_EQ(size.width, 30);
    EXPECT_EQ(size.height, 61);
    const Raster r = office::imaging::RenderPicture(emf, {}, false, false, 80, 162);
    int opaqueTop = 0, opaqueBelow = 0;
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            if (r.rgba[(static_cast<std::size_t>(y) * r.width + x) * 4 + 3] > 128) {
                (y < 64 ? opaqueTop : opaqueBelow)++;
            }
        }
    }
    EXPECT_GT(opaqueTop, 1500) << "the icon fills the top of the frame";
    EXPECT_LT(opaqueBelow, 100) << "the icon is not stretched over the whole frame";
    // The corners of the icon's square (device pixels 4..35 by 0..31) show the page, not the mask.
    for (auto [x, y] : {std::pair{9, 1}, std::pair{70, 1}, std::pair{9, 62}, std::pair{70, 62}}) {
        EXPECT_EQ(r.rgba[(static_cast<std::size_t>(y) * r.width + x) * 4 + 3], 0) << x << "," << y;
    }
    EXPECT_GT(r.rgba[(30u * r.width + 40) * 4 + 3], 128) << "the sheet itself is drawn";
}
