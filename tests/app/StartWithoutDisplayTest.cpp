// The window program started where there is no display: one explaining line and exit status 1,
// never Qt's abort.

#include "app/DisplayCheck.h"
#include "app/SystemDisplay.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>

#ifdef _WIN32
#include <string>
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// A window station of this process's making beside the interactive one, with one desktop: what a
// service or a remote shell runs in. A window opened there is seen by no one.
class StationOfNoOne {
public:
    StationOfNoOne() : name_(L"QuarnelNoDisplay" + std::to_wstring(GetCurrentProcessId())) {
        station_ = CreateWindowStationW(name_.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
        if (station_ == nullptr) {
            return;
        }
        const HWINSTA own = GetProcessWindowStation();
        if (SetProcessWindowStation(station_)) {
            desktop_ = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
            SetProcessWindowStation(own);
        }
    }
    ~StationOfNoOne() {
        if (desktop_ != nullptr) {
            CloseDesktop(desktop_);
        }
        if (station_ != nullptr) {
            CloseWindowStation(station_);
        }
    }
    StationOfNoOne(const StationOfNoOne&) = delete;
    StationOfNoOne& operator=(const StationOfNoOne&) = delete;

    bool Made() const { return desktop_ != nullptr; }
    // The name a new process is started on (STARTUPINFO's lpDesktop).
    std::wstring Desktop() const { return name_ + L"\\Default"; }
    // what(), with this station as the process's own meanwhile.
    template <class What> auto Within(What what) const {
        const HWINSTA own = GetProcessWindowStation();
        SetProcessWindowStation(station_);
        const auto result = what();
        SetProcessWindowStation(own);
        return result;
    }

private:
    std::wstring name_;
    HWINSTA station_ = nullptr;
    HDESK desktop_ = nullptr;
};
#endif

struct Started {
    QProcess::ExitStatus status = QProcess::CrashExit;
    int exitCode = -1;
    QString err;
};

// prepare, when given, adjusts the process before it starts.
Started StartWithout(const std::map<QString, QString>& extra,
                     const std::function<void(QProcess&)>& prepare = {}) {
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
    if (prepare) {
        prepare(process);
    }
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
#ifdef _WIN32
    // A Windows program has no display to name: it has none in a window station that is not the
    // interactive one.
    const StationOfNoOne station;
    ASSERT_TRUE(station.Made()) << GetLastError();
    std::wstring desktop = station.Desktop();
    ExpectOneExplainingLine(StartWithout({}, [&desktop](QProcess& process) {
        process.setCreateProcessArgumentsModifier([&desktop](QProcess::CreateProcessArguments* arguments) {
            arguments->startupInfo->lpDesktop = desktop.data();
        });
    }));
#else
    ExpectOneExplainingLine(StartWithout({}));
#endif
}

TEST(StartWithoutDisplay, AnUnreachableDisplayEndsTheSameWayInsteadOfAborting) {
#ifdef _WIN32
    // There a display is no connection that can fail; what can fail is the window system named, here
    // one that Windows builds do not have.
    ExpectOneExplainingLine(StartWithout({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")}}));
#else
    ExpectOneExplainingLine(StartWithout({{QStringLiteral("DISPLAY"), QStringLiteral(":987")}}));
#endif
}

TEST(StartWithoutDisplay, APlatformOrDisplayCountsAsAWindowSystem) {
    std::map<std::string, std::string> env;
    const auto get = [&env](const char* name) { return env.count(name) != 0 ? env[name] : std::string(); };
    char program[] = "quarnel";
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    char* bare[] = {program};
    char* withPlatform[] = {program, platform, offscreen};
    EXPECT_FALSE(app::DisplayNamed(get, 1, bare, false));
    EXPECT_TRUE(app::DisplayNamed(get, 1, bare, true));
    EXPECT_TRUE(app::DisplayNamed(get, 3, withPlatform, false));
    env = {{"QT_QPA_PLATFORM", "x"}};
    EXPECT_TRUE(app::DisplayNamed(get, 1, bare, false));
#ifdef _WIN32
    const StationOfNoOne station;
    ASSERT_TRUE(station.Made()) << GetLastError();
    // Named or not, these variables mean nothing there.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        env = {{name, "x"}};
        EXPECT_FALSE(station.Within([&] { return app::SystemDisplay(get); })) << name;
    }
#else
    env.clear();
    EXPECT_FALSE(app::SystemDisplay(get));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        env = {{name, "x"}};
        EXPECT_TRUE(app::SystemDisplay(get)) << name;
    }
#endif
}
