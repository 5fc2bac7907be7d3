#include "batch/OutputNames.h"

#include "automation/Constants.h"
#include "batch/InputList.h"
#include "engine/SizeText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>
#include <utility>

namespace batch {

std::string NormalizeFolderPath(std::string& path) {
    path = platform::FolderWithSeparator(std::move(path));
    return path;
}

namespace {

std::string OutputFolder(int option, const std::string& inputFolder, const std::string& chosenFolder) {
    std::string folder = option == 0 ? inputFolder : chosenFolder;
    return NormalizeFolderPath(folder);
}

void MinimiseOfficeWindows(engine::EngineContext& ctx) {
    try {
        if (ctx.state.appPPT && ctx.state.appPPT->WindowState() != automation::ppWindowMinimized) {
            ctx.state.appPPT->SetWindowState(automation::ppWindowMinimized);
        }
    } catch (const std::exception&) {
    }
    if (ctx.state.gOfficeXPMode) {
        return;
    }
    try {
        if (ctx.state.appEXCEL && ctx.state.appEXCEL->WindowState() != automation::xlMinimized) {
            ctx.state.appEXCEL->SetWindowState(automation::xlMinimized);
        }
    } catch (const std::exception&) {
    }
}

// The shared loop of both resolvers: the path to use without extension, or empty text to skip.
std::string ResolveBase(engine::EngineContext& ctx, const std::string& path, const std::string& extension,
                        const char* question) {
    const std::string candidate = path + "." + extension;
    if (ctx.settings.SameFilename != 0 || !platform::gFSO.FileExists(candidate)) {
        return path;
    }
    MinimiseOfficeWindows(ctx);
    for (;;) {
        const auto answer =
            ctx.host.MessageBox(std::string(kSameNameExists) + candidate + "\r\n\r\n" + question,
                                engine::MessageIcon::Exclamation, engine::MessageButtons::YesNoCancel);
        if (answer == engine::MessageResult::Yes) {
            return path;
        }
        if (answer != engine::MessageResult::No) {
            return std::string();
        }
        const auto typed = ctx.host.InputBox(kNewNamePrompt, "", path + "-");
        if (typed && !typed->empty()) {
            return *typed;
        }
    }
}

} // namespace

std::string MakePresentationOutputBase(const settings::Settings& settings, const std::string& inputFolder,
                                       const std::string& baseName, double size, const std::string& unit) {
    std::string sizeText;
    if (unit == "KB") {
        sizeText = engine::SizeTextKB(size);
    } else if (unit == "MB") {
        sizeText = engine::SizeTextMB(size);
    }
    const std::string folder = OutputFolder(settings.optPPTFolder, inputFolder, settings.PPTFolder);
    if (settings.ShowFileSize == 1) {
        return folder + baseName + kMarkBeforePresentation + sizeText;
    }
    return folder + baseName + kMarkCompressed;
}

std::string MakeMovieOutputBase(const settings::Settings& settings, const std::string& inputFolder,
                                const std::string& baseName, double size) {
    const std::string folder = OutputFolder(settings.optMovieFolder, inputFolder, settings.MovieFolder);
    if (settings.ShowFileSize == 1) {
        return folder + baseName + kMarkBeforeMovieOpen + engine::SizeTextMB(size) + kMarkBeforeMovieClose;
    }
    return folder + baseName + kMarkCompressed;
}

std::vector<std::string> OutputFolders(const settings::Settings& settings,
                                       const std::vector<std::string>& entries) {
    std::vector<std::string> folders;
    for (const auto& entry : entries) {
        const std::string inputFolder = platform::gFSO.GetParentFolderName(entry);
        const std::string folder =
            IsPresentationExtension(LowerExtension(entry))
                ? OutputFolder(settings.optPPTFolder, inputFolder, settings.PPTFolder)
                : OutputFolder(settings.optMovieFolder, inputFolder, settings.MovieFolder);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

std::string ResolvePresentationName(engine::EngineContext& ctx, const std::string& path,
                                    const std::string& extension) {
    const std::string base = ResolveBase(ctx, path, extension, kSameNameQuestionPresentation);
    return base.empty() ? base : base + "." + extension;
}

std::string ResolveMovieName(engine::EngineContext& ctx, const std::string& path,
                             const std::string& extension) {
    return ResolveBase(ctx, path, extension, kSameNameQuestionMovie);
}

bool IsMovieExtension(const std::vector<std::string>& movieExtensions, const std::string& extension) {
    if (movieExtensions.empty()) {
        throw std::logic_error("no movie extensions are known");
    }
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(movieExtensions.begin(), movieExtensions.end(), lower) != movieExtensions.end();
}

} // namespace batch
