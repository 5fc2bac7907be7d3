// The media step after the walk: a smaller encoding replaces the part, a larger one or a failure leaves
// it, Stop ends the step with the part as it was; and the whole road through the batch with the real
// encoder on a corpus deck.

#include "../batch/BatchFixture.h"
#include "MediaTools.h"
#include "automation/EmbeddedMedia.h"
#include "batch/BatchRun.h"
#include "engine/CompressMedia.h"
#include "office/OfficeProvider.h"
#include "office/package/Package.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;
using namespace movies_test;

namespace {

class MediaPassTest : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        source_ = std::string(QUARNEL_CORPUS) + "/poi__EmbeddedVideo.pptx";
        if (!std::filesystem::exists(source_)) {
            GTEST_SKIP() << "corpus not present";
        }
        deck_ = dir + "/deck.pptx";
        std::filesystem::copy_file(source_, deck_);
        real_ = std::make_unique<engine::EngineContext>(
            engine::EngineContext{host, config, exceptions, *registry, engine_, state});
        state.appPPT = engine_.CreatePowerPoint();
        state.SourcePresentation = state.appPPT->Presentations()->Open(deck_, true);
    }
    void TearDown() override {
        if (state.SourcePresentation) {
            state.SourcePresentation->Close();
        }
        BatchFixture::TearDown();
    }
    // An encoder stand-in that writes `bytes` bytes (or fails with `code`).
    engine::MediaPass PassWriting(std::size_t bytes, int code = 0) {
        engine::MediaPass pass;
        pass.encode = [this, bytes, code](const std::string& input, bool video, const std::string& base,
                                          std::string& written) {
            inputs_.push_back(input);
            EXPECT_TRUE(video);
            EXPECT_EQ(std::filesystem::file_size(input), 101799u);
            written = base + ".mp4";
            std::ofstream(written, std::ios::binary) << std::string(bytes, 'v');
            return code;
        };
        return pass;
    }
    std::string source_;
    std::string deck_;
    office::OfficeProvider engine_;
    std::unique_ptr<engine::EngineContext> real_;
    std::vector<std::string> inputs_;
};

} // namespace

TEST_F(MediaPassTest, SmallerEncodingReplacesThePartAndIsLogged) {
    auto pass = PassWriting(50000);
    engine::CompressEmbeddedMedia(*real_, pass);
    ASSERT_EQ(pass.reports.size(), 1u);
    EXPECT_EQ(pass.reports[0].result, "compressed");
    EXPECT_EQ(pass.reports[0].part, "/ppt/media/media1.mp4");
    EXPECT_FALSE(pass.reports[0].newPart.empty());
    EXPECT_TRUE(state.PresentationChanged);
    EXPECT_EQ(host.log, "\tmedia1.mp4 の動画をMP4に圧縮 (99KB→49KB)  \r\n");
    // The scratch copies are gone.
    ASSERT_EQ(inputs_.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(inputs_[0]).parent_path()));
}

TEST_F(MediaPassTest, LargerEncodingFailureAndStopLeaveThePart) {
    auto larger = PassWriting(200000);
    engine::CompressEmbeddedMedia(*real_, larger);
    EXPECT_EQ(larger.reports.at(0).result, "not-smaller");
    EXPECT_THAT(host.log, HasSubstr("   media1.mp4 の動画は小さくならないため元のままです (99KB→195KB)"));

    // Asked for half or less, a 60 % encoding stays out.
    auto notHalf = PassWriting(61000);
    notHalf.keepBelowShare = 0.5;
    engine::CompressEmbeddedMedia(*real_, notHalf);
    EXPECT_EQ(notHalf.reports.at(0).result, "not-smaller");

    auto failing = PassWriting(10, 1);
    engine::CompressEmbeddedMedia(*real_, failing);
    EXPECT_EQ(failing.reports.at(0).result, "failed");
    EXPECT_THAT(host.log, HasSubstr("   media1.mp4 の動画の圧縮に失敗しました。元のままです。"));

    engine::MediaPass stopped;
    stopped.encode = [this](const std::string&, bool, const std::string&, std::string&) {
        state.StopRequested = true; // Stop pressed while the encoder ran
        return -1;
    };
    engine::CompressEmbeddedMedia(*real_, stopped);
    EXPECT_EQ(stopped.reports.at(0).result, "stopped");
    EXPECT_FALSE(state.PresentationChanged);

    // Nothing starts once Stop is set.
    auto after = PassWriting(10);
    engine::CompressEmbeddedMedia(*real_, after);
    EXPECT_TRUE(after.reports.empty());

    auto* media = dynamic_cast<automation::IEmbeddedMedia*>(state.SourcePresentation.get());
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(media->TranscodableMedia().at(0).size, 101799u);
}

