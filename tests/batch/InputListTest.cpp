#include "batch/InputList.h"

#include "BatchFixture.h"
#include "batch/BatchRun.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

TEST(InputList, BlankLinesAndLeadingBlanksVanishInnerBlanksStay) {
    const auto entries = batch::ParseInputList("\r\n  /a/my deck.pptx  \r\n\r\n   \r\n/b/c.ppt\r\n");
    EXPECT_THAT(entries, ElementsAre("/a/my deck.pptx", "/b/c.ppt"));
}

TEST(InputList, LastEntryKeepsItsTrailingBlanks) {
    EXPECT_THAT(batch::ParseInputList("/a/x.pptx\r\n/b/y.pptx  "), ElementsAre("/a/x.pptx", "/b/y.pptx  "));
    EXPECT_THAT(batch::ParseInputList("/a/x.pptx\r\n   "), ElementsAre("/a/x.pptx"));
}

TEST(InputList, BareLineFeedsEndEntriesToo) {
    EXPECT_THAT(batch::ParseInputList("/a/x.pptx\n\n /b/y.pptx \n"), ElementsAre("/a/x.pptx", "/b/y.pptx"));
}

class EntryCheck : public BatchFixture {};

TEST_F(EntryCheck, NamesOnlyTheFirstBadEntry) {
    const std::string good = MakeDeck("good.pptx");
    const std::string text = MakeFile("notes.txt", "hello");
    std::filesystem::create_directory(testsupport::PathOf(dir + "/folder.pptx"));
    EXPECT_EQ(batch::CheckEntries({good, dir + "/folder.pptx", text}),
              std::string("フォルダ名は指定できません：") + dir + "/folder.pptx");
    EXPECT_EQ(batch::CheckEntries({good, dir + "/missing.pptx", dir + "/folder.pptx"}),
              std::string("入力ファイルが存在しません：") + dir + "/missing.pptx");
    EXPECT_EQ(batch::CheckEntries({text, good}),
              std::string("パワーポイントファイルではありません：") + text);
    EXPECT_EQ(batch::CheckEntries({good, MakeDeck("UPPER.PPT")}), std::nullopt);
}

TEST_F(EntryCheck, RefusedListTouchesNothing) {
    const std::string first = MakeDeck("first.pptx");
    const std::string before = Read(first);
    batch::BatchRun run(*ctx, [](auto&, auto, auto, bool) { return std::string(); });
    // The last line carries trailing blanks and so names no existing file.
    const auto summary = run.btnStart_Click(first + "\r\n" + first + "  ");
    EXPECT_EQ(summary.outcome, batch::RunOutcome::Refused);
    ASSERT_EQ(host.messages.size(), 1u);
#ifdef _WIN32
    // Windows drops trailing blanks from a name, so the entry opens the deck, whose text is then no
    // presentation's name.
    EXPECT_EQ(host.messages[0].text, std::string("パワーポイントファイルではありません：") + first + "  ");
#else
    EXPECT_EQ(host.messages[0].text, std::string("入力ファイルが存在しません：") + first + "  ");
#endif
    EXPECT_EQ(host.messages[0].icon, engine::MessageIcon::Exclamation);
    EXPECT_EQ(office.journal.powerPointsCreated, 0);
    EXPECT_TRUE(office.journal.opened.empty());
    EXPECT_FALSE(host.running);
    EXPECT_EQ(Read(first), before);
}

TEST_F(EntryCheck, EmptyListAsksForFiles) {
    batch::BatchRun run(*ctx, [](auto&, auto, auto, bool) { return std::string(); });
    for (const char* text : {"", "   ", "\r\n \r\n"}) {
        host.messages.clear();
        EXPECT_EQ(run.btnStart_Click(text).outcome, batch::RunOutcome::Refused);
        ASSERT_EQ(host.messages.size(), 1u) << text;
        EXPECT_EQ(host.messages[0].text, "パワーポイントファイルまたは動画ファイルを指定してください");
    }
    EXPECT_EQ(office.journal.powerPointsCreated, 0);
}
