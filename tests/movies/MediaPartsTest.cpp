// Which media parts of real decks may be re-encoded, and how a replacement carries every relationship.

#include "office/media/MediaParts.h"

#include "office/package/OpcTypes.h"

#include <filesystem>
#include <gtest/gtest.h>

using office::media::FindTranscodableMedia;
using office::media::ReplaceMediaPart;
using office::package::Package;

namespace {

std::unique_ptr<Package> OpenCorpusDeck(const std::string& name) {
    const std::string path = std::string(QUARNEL_CORPUS) + "/" + name;
    if (!std::filesystem::exists(path)) {
        return nullptr;
    }
    return Package::Open(path);
}

std::string Describe(const std::vector<automation::EmbeddedMediaPart>& parts) {
    std::string text;
    for (const auto& p : parts) {
        text += p.partName + (p.video ? " video " : " audio ") + std::to_string(p.size) + ";";
    }
    return text;
}

} // namespace

TEST(MediaParts, OnlyMoviesAndSoundOfMediaShapesAreOffered) {
    struct Case {
        const char* deck;
        const char* expected;
    };
    const Case cases[] = {
        // PowerPoint's own video: video and media relationships to one part.
        {"poi__EmbeddedVideo.pptx", "/ppt/media/media1.mp4 video 101799;"},
        // Written by another tool: an unprefixed p14 media element.
        {"aspose-java__VideoFrame.pptx", "/ppt/media/media1.mp4 video 2200828;"},
        // The sound is reached through p14:media only; its audio relationship is external.
        {"oxmlsdk__mediareference.pptx", "/ppt/media/media1.wav audio 6340;"},
        // A legacy embedded WAV sound must stay WAV.
        {"oxmlsdk__SoundTest.pptx", ""},
        // A linked movie is not in the package.
        {"aspose-net__Media_File.pptx", ""},
    };
    int opened = 0;
    for (const auto& c : cases) {
        const auto pkg = OpenCorpusDeck(c.deck);
        if (!pkg) {
            continue;
        }
        ++opened;
        EXPECT_EQ(Describe(FindTranscodableMedia(*pkg)), c.expected) << c.deck;
    }
    if (opened == 0) {
        GTEST_SKIP() << "corpus not present";
    }
}

TEST(MediaParts, ReplacementRenamesThePartAndEveryRelationshipFollows) {
    const auto pkg = OpenCorpusDeck("poi__EmbeddedVideo.pptx");
    if (!pkg) {
        GTEST_SKIP() << "corpus not present";
    }
    const std::string old = "/ppt/media/media1.mp4";
    const auto before = pkg->RelationshipsTo(old);
    ASSERT_EQ(before.size(), 2u);
    const std::string slide = before.front().first;
    const std::string slideXml = [&] {
        const auto bytes = pkg->PartBytes(slide);
        return std::string(bytes.begin(), bytes.end());
    }();

    const std::string renamed = ReplaceMediaPart(*pkg, old, {'n', 'e', 'w'}, "M4V");
    EXPECT_NE(renamed, old);
    EXPECT_EQ(renamed.rfind("/ppt/media/media", 0), 0u);
    EXPECT_EQ(office::package::PartExtension(renamed), "m4v");
    EXPECT_FALSE(pkg->HasPart(old));
    EXPECT_EQ(pkg->ContentType(renamed), "video/mp4");

    // Saved and read back: the same ids now lead to the new part, the slide's XML is untouched.
    const auto reopened = Package::OpenFromBytes(pkg->SaveToBytes());
    const auto after = reopened->RelationshipsTo(renamed);
    ASSERT_EQ(after.size(), 2u);
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].second.id, before[i].second.id);
        EXPECT_EQ(after[i].second.type, before[i].second.type);
    }
    const auto bytes = reopened->PartBytes(renamed);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
    const auto xml = reopened->PartBytes(slide);
    EXPECT_EQ(std::string(xml.begin(), xml.end()), slideXml);
    EXPECT_FALSE(reopened->HasPart(old));

    // The same extension keeps the name.
    EXPECT_EQ(ReplaceMediaPart(*pkg, renamed, {'x'}, "m4v"), renamed);
    EXPECT_EQ(pkg->PartSize(renamed), 1u);
}
