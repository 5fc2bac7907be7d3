// Movie and sound entries through the batch run with the shipped profiles and the real encoder: the
// output is what the profile promises (checked with the prober), named and logged as the run names and
// logs movies, dated like its input on request; Stop and a missing profile file are reported.

#include "../batch/BatchFixture.h"
#include "MediaTools.h"
#include "batch/BatchRun.h"
#include "platform/FileSystem.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;
using namespace movies_test;
using testsupport::Native;
using testsupport::PathOf;

namespace {

class MovieBranch : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        if (!HaveEncoder()) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        config.optMovieFolder = 0;
        config.ShowFileSize = 0;
    }
    batch::RunSummary RunOne(const std::string& entry, const std::string& ini = QUARNEL_PROFILE_FILE) {
        batch::BatchRun run(*ctx);
        run.setTranscodingIniPath(ini);
        onStop_ = [&run] { run.btnStop_Click(); };
        return run.btnStart_Click(entry + "\r\n");
    }
    std::function<void()> onStop_;
};

} // namespace

TEST_F(MovieBranch, EveryMovieProfileGivesH264AacMp4OfTheSameLength) {
    // A 60 fps picture larger than the smallest profile allows, so its size and rate caps show.
    const std::string clip = dir + "/clip.avi";
    ASSERT_TRUE(MakeClip(clip, 1280, 720, 60, 1.0));
    const double sourceDuration = Duration(clip);
    struct Expect {
        int width, height;
        std::string rate;
    };
    const Expect expected[] = {{1280, 720, "60/1"}, {1280, 720, "60/1"}, {854, 480, "30/1"}};
    for (int profile = 0; profile < 3; ++profile) {
        config.Encode = profile;
        const auto summary = RunOne(clip);
        ASSERT_EQ(summary.entries.size(), 1u);
        const std::string output = dir + "/clip【圧縮】.mp4";
        EXPECT_EQ(summary.entries[0].result, "compressed") << host.log;
        EXPECT_EQ(summary.entries[0].output, Native(output));
        const auto facts = Probe(output);
        EXPECT_EQ(facts.at("video.codec_name"), "h264") << profile;
        EXPECT_EQ(facts.at("video.pix_fmt"), "yuv420p");
        EXPECT_EQ(facts.at("video.width"), std::to_string(expected[profile].width)) << profile;
        EXPECT_EQ(facts.at("video.height"), std::to_string(expected[profile].height)) << profile;
        EXPECT_EQ(facts.at("video.r_frame_rate"), expected[profile].rate) << profile;
        EXPECT_EQ(facts.at("audio.codec_name"), "aac");
        EXPECT_NEAR(std::stod(facts.at("format.duration")), sourceDuration, 0.1) << profile;
        std::filesystem::remove(PathOf(output));
    }
}

TEST_F(MovieBranch, PicturesAreNeverEnlargedAndPortraitKeepsItsShape) {
    const std::string small = dir + "/small.mov";
    ASSERT_TRUE(MakeClip(small, 320, 240, 25, 0.5));
    const std::string portrait = dir + "/portrait.mkv";
    ASSERT_TRUE(MakeClip(portrait, 720, 1280, 25, 0.5, false));
    config.Encode = 2;
    RunOne(small);
    auto facts = Probe(dir + "/small【圧縮】.mp4");
    EXPECT_EQ(facts["video.width"], "320");
    EXPECT_EQ(facts["video.height"], "240");
    RunOne(portrait);
    facts = Probe(dir + "/portrait【圧縮】.mp4");
    EXPECT_EQ(facts["video.width"], "480");
    EXPECT_EQ(facts["video.height"], "854");
    EXPECT_EQ(facts.count("audio.codec_name"), 0u); // no sound in, none out, and no failure
}

TEST_F(MovieBranch, SoundFilesBecomeAacInM4aWithEverySoundProfile) {
    const std::string tone = dir + "/tone.wav";
    ASSERT_TRUE(MakeTone(tone, 1.5));
    for (int profile = 0; profile < 3; ++profile) {
        config.Encode = profile;
        const auto summary = RunOne(tone);
        const std::string output = dir + "/tone【圧縮】.m4a";
        ASSERT_EQ(summary.entries[0].result, "compressed") << host.log;
        const auto facts = Probe(output);
        EXPECT_EQ(facts.at("audio.codec_name"), "aac");
        EXPECT_EQ(facts.count("video.codec_name"), 0u);
        EXPECT_NEAR(std::stod(facts.at("format.duration")), 1.5, 0.1);
        EXPECT_LT(std::filesystem::file_size(PathOf(output)), std::filesystem::file_size(PathOf(tone)));
        std::filesystem::remove(PathOf(output));
    }
}

