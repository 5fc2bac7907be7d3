#include "office/package/StoredComposition.h"

#include "office/package/ArchiveReader.h"

#include <algorithm>
#include <cctype>

namespace office::package {

namespace {

std::string LowerExtension(const std::string& name) {
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

bool Among(const std::string& ext, std::initializer_list<const char*> list) {
    return std::any_of(list.begin(), list.end(), [&](const char* e) { return ext == e; });
}

} // namespace

StoredKind StoredKindOf(const std::string& entryName) {
    const std::string ext = LowerExtension(entryName);
    if (ext == "xml" || ext == "rels" || ext == "vml")
        return StoredKind::Xml;
    if (Among(ext, {"jpeg", "jpg", "jpe", "png", "gif", "bmp", "dib", "tif", "tiff", "emf", "wmf", "svg",
                    "webp", "wdp", "jxr", "emz", "wmz", "pict", "pct"}))
        return StoredKind::Pictures;
    if (Among(ext, {"mp4", "m4v", "mov", "avi", "wmv",  "asf", "mpg",  "mpeg", "mkv",  "webm", "mp3", "m4a",
                    "wav", "wma", "aac", "aif", "aiff", "mid", "midi", "ogg",  "flac", "3gp",  "swf"}))
        return StoredKind::Media;
    if (Among(ext, {"fntdata", "odttf", "ttf", "otf", "eot"}) ||
        entryName.find("/fonts/") != std::string::npos)
        return StoredKind::Fonts;
    if (entryName.find("embeddings/") != std::string::npos)
        return StoredKind::Objects;
    return StoredKind::Other;
}

StoredComposition ReadStoredComposition(const std::string& path) {
    const detail::ArchiveReader reader(path, "StoredComposition", OpenLimits{});
    StoredComposition c;
    std::uint64_t entries = 0;
    for (const auto& entry : reader.Entries()) {
        entries += entry.compSize;
        c.entries["/" + entry.name] = entry.compSize;
        switch (StoredKindOf(entry.name)) {
        case StoredKind::Pictures:
            c.pictures += entry.compSize;
            break;
        case StoredKind::Media:
            c.media += entry.compSize;
            break;
        case StoredKind::Fonts:
            c.fonts += entry.compSize;
            break;
        case StoredKind::Objects:
            c.objects += entry.compSize;
            break;
        case StoredKind::Xml:
            c.xml += entry.compSize;
            break;
        case StoredKind::Other:
            c.other += entry.compSize;
            break;
        }
    }
    const std::uint64_t size = reader.ArchiveSize();
    c.other += size > entries ? size - entries : 0;
    return c;
}

} // namespace office::package
