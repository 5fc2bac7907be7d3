// The visual report from the command line: what it lists in one and several processes, and what is
// left of it when the run is stopped or killed.

#include "CliProcessFixture.h"
#include "office/imaging/Imaging.h"

#include <QJsonObject>
#include <chrono>
#include <regex>
#include <thread>

namespace {

using namespace cli_test;

class CliReportHtml : public CliProcessFixture {
protected:
    CliReportHtml() { privateTemp = true; }

    // Picture rows per deck section, in the order of the decks.
    static std::vector<int> RowsPerDeck(const std::string& html) {
        std::vector<int> rows;
        for (std::size_t at = html.find("<section class=\"deck\""); at != std::string::npos;) {
            const std::size_t next = html.find("<section class=\"deck\"", at + 1);
            const std::string section =
                html.substr(at, next == std::string::npos ? std::string::npos : next - at);
            int count = 0;
            for (std::size_t r = section.find("<tr class=\"picture"); r != std::string::npos;
                 r = section.find("<tr class=\"picture", r + 1))
                ++count;
            rows.push_back(count);
            at = next;
        }
        return rows;
    }
    static void ExpectImagesDecode(const std::string& html) {
        static const std::regex uri(R"re(src="data:image/(jpeg|png);base64,([A-Za-z0-9+/=]+)")re");
        int images = 0;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), uri); it != std::sregex_iterator();
             ++it) {
            const QByteArray bytes = QByteArray::fromBase64(QByteArray::fromStdString((*it)[2].str()));
            const auto size = office::imaging::MeasurePicture(std::span(
                reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::size_t>(bytes.size())));
            EXPECT_GT(size.width, 0);
            ++images;
        }
        EXPECT_GT(images, 0);
    }
    static bool Complete(const std::string& html) {
        return html.rfind("<!DOCTYPE html>", 0) == 0 && html.size() > 20 &&
               html.compare(html.size() - 8, 8, "</html>\n") == 0;
    }
};

} // namespace

TEST_F(CliReportHtml, ListsWhatTheJsonReportCountsInOneProcessAndInSeveral) {
    Deck("two.pptx", "a.pptx");
    Deck("many.pptx", "b.pptx");
    std::string pages[2];
    for (int jobs : {1, 2}) {
        const std::string html = "r" + std::to_string(jobs) + ".html";
        const std::string json = "r" + std::to_string(jobs) + ".json";
        const Outcome o =
            Run({"--jobs", QString::number(jobs), "--overwrite", "--report", QString::fromStdString(json),
                 "--report-html", QString::fromStdString(html), "a.pptx", "b.pptx"});
        ASSERT_EQ(o.exitCode, 0) << o.err;
        const QJsonArray report = ReadReport(Folder() / json);
        ASSERT_EQ(report.size(), 2);
        pages[jobs - 1] = Read(Folder() / html);
        const std::vector<int> rows = RowsPerDeck(pages[jobs - 1]);
        ASSERT_EQ(rows.size(), 2u);
        for (int k = 0; k < 2; ++k) {
            const QJsonObject e = report[k].toObject();
            ASSERT_EQ(e["result"].toString(), "compressed");
            EXPECT_EQ(rows[k], e["shapes_replaced"].toInt() + e["deck_pictures"].toArray().size()) << jobs;
        }
        EXPECT_EQ(rows[0], 2);
        EXPECT_EQ(rows[1], 14);
        ExpectImagesDecode(pages[jobs - 1]);
    }
    EXPECT_EQ(pages[0], pages[1]) << "workers hand back the same account";
}