TEST_F(MovieBranch, LogNamesAndDatesFollowTheMovieRules) {
#ifdef _WIN32
    // A Windows name has no double quotes; what cmd.exe would act on stands in.
    const std::string name = "会議 $(x);-y & 'q' %OS%";
#else
    const std::string name = "会議 $(x);-y \"q\"";
#endif
    const std::string clip = dir + "/" + name + ".avi";
    ASSERT_TRUE(MakeClip(clip, 320, 240, 25, 0.5));
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::filesystem::last_write_time(PathOf(clip), old);
    config.ShowFileSize = 1;
    config.KeepFileDate = 1;
    config.Encode = 0;
    const auto summary = RunOne(clip);
    ASSERT_EQ(summary.entries[0].result, "compressed") << host.log;
    const std::string output = summary.entries[0].output;
    EXPECT_THAT(output, HasSubstr(Native("/" + name + "【圧縮前")));
    EXPECT_THAT(output, HasSubstr("MB】.mp4"));
    ASSERT_TRUE(std::filesystem::exists(PathOf(output)));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                  std::filesystem::last_write_time(PathOf(output)) - old)
                  .count(),
              0);
    EXPECT_THAT(host.log, HasSubstr("▼" + clip + "\r\n"));
    // The whole file name, though the size in it holds a dot ("【圧縮前0.1MB】").
    EXPECT_THAT(host.log, HasSubstr("\t" + testsupport::Utf8(PathOf(output).filename()) + " を作成\r\n"));
    EXPECT_THAT(host.log, HasSubstr("▲動画ﾌｧｲﾙを"));
    EXPECT_THAT(host.log, HasSubstr(" に圧縮しました。\r\n\r\n"));
    EXPECT_EQ(host.status, "圧縮完了");
}

TEST_F(MovieBranch, StopMidEncodeLeavesNoOutputAndLogsTheFailure) {
    // The encoder reads its input at playing speed, so a ten-second clip is still running at Stop.
    const std::string ini =
        MakeFile("slow.ini", "[MovieProfile0]\nName=slow\nCommand0=\"ffmpeg\" -nostdin -v error "
                             "-y -re -i \"<%InputFile%>\" -c:v libx264 -c:a aac "
                             "\"<%OutputFile%>.mp4\"\n[GeneralProfile0]\nName=g\nCommand0=x\n");
    const std::string clip = dir + "/long.avi";
    ASSERT_TRUE(MakeClip(clip, 160, 120, 10, 10.0));
    int rounds = 0;
    host.onEvents = [&] {
        if (++rounds == 3 && onStop_) {
            onStop_();
        }
    };
    const auto start = std::chrono::steady_clock::now();
    const auto summary = RunOne(clip, ini);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_EQ(summary.entries[0].result, "failed");
    EXPECT_THAT(host.log, HasSubstr("▲動画ﾌｧｲﾙの圧縮に失敗しました。非対応動画の可能性があります。\r\n\r\n"));
    EXPECT_THAT(host.statuses, ::testing::Contains(HasSubstr("動画圧縮中...")));
    // Neither the output nor the encoder's staging file is left.
    for (const auto& entry : std::filesystem::directory_iterator(PathOf(dir))) {
        EXPECT_NE(entry.path().extension(), ".mp4") << entry.path();
    }
}

TEST_F(MovieBranch, MissingProfileFileIsALogLineNotACrash) {
    const std::string clip = MakeFile("a.mp4", "not really a movie");
    const auto summary = RunOne(clip, dir + "/none/Transcoding.ini");
    EXPECT_EQ(summary.outcome, batch::RunOutcome::Finished);
    EXPECT_EQ(summary.entries[0].result, "failed");
    EXPECT_THAT(host.log, HasSubstr("▲動画圧縮の設定ﾌｧｲﾙを読み込めませんでした：" + dir +
                                    "/none/Transcoding.ini (ﾌｧｲﾙがありません)\r\n\r\n"));

    // A profile the file does not have is said as well.
    config.Encode = 7;
    host.log.clear();
    RunOne(clip);
    EXPECT_THAT(host.log, HasSubstr("▲選択された動画圧縮の設定がありません。"));
}
