// Runs the built quarnel-cli as a child process over generated and real decks.

#include "CliProcessFixture.h"
#include "platform/ChildProcess.h"
#include "settings/Settings.h"
#include "settings/modRegAccess.h"

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
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using namespace cli_test;

int CountLinesStartingWith(const std::string& text, char c) {
    int n = text.empty() || text[0] != c ? 0 : 1;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        n += text[i] == '\n' && text[i + 1] == c ? 1 : 0;
    }
    return n;
}

class CliRun : public CliProcessFixture {};

} // namespace

TEST_F(CliRun, CompressesAGeneratedDeckPrintsTheLogAndWritesTheReport) {
    const std::string deck = Deck("two.pptx", "deck.pptx");
    const std::string before = Read(deck);
    const Outcome o = Run({"--report", "r.json", "deck.pptx"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out.rfind("▼" + deck + "\n   ﾍﾟｰｼﾞ 1/2\n", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("   ﾍﾟｰｼﾞ 2/2\n"), std::string::npos);
    EXPECT_NE(o.err.find("圧縮完了"), std::string::npos);
    EXPECT_EQ(Read(deck), before);

    const QJsonArray report = ReadReport(dir + "/r.json");
    ASSERT_EQ(report.size(), 1);
    const QJsonObject entry = report[0].toObject();
    EXPECT_EQ(entry["input"].toString().toStdString(), deck);
    EXPECT_EQ(entry["result"].toString(), "compressed");
    const std::string output = entry["output"].toString().toStdString();
    // The closing line is followed by the output's path on its own line.
    EXPECT_NE(o.out.find(" に圧縮しました。\n   出力ﾌｧｲﾙ: " + output + "\n\n"), std::string::npos) << o.out;
    ASSERT_TRUE(Exists(output));
    EXPECT_EQ(testsupport::PathOf(output).parent_path(), Folder());
    EXPECT_EQ(entry["bytes_after"].toInteger(),
              static_cast<qint64>(fs::file_size(testsupport::PathOf(output))));
    EXPECT_EQ(entry["bytes_before"].toInteger(), static_cast<qint64>(before.size()));
    EXPECT_LT(entry["bytes_after"].toInteger(), entry["bytes_before"].toInteger());
    EXPECT_EQ(entry["shapes_replaced"].toInt(), CountLinesStartingWith(o.out, '\t'));
    EXPECT_GE(entry["shapes_replaced"].toInt(), 1);
    EXPECT_GE(entry["seconds"].toDouble(), 0.0);
}

TEST_F(CliRun, ASizeGoalIsReportedByTheClosingLineAndTheReportThroughWorkersToo) {
    Deck("two.pptx", "a.pptx");
    Deck("two.pptx", "b.pptx");
    // One goal every deck meets with its own settings, one none can meet.
    const Outcome o = Run({"--jobs", "2", "--report", "r.json", "--target-size", "1KB", "a.pptx", "b.pptx"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find(" (目標 1KB に届きません。最も小さいのは "), std::string::npos) << o.out;
    const QJsonArray report = ReadReport(dir + "/r.json");
    ASSERT_EQ(report.size(), 2);
    for (const auto& value : report) {
        const QJsonObject entry = value.toObject();
        EXPECT_EQ(entry["result"].toString(), "compressed");
        EXPECT_EQ(entry["target_bytes"].toInteger(), 1024);
        EXPECT_FALSE(entry["reached"].toBool());
        // The smallest step's settings: at least the person's own, which never reach 1 KB either.
        EXPECT_FALSE(entry["target_step"].toString().isEmpty());
        const QJsonObject used = entry["target_settings"].toObject();
        for (const char* key :
             {"quality", "expect_rate", "file_size", "objects", "media", "fonts", "layouts"})
            EXPECT_TRUE(used.contains(key)) << key;
        EXPECT_LE(used["quality"].toInt(), 2);
    }
    const Outcome met = Run({"--overwrite", "--report", "m.json", "--target-size", "100MB", "a.pptx"});
    ASSERT_EQ(met.exitCode, 0) << met.err;
    const QJsonObject entry = ReadReport(dir + "/m.json")[0].toObject();
    EXPECT_TRUE(entry["reached"].toBool());
    EXPECT_EQ(met.out.find("目標"), std::string::npos) << "a deck under its goal runs as without one";
}

TEST_F(CliRun, CompressesACorpusDeck) {
    const fs::path corpus = fs::path(QUARNEL_CORPUS) / "markitdown__test.pptx";
    if (!fs::exists(corpus)) {
        GTEST_SKIP() << "no corpus";
    }
    const std::string deck = dir + "/test.pptx";
    fs::copy_file(corpus, deck);
    const Outcome o = Run({"--report", QString::fromStdString(dir + "/r.json"), "--no-size-in-name",
                           QString::fromStdString(deck)});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("   ﾍﾟｰｼﾞ 6/6\n"), std::string::npos) << o.out;
    EXPECT_EQ(Read(deck), Read(corpus.string()));
    const QJsonArray report = ReadReport(dir + "/r.json");
    ASSERT_EQ(report.size(), 1);
    const QJsonObject entry = report[0].toObject();
    if (entry["result"].toString() == "compressed") {
        const std::string output = testsupport::Native(dir + "/test【圧縮】.pptx");
        EXPECT_EQ(entry["output"].toString().toStdString(), output);
        EXPECT_TRUE(Exists(output));
    } else {
        EXPECT_EQ(entry["result"].toString(), "not-effective");
        EXPECT_TRUE(entry["output"].isNull());
    }
}

// A deck that is nearly all embedded fonts, with layouts no slide uses: only the lossless save at
// the defaults, most of it with the two opt-in savings.
TEST_F(CliRun, DeckSavingsShrinkAFontHeavyDeckAndAreReported) {
    const fs::path corpus = fs::path(QUARNEL_CORPUS) / "aspose-net__InkOptions.pptx";
    if (!fs::exists(corpus)) {
        GTEST_SKIP() << "no corpus";
    }
    const std::string deck = dir + "/ink.pptx";
    fs::copy_file(corpus, deck);
    const Outcome plain = Run({"--report", "plain.json", "ink.pptx"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const QJsonObject plainEntry = ReadReport(dir + "/plain.json")[0].toObject();
    EXPECT_EQ(plainEntry["result"].toString(), "compressed");
    EXPECT_EQ(plainEntry["shapes_replaced"].toInt(), 0);
    EXPECT_LT(plainEntry["bytes_after"].toInteger(), plainEntry["bytes_before"].toInteger());
    EXPECT_FALSE(plainEntry.contains("embedded_fonts"));
    EXPECT_EQ(plain.out.find("埋め込みﾌｫﾝﾄ"), std::string::npos);

    const Outcome o =
        Run({"--subset-fonts", "--remove-unused-layouts", "--overwrite", "--report", "r.json", "ink.pptx"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(Read(deck), Read(corpus.string()));
    const QJsonObject entry = ReadReport(dir + "/r.json")[0].toObject();
    ASSERT_EQ(entry["result"].toString(), "compressed") << o.out;
    EXPECT_LT(entry["bytes_after"].toInteger() * 2, entry["bytes_before"].toInteger());
    const QJsonArray fonts = entry["embedded_fonts"].toArray();
    ASSERT_EQ(fonts.size(), 6);
    for (const auto& value : fonts) {
        const QJsonObject font = value.toObject();
        EXPECT_TRUE(font["kept"].isNull());
        EXPECT_LT(font["bytes_after"].toInteger(), font["bytes_before"].toInteger());
    }
    EXPECT_EQ(fonts[0].toObject()["typeface"].toString(), "Calibri");
    EXPECT_GT(entry["layouts_removed"].toInt(), 0);
    EXPECT_NE(o.out.find("   埋め込みﾌｫﾝﾄ Calibri (太字): "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("   未使用のﾚｲｱｳﾄ " + std::to_string(entry["layouts_removed"].toInt()) + " 個"),
              std::string::npos)
        << o.out;
}

TEST_F(CliRun, ADamagedDeckFailsWithItsOwnLineWhileTheOthersRun) {
    const std::string good = Deck("two.pptx", "good.pptx");
    const std::string damaged = testsupport::Native(dir + "/damaged.pptx");
    {
        const std::string bytes = Read(good);
        std::ofstream(testsupport::PathOf(damaged), std::ios::binary) << bytes.substr(0, bytes.size() / 3);
    }
    const std::string damagedBefore = Read(damaged);
    const Outcome o = Run({"--report", "r.json", "damaged.pptx", "good.pptx"});
    EXPECT_EQ(o.exitCode, 1) << o.err;
    EXPECT_NE(o.out.find("▼" + damaged + "\n▲ファイルを開けませんでした。"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("十分な圧縮効果"), std::string::npos);
    const auto goodAt = o.out.find("▼" + good);
    ASSERT_NE(goodAt, std::string::npos);
    EXPECT_NE(o.out.find(" に圧縮しました。", goodAt), std::string::npos);
    EXPECT_EQ(Read(damaged), damagedBefore);
    const QJsonArray report = ReadReport(dir + "/r.json");
    ASSERT_EQ(report.size(), 2);
    EXPECT_EQ(report[0].toObject()["result"].toString(), "open-failed");
    EXPECT_EQ(report[1].toObject()["result"].toString(), "compressed");
}

TEST_F(CliRun, AnExistingOutputIsSkippedWithoutATerminalAndReplacedOnRequest) {
    Deck("two.pptx", "deck.pptx");
    const Outcome first = Run({"--no-size-in-name", "deck.pptx"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::string output = testsupport::Native(dir + "/deck【圧縮】.pptx");
    ASSERT_TRUE(Exists(output));
    std::ofstream(testsupport::PathOf(output), std::ios::binary | std::ios::trunc) << "keep me";

    const Outcome second = Run({"--no-size-in-name", "deck.pptx"});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(second.out.find("▲圧縮を中止しました。\n"), std::string::npos) << second.out;
    EXPECT_NE(second.err.find("同一出力ﾌｧｲﾙが存在します:" + output), std::string::npos);
    EXPECT_EQ(Read(output), "keep me");

    const Outcome third = Run({"--no-size-in-name", "--overwrite", "deck.pptx"});
    EXPECT_EQ(third.exitCode, 0);
    EXPECT_NE(third.out.find(" に圧縮しました。"), std::string::npos);
    EXPECT_NE(Read(output), "keep me");
}

TEST_F(CliRun, OptionsAreNeverSaved) {
    const std::string deck = Deck("two.pptx", "deck.pptx");
    fs::last_write_time(deck, fs::last_write_time(deck) - std::chrono::hours(24 * 400));
    fs::create_directory(dir + "/out");
    const Outcome o =
        Run({"--format", "jpeg", "--quality", "1", "--output-dir", "out", "--keep-dates", "deck.pptx"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    ASSERT_FALSE(fs::is_empty(dir + "/out"));
    // --keep-dates: the output carries the input's modification date.
    const fs::path output = fs::directory_iterator(dir + "/out")->path();
    EXPECT_EQ(std::chrono::floor<std::chrono::seconds>(fs::last_write_time(output)),
              std::chrono::floor<std::chrono::seconds>(fs::last_write_time(dir + "/deck.pptx")));
    settings::RegistryStore store(dir + "/registry");
    for (const char* name : {"Format", "Ratio", "PPTFolder", "optPPTFolder", "KeepFileDate"}) {
        EXPECT_FALSE(store.ValueExists(settings::Hive::LocalMachine, settings::kSettingsKey, name)) << name;
    }
}

TEST_F(CliRun, BadUsageAndRefusedListsExitWithTwo) {
    Deck("two.pptx", "deck.pptx");
    std::ofstream(dir + "/notes.txt") << "text";
    EXPECT_EQ(Run({"--quality", "7", "deck.pptx"}).exitCode, 2);
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({"--output-dir", "nowhere", "deck.pptx"}).exitCode, 2);
    const Outcome missing = Run({"deck.pptx", "missing.pptx"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("入力ファイルが存在しません：" + testsupport::Native(dir + "/missing.pptx")),
              std::string::npos)
        << missing.err;
    EXPECT_EQ(missing.out, "");
    const Outcome text = Run({"notes.txt"});
    EXPECT_EQ(text.exitCode, 2);
    EXPECT_NE(text.err.find("パワーポイントファイルではありません："), std::string::npos);
    EXPECT_EQ(fs::directory_iterator(dir) == fs::directory_iterator(), false);
    EXPECT_FALSE(Exists(dir + "/deck-圧縮前"));
}

// A goal that is not a size stops the run before any deck, in the window's two languages.
TEST_F(CliRun, ABadSizeGoalIsRefusedBeforeTheFirstDeck) {
    Deck("two.pptx", "deck.pptx");
    for (const QString& size : {QStringLiteral("0"), QStringLiteral("-1MB"), QStringLiteral("10XB")}) {
        const Outcome o = Run({"deck.pptx", "--target-size", size});
        EXPECT_EQ(o.exitCode, 2) << size.toStdString();
        EXPECT_NE(o.err.find("--target-size の値が正しくありません / bad value: " + size.toStdString()),
                  std::string::npos)
            << o.err;
        EXPECT_EQ(o.out, "");
    }
    const Outcome list = Run({"--target-allow", "objects,pictures", "deck.pptx"});
    EXPECT_EQ(list.exitCode, 2);
    EXPECT_NE(list.err.find("--target-allow"), std::string::npos) << list.err;
    EXPECT_EQ(list.out, "");
    for (const auto& e : fs::directory_iterator(dir)) {
        EXPECT_EQ(e.path().filename().string().find("圧縮前"), std::string::npos) << e.path();
    }
}

TEST_F(CliRun, HelpAndVersion) {
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--report FILE"), std::string::npos);
    EXPECT_NE(help.out.find("使い方"), std::string::npos);
    // -h is the same help, never a file name; the defaults shown are the stored settings.
    settings::RegistryStore(dir + "/registry")
        .WriteText(settings::Hive::LocalMachine, settings::kSettingsKey, "Format", "3");
    const Outcome shortHelp = Run({"-h"});
    EXPECT_EQ(shortHelp.exitCode, 0);
    EXPECT_NE(shortHelp.out.find("picture format [gif]"), std::string::npos) << shortHelp.out;
    EXPECT_EQ(shortHelp.err, "");
    const Outcome version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("1.8.1"), std::string::npos);
}

TEST_F(CliRun, InterruptStopsAfterTheCurrentSlide) {
    const std::string deck = Deck("many.pptx", "many.pptx");
    QProcess p;
    if (!PrepareCtrlC(p))
        GTEST_SKIP() << "no console to carry Ctrl-C";
    p.setProcessEnvironment(Environment());
    p.setWorkingDirectory(QString::fromStdString(dir));
    p.start(QUARNEL_CLI_PATH, {"--report", "r.json", "many.pptx"});
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForStarted());
    std::string out;
    while (out.find("ﾍﾟｰｼﾞ 2/") == std::string::npos && p.state() == QProcess::Running) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput().toStdString();
    }
    ASSERT_EQ(p.state(), QProcess::Running) << "finished before the interrupt";
    SendCtrlC(p);
    ASSERT_TRUE(p.waitForFinished(120000));
    out += p.readAllStandardOutput().toStdString();
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_NE(err.find("圧縮中断"), std::string::npos) << err;
    EXPECT_EQ(out.find("ﾍﾟｰｼﾞ 14/14"), std::string::npos);
    EXPECT_EQ(ReadReport(dir + "/r.json")[0].toObject()["result"].toString(), "stopped");
    int outputs = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        outputs += e.path().filename().string().find("圧縮前") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(outputs, 0);
}

// Where the run would fail only at its end, it is refused before the first deck is opened.
TEST_F(CliRun, AMissingStoredFolderAndAnUnwritableReportAreRefusedBeforeTheFirstDeck) {
    const std::string deck = Deck("two.pptx", "deck.pptx");
    {
        settings::RegistryStore store(dir + "/registry");
        store.WriteText(settings::Hive::LocalMachine, settings::kSettingsKey, "optPPTFolder", "1");
        store.WriteText(settings::Hive::LocalMachine, settings::kSettingsKey, "PPTFolder", dir + "/gone");
    }
    const Outcome stored = Run({"deck.pptx"});
    EXPECT_EQ(stored.exitCode, 2);
    EXPECT_NE(stored.err.find("出力フォルダがありません / no such output folder: " + dir + "/gone"),
              std::string::npos)
        << stored.err;
    EXPECT_NE(stored.err.find("保存された設定 / stored setting"), std::string::npos);
    EXPECT_EQ(stored.out, ""); // no deck was opened

    // The folder given for this run wins over the stored one.
    fs::create_directory(dir + "/out");
    EXPECT_EQ(Run({"--output-dir", "out", "deck.pptx"}).exitCode, 0);

    for (const std::string& report : {dir + "/no/such/folder/r.json", dir + "/out"}) {
        const Outcome bad = Run(
            {"--output-dir", "out", "--overwrite", "--report", QString::fromStdString(report), "deck.pptx"});
        EXPECT_EQ(bad.exitCode, 2) << report;
        EXPECT_NE(bad.err.find("レポート"), std::string::npos) << bad.err;
        EXPECT_EQ(bad.out, "") << report;
    }
#ifdef _WIN32
    // A Windows folder has no mode that refuses new files; a report with the read-only attribute
    // cannot be replaced by any writer.
    const fs::path readOnly = Folder() / "read-only.json";
    std::ofstream(readOnly) << "[]";
    fs::permissions(readOnly, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const Outcome locked = Run({"--output-dir", "out", "--report", "read-only.json", "deck.pptx"});
    EXPECT_EQ(locked.exitCode, 2);
    EXPECT_NE(locked.err.find("レポートを書けません / cannot write the report"), std::string::npos)
        << locked.err;
    EXPECT_EQ(locked.out, "");
    EXPECT_EQ(Read(readOnly), "[]");
    fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::add);
#else
    if (::geteuid() != 0) { // root writes anywhere
        fs::create_directory(dir + "/locked");
        fs::permissions(dir + "/locked", fs::perms::owner_read | fs::perms::owner_exec);
        const Outcome locked = Run({"--output-dir", "out", "--report", "locked/r.json", "deck.pptx"});
        EXPECT_EQ(locked.exitCode, 2);
        EXPECT_NE(locked.err.find("レポートを書けません / cannot write the report"), std::string::npos);
        fs::permissions(dir + "/locked", fs::perms::owner_all);
    }
#endif
}

TEST_F(CliRun, AFailedDeckShowsInTheClosingStatus) {
    Deck("two.pptx", "good.pptx");
    std::ofstream(dir + "/empty.pptx", std::ios::binary).flush();
    const Outcome o = Run({"empty.pptx", "good.pptx"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(
        o.out.find("▲ファイルを開けませんでした。ファイルが空です。(Presentations.Open: the file is empty)"),
        std::string::npos)
        << o.out;
    EXPECT_NE(o.err.find("圧縮完了 (失敗 1 件)"), std::string::npos) << o.err;
}

TEST_F(CliRun, ValuesAreTakenInAnyCase) {
    Deck("two.pptx", "deck.pptx");
    const Outcome o = Run({"--format", "JPEG", "--no-size-in-name", "deck.pptx"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(Exists(dir + "/deck【圧縮】.pptx"));
}

TEST_F(CliRun, MoviesRunWithTheChosenProfileAndUnknownProfilesAreRefused) {
#ifdef _WIN32
    // ffmpeg.exe where the program looks for it: beside it, then on PATH.
    const std::string ffmpeg = platform::FindProgram("ffmpeg");
#else
    const std::string ffmpeg = "/usr/bin/ffmpeg";
#endif
    if (ffmpeg.empty() || !fs::exists(testsupport::PathOf(ffmpeg))) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    QProcess maker;
    maker.start(QString::fromStdString(ffmpeg),
                {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=1", "-c:v",
                 "mpeg4", QString::fromStdString(dir + "/clip.avi")});
    ASSERT_TRUE(maker.waitForFinished(60000));
    ASSERT_EQ(maker.exitCode(), 0) << maker.readAllStandardError().toStdString();

    const Outcome unknown = Run({"--movie-profile", "超高画質", "clip.avi"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("0: 標準 (720p)"), std::string::npos) << unknown.err;

    const Outcome run = Run({"--movie-profile", "2", "--no-size-in-name", "--report", "r.json", "clip.avi"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\tclip【圧縮】.mp4 を作成"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(Folder() / testsupport::PathOf("clip【圧縮】.mp4")));
    const auto report = QJsonDocument::fromJson(QByteArray::fromStdString(Read(dir + "/r.json"))).array();
    ASSERT_EQ(report.size(), 1);
    EXPECT_EQ(report[0].toObject()["result"].toString().toStdString(), "compressed");
    EXPECT_EQ(report[0].toObject()["output"].toString().toStdString(),
              testsupport::Native(dir + "/clip【圧縮】.mp4"));

    const Outcome help = Run({"--help"});
    EXPECT_NE(help.out.find("--movie-profile NAME|INDEX"), std::string::npos);
    EXPECT_NE(help.out.find("--media"), std::string::npos);
}
