#include "batch/InputList.h"

#include "batch/TranscodingProfiles.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace batch {
namespace {

std::string TrimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

} // namespace

bool IsBlankText(const std::string& text) {
    return TrimBlanks(text).empty();
}

std::vector<std::string> ParseInputList(const std::string& text) {
    std::vector<std::string> entries(1);
    for (const char c : text) {
        std::string& current = entries.back();
        if (current.empty() && (c == '\r' || c == '\n' || c == ' ')) {
            continue;
        }
        if (c == '\r' || c == '\n') {
            current = TrimBlanks(current);
            entries.emplace_back();
            continue;
        }
        current += c;
    }
    if (TrimBlanks(entries.back()).empty()) {
        entries.pop_back();
    }
    return entries;
}

bool IsPresentationExtension(const std::string& extension) {
    for (const char* known : {"ppt", "pptx", "pptm", "pps", "ppsx", "ppsm", "pot", "potx", "potm"}) {
        if (extension == known) {
            return true;
        }
    }
    return false;
}

std::string WrittenExtensionFor(const std::string& extension) {
    const bool binary = extension == "ppt" || extension == "pps" || extension == "pot";
    return binary ? extension + "x" : extension;
}

std::vector<std::string> AbsoluteEntries(std::vector<std::string> entries, const std::string& workingFolder) {
    if (workingFolder.empty()) {
        return entries;
    }
    for (std::string& entry : entries) {
        const std::filesystem::path path = platform::PathFromUtf8(entry);
        if (!entry.empty() && path.is_relative()) {
            entry = platform::PathToUtf8((platform::PathFromUtf8(workingFolder) / path).lexically_normal());
        }
    }
    return entries;
}

std::string WorkingFolder() {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    return ec ? std::string() : platform::PathToUtf8(folder);
}

std::string LowerExtension(const std::string& path) {
    std::string ext = platform::gFSO.GetExtensionName(path);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::optional<std::string> CheckEntries(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        if (platform::gFSO.FolderExists(entry)) {
            return kMsgFolderGiven + entry;
        }
        if (!platform::gFSO.FileExists(entry)) {
            return kMsgMissingInput + entry;
        }
        const std::string ext = LowerExtension(entry);
        if (!IsPresentationExtension(ext) && !IsMediaEntryExtension(ext)) {
            return kMsgNotPresentation + entry;
        }
    }
    return std::nullopt;
}

} // namespace batch
