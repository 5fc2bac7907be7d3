#include "app/WebPages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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

const app::PageSource kSite{"https://www.vodrik.example", ""};

} // namespace

TEST(WebPages, SiteAddressesCarryTheProgramVersion) {
    const std::string update = app::WebPageAddress(kSite.siteRoot, app::kUpdatePagePath);
    EXPECT_EQ(update,
              "https://www.vodrik.example/service/servlet/update?app=quarnel&ver=1_8_1&lang=japanese");
    EXPECT_EQ(app::VersionQuery(2, 10, 0), "?app=quarnel&ver=2_10_0&lang=japanese");
}

TEST(WebPages, OpenedSitePageGoesToTheBrowserWithoutAMessage) {
    RecordingHost host;
    std::vector<QUrl> opened;
    app::OpenSupportPage(
        kSite,
        [&opened](const QUrl& url) {
            opened.push_back(url);
            return true;
        },
        host);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString().toStdString(), app::WebPageAddress(kSite.siteRoot, app::kSupportPagePath));
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.events, 1);
}

TEST(WebPages, FailingBrowserShowsTheTwoLineMessageWithoutIcon) {
    RecordingHost host;
    app::OpenUpdatePage(
        kSite, [](const QUrl&) { return false; }, host);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "アプリケーション上からVodrikサイトにアクセスできません。\r\n"
                                  "ネットワークの状態を確認して下さい。");
    EXPECT_EQ(host.boxes[0].icon, engine::MessageIcon::None);
    EXPECT_EQ(host.boxes[0].buttons, engine::MessageButtons::Ok);

    // No opener at all fails the same way.
    app::OpenUpdatePage(kSite, app::UrlOpener{}, host);
    EXPECT_EQ(host.boxes.size(), 2u);
}

// The pages shipped with the program: found beside it (build tree) or under share/quarnel (installed),
// Japanese, and opened as local files without any network address.
TEST(WebPages, LocalPagesAreFoundBesideTheProgramOrInTheShareFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const std::string base = root.path().toStdString();
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/quarnel/help");
    EXPECT_EQ(app::FindHelpFolder(base + "/usr/bin"), "");
    QFile page(root.path() + "/usr/share/quarnel/help/support.html");
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    EXPECT_EQ(app::FindHelpFolder(base + "/usr/bin"), base + "/usr/share/quarnel/help");
    QDir(root.path()).mkpath("usr/bin/help");
    QFile beside(root.path() + "/usr/bin/help/support.html");
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.close();
    EXPECT_EQ(app::FindHelpFolder(base + "/usr/bin"), base + "/usr/bin/help");
    EXPECT_EQ(app::HelpPagePath("/h", app::kUpdatePagePath), "/h/update.html");
}

TEST(WebPages, ShippedPagesOpenLocallyAndDescribeTheProgramInJapanese) {
    const std::string folder = QUARNEL_HELP_SOURCE;
    RecordingHost host;
    std::vector<QUrl> opened;
    const app::UrlOpener opener = [&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    };
    app::OpenSupportPage({"", folder}, opener, host);
    app::OpenUpdatePage({"", folder}, opener, host);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_EQ(opened[0].toLocalFile().toStdString(), folder + "/support.html");
    EXPECT_EQ(opened[1].toLocalFile().toStdString(), folder + "/update.html");

    QFile support(QString::fromStdString(folder + "/support.html"));
    ASSERT_TRUE(support.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(support.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("lang=\"ja\"")));
    for (const char* must : {"使い方", "設定", "形式", "quarnel-cli", "--report", "--output-dir", "--format",
                             "小さくならないため保存しませんでした"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(must))) << must;
    }
    EXPECT_FALSE(text.contains(QStringLiteral("vodrik.example")));
}

TEST(WebPages, AMissingLocalPageSaysSoAndNamesThePath) {
    RecordingHost host;
    bool called = false;
    app::OpenSupportPage(
        {"", "/nowhere/help"}, [&called](const QUrl&) { return called = true; }, host);
    EXPECT_FALSE(called);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, std::string(app::kHelpPageFailure) + "/nowhere/help/support.html");
    app::OpenSupportPage(
        {"", ""}, [&called](const QUrl&) { return called = true; }, host);
    EXPECT_FALSE(called);
    EXPECT_EQ(host.boxes.size(), 2u);
}
