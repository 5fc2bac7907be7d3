#include "office/binary/LibreOfficeConverter.h"

#include "automation/AutomationError.h"
#include "platform/ChildProcess.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace office::binary {
namespace {

namespace fs = std::filesystem;
using automation::AutomationError;

constexpr const char* kMissing = "LibreOffice (soffice) が見つかりません。PowerPoint "
                                 "97-2003形式のファイルを開くにはLibreOfficeが必要です。";
constexpr const char* kTimedOutPrefix = "LibreOfficeでの変換が";
constexpr const char* kTimedOutSuffix = "秒以内に終わりませんでした。";
constexpr const char* kStopped = "LibreOfficeでの変換を中断しました。";
constexpr const char* kCrashed = "LibreOfficeが変換中に異常終了しました。";
constexpr const char* kNotLoaded = "ファイルが壊れているか、LibreOfficeで読み込めない形式です。";
constexpr const char* kNoWorkFolder = "変換用の一時フォルダを作れませんでした。";

// Macros never run, links to other files and sites are not followed, and whatever still asks
// for the network goes to a proxy on the discard port, which refuses at once.
constexpr const char* kProfileSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Impress/Filter/Import/VBA"><prop oor:name="Load" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetProxyType" oor:op="fuse"><value>2</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPProxyName" oor:op="fuse"><value>127.0.0.1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPProxyPort" oor:op="fuse"><value>9</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPSProxyName" oor:op="fuse"><value>127.0.0.1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPSProxyPort" oor:op="fuse"><value>9</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetFTPProxyName" oor:op="fuse"><value>127.0.0.1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetFTPProxyPort" oor:op="fuse"><value>9</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetNoProxy" oor:op="fuse"><value></value></prop></item>
</oor:items>
)";

fs::path TempRoot(const ConverterSettings& settings) {
    if (!settings.tempFolder.empty())
        return platform::PathFromUtf8(settings.tempFolder);
    return platform::WorkFolderRoot();
}

// The private folder of one run; removed with everything in it when the run ends in any way.
class WorkFolder {
public:
    WorkFolder(const fs::path& root, const std::string& member) {
        path_ = platform::CreateWorkFolder(root, kConvertFolderPrefix);
        if (path_.empty())
            throw AutomationError(member, "cannot create a work folder under " + platform::PathToUtf8(root),
                                  kNoWorkFolder);
    }
    ~WorkFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void WriteText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + platform::PathToUtf8(file));
}

std::vector<std::uint8_t> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The converter's last line of output, as the technical detail of a failure.
std::string LastLine(const fs::path& log) {
    std::ifstream in(log);
    std::string line;
    std::string last;
    while (std::getline(in, line))
        if (line.find_first_not_of(" \t\r") != std::string::npos && line.find("javaldx") == std::string::npos)
            last = line;
    if (last.size() > 200)
        last.resize(200);
    return last;
}

// file:///tmp/x on POSIX, file:///C:/Users/x on Windows.
std::string FileUrl(const fs::path& path) {
    std::string text = platform::PathToUtf8(path);
    for (char& c : text)
        if (c == fs::path::preferred_separator)
            c = '/';
    const bool drive = text.empty() || text.front() != '/';
    if (drive)
        text.insert(0, "/");
    std::string url = "file://";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' ||
            (drive && i == 2 && c == ':'))
            url += static_cast<char>(c);
        else {
            static const char* hex = "0123456789ABCDEF";
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

} // namespace

std::vector<std::uint8_t> ConvertWithLibreOffice(const std::string& inputPath,
                                                 const std::string& targetExtension,
                                                 const ConverterSettings& settings, const StopCheck& stop,
                                                 const std::string& member) {
    std::string program = platform::FindProgram(settings.program);
    if (program.empty() && settings.program == ConverterSettings{}.program)
        program = platform::FindInstalledLibreOffice();
    if (program.empty())
        throw AutomationError(member, settings.program + " not found", kMissing);

    const fs::path root = TempRoot(settings);
    // Folders a killed earlier run of this program left behind.
    platform::RemoveStaleWorkFolders(root, kConvertFolderPrefix);
    WorkFolder work(root, member);
    const fs::path input = work.path() / "in" / "deck.ppt";
    const fs::path outFolder = work.path() / "out";
    const fs::path log = work.path() / "converter.log";
    try {
        WriteText(work.path() / "profile" / "user" / "registrymodifications.xcu", kProfileSettings);
        fs::create_directories(outFolder);
        fs::create_directories(work.path() / "tmp");
        fs::create_directories(input.parent_path());
        // A copy under a plain name: LibreOffice never sees the user's file or its odd characters.
        fs::copy_file(platform::PathFromUtf8(inputPath), input);
    } catch (const std::exception& error) {
        throw AutomationError(member, error.what(), kNoWorkFolder);
    }

    platform::ChildCommand command;
    command.arguments = {program,
                         "-env:UserInstallation=" + FileUrl(work.path() / "profile"),
                         "--headless",
                         "--invisible",
                         "--nologo",
                         "--nodefault",
                         "--norestore",
                         "--nolockcheck",
                         "--convert-to",
                         targetExtension,
                         "--outdir",
                         platform::PathToUtf8(outFolder),
                         platform::PathToUtf8(input)};
    const std::string deadProxy = "http://127.0.0.1:9";
    // TMPDIR on POSIX; Windows programs look at TMP and TEMP.
    const std::string tempFolder = platform::PathToUtf8(work.path() / "tmp");
    command.environment = {{"TMPDIR", tempFolder},    {"TMP", tempFolder},        {"TEMP", tempFolder},
                           {"http_proxy", deadProxy}, {"https_proxy", deadProxy}, {"ftp_proxy", deadProxy},
                           {"no_proxy", ""}};
    command.workingFolder = platform::PathToUtf8(work.path());
    command.outputFile = platform::PathToUtf8(log);
    command.timeLimit = settings.timeLimit;
    command.stopRequested = stop;
    const platform::ChildResult run = platform::RunChild(command);

    switch (run.end) {
    case platform::ChildEnd::NotStarted:
        throw AutomationError(member, "cannot start " + program, kMissing);
    case platform::ChildEnd::TimedOut:
        throw AutomationError(
            member, "conversion timed out after " + std::to_string(settings.timeLimit.count()) + " s",
            kTimedOutPrefix + std::to_string(settings.timeLimit.count()) + kTimedOutSuffix);
    case platform::ChildEnd::Stopped:
        throw AutomationError(member, "conversion stopped", kStopped);
    case platform::ChildEnd::Crashed:
        throw AutomationError(member, "the converter ended abnormally", kCrashed);
    case platform::ChildEnd::Exited:
        break;
    }
    const fs::path result = outFolder / ("deck." + targetExtension);
    std::error_code ec;
    if (!fs::is_regular_file(result, ec) || fs::file_size(result, ec) == 0) {
        std::string detail = LastLine(log);
        if (detail.empty())
            detail = "no output (exit code " + std::to_string(run.exitCode) + ")";
        throw AutomationError(member, "LibreOffice: " + detail, kNotLoaded);
    }
    return ReadBytes(result);
}

} // namespace office::binary
