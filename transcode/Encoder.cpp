#include "transcode/Encoder.h"

#include "engine/Host.h"
#include "platform/FileSystem.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <regex>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace transcode {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false;
    bool started = false; // "" is an argument of its own
    for (const char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
            started = true;
        } else if (!inQuotes && (c == ' ' || c == '\t')) {
            if (started) {
                args.push_back(current);
                current.clear();
                started = false;
            }
        } else {
            current += c;
            started = true;
        }
    }
    if (started) {
        args.push_back(current);
    }
    return args;
}

std::string EncoderDisplayName(const std::string& commandLine) {
    static const std::regex leadingQuoted(R"(^\"(.*?)\")", std::regex::ECMAScript | std::regex::icase);
    std::smatch match;
    if (!std::regex_search(commandLine, match, leadingQuoted)) {
        return std::string();
    }
    return platform::gFSO.GetBaseName(match[1].str());
}

std::string EncoderStatusText(const std::string& displayName, int seconds) {
    if (displayName.find("ffmpeg") != std::string::npos) {
        return "動画圧縮中..." + std::to_string(seconds) + "秒経過";
    }
    return displayName + " 処理中..." + std::to_string(seconds) + "秒経過";
}

int RunEncoder(const std::string& commandLine, const std::string& workingFolder, engine::Host& host,
               bool& stopRequested) {
    return RunEncoder(SplitCommandLine(commandLine), EncoderDisplayName(commandLine), workingFolder, host,
                      stopRequested);
}

int RunEncoder(const std::vector<std::string>& args, const std::string& displayName,
               const std::string& workingFolder, engine::Host& host, bool& stopRequested) {
    if (args.empty() || args.front().empty()) {
        return -1;
    }

    QProcess process;
    process.setProgram(QString::fromStdString(args.front()));
    QStringList arguments;
    for (std::size_t i = 1; i < args.size(); ++i) {
        arguments << QString::fromStdString(args[i]);
    }
    process.setArguments(arguments);
    process.setWorkingDirectory(QString::fromStdString(workingFolder));
    // Nothing reads the encoder's chatter; left in pipes it would grow without bound or block it.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so that Stop also ends whatever the encoder started itself. Should this
    // process be killed, the encoder goes with it instead of writing on into a file nobody renames.
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
    process.start();
    if (!process.waitForStarted(-1)) {
        return -1;
    }

    for (int seconds = 1;; ++seconds) {
        host.DoEvents();
        QThread::msleep(1);
        if (stopRequested) {
            stopRequested = false;
            const auto pid = static_cast<pid_t>(process.processId());
            if (pid > 0) {
                ::kill(-pid, SIGKILL);
            }
            process.kill();
            process.waitForFinished(-1);
            return -1;
        }
        host.SetStatus(EncoderStatusText(displayName, seconds));
        if (process.waitForFinished(1000) || process.state() == QProcess::NotRunning) {
            break;
        }
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return process.exitCode();
}

} // namespace transcode
