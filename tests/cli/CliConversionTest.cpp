// quarnel-cli interrupted (Ctrl-C, or ended by the system) while a binary deck is being converted:
// the converter goes, its files go, the run ends as stopped.

#include "tests/support/ProcessState.h"
#include "tests/support/WorkFolders.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

using testsupport::Running;

class CliConversion : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        dir = testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-cli-convert-"));
        fs::create_directories(dir + "/bin");
        fs::create_directories(dir + "/tmp");
        // A converter that hangs until it is killed.
        const std::string fake = dir + "/bin/soffice";
        std::ofstream(fake) << "#!/bin/sh\necho $$ > \"$QUARNEL_TEST_PIDFILE\"\nsleep 120\n";
        fs::permissions(fake, fs::perms::owner_all);
        fs::copy_file(std::string(QUARNEL_TEST_DATA) + "/deckformat/fuzz-seeds/binary-deck.ppt",
                      dir + "/old.ppt");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string dir;
};

} // namespace

TEST_P(CliConversion, AnInterruptEndsTheConversionAndLeavesNoFiles) {
#ifdef _WIN32
    GTEST_SKIP() << "the stand-in converter is a shell script and the interrupt a POSIX signal";
#else
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QUARNEL_REGISTRY_DIR", QString::fromStdString(dir + "/registry"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir + "/config"));
    env.insert("TMPDIR", QString::fromStdString(dir + "/tmp"));
    env.insert("QUARNEL_TEST_PIDFILE", QString::fromStdString(dir + "/converter.pid"));
    env.insert("PATH", QString::fromStdString(dir + "/bin:") + env.value("PATH"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(dir));
    p.start(QUARNEL_CLI_PATH, {"--report", "r.json", "old.ppt"});
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForStarted());
    for (int i = 0; i < 600 && !fs::exists(dir + "/converter.pid"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(dir + "/converter.pid")) << "the converter never started";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int converter = 0;
    std::ifstream(dir + "/converter.pid") >> converter;
    ASSERT_GT(converter, 0);

    ::kill(static_cast<pid_t>(p.processId()), GetParam());
    ASSERT_TRUE(p.waitForFinished(30000));
    const std::string out = p.readAllStandardOutput().toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130) << out;
    EXPECT_NE(out.find("LibreOfficeでの変換を中断しました。"), std::string::npos) << out;
    std::ifstream report(dir + "/r.json");
    const std::string json((std::istreambuf_iterator<char>(report)), {});
    const auto entries = QJsonDocument::fromJson(QByteArray::fromStdString(json)).array();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].toObject()["result"].toString(), "stopped");
    EXPECT_FALSE(Running(converter)) << "the converter survived";
    EXPECT_TRUE(fs::is_empty(dir + "/tmp")) << "the conversion's folder was left behind";
#endif
}

INSTANTIATE_TEST_SUITE_P(Signals, CliConversion, ::testing::Values(SIGINT, SIGTERM));
