#include "transcode/Encoder.h"

#include "engine/Host.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <regex>
#include <thread>

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

    platform::ChildCommand command;
    command.arguments = args;
    command.workingFolder = workingFolder;
    // Nothing reads the encoder's chatter; it goes nowhere. Its own process group (a job on Windows),
    // so that Stop also ends whatever the encoder started itself; should this process be killed,
    // the encoder goes with it instead of writing on into a file nobody renames.
    platform::RunningChild child(command);
    if (!child.Started()) {
        return -1;
    }

    for (int seconds = 1;; ++seconds) {
        host.DoEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (stopRequested) {
            stopRequested = false;
            child.Stop();
            return -1;
        }
        host.SetStatus(EncoderStatusText(displayName, seconds));
        if (child.WaitFor(std::chrono::seconds(1))) {
            break;
        }
    }
    const platform::ChildResult result = child.Result();
    return result.end == platform::ChildEnd::Exited ? result.exitCode : -1;
}

} // namespace transcode
