#include "app/WebPages.h"

#include <gtest/gtest.h>

namespace {

struct RecordingHost : engine::Host {
    struct Box {
        std::string text;
        engine::MessageIcon icon;
        engine::MessageButtons buttons;
    };
    std::vector<Box> boxes;
    int events = 0;

    void AppendLog(const std::string&) override {}
    void AppendLogRaw(const std::string&) override {}
    void ClearLog() override {}
    void SetStatus(const std::string&) override {}
    std::string Status() const override { return {}; }
    engine::MessageResult MessageBox(const std::string& text, engine::MessageIcon icon,
                                     engine::MessageButtons buttons) override {
        boxes.push_back({text, icon, buttons});
        return engine::MessageResult::Ok;
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void DoEvents() override { ++events; }
    void Beep() override {}
    void SetRunning(bool) override {}
    void SetCaptionSuffix(const std::string&) override {}
};

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST(WebPages, AddressesCarryTheProgramVersion) {
    const std::string update = app::WebPageAddress(app::kUpdatePagePath);
    EXPECT_EQ(update.rfind(app::kSiteRoot, 0), 0u) << update;
    EXPECT_TRUE(EndsWith(update, "/service/servlet/update?app=quarnel&ver=1_8_1&lang=japanese")) << update;
    EXPECT_EQ(app::WebPageAddress(app::kSupportPagePath),
              std::string(app::kSiteRoot) + "/service/servlet/support?app=quarnel&ver=1_8_1&lang=japanese");
    EXPECT_EQ(app::VersionQuery(2, 10, 0), "?app=quarnel&ver=2_10_0&lang=japanese");
}

TEST(WebPages, OpenedPageGoesToTheBrowserWithoutAMessage) {
    RecordingHost host;
    std::vector<QUrl> opened;
    app::OpenSupportPage(
        [&opened](const QUrl& url) {
            opened.push_back(url);
            return true;
        },
        host);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString().toStdString(), app::WebPageAddress(app::kSupportPagePath));
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.events, 1);
}

TEST(WebPages, FailingBrowserShowsTheTwoLineMessageWithoutIcon) {
    RecordingHost host;
    app::OpenUpdatePage([](const QUrl&) { return false; }, host);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "アプリケーション上からVodrikサイトにアクセスできません。\r\n"
                                  "ネットワークの状態を確認して下さい。");
    EXPECT_EQ(host.boxes[0].icon, engine::MessageIcon::None);
    EXPECT_EQ(host.boxes[0].buttons, engine::MessageButtons::Ok);

    // No opener at all fails the same way.
    app::OpenUpdatePage(app::UrlOpener{}, host);
    EXPECT_EQ(host.boxes.size(), 2u);
}
