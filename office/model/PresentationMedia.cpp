#include "office/media/MediaParts.h"
#include "office/model/ModelImpl.h"
#include "platform/PathText.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace office::model {

std::vector<automation::EmbeddedMediaPart> PresentationImpl::TranscodableMedia() {
    return office::media::FindTranscodableMedia(Pkg("Presentation.TranscodableMedia"));
}

void PresentationImpl::ExportMedia(const std::string& partName, const std::string& path) {
    const package::Bytes bytes = Pkg("Presentation.ExportMedia").PartBytes(partName);
    std::ofstream out(platform::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw automation::AutomationError("Presentation.ExportMedia", "cannot write " + path);
    }
}

std::string PresentationImpl::ReplaceMedia(const std::string& partName, const std::string& path) {
    auto& pkg = Pkg("Presentation.ReplaceMedia");
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) {
        throw automation::AutomationError("Presentation.ReplaceMedia", "cannot read " + path);
    }
    package::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string extension = platform::PathToUtf8(platform::PathFromUtf8(path).extension());
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    std::string newName = office::media::ReplaceMediaPart(pkg, partName, std::move(bytes), extension);
    MarkModified();
    return newName;
}

} // namespace office::model
