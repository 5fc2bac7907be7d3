#include "cli/CliOptions.h"

#include "cli/SizeGoalOptions.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

TEST(CliOptions, OptionsOverrideTheLoadedSettings) {
    const auto parsed = cli::ParseCommandLine({"--format",
                                               "png",
                                               "--quality=4",
                                               "--file-size",
                                               "10",
                                               "--expect-rate",
                                               "50",
                                               "--group-size",
                                               "9999",
                                               "--objects",
                                               "--no-twice",
                                               "--slides-only",
                                               "--output-dir",
                                               "/out",
                                               "--no-size-in-name",
                                               "--overwrite",
                                               "--keep-dates",
                                               "--subset-fonts",
                                               "--remove-unused-layouts",
                                               "--report",
                                               "r.json",
                                               "a.pptx",
                                               "--",
                                               "--odd name.pptx"});
    ASSERT_EQ(parsed.error, "");
    settings::Settings s;
    cli::ApplyOptions(parsed.options, s);
    EXPECT_EQ(s.Format, 2);
    EXPECT_EQ(s.Ratio, 4);
    EXPECT_EQ(s.FileSize, "10");
    EXPECT_EQ(s.ExpectRate, "50");
    EXPECT_EQ(s.PixelSize, "9999");
    EXPECT_EQ(s.OLE, 1);
    EXPECT_EQ(s.Twice, 0);
    EXPECT_EQ(s.DeckPictures, 0);
    EXPECT_EQ(s.optPPTFolder, 1);
    EXPECT_EQ(s.PPTFolder, "/out");
    EXPECT_EQ(s.ShowFileSize, 0);
    EXPECT_EQ(s.SameFilename, 1);
    EXPECT_EQ(s.KeepFileDate, 1);
    EXPECT_EQ(s.SubsetFonts, 1);
    EXPECT_EQ(s.RemoveUnusedLayouts, 1);
    EXPECT_EQ(parsed.options.reportPath, "r.json");
    EXPECT_EQ(parsed.options.files, (std::vector<std::string>{"a.pptx", "--odd name.pptx"}));
}

TEST(CliOptions, UntouchedSettingsStayAsLoaded) {
    const auto parsed = cli::ParseCommandLine({"deck.pptx"});
    ASSERT_EQ(parsed.error, "");
    settings::Settings s;
    s.Format = 3;
    s.SameFilename = 0;
    s.PPTFolder = "/kept";
    s.SubsetFonts = 1;
    cli::ApplyOptions(parsed.options, s);
    EXPECT_EQ(s.SubsetFonts, 1);
    EXPECT_EQ(s.RemoveUnusedLayouts, 0);
    EXPECT_EQ(s.Format, 3);
    EXPECT_EQ(s.SameFilename, 0);
    EXPECT_EQ(s.PPTFolder, "/kept");
    EXPECT_EQ(s.optPPTFolder, 0);
    EXPECT_EQ(s.DeckPictures, 1);
    EXPECT_NE(cli::UsageText(settings::Settings{}).find("--slides-only"), std::string::npos);
}

TEST(CliOptions, BadUsageIsRefused) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--quality", "5", "a.pptx"},
                                                 {"--format", "bmp", "a.pptx"},
                                                 {"--expect-rate", "0", "a.pptx"},
                                                 {"--file-size", "-3", "a.pptx"},
                                                 {"--bogus", "a.pptx"},
                                                 {"a.pptx", "--report"},
                                                 {"--overwrite=yes", "a.pptx"},
                                                 {"--slides-only=1", "a.pptx"},
                                                 {"--objects=1", "a.pptx"}}) {
        EXPECT_NE(cli::ParseCommandLine(args).error, "") << (args.empty() ? "" : args[0]);
    }
    EXPECT_EQ(cli::ParseCommandLine({"--help"}).error, "");
    EXPECT_TRUE(cli::ParseCommandLine({"--help"}).options.help);
}

