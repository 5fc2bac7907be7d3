#pragma once

// Runs the built quarnel-cli as a child process in a fresh folder with its own settings store, over
// copies of decks generated once per suite.

#include "tests/support/RegistrySandbox.h"
#include "tests/support/WorkFolders.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace cli_test {

namespace fs = std::filesystem;

// What the program printed, with its line ends as "\n"; rawOut as it came, CRLF on Windows.
struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::string rawOut;
};

inline std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The paths the program reports are UTF-8 text; a narrow path on Windows is the ANSI code page.
inline std::string Read(const std::string& utf8) {
    return Read(testsupport::PathOf(utf8));
}
inline bool Exists(const std::string& utf8) {
    return fs::exists(testsupport::PathOf(utf8));
}

inline QJsonArray ReadReport(const fs::path& path) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(Read(path))).array();
}

#ifdef _WIN32
inline BOOL WINAPI OnlyTheProgramStops(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}
#endif

// Makes the program p starts reachable by SendCtrlC; false where the system offers no way. On
// Windows Ctrl-C travels through a console: the test makes a hidden one of its own, which the
// program shares (QProcess would start it with a console apart), and is not stopped by it itself.
inline bool PrepareCtrlC(QProcess& p) {
#ifdef _WIN32
    FreeConsole();
    if (!AllocConsole())
        return false;
    if (const HWND window = GetConsoleWindow())
        ShowWindow(window, SW_HIDE);
    SetConsoleCtrlHandler(OnlyTheProgramStops, TRUE);
    p.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
        arguments->flags &= ~static_cast<DWORD>(CREATE_NO_WINDOW);
    });
#else
    (void)p;
#endif
    return true;
}

// Ctrl-C as typed at the program's terminal.
inline void SendCtrlC(const QProcess& p) {
#ifdef _WIN32
    (void)p;
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); // every process of the test's own console
#else
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
#endif
}

class CliProcessFixture : public ::testing::Test {
protected:
    // Two generated decks: "two.pptx" (2 slides) and "many.pptx" (14).
    static void SetUpTestSuite() {
        decks_ = testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-cli-decks-"));
        for (const auto& [name, slides] : {std::pair<std::string, int>{"two.pptx", 2}, {"many.pptx", 14}}) {
            QProcess maker;
            maker.start(QUARNEL_SAMPLE_MAKER,
                        {QString::fromStdString(decks_ + "/" + name), QString::number(slides)});
            ASSERT_TRUE(maker.waitForFinished(120000));
            ASSERT_EQ(maker.exitCode(), 0) << maker.readAllStandardError().toStdString();
        }
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(testsupport::PathOf(decks_), ec);
    }
    void SetUp() override { dir = testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-cli-run-")); }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(testsupport::PathOf(dir), ec);
    }

    // A copy of a generated deck at a path relative to the folder.
    std::string Deck(const std::string& generated, const std::string& as) const {
        const fs::path path = Folder() / as;
        fs::create_directories(path.parent_path());
        fs::copy_file(testsupport::PathOf(decks_ + "/" + generated), path);
        return testsupport::Utf8(path);
    }
    fs::path Folder() const { return testsupport::PathOf(dir); }
    // With privateTemp, the child's temporary files go to the folder's "tmp", made here.
    QProcessEnvironment Environment() const {
        if (privateTemp)
            fs::create_directories(Folder() / "tmp");
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QUARNEL_REGISTRY_DIR", QString::fromStdString(dir + "/registry"));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir + "/config"));
#ifdef _WIN32
        // The settings this test writes to its machine hive are the program's too.
        env.insert("QUARNEL_REGISTRY_KEY", QString::fromStdString(testsupport::ScratchMachineKey()));
#endif
        if (privateTemp) {
            env.insert("TMPDIR", QString::fromStdString(dir + "/tmp"));
#ifdef _WIN32
            env.insert("TMP", QString::fromStdString(dir + "/tmp"));
            env.insert("TEMP", QString::fromStdString(dir + "/tmp"));
#endif
        }
        return env;
    }
    Outcome Run(const QStringList& args, const QByteArray& input = {}) const {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.setWorkingDirectory(QString::fromStdString(dir));
        p.start(QUARNEL_CLI_PATH, args);
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(300000));
        Outcome o;
        o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        o.rawOut = p.readAllStandardOutput().toStdString();
        o.out = testsupport::WithLf(o.rawOut);
        o.err = testsupport::WithLf(p.readAllStandardError().toStdString());
        return o;
    }

    std::string dir;
    bool privateTemp = false;
    static inline std::string decks_;
};

} // namespace cli_test
