// The window program started where there is no display: one explaining line and exit status 1,
// never Qt's abort.

#include "app/DisplayCheck.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

struct Started {
    QProcess::ExitStatus status = QProcess::CrashExit;
    int exitCode = -1;
    QString err;
};

Started StartWithout(const std::map<QString, QString>& extra) {
    QTemporaryDir store;
    auto env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromUtf8(name));
    }
    env.insert(QStringLiteral("QUARNEL_REGISTRY_DIR"), store.path());
    for (const auto& [name, value] : extra) {
        env.insert(name, value);
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUARNEL_GUI_PATH), {QStringLiteral("deck.pptx")});
    Started started;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return started;
    }
    started.status = process.exitStatus();
    started.exitCode = process.exitCode();
    started.err = QString::fromUtf8(process.readAllStandardError());
    return started;
}

void ExpectOneExplainingLine(const Started& started) {
    EXPECT_EQ(started.status, QProcess::NormalExit);
    EXPECT_EQ(started.exitCode, 1);
    const QStringList lines = started.err.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 1) << started.err.toStdString();
    EXPECT_EQ(lines[0].toStdString(), app::kNoDisplayMessage);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("ディスプレイ")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("cannot connect to a display")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("quarnel-cli")));
}

} // namespace

TEST(StartWithoutDisplay, NoDisplayNamedEndsWithOneLineAndStatusOne) {
    ExpectOneExplainingLine(StartWithout({}));
}

TEST(StartWithoutDisplay, AnUnreachableDisplayEndsTheSameWayInsteadOfAborting) {
    ExpectOneExplainingLine(StartWithout({{QStringLiteral("DISPLAY"), QStringLiteral(":987")}}));
}

TEST(StartWithoutDisplay, APlatformOrDisplayCountsAsAWindowSystem) {
    std::map<std::string, std::string> env;
    const auto get = [&env](const char* name) { return env.count(name) != 0 ? env[name] : std::string(); };
    char program[] = "quarnel";
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    char* bare[] = {program};
    char* withPlatform[] = {program, platform, offscreen};
    EXPECT_FALSE(app::DisplayNamed(get, 1, bare));
    EXPECT_TRUE(app::DisplayNamed(get, 3, withPlatform));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env = {{name, "x"}};
        EXPECT_TRUE(app::DisplayNamed(get, 1, bare)) << name;
    }
}
