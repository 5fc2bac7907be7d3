// Runs the built quarnel-cli over folders and lists of generated decks, one and several at a time.

#include "CliProcessFixture.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

using namespace cli_test;

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// File name -> content of every output (names with the output mark) below the folder.
std::map<std::string, std::string> Outputs(const fs::path& folder) {
    std::map<std::string, std::string> outputs;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file() && e.path().filename().string().find("圧縮前") != std::string::npos) {
            outputs[fs::relative(e.path(), folder).string()] = Read(e.path());
        }
    }
    return outputs;
}

class CliBatchRun : public CliProcessFixture {
protected:
    CliBatchRun() { privateTemp = true; }
    // A file below the folder as the program names it: UTF-8, in the system's separator.
    std::string Path(const std::string& relative) const {
        return testsupport::Native(testsupport::Utf8(Folder() / testsupport::PathOf(relative)));
    }
    QJsonArray Report(const std::string& name) const { return ReadReport(Folder() / name); }
    std::set<std::string> ReportedInputs(const std::string& name, const QString& result) const {
        std::set<std::string> inputs;
        for (const auto& e : Report(name)) {
            if (e.toObject()["result"].toString() == result) {
                inputs.insert(e.toObject()["input"].toString().toStdString());
            }
        }
        return inputs;
    }
};

} // namespace

