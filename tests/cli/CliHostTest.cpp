#include "cli/CliHost.h"

#include <gtest/gtest.h>
#include <sstream>

TEST(CliHost, LogGoesToStandardOutputWithTerminalLineEnds) {
    std::ostringstream out, err;
    std::istringstream in;
    cli::CliHost host(out, err, in, false);
    host.AppendLog("▼/a/b.pptx");
    host.AppendLog("▲圧縮を中止しました。\r\n");
    host.AppendLogRaw("▼movie\r\n");
    EXPECT_EQ(out.str(), "▼/a/b.pptx\n▲圧縮を中止しました。\n\n▼movie\n");
    host.SetStatus("処理中");
    host.SetStatus("処理中.");
    host.SetStatus("圧縮完了");
    EXPECT_EQ(err.str(), "処理中\n圧縮完了\n");
}

TEST(CliHost, WithoutATerminalTheSameNameQuestionIsCancelled) {
    std::ostringstream out, err;
    std::istringstream in("y\n");
    cli::CliHost host(out, err, in, false);
    EXPECT_EQ(host.MessageBox("同一出力ﾌｧｲﾙが存在します:x", engine::MessageIcon::Exclamation,
                              engine::MessageButtons::YesNoCancel),
              engine::MessageResult::Cancel);
    EXPECT_EQ(host.InputBox("p", "", "d"), std::nullopt);
    EXPECT_NE(err.str().find("同一出力ﾌｧｲﾙが存在します:x"), std::string::npos);
    EXPECT_EQ(out.str(), "");
}

TEST(CliHost, OnATerminalAnswersAreRead) {
    std::ostringstream out, err;
    std::istringstream in("maybe\nn\n\nc\n");
    cli::CliHost host(out, err, in, true);
    EXPECT_EQ(host.MessageBox("q", engine::MessageIcon::Exclamation, engine::MessageButtons::YesNoCancel),
              engine::MessageResult::No);
    EXPECT_EQ(host.InputBox("p", "", "/a/deck-"), "/a/deck-");
    EXPECT_EQ(host.MessageBox("q", engine::MessageIcon::Exclamation, engine::MessageButtons::YesNoCancel),
              engine::MessageResult::Cancel);
    EXPECT_EQ(host.MessageBox("q", engine::MessageIcon::Exclamation, engine::MessageButtons::YesNoCancel),
              engine::MessageResult::Cancel); // end of input
}

// Sets the process-wide interrupt flag: no other test in this program may rely on it being clear.
TEST(CliHostInterrupt, AnInterruptIsDeliveredOnceAsStop) {
    std::ostringstream out, err;
    std::istringstream in;
    cli::CliHost host(out, err, in, false);
    int stops = 0;
    host.onStop = [&] { ++stops; };
    host.DoEvents();
    EXPECT_EQ(stops, 0);
    cli::RaiseInterruptFlag();
    host.DoEvents();
    host.AppendLog("x");
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(host.stopDelivered());
}
