// Finding a picture part that already holds given bytes, so that a package stores each picture once.

#include "automation/AutomationError.h"
#include "office/package/PackageImpl.h"
#include "office/package/PartNameKeys.h"

#include <cstring>

namespace office::package {

namespace {

const std::string kMember = "Package";

bool IsPictureType(const std::string& lowerType) {
    return lowerType.rfind("image/", 0) == 0;
}

} // namespace

std::optional<std::string> Package::FindIdenticalPicture(std::string_view contentType,
                                                         std::span<const std::uint8_t> bytes) const {
    const std::string wanted = detail::AsciiLower(contentType);
    if (!IsPictureType(wanted))
        return std::nullopt;
    for (const auto& [key, part] : impl_->parts) {
        // Only the slides' own media: the package thumbnail and the like are rewritten by others.
        if (key.rfind("/ppt/", 0) != 0 || part.xmlDirty || part.xml)
            continue;
        const std::uint64_t size = part.bytes ? part.bytes->size() : part.entry ? part.entry->size : 0;
        if (size != bytes.size() || detail::AsciiLower(impl_->ContentTypeOf(part)) != wanted)
            continue;
        try {
            if (const RelsState* rels = impl_->LoadRels(part.name, kMember); rels && !rels->rels.empty())
                continue;
            const Bytes current = part.bytes ? Bytes{} : impl_->CurrentBytes(part, kMember);
            const Bytes& have = part.bytes ? *part.bytes : current;
            if (have.size() == bytes.size() &&
                (bytes.empty() || std::memcmp(have.data(), bytes.data(), bytes.size()) == 0))
                return part.name;
        } catch (const automation::AutomationError&) {
            // A damaged candidate is simply not the same picture.
        }
    }
    return std::nullopt;
}

std::string Package::AddPictureOnce(std::string_view prefix, std::string_view extension,
                                    const std::string& contentType, Bytes bytes) {
    if (auto same = FindIdenticalPicture(contentType, bytes))
        return *same;
    return AddPartWithUniqueName(prefix, extension, contentType, std::move(bytes));
}

} // namespace office::package
