#include "transcode/TranscodeCommand.h"

#include "settings/TextUtil.h"
#include "transcode/Encoder.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cmath>
#include <regex>

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

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    std::size_t pos = 0;
    while ((pos = text.find(placeholder, pos)) != std::string::npos) {
        text.replace(pos, placeholder.size(), value);
        pos += value.size();
    }
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

std::string FillPlaceholders(std::string text, const PlaceholderValues& values) {
    ReplaceAll(text, "<%AppPath%>", values.appPath);
    ReplaceAll(text, "<%InputFile%>", values.inputFile);
    ReplaceAll(text, "<%OutputFile%>", values.outputFile);
    ReplaceAll(text, "<%TemporaryFile%>", values.temporaryFile);
    ReplaceAll(text, "<%Title%>", values.title);
    ReplaceAll(text, "<%TimeStamp%>", values.timeStamp);
    ReplaceAll(text, "<%RandomNumber5%>", values.randomNumber5);
    return text;
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

    PlaceholderValues values;
    values.appPath = env.appPath.empty() ? env.fs.ProgramFolder() : env.appPath;
    values.inputFile = inputPath;
    values.outputFile = outputBase;
    values.temporaryFile = outputFolder + ".tmp";
    values.timeStamp = CurrentTimeStampText();
    values.randomNumber5 = std::to_string(static_cast<long>(std::floor(env.random.Next() * 100000.0)));
    const std::string commandLine = FillPlaceholders(commandTemplate, values);

    const int result = RunEncoder(commandLine, outputFolder, env.host, env.encoderStopRequested);
    outputExtension = extension;
    if (chosenOutputBase != nullptr) {
        *chosenOutputBase = outputBase;
    }
    return result;
}

} // namespace transcode
