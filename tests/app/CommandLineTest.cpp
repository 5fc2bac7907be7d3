#include "app/CommandLine.h"

#include "SystemPaths.h"
#include "app/Main.h"

#include <QDir>
#include <gtest/gtest.h>

using app::ParseCommandLine;
using Args = std::vector<std::string>;

TEST(ParseCommandLine, BlanksAndTabsSeparateOutsideQuotes) {
    EXPECT_EQ(ParseCommandLine("a.pptx  b.ppt\tc.pptx", 256), (Args{"a.pptx", "b.ppt", "c.pptx"}));
    EXPECT_EQ(ParseCommandLine("   ", 256), Args{});
    EXPECT_EQ(ParseCommandLine(" lead and trail ", 256), (Args{"lead", "and", "trail"}));
}

TEST(ParseCommandLine, QuotesGroupAndVanish) {
    EXPECT_EQ(ParseCommandLine(R"(first "/home/u/my deck.pptx" last)", 256),
              (Args{"first", "/home/u/my deck.pptx", "last"}));
    // A quoted stretch touching unquoted text joins it into one argument.
    EXPECT_EQ(ParseCommandLine(R"(x"y z"w next)", 256), (Args{"xy zw", "next"}));
    // A quote left open keeps blanks to the end of the text.
    EXPECT_EQ(ParseCommandLine(R"("open to the end)", 256), (Args{"open to the end"}));
    // Non-ASCII text passes through whole.
    EXPECT_EQ(ParseCommandLine("\"資料 A.pptx\" 会議.ppt", 256), (Args{"資料 A.pptx", "会議.ppt"}));
}

TEST(ParseCommandLine, StopsAtTheMaximumCount) {
    std::string line;
    for (int i = 1; i <= 257; ++i) {
        line += "f" + std::to_string(i) + ".pptx ";
    }
    const Args parsed = ParseCommandLine(line, app::kMaxCommandLineArguments);
    ASSERT_EQ(parsed.size(), 256u);
    EXPECT_EQ(parsed.front(), "f1.pptx");
    EXPECT_EQ(parsed.back(), "f256.pptx");
    // The default maximum is ten.
    EXPECT_EQ(ParseCommandLine(line).size(), 10u);
}

TEST(FileArguments, ArgvIsRebuiltAndSplitByTheSameRules) {
    EXPECT_EQ(app::CommandLineFromArguments({"/tmp/a b.pptx", "c.pptx", "tab\there"}),
              "\"/tmp/a b.pptx\" c.pptx \"tab\there\"");
    // Absolute paths stay as they are.
    const Args absolute{AbsolutePath("/tmp/my deck.pptx"), AbsolutePath("/tmp/b.ppt")};
    EXPECT_EQ(app::FileArguments({QString::fromStdString(absolute[0]), QString::fromStdString(absolute[1])}),
              absolute);
#ifdef _WIN32
    // A path from the root alone is on the working folder's drive.
    EXPECT_EQ(app::FileArguments({QStringLiteral("\\tmp\\c.ppt")}),
              Args{QDir::currentPath().left(2).toStdString() + "\\tmp\\c.ppt"});
#endif
    QStringList many;
    for (int i = 0; i < 300; ++i) {
        many << QStringLiteral("n%1").arg(i);
    }
    const Args parsed = app::FileArguments(many);
    ASSERT_EQ(parsed.size(), 256u);
    // Relative names are listed with the working folder in front.
    EXPECT_EQ(parsed.back(), testsupport::Native(QDir::currentPath().toStdString() + "/n255"));
}
