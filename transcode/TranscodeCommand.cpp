#include "transcode/TranscodeCommand.h"

#include "platform/PathText.h"
#include "platform/StagingFiles.h"
#include "settings/TextUtil.h"
#include "transcode/Encoder.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string_view>
#include <utility>

namespace transcode {

namespace {

std::size_t CharacterCount(const std::string& utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

// A path that starts with "-" would be read as an option.
std::string PathArgument(const std::string& path) {
    return !path.empty() && path.front() == '-' ? "./" + path : path;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(platform::PathFromUtf8(path), ec);
    return ec || path.empty() ? path : platform::PathToUtf8(absolute.lexically_normal());
}

} // namespace

double RandomSequence::Next() {
    state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFFu;
    return static_cast<double>(state_) / 16777216.0;
}

std::string OutputExtensionOf(const std::string& commandTemplate) {
    static const std::regex extension(R"(\.(.*?)\"$)", std::regex::ECMAScript | std::regex::icase);
    std::smatch match;
    if (!std::regex_search(commandTemplate, match, extension)) {
        return std::string();
    }
    std::string ext = settings::TrimBlanks(match[1].str());
    if (CharacterCount(ext) > 4) {
        ext.clear();
    }
    return ext;
}

std::string FillPlaceholders(const std::string& text, const PlaceholderValues& values) {
    const std::pair<const char*, const std::string*> table[] = {
        {"<%AppPath%>", &values.appPath},
        {"<%InputFile%>", &values.inputFile},
        {"<%OutputFile%>", &values.outputFile},
        {"<%TemporaryFile%>", &values.temporaryFile},
        {"<%Title%>", &values.title},
        {"<%TimeStamp%>", &values.timeStamp},
        {"<%RandomNumber5%>", &values.randomNumber5},
    };
    std::string filled;
    std::size_t pos = 0;
    while (pos < text.size()) {
        bool replaced = false;
        if (text.compare(pos, 2, "<%") == 0) {
            for (const auto& [placeholder, value] : table) {
                const std::string_view name(placeholder);
                if (text.compare(pos, name.size(), name) == 0) {
                    filled += *value;
                    pos += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            filled += text[pos++];
        }
    }
    return filled;
}

std::vector<std::string> FillArguments(const std::string& commandTemplate, const PlaceholderValues& values) {
    PlaceholderValues safe = values;
    safe.appPath = PathArgument(values.appPath);
    safe.inputFile = PathArgument(values.inputFile);
    safe.outputFile = PathArgument(values.outputFile);
    safe.temporaryFile = PathArgument(values.temporaryFile);
    std::vector<std::string> arguments = SplitCommandLine(commandTemplate);
    for (std::string& argument : arguments) {
        argument = FillPlaceholders(argument, safe);
    }
    return arguments;
}

std::string StagingBaseFor(const std::string& outputBase) {
    // Numbered within the process, so that two encodes towards one name never share a file.
    static std::atomic<unsigned> encodes{0};
    const std::filesystem::path base = platform::PathFromUtf8(outputBase);
    return platform::PathToUtf8(base.parent_path() / platform::PathFromUtf8(platform::MakeStagingName(
                                                         platform::kStagingEncode, std::to_string(++encodes),
                                                         platform::PathToUtf8(base.filename()))));
}

std::string CurrentTimeStampText() {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    // The long time form of some locales names the time zone; a time stamp wants the clock time only.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    const QString text = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                         locale.toString(now.time(), timeFormat.trimmed());
    return text.trimmed().toStdString();
}

void CreateFolderTree(const std::string& folder, const platform::FileSystem& fs) {
    const std::string parent = fs.GetParentFolderName(folder);
    if (settings::TrimBlanks(parent).empty()) {
        if (!fs.FolderExists(folder)) {
            fs.CreateFolder(folder);
        }
        return;
    }
    if (parent != folder && !fs.FolderExists(parent)) {
        CreateFolderTree(parent, fs);
    }
    fs.CreateFolder(folder);
}

int RunTranscodeCommand(TranscodeEnvironment& env, const std::string& commandTemplate,
                        const std::string& inputPath, std::string outputBase, std::string& outputExtension,
                        std::string* chosenOutputBase) {
    const std::string extension = OutputExtensionOf(commandTemplate);
    outputBase = env.resolveMovieName ? env.resolveMovieName(outputBase, extension) : outputBase;
    if (outputBase.empty()) {
        return 2;
    }
    const std::string outputFile = outputBase + "." + extension;
    const std::string outputFolder = env.fs.GetParentFolderName(outputFile);
    CreateFolderTree(outputFolder, env.fs);
    // The encoder runs in the output folder, so a relative input would be looked for in the wrong place.
    const std::string stagingBase = StagingBaseFor(AbsolutePath(outputBase));
    const std::string stagingFile = stagingBase + "." + extension;

    PlaceholderValues values;
    values.appPath = env.appPath.empty() ? env.fs.ProgramFolder() : env.appPath;
    values.inputFile = AbsolutePath(inputPath);
    values.outputFile = stagingBase;
    values.temporaryFile = outputFolder + ".tmp";
    values.timeStamp = CurrentTimeStampText();
    values.randomNumber5 = std::to_string(static_cast<long>(std::floor(env.random.Next() * 100000.0)));
    const std::vector<std::string> arguments = FillArguments(commandTemplate, values);

    int result = RunEncoder(arguments, EncoderDisplayName(commandTemplate), outputFolder, env.host,
                            env.encoderStopRequested);
    std::error_code ec;
    if (result == 0 && std::filesystem::exists(platform::PathFromUtf8(stagingFile), ec)) {
        std::filesystem::rename(platform::PathFromUtf8(stagingFile), platform::PathFromUtf8(outputFile), ec);
        if (ec) {
            result = -1;
        }
    }
    std::filesystem::remove(platform::PathFromUtf8(stagingFile), ec);
    outputExtension = extension;
    if (chosenOutputBase != nullptr) {
        *chosenOutputBase = outputBase;
    }
    return result;
}

} // namespace transcode
