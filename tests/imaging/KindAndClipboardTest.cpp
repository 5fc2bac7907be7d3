#include "PictureFixtures.h"
#include "automation/AutomationError.h"
#include "office/clipboard/EngineClipboard.h"

#include <gtest/gtest.h>

using namespace fixtures;
using office::imaging::KindOf;
using office::imaging::PictureKind;
using office::imaging::SniffKind;

TEST(PictureKinds, ByContentTypeOrExtension) {
    EXPECT_EQ(KindOf("image/jpeg"), PictureKind::Jpeg);
    EXPECT_EQ(KindOf(".JPG"), PictureKind::Jpeg);
    EXPECT_EQ(KindOf("jpeg"), PictureKind::Jpeg);
    EXPECT_EQ(KindOf("image/png"), PictureKind::Png);
    EXPECT_EQ(KindOf("image/x-emf"), PictureKind::Emf);
    EXPECT_EQ(KindOf("wmf"), PictureKind::Wmf);
    EXPECT_EQ(KindOf("image/svg+xml"), PictureKind::Svg);
    EXPECT_EQ(KindOf("image/tiff"), PictureKind::Tiff);
    EXPECT_EQ(KindOf("bmp"), PictureKind::Bmp);
    EXPECT_EQ(KindOf("image/gif"), PictureKind::Gif);
    EXPECT_EQ(KindOf("video/mp4"), PictureKind::Unknown);
    EXPECT_EQ(KindOf(""), PictureKind::Unknown);
    EXPECT_TRUE(office::imaging::IsMetafile(PictureKind::Emf));
    EXPECT_TRUE(office::imaging::IsMetafile(PictureKind::Wmf));
    EXPECT_FALSE(office::imaging::IsMetafile(PictureKind::Png));
}

TEST(PictureKinds, ByLeadingBytes) {
    const vips::VImage rgb = ToVips(Quadrants(8, 8)).extract_band(0, vips::VImage::option()->set("n", 3));
    EXPECT_EQ(SniffKind(SaveWithVips(rgb, ".jpg")), PictureKind::Jpeg);
    EXPECT_EQ(SniffKind(SaveWithVips(rgb, ".png")), PictureKind::Png);
    EXPECT_EQ(SniffKind(SaveWithVips(rgb, ".gif")), PictureKind::Gif);
    EXPECT_EQ(SniffKind(SaveWithVips(rgb, ".tif")), PictureKind::Tiff);
    EXPECT_EQ(SniffKind(SaveWithVips(rgb, ".webp")), PictureKind::WebP);
    EXPECT_EQ(SniffKind(MakeBmp(Quadrants(8, 8), 24)), PictureKind::Bmp);
    EXPECT_EQ(SniffKind(office::imaging::WrapInEmf(Quadrants(8, 8))), PictureKind::Emf);
    const std::string svg = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>";
    EXPECT_EQ(SniffKind({reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size()}), PictureKind::Svg);
    EXPECT_EQ(SniffKind(std::vector<std::uint8_t>{'B'}), PictureKind::Unknown);
    EXPECT_EQ(SniffKind(std::vector<std::uint8_t>{}), PictureKind::Unknown);
}

TEST(EngineClipboard, HoldsClearsAndDrawsItsMetafile) {
    office::EngineClipboard clipboard;
    EXPECT_TRUE(clipboard.IsEmpty());
    EXPECT_FALSE(clipboard.ContainsMetafile());
    EXPECT_FALSE(clipboard.RenderMetafile(100, 100).has_value());

    // A rendering alone has its wrapping EMF as the metafile form, drawn one to one.
    office::ClipboardContents contents;
    contents.picture.emplace(Quadrants(20, 20));
    clipboard.Set(contents);
    EXPECT_FALSE(clipboard.IsEmpty());
    EXPECT_TRUE(clipboard.ContainsMetafile());
    const auto wrapped = clipboard.RenderMetafile(100, 100);
    ASSERT_TRUE(wrapped.has_value());
    EXPECT_EQ(
        wrapped->colors,
        office::imaging::RenderMetafileToBox(office::imaging::WrapInEmf(Quadrants(20, 20)), 100, 100).colors);

    // A copied metafile beside the rendering: the check sees the copy as the slide showed it, at the
    // size it was copied at, which is the rendering.
    contents.metafile = office::imaging::WrapInEmf(Solid(50, 50, kBlue));
    clipboard.Set(contents);
    EXPECT_EQ(clipboard.RenderMetafile(100, 100)->colors, wrapped->colors);
    // A metafile alone is drawn at its own size.
    contents.picture.reset();
    clipboard.Set(contents);
    EXPECT_TRUE(clipboard.ContainsMetafile());
    const auto box = clipboard.RenderMetafile(100, 100);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->At(10, 10), 0xFF0000u);
    EXPECT_EQ(box->At(80, 80), 0xFFFFFFu);

    clipboard.Clear();
    EXPECT_TRUE(clipboard.IsEmpty());
    EXPECT_FALSE(clipboard.ContainsMetafile());
    EXPECT_FALSE(clipboard.Contents().picture.has_value());
}

TEST(EngineClipboard, AnUndrawableMetafileIsAnErrorNotAnEmptyClipboard) {
    office::EngineClipboard clipboard;
    office::ClipboardContents contents;
    contents.metafile = {1, 0, 0, 0, 9, 9};
    clipboard.Set(contents);
    EXPECT_TRUE(clipboard.ContainsMetafile());
    EXPECT_THROW(clipboard.RenderMetafile(100, 100), automation::AutomationError);
}
