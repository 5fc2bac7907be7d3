#include "engine/CompressMedia.h"

#include "automation/EmbeddedMedia.h"
#include "engine/SizeText.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>

namespace engine {
namespace {

std::string FileNameOf(const std::string& partName) {
    const auto slash = partName.rfind('/');
    return slash == std::string::npos ? partName : partName.substr(slash + 1);
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string ExtensionOf(const std::string& path) {
    std::string ext = platform::PathToUtf8(platform::PathFromUtf8(path).extension());
    return ext.empty() ? ext : ext.substr(1);
}

constexpr const char* kScratchPrefix = "quarnel-media-";

// A private folder under the temporary folder, removed with everything in it when the scope ends.
// It holds whole copies of the deck's movies: the folders a killed run left go with the next one.
class ScratchFolder {
public:
    ScratchFolder() {
        std::error_code ec;
        const auto temp = std::filesystem::temp_directory_path(ec);
        if (ec) {
            return;
        }
        platform::RemoveStaleWorkFolders(temp, kScratchPrefix);
        path_ = platform::PathToUtf8(platform::CreateWorkFolder(temp, kScratchPrefix));
    }
    ~ScratchFolder() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(platform::PathFromUtf8(path_), ec);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

double SizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(platform::PathFromUtf8(path), ec);
    return ec ? 0.0 : static_cast<double>(size);
}

} // namespace

std::string MediaLogLine(const MediaPartReport& r, bool video) {
    const std::string what = FileNameOf(r.part) + (video ? " の動画" : " の音声");
    if (r.result == "compressed") {
        return "\t" + what + "を" + Upper(ExtensionOf(r.newPart)) + "に圧縮 (" + SizeTextKB(r.bytesBefore) +
               "→" + SizeTextKB(r.bytesAfter) + ")  ";
    }
    if (r.result == "not-smaller") {
        return "   " + what + "は小さくならないため元のままです (" + SizeTextKB(r.bytesBefore) + "→" +
               SizeTextKB(r.bytesAfter) + ")";
    }
    if (r.result == "stopped") {
        return "   " + what + "の圧縮を中断しました。元のままです。";
    }
    return "   " + what + "の圧縮に失敗しました。元のままです。";
}

void CompressEmbeddedMedia(EngineContext& ctx, MediaPass& pass) {
    EngineState& state = ctx.state;
    auto* media = dynamic_cast<automation::IEmbeddedMedia*>(state.SourcePresentation.get());
    if (media == nullptr) {
        return;
    }
    std::vector<automation::EmbeddedMediaPart> parts;
    try {
        parts = media->TranscodableMedia();
    } catch (const std::exception&) {
        return;
    }
    if (!parts.empty() && (!pass.unavailable.empty() || !pass.encode)) {
        ctx.host.AppendLog("   " + pass.unavailable);
        return;
    }
    for (const auto& part : parts) {
        if (state.StopRequested) {
            break;
        }
        MediaPartReport report;
        report.part = part.partName;
        report.bytesBefore = static_cast<double>(part.size);
        report.result = "failed";
        ScratchFolder scratch;
        try {
            if (scratch.path().empty()) {
                throw std::runtime_error("no temporary folder");
            }
            const std::string input = scratch.path() + "/source." + part.extension;
            media->ExportMedia(part.partName, input);
            std::string written;
            const int code = pass.encode(input, part.video, scratch.path() + "/encoded", written);
            if (state.StopRequested) {
                report.result = "stopped";
            } else if (code == 0 && (report.bytesAfter = SizeOf(written)) > 0) {
                if (report.bytesAfter < report.bytesBefore * pass.keepBelowShare) {
                    report.newPart = media->ReplaceMedia(part.partName, written);
                    report.result = "compressed";
                    state.PresentationChanged = true;
                } else {
                    report.result = "not-smaller";
                }
            }
        } catch (const std::exception&) {
            report.result = "failed";
        }
        ctx.host.AppendLog(MediaLogLine(report, part.video));
        pass.reports.push_back(report);
    }
}

} // namespace engine
