#include "office/media/MediaParts.h"

#include "office/package/OpcTypes.h"

#include <algorithm>
#include <exception>
#include <map>
#include <set>
#include <string_view>

namespace office::media {
namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Transitional and strict spellings alike.
bool IsVideoType(std::string_view type) {
    return EndsWith(type, "/relationships/video");
}
bool IsMediaType(std::string_view type) {
    return IsVideoType(type) || EndsWith(type, "/relationships/audio") || type == package::reltype::kMedia;
}

std::string_view LocalName(std::string_view qualified) {
    const auto colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// Relationship id -> local names of the elements whose relationship attributes hold it.
using IdUses = std::map<std::string, std::set<std::string>>;

void CollectUses(const pugi::xml_node& node, IdUses& uses) {
    for (const pugi::xml_attribute attr : node.attributes()) {
        const std::string_view name = attr.name();
        if (name.find(':') == std::string_view::npos || *attr.value() == '\0' ||
            name.substr(0, 6) == "xmlns:") {
            continue;
        }
        uses[attr.value()].insert(std::string(LocalName(node.name())));
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            CollectUses(child, uses);
        }
    }
}

IdUses UsesOf(const pugi::xml_document& xml) {
    IdUses uses;
    CollectUses(xml.document_element(), uses);
    return uses;
}

bool OnlyMediaElements(const std::set<std::string>& elements) {
    static const std::set<std::string> allowed{"videoFile", "audioFile", "media"};
    return std::all_of(elements.begin(), elements.end(),
                       [](const std::string& e) { return allowed.count(e) != 0; });
}

} // namespace

std::vector<automation::EmbeddedMediaPart> FindTranscodableMedia(const package::Package& pkg) {
    std::vector<std::string> candidates;
    for (const std::string& source : pkg.LiveParts()) {
        try {
            for (const auto& rel : pkg.Relationships(source)) {
                if (!rel.external && IsMediaType(rel.type) && pkg.HasPart(rel.targetPart) &&
                    std::find(candidates.begin(), candidates.end(), rel.targetPart) == candidates.end()) {
                    candidates.push_back(rel.targetPart);
                }
            }
        } catch (const std::exception&) {
            // A part whose relationships cannot be read offers no media.
        }
    }

    std::map<std::string, IdUses> usesBySource;
    std::vector<automation::EmbeddedMediaPart> found;
    for (const std::string& target : candidates) {
        automation::EmbeddedMediaPart part;
        part.partName = pkg.CanonicalName(target).value_or(target);
        part.extension = package::PartExtension(part.partName);
        bool usable = !part.extension.empty();
        try {
            for (const auto& [source, rel] : pkg.RelationshipsTo(target)) {
                if (!IsMediaType(rel.type)) {
                    usable = false;
                    break;
                }
                part.video = part.video || IsVideoType(rel.type);
                auto cached = usesBySource.find(source);
                if (cached == usesBySource.end()) {
                    cached = usesBySource.emplace(source, UsesOf(pkg.XmlForRead(source))).first;
                }
                const auto uses = cached->second.find(rel.id);
                if (uses != cached->second.end() && !OnlyMediaElements(uses->second)) {
                    usable = false;
                    break;
                }
            }
            part.size = pkg.PartSize(target);
        } catch (const std::exception&) {
            usable = false;
        }
        if (usable) {
            found.push_back(part);
        }
    }
    return found;
}

std::string MediaContentType(const std::string& extension) {
    static const std::map<std::string, std::string> types{
        {"mp4", "video/mp4"},       {"m4v", "video/mp4"},        {"m4a", "audio/mp4"},
        {"mov", "video/quicktime"}, {"avi", "video/x-msvideo"},  {"wmv", "video/x-ms-wmv"},
        {"asf", "video/x-ms-asf"},  {"mpg", "video/mpeg"},       {"mpeg", "video/mpeg"},
        {"webm", "video/webm"},     {"mkv", "video/x-matroska"}, {"mp3", "audio/mpeg"},
        {"wav", "audio/wav"},       {"wma", "audio/x-ms-wma"},
    };
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto found = types.find(lower);
    return found == types.end() ? package::contenttype::kOctetStream : found->second;
}

std::string ReplaceMediaPart(package::Package& pkg, const std::string& partName, package::Bytes bytes,
                             const std::string& newExtension) {
    const std::string oldExtension = package::PartExtension(partName);
    std::string lowerNew = newExtension;
    std::transform(lowerNew.begin(), lowerNew.end(), lowerNew.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lowerNew == oldExtension) {
        pkg.SetPartBytes(partName, std::move(bytes));
        return partName;
    }
    // "/ppt/media/media12.mkv" -> prefix "/ppt/media/media".
    std::string prefix = partName.substr(0, partName.size() - oldExtension.size() - 1);
    while (!prefix.empty() && prefix.back() >= '0' && prefix.back() <= '9') {
        prefix.pop_back();
    }
    const std::string newName =
        pkg.AddPartWithUniqueName(prefix, "." + lowerNew, MediaContentType(lowerNew), std::move(bytes));
    for (const auto& [source, rel] : pkg.RelationshipsTo(partName)) {
        pkg.SetRelationshipTarget(source, rel.id, newName);
    }
    pkg.RemovePart(partName);
    return newName;
}

} // namespace office::media