TEST_F(CliReportHtml, AnUnwritablePlaceIsRefusedBeforeTheFirstDeck) {
    Deck("two.pptx", "a.pptx");
    const Outcome o = Run({"--report-html", "no/such/folder/r.html", "a.pptx"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("no/such/folder/r.html"), std::string::npos) << o.err;
    for (const auto& e : fs::directory_iterator(Folder()))
        EXPECT_EQ(e.path().filename().string().find("圧縮前"), std::string::npos) << e.path();
}

// Stopped (Ctrl-C), the run reports what it did; killed, it leaves either no report or a whole one.
TEST_F(CliReportHtml, IsCompleteOrAbsentWhenTheRunIsStoppedOrKilled) {
    for (const bool stopped : {true, false}) {
        for (int slide : {2, 9}) {
            const std::string name =
                std::string(stopped ? "stopped" : "killed") + "-" + std::to_string(slide) + ".pptx";
            Deck("many.pptx", name);
            const std::string html = "r-" + name + ".html";
            fs::remove(Folder() / html);
            QProcess p;
            if (!PrepareCtrlC(p))
                GTEST_SKIP() << "no console to carry Ctrl-C";
            p.setProcessEnvironment(Environment());
            p.setWorkingDirectory(QString::fromStdString(dir));
            p.start(QUARNEL_CLI_PATH, {"--jobs", "1", "--report-html", QString::fromStdString(html),
                                       QString::fromStdString(name)});
            ASSERT_TRUE(p.waitForStarted());
            std::string out;
            const std::string page = "ﾍﾟｰｼﾞ " + std::to_string(slide) + "/";
            while (out.find(page) == std::string::npos && p.state() == QProcess::Running) {
                p.waitForReadyRead(50);
                out += p.readAllStandardOutput().toStdString();
            }
            ASSERT_EQ(p.state(), QProcess::Running) << "finished before the signal";
            if (stopped)
                SendCtrlC(p);
            else
                p.kill(); // POSIX: SIGKILL; Windows: TerminateProcess
            ASSERT_TRUE(p.waitForFinished(120000));
            const fs::path report = Folder() / html;
            if (stopped) {
                EXPECT_EQ(p.exitCode(), 130);
                ASSERT_TRUE(fs::exists(report)) << "a stopped run still reports";
                EXPECT_TRUE(Complete(Read(report)));
                EXPECT_NE(Read(report).find("中断しました (stopped)"), std::string::npos);
            } else if (fs::exists(report)) {
                EXPECT_TRUE(Complete(Read(report)));
            }
            for (const auto& e : fs::directory_iterator(Folder())) {
                const std::string file = e.path().filename().string();
                EXPECT_FALSE(file.find(html) != std::string::npos && file != html)
                    << "partial report " << file;
            }
        }
    }
}

// Workers hand back everything a one-at-a-time run reports: deck pictures above all, which a corpus
// deck with a photo background has.
TEST_F(CliReportHtml, AParallelRunReportsWhatOneAtATimeDoes) {
    const fs::path background = fs::path(QUARNEL_CORPUS) / "aspose-java__ContentBG_Image.pptx";
    if (!fs::exists(background))
        GTEST_SKIP() << "no corpus deck at " << background;
    fs::copy_file(background, Folder() / "bg.pptx");
    Deck("two.pptx", "a.pptx");
    QJsonArray reports[2];
    for (int jobs : {1, 2}) {
        const QString json = QStringLiteral("r%1.json").arg(jobs);
        const Outcome o =
            Run({"--jobs", QString::number(jobs), "--overwrite", "--report", json, "bg.pptx", "a.pptx"});
        ASSERT_EQ(o.exitCode, 0) << o.err;
        reports[jobs - 1] = ReadReport(Folder() / json.toStdString());
        ASSERT_EQ(reports[jobs - 1].size(), 2);
    }
    ASSERT_EQ(reports[0][0].toObject()["deck_pictures"].toArray().size(), 1);
    for (int k = 0; k < 2; ++k) {
        QJsonObject one = reports[0][k].toObject(), two = reports[1][k].toObject();
        one.remove("seconds");
        two.remove("seconds");
        EXPECT_EQ(one, two) << QJsonDocument(two).toJson().toStdString();
    }
}
