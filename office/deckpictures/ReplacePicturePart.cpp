#include "office/deckpictures/ReplacePicturePart.h"

#include <cstring>

namespace office::deckpictures {

namespace {

const char* Extension(imaging::PictureKind kind) {
    switch (kind) {
    case imaging::PictureKind::Jpeg:
        return "jpeg";
    case imaging::PictureKind::Png:
        return "png";
    case imaging::PictureKind::Gif:
        return "gif";
    default:
        return "";
    }
}

const char* ContentTypeOf(imaging::PictureKind kind) {
    switch (kind) {
    case imaging::PictureKind::Jpeg:
        return "image/jpeg";
    case imaging::PictureKind::Png:
        return "image/png";
    default:
        return "image/gif";
    }
}

} // namespace

std::string ReplacePicturePart(package::Package& pkg, const std::string& part, imaging::PictureKind newKind,
                               package::Bytes bytes) {
    const std::string extension = package::PartExtension(part);
    const bool sameEncoding =
        imaging::KindOf(extension) == newKind && imaging::KindOf(pkg.ContentType(part)) == newKind;
    if (sameEncoding) {
        pkg.SetPartBytes(part, std::move(bytes));
        return part;
    }
    // image7.png -> image7.jpeg when that name is free, else the next free number.
    const auto dot = part.rfind('.');
    const auto slash = part.rfind('/');
    const std::string stem = dot != std::string::npos && dot > slash ? part.substr(0, dot) : part;
    std::string newName = stem + "." + Extension(newKind);
    if (pkg.HasPart(newName)) {
        std::string prefix = stem;
        while (!prefix.empty() && prefix.back() >= '0' && prefix.back() <= '9')
            prefix.pop_back();
        newName = pkg.NextFreePartName(prefix, std::string(".") + Extension(newKind));
    }
    const auto referrers = pkg.RelationshipsTo(part);
    pkg.AddPart(newName, ContentTypeOf(newKind), std::move(bytes));
    for (const auto& [source, rel] : referrers)
        pkg.SetRelationshipTarget(source, rel.id, newName);
    pkg.RemovePart(part);
    return newName;
}

void RemoveCrop(package::Package& pkg, const std::string& sourcePart, const std::string& relId) {
    pugi::xml_document& doc = pkg.XmlForEdit(sourcePart);
    for (const pugi::xpath_node& hit : doc.select_nodes("//*[local-name()='blip']")) {
        pugi::xml_node blip = hit.node();
        if (std::strcmp(blip.attribute("r:embed").value(), relId.c_str()) != 0)
            continue;
        blip.parent().remove_child("a:srcRect");
    }
}

} // namespace office::deckpictures
