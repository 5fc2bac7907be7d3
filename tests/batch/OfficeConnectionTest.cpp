#include "engine/OfficeConnection.h"

#include "BatchFixture.h"

TEST(OfficeConnection, VersionNumberTakesTheWholePart) {
    EXPECT_EQ(engine::VersionNumber("12.0"), 12);
    EXPECT_EQ(engine::VersionNumber("9.0"), 9);
    EXPECT_EQ(engine::VersionNumber("16"), 16);
    EXPECT_EQ(engine::VersionNumber(""), 0);
    EXPECT_EQ(engine::VersionNumber("x"), 0);
}

class OfficeConnectionTest : public BatchFixture {};

TEST_F(OfficeConnectionTest, AttachesToAnIdleRunningApplicationAndQuitsIt) {
    office.script.runningApp = true;
    EXPECT_EQ(engine::CheckOfficeEnvironment(*ctx), engine::OfficeCheck::Ok);
    EXPECT_EQ(office.journal.powerPointsCreated, 0);
    EXPECT_EQ(office.journal.powerPointsQuit, 1);
    EXPECT_EQ(state.appPPT, nullptr);
    EXPECT_TRUE(state.gOfficeXPMode);
    EXPECT_EQ(office.journal.excelsCreated, 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(OfficeConnectionTest, BusyApplicationStaysAttachedAndUntouched) {
    office.script.runningApp = true;
    office.script.openPresentationsInRunningApp = 1;
    EXPECT_EQ(engine::CheckOfficeEnvironment(*ctx), engine::OfficeCheck::Busy);
    ASSERT_NE(state.appPPT, nullptr);
    EXPECT_EQ(office.journal.powerPointsQuit, 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(OfficeConnectionTest, OlderModeNeedsTheWorksheetApplication) {
    office.script.version = "9.0";
    EXPECT_EQ(engine::CheckOfficeEnvironment(*ctx), engine::OfficeCheck::Ok);
    EXPECT_FALSE(state.gOfficeXPMode);
    EXPECT_EQ(host.caption, " [Office 2000モード]");
    EXPECT_EQ(office.journal.excelsCreated, 1);
    EXPECT_EQ(office.journal.excelsQuit, 1);
    EXPECT_EQ(state.appEXCEL, nullptr);

    office.script.failCreateExcel = true;
    EXPECT_EQ(engine::CheckOfficeEnvironment(*ctx), engine::OfficeCheck::MustExit);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "エクセルを起動できません。");
    EXPECT_EQ(host.messages[0].icon, engine::MessageIcon::Exclamation);
    EXPECT_EQ(host.messages[1].text, "[Office 2000モード]での動作にはエクセルが必要です。終了します。");
    EXPECT_EQ(host.messages[1].icon, engine::MessageIcon::Stop);
}

TEST_F(OfficeConnectionTest, StartKeepsALiveApplicationAndReplacesAQuitOne) {
    ASSERT_TRUE(engine::StartPowerPoint(*ctx));
    auto first = state.appPPT;
    ASSERT_TRUE(engine::StartPowerPoint(*ctx));
    EXPECT_EQ(state.appPPT, first);
    first->Quit();
    EXPECT_FALSE(engine::IsPowerPointAlive(state));
    ASSERT_TRUE(engine::StartPowerPoint(*ctx));
    EXPECT_NE(state.appPPT, first);
    EXPECT_EQ(office.journal.powerPointsCreated, 2);
}