TEST(CliOptions, ShortHelpAndValuesInAnyCase) {
    const auto help = cli::ParseCommandLine({"-h"});
    EXPECT_EQ(help.error, "");
    EXPECT_TRUE(help.options.help);
    EXPECT_TRUE(help.options.files.empty());
    // After "--" it is a file name like any other.
    EXPECT_EQ(cli::ParseCommandLine({"--", "-h"}).options.files, std::vector<std::string>{"-h"});

    for (const char* jpeg : {"JPEG", "Jpeg", "jpeg"}) {
        const auto parsed = cli::ParseCommandLine({"--format", jpeg, "a.pptx"});
        ASSERT_EQ(parsed.error, "") << jpeg;
        EXPECT_EQ(parsed.options.format, 1) << jpeg;
    }
    EXPECT_EQ(cli::ParseCommandLine({"--format=MetaFile", "a.pptx"}).options.format, 4);
}

TEST(CliOptions, HelpListsEveryOptionWithTheValueThatApplies) {
    settings::Settings stored;
    stored.Format = 2;
    stored.Ratio = 3;
    stored.ExpectRate = "60";
    stored.optPPTFolder = 1;
    stored.PPTFolder = "/srv/out";
    stored.SameFilename = 1;
    const std::string text = cli::UsageText(stored);
    for (const char* option : {"--format",
                               "--quality",
                               "--file-size",
                               "--expect-rate",
                               "--group-size",
                               "--objects",
                               "--no-objects",
                               "--twice",
                               "--no-twice",
                               "--output-dir",
                               "--size-in-name",
                               "--no-size-in-name",
                               "--overwrite",
                               "--keep-dates",
                               "--subset-fonts",
                               "--no-subset-fonts",
                               "--remove-unused-layouts",
                               "--no-remove-unused-layouts",
                               "--report",
                               "-h, --help",
                               "--version"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
    EXPECT_NE(text.find("picture format [png]"), std::string::npos) << text;
    EXPECT_NE(text.find("quality preset [3]"), std::string::npos);
    EXPECT_NE(text.find("share [60]"), std::string::npos);
    EXPECT_NE(text.find("output folder [/srv/out]"), std::string::npos);
    EXPECT_NE(text.find("[常に上書き / always]"), std::string::npos);
    EXPECT_NE(cli::UsageText(settings::Settings{}).find("output folder [入力と同じフォルダ"),
              std::string::npos);
}

TEST(CliOptions, MovieProfileAndMediaInDecks) {
    const auto parsed = cli::ParseCommandLine({"--movie-profile", "軽量 (480p・30fps)", "--media", "a.mp4"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.movieProfile, "軽量 (480p・30fps)");
    settings::Settings s;
    s.optMovieFolder = 0;
    cli::ApplyOptions(parsed.options, s);
    EXPECT_EQ(s.MediaInDeck, 1);
    EXPECT_EQ(s.Encode, -1); // the name is looked up in the profile file by the run itself

    settings::Settings on;
    on.MediaInDeck = 1;
    cli::ApplyOptions(cli::ParseCommandLine({"--no-media", "--output-dir=/out", "a.pptx"}).options, on);
    EXPECT_EQ(on.MediaInDeck, 0);
    EXPECT_EQ(on.optMovieFolder, 1); // movie outputs follow the output folder too
    EXPECT_EQ(on.MovieFolder, "/out");

    EXPECT_NE(cli::ParseCommandLine({"--movie-profile"}).error, "");
    EXPECT_NE(cli::ParseCommandLine({"--movie-profile=", "a.mp4"}).error, "");
    EXPECT_NE(cli::ParseCommandLine({"--media=1", "a.pptx"}).error, "");
    EXPECT_NE(cli::UsageText(settings::Settings{}).find("--movie-profile NAME|INDEX"), std::string::npos);
    EXPECT_NE(cli::UsageText(settings::Settings{}).find("--media"), std::string::npos);
}

TEST(CliOptions, SizeGoalAndTheSavingsItMayAdd) {
    const auto parsed =
        cli::ParseCommandLine({"--target-size", "9.5MB", "--target-allow", "objects, FONTS", "a.pptx"});
    ASSERT_EQ(parsed.error, "");
    settings::Settings s;
    s.TargetAllowMedia = 1; // stored, but the list names exactly what is allowed for this run
    cli::ApplyOptions(parsed.options, s);
    EXPECT_EQ(s.TargetSizeOn, 1);
    EXPECT_EQ(s.TargetSize, "9.5MB");
    EXPECT_EQ(s.TargetAllowObjects, 1);
    EXPECT_EQ(s.TargetAllowMedia, 0);
    EXPECT_EQ(s.TargetAllowFonts, 1);
    EXPECT_EQ(s.TargetAllowLayouts, 0);

    // Off again for this run; the stored goal's text and allowances stay as they were.
    settings::Settings stored;
    stored.TargetSizeOn = 1;
    stored.TargetSize = "2MB";
    stored.TargetAllowLayouts = 1;
    cli::ApplyOptions(cli::ParseCommandLine({"--target-size=500kb", "--no-target-size", "a.pptx"}).options,
                      stored);
    EXPECT_EQ(stored.TargetSizeOn, 0);
    EXPECT_EQ(stored.TargetAllowLayouts, 1);
    settings::Settings untouched;
    untouched.TargetSizeOn = 1;
    cli::ApplyOptions(cli::ParseCommandLine({"a.pptx"}).options, untouched);
    EXPECT_EQ(untouched.TargetSizeOn, 1);
    EXPECT_EQ(untouched.TargetSize, "10MB");

    const auto all = cli::ParseTargetAllowance("layouts,media,fonts,objects");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->objects + all->media + all->fonts + all->layouts, 4);
}

TEST(CliOptions, BadSizeGoalsAreRefusedWithTheValueAndTheForm) {
    for (const char* size : {"0", "-1MB", "10XB", "", "10", "MB", "1.5.2MB"}) {
        const auto parsed = cli::ParseCommandLine({"--target-size", size, "a.pptx"});
        EXPECT_NE(parsed.error.find("--target-size の値が正しくありません / bad value: "), std::string::npos)
            << size << ": " << parsed.error;
        EXPECT_NE(parsed.error.find("500KB, 10MB, 9.5MB"), std::string::npos) << parsed.error;
    }
    EXPECT_NE(cli::ParseCommandLine({"--target-size", "10XB", "a.pptx"}).error.find("bad value: 10XB"),
              std::string::npos);
    EXPECT_NE(cli::ParseCommandLine({"--target-size=", "a.pptx"}).error.find("(空 / empty)"),
              std::string::npos);
    for (const char* list : {"", "pictures", "objects,", ",fonts", "objects,,media", "fonts layouts"}) {
        const auto parsed = cli::ParseCommandLine({"--target-allow", list, "a.pptx"});
        EXPECT_NE(parsed.error.find("--target-allow の値が正しくありません"), std::string::npos)
            << list << ": " << parsed.error;
        EXPECT_NE(parsed.error.find("objects, media, fonts, layouts"), std::string::npos);
    }
    EXPECT_EQ(cli::ParseCommandLine({"a.pptx", "--target-size"}).error,
              "--target-size には値が必要です / needs a value");
    EXPECT_NE(cli::ParseCommandLine({"--no-target-size=1", "a.pptx"}).error, "");
}

TEST(CliOptions, SizeGoalIsForwardedToWorkersAndShownInTheHelp) {
    const auto parsed = cli::ParseCommandLine(
        {"--jobs", "2", "--target-size=10MB", "--target-allow", "media", "--no-target-size", "a.pptx"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.forwarded, (std::vector<std::string>{"--target-size=10MB", "--target-allow",
                                                                  "media", "--no-target-size"}));

    settings::Settings stored;
    EXPECT_NE(cli::UsageText(stored).find("no larger than SIZE [しない / off]"), std::string::npos);
    EXPECT_NE(cli::UsageText(stored).find("any of these [(なし / none)]"), std::string::npos);
    stored.TargetSizeOn = 1;
    stored.TargetSize = "9.5MB";
    stored.TargetAllowObjects = 1;
    stored.TargetAllowLayouts = 1;
    const std::string text = cli::UsageText(stored);
    EXPECT_NE(text.find("--target-size SIZE, --no-target-size"), std::string::npos);
    EXPECT_NE(text.find("no larger than SIZE [9.5MB]"), std::string::npos) << text;
    EXPECT_NE(text.find("--target-allow LIST"), std::string::npos);
    EXPECT_NE(text.find("any of these [objects,layouts]"), std::string::npos);
}
