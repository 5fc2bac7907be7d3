#include "cli/CliOptions.h"

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
    cli::ApplyOptions(parsed.options, s);
    EXPECT_EQ(s.Format, 3);
    EXPECT_EQ(s.SameFilename, 0);
    EXPECT_EQ(s.PPTFolder, "/kept");
    EXPECT_EQ(s.optPPTFolder, 0);
    EXPECT_EQ(s.DeckPictures, 1);
    EXPECT_NE(cli::UsageText().find("--slides-only"), std::string::npos);
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