TEST_F(CliBatchRun, TwoJobsWriteTheSameFilesAndTheSameLogAsOne) {
    Deck("two.pptx", "in/a.pptx");
    Deck("many.pptx", "in/b.pptx");
    Deck("two.pptx", "in/sub/c.pptx");
    Deck("two.pptx", "in/sub/d.pptx");
    fs::create_directories(Folder() / "one");
    fs::create_directories(Folder() / "two");
    const Outcome one =
        Run({"--jobs", "1", "--recursive", "--output-dir", "one", "--report", "one.json", "in"});
    const Outcome two =
        Run({"--jobs", "2", "--recursive", "--output-dir", "two", "--report", "two.json", "in"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    ASSERT_EQ(two.exitCode, 0) << two.err;
    const auto outputsOne = Outputs(Folder() / "one");
    ASSERT_EQ(outputsOne.size(), 4u);
    EXPECT_TRUE(outputsOne == Outputs(Folder() / "two"));
    // Byte for byte, line ends included: the workers' logs are relayed as they were printed.
    std::string logTwo = two.rawOut;
    Replace(logTwo, testsupport::Native("   出力ﾌｧｲﾙ: two/"), testsupport::Native("   出力ﾌｧｲﾙ: one/"));
    EXPECT_EQ(logTwo, one.rawOut);
    // Decks in input order, b (the slow one) before c and d.
    ASSERT_NE(one.out.find(Path("in/b.pptx")), std::string::npos) << one.out;
    EXPECT_LT(one.out.find(Path("in/b.pptx")), one.out.find(Path("in/sub/c.pptx")));
    EXPECT_NE(two.err.find("圧縮完了"), std::string::npos) << two.err;

    const QJsonArray r1 = Report("one.json");
    const QJsonArray r2 = Report("two.json");
    ASSERT_EQ(r1.size(), 4);
    ASSERT_EQ(r2.size(), 4);
    for (int k = 0; k < 4; ++k) {
        const QJsonObject a = r1[k].toObject();
        const QJsonObject b = r2[k].toObject();
        EXPECT_EQ(a["input"], b["input"]);
        EXPECT_EQ(a["result"], b["result"]);
        EXPECT_EQ(a["bytes_after"], b["bytes_after"]);
        EXPECT_EQ(a["shapes_replaced"], b["shapes_replaced"]);
    }
    // The workers' scratch files are gone.
    EXPECT_TRUE(fs::is_empty(Folder() / "tmp"));
}

TEST_F(CliBatchRun, AFailedDeckInAParallelRunFailsTheRunAndKeepsItsLine) {
    Deck("two.pptx", "a.pptx");
    std::ofstream(Folder() / "broken.pptx") << "not a package";
    Deck("two.pptx", "c.pptx");
    const Outcome o = Run({"--jobs", "2", "--report", "r.json", "a.pptx", "broken.pptx", "c.pptx"});
    EXPECT_EQ(o.exitCode, 1) << o.err;
    EXPECT_NE(o.err.find("(失敗 1 件)"), std::string::npos) << o.err;
    EXPECT_EQ(ReportedInputs("r.json", "open-failed"),
              std::set<std::string>{(Folder() / "broken.pptx").string()});
    EXPECT_EQ(ReportedInputs("r.json", "compressed").size(), 2u);
    // A refused list stops everything before the first deck, as with one job.
    const Outcome refused = Run({"--jobs", "2", "a.pptx", "missing.pptx"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("入力ファイルが存在しません"), std::string::npos) << refused.err;
}

TEST_F(CliBatchRun, ASecondRecursiveRunSkipsExistingOutputsAndDoesNotTakeThemAsInputs) {
    Deck("two.pptx", "share/a.pptx");
    Deck("two.pptx", "share/x/b.pptx");
    const Outcome first = Run({"--recursive", "--jobs", "2", "share"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(Outputs(Folder() / "share").size(), 2u);
    Deck("two.pptx", "share/x/new.pptx");
    const Outcome second = Run({"--recursive", "--skip-existing", "--report", "r.json", "share"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(ReportedInputs("r.json", "compressed"), std::set<std::string>{Path("share/x/new.pptx")});
    EXPECT_EQ(ReportedInputs("r.json", "skipped-existing"),
              (std::set<std::string>{Path("share/a.pptx"), Path("share/x/b.pptx")}));
    EXPECT_EQ(Report("r.json").size(), 3);
    EXPECT_EQ(Outputs(Folder() / "share").size(), 3u);
    // Nothing left to do is not an error.
    const Outcome third = Run({"--recursive", "--skip-existing", "share"});
    EXPECT_EQ(third.exitCode, 0) << third.err;
    EXPECT_EQ(third.out, "");
}

TEST_F(CliBatchRun, FileListsFromAFileAndFromStandardInput) {
#ifdef _WIN32
    const std::string quoted = "with 'blanks' and 'quotes'.pptx"; // '"' is not allowed in a name there
#else
    const std::string quoted = "with 'blanks' and \"quotes\".pptx";
    Deck("two.pptx", "with\nbreak.pptx"); // nor is a line break
#endif
    Deck("two.pptx", "a.pptx");
    Deck("two.pptx", quoted);
    std::ofstream(Folder() / "list.txt", std::ios::binary) << "a.pptx\r\n\n";
    const Outcome fromFile = Run({"--files-from", "list.txt", "--report", "f.json"});
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
    EXPECT_EQ(ReportedInputs("f.json", "compressed"), std::set<std::string>{Path("a.pptx")});

    const std::string list = "a.pptx" + std::string(1, '\0') + quoted + std::string(1, '\0');
    const Outcome fromStdin =
        Run({"--overwrite", "--files-from", "-", "-0", "--jobs", "2", "--report", "s.json"},
            QByteArray::fromStdString(list));
    ASSERT_EQ(fromStdin.exitCode, 0) << fromStdin.err;
    EXPECT_EQ(ReportedInputs("s.json", "compressed"), (std::set<std::string>{Path("a.pptx"), Path(quoted)}));
    // The batch reads its entries as lines; a name with a line break is refused before any deck.
    const Outcome lineBreak = Run({"--files-from", "-", "-0"}, QByteArray("a.pptx\0with\nbreak.pptx\0", 23));
    EXPECT_EQ(lineBreak.exitCode, 2);
    EXPECT_NE(lineBreak.err.find("改行を含むファイル名"), std::string::npos) << lineBreak.err;

    const Outcome missing = Run({"--files-from", "nothing.txt"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("nothing.txt"), std::string::npos);
}

TEST_F(CliBatchRun, ShardsOfAListRunEveryDeckExactlyOnce) {
    QStringList files;
    for (int i = 0; i < 6; ++i) {
        Deck("two.pptx", "d" + std::to_string(i) + ".pptx");
        files << QString::fromStdString("d" + std::to_string(i) + ".pptx");
    }
    std::multiset<std::string> all;
    for (int k = 1; k <= 3; ++k) {
        const std::string report = "shard" + std::to_string(k) + ".json";
        const Outcome o = Run(QStringList{"--jobs", "1", "--shard", QString("%1/3").arg(k), "--report",
                                          QString::fromStdString(report)} +
                              files);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        const auto inputs = ReportedInputs(report, "compressed");
        all.insert(inputs.begin(), inputs.end());
        // The same shard again takes the same decks (their outputs are there now).
        const Outcome again =
            Run(QStringList{"--skip-existing", "--shard", QString("%1/3").arg(k), "--report", "again.json"} +
                files);
        EXPECT_EQ(ReportedInputs("again.json", "skipped-existing"), inputs);
    }
    EXPECT_EQ(all.size(), 6u);
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), 6u);
}

TEST_F(CliBatchRun, InterruptWithTwoJobsLeavesNoPartialFileAndExits130) {
    QProcess p;
    if (!PrepareCtrlC(p))
        GTEST_SKIP() << "no console to carry Ctrl-C";
#ifdef _WIN32
    // The batch hands the interrupt on to its workers, each a console group of its own, as Ctrl-Break.
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, GetCurrentProcessId()))
        GTEST_SKIP() << "this system's consoles carry no Ctrl-Break to a process group (Wine 8)";
#endif
    Deck("many.pptx", "a.pptx");
    Deck("many.pptx", "b.pptx");
    Deck("many.pptx", "c.pptx");
    fs::create_directories(Folder() / "tmp");
    p.setProcessEnvironment(Environment());
    p.setWorkingDirectory(QString::fromStdString(dir));
    p.start(QUARNEL_CLI_PATH, {"--jobs", "2", "--report", "r.json", "a.pptx", "b.pptx", "c.pptx"});
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForStarted());
    // The first worker's log is held in the scratch folder until its deck ends.
    auto secondSlideStarted = [&] {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(Folder() / "tmp", ec)) {
            if (e.path().filename() == "0.out" && Read(e.path()).find("ﾍﾟｰｼﾞ 2/") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    while (!secondSlideStarted() && p.state() == QProcess::Running) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(p.state(), QProcess::Running) << "finished before the interrupt";
    SendCtrlC(p);
    ASSERT_TRUE(p.waitForFinished(120000));
    const std::string out = p.readAllStandardOutput().toStdString();
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130) << err;
    EXPECT_NE(err.find("圧縮中断"), std::string::npos) << err;
    EXPECT_NE(out.find("▲停止したため保存しませんでした。"), std::string::npos) << out;
    EXPECT_EQ(Outputs(Folder()).size(), 0u);
    for (const auto& e : fs::directory_iterator(Folder())) {
        EXPECT_NE(e.path().filename().string().front(), '.') << "partial file " << e.path();
    }
    EXPECT_TRUE(fs::is_empty(Folder() / "tmp"));
    const QJsonArray report = Report("r.json");
    ASSERT_EQ(report.size(), 3);
    EXPECT_EQ(report[0].toObject()["result"].toString(), "stopped");
    EXPECT_EQ(report[2].toObject()["result"].toString(), "not-started");
}

// The workers are given the goal as it was typed and take it; a bad one stops the run in the parent.
TEST_F(CliBatchRun, WorkersTakeTheSizeGoalOptions) {
    Deck("two.pptx", "a.pptx");
    Deck("two.pptx", "b.pptx");
    const Outcome o = Run({"--jobs", "2", "--target-size", "10MB", "--target-allow", "fonts,layouts",
                           "--report", "r.json", "a.pptx", "b.pptx"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(ReportedInputs("r.json", "compressed").size(), 2u) << o.out << o.err;
    const Outcome bad = Run({"--jobs", "2", "--target-size", "-1MB", "a.pptx", "b.pptx"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("bad value: -1MB"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.out, "");
}