TEST_F(MediaPassTest, UnusableProfileFileIsSaidOnce) {
    engine::MediaPass pass;
    pass.unavailable = "動画圧縮の設定ﾌｧｲﾙを読み込めませんでした：/x (ﾌｧｲﾙがありません)";
    engine::CompressEmbeddedMedia(*real_, pass);
    EXPECT_EQ(host.log, "   動画圧縮の設定ﾌｧｲﾙを読み込めませんでした：/x (ﾌｧｲﾙがありません)\r\n");
    EXPECT_TRUE(pass.reports.empty());
}

TEST_F(MediaPassTest, BatchWithMediaOnReencodesTheDeckMovieWithTheChosenProfile) {
    if (!HaveEncoder()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    state.SourcePresentation->Close();
    state.SourcePresentation.reset();
    state.appPPT.reset();
    config.MediaInDeck = 1;
    config.Encode = 2; // the smallest profile: the 3 s 480x270 movie comes out smaller
    config.optPPTFolder = 0;
    config.ShowFileSize = 0;
    batch::BatchRun run(*real_);
    run.setTranscodingIniPath(QUARNEL_PROFILE_FILE);
    const auto summary = run.btnStart_Click(deck_ + "\r\n");
    ASSERT_EQ(summary.entries.size(), 1u);
    const auto& entry = summary.entries[0];
    ASSERT_EQ(entry.result, "compressed") << host.log;
    ASSERT_EQ(entry.media.size(), 1u);
    EXPECT_EQ(entry.media[0].result, "compressed") << host.log;
    // The movie's line and the deck-wide pass's (its poster frame) are TAB lines that replace no shape.
    EXPECT_EQ(entry.shapesReplaced + 1 + static_cast<int>(entry.deckPictures.size()),
              static_cast<int>(std::count(host.log.begin(), host.log.end(), '\t')));
    EXPECT_LT(std::filesystem::file_size(testsupport::PathOf(entry.output)),
              std::filesystem::file_size(deck_));

    // The new part plays as long as the old one, through both relationships; the poster stays.
    const auto out = office::package::Package::Open(entry.output);
    const std::string part = entry.media[0].newPart;
    ASSERT_TRUE(out->HasPart(part));
    EXPECT_EQ(out->RelationshipsTo(part).size(), 2u);
    const auto bytes = out->PartBytes(part);
    const std::string extracted = dir + "/extracted.mp4";
    std::ofstream(extracted, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto facts = Probe(extracted);
    EXPECT_EQ(facts.at("video.codec_name"), "h264");
    EXPECT_EQ(facts.at("audio.codec_name"), "aac");
    std::filesystem::create_directories(dir + "/orig");
    const auto in = office::package::Package::Open(deck_);
    const auto original = in->PartBytes("/ppt/media/media1.mp4");
    std::ofstream(dir + "/orig/m.mp4", std::ios::binary)
        .write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    EXPECT_NEAR(Duration(extracted), Duration(dir + "/orig/m.mp4"), 0.1);
    EXPECT_THAT(host.log, HasSubstr("\tmedia1.mp4 の動画をMP4に圧縮 ("));
}
