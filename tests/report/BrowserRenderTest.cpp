// A real browser shows the report: headless Chromium loads a generated deck's report and every
// thumbnail in it decodes. Skipped where Chromium is not installed.

#include "BatchFixture.h"
#include "ReportDeck.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"
#include "report/HtmlReport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <fstream>
#include <regex>

namespace {

QString Chromium() {
    if (const char* given = std::getenv("QUARNEL_CHROMIUM"); given && *given)
        return QString::fromUtf8(given);
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"})
        if (const QString path = QStandardPaths::findExecutable(QString::fromUtf8(name)); !path.isEmpty())
            return path;
    return {};
}

// The page as the browser left it; the probe is the test's own, the report carries no script.
constexpr const char* kProbe =
    "<script>window.addEventListener('load',()=>{const all=[...document.images];"
    "const ok=all.filter(i=>i.complete&&i.naturalWidth>0).length;"
    "document.body.setAttribute('data-images-loaded',ok+'/'+all.length);});</script>";

} // namespace

class BrowserRender : public BatchFixture {};

TEST_F(BrowserRender, EveryThumbnailLoadsInChromium) {
    const QString chromium = Chromium();
    if (chromium.isEmpty())
        GTEST_SKIP() << "Chromium is not installed";
    ASSERT_EQ(VIPS_INIT("test_report"), 0);
    office::OfficeProvider engine("12.0");
    engine::EngineContext real{host, config, exceptions, *registry, engine, state};
    state.ReportThumbnailWidth = report::kThumbnailWidth;
    const std::string deck = dir + "/deck.pptx";
    BuildReportDeck(deck, dir, 3);
    batch::BatchRun run(real);
    const auto summary = run.btnStart_Click(deck);
    ASSERT_EQ(summary.entries.at(0).pictures.size(), 4u) << host.log;

    const std::string page = dir + "/report.html";
    ASSERT_TRUE(report::WriteHtmlReport(page, summary.entries));
    if (const char* shot = std::getenv("QUARNEL_REPORT_SCREENSHOT"); shot && *shot) {
        QProcess::execute(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                                     "--user-data-dir=" + QString::fromStdString(dir + "/profile-shot"),
                                     "--window-size=1100,1500", "--screenshot=" + QString::fromUtf8(shot),
                                     "file://" + QString::fromStdString(page)});
    }
    std::string html = Read(page);
    html.insert(html.rfind("</body>"), kProbe);
    const std::string probed = dir + "/probed.html";
    std::ofstream(probed, std::ios::binary) << html;

    QProcess browser;
    browser.start(chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu",
                   "--user-data-dir=" + QString::fromStdString(dir + "/profile"),
                   "--virtual-time-budget=10000", "--dump-dom", "file://" + QString::fromStdString(probed)});
    ASSERT_TRUE(browser.waitForFinished(120000));
    const std::string dom = browser.readAllStandardOutput().toStdString();
    std::smatch loaded;
    ASSERT_TRUE(std::regex_search(dom, loaded, std::regex("data-images-loaded=\"([0-9]+)/([0-9]+)\"")))
        << browser.readAllStandardError().toStdString();
    EXPECT_EQ(loaded[2].str(), "8") << "a before and an after image per replaced picture";
    EXPECT_EQ(loaded[1].str(), loaded[2].str()) << "every thumbnail decoded";
}
