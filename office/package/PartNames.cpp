#include "office/package/Package.h"
#include "office/package/PartNameKeys.h"

#include <vector>

namespace office::package {

namespace {

std::vector<std::string> SplitSegments(std::string_view path) {
    std::vector<std::string> out;
    std::string current;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    out.push_back(current);
    return out;
}

// Folds "." and ".." and drops empty segments; ".." above the root stays at the root.
std::vector<std::string> Normalise(const std::vector<std::string>& segments) {
    std::vector<std::string> out;
    for (const auto& s : segments) {
        if (s.empty() || s == ".")
            continue;
        if (s == "..") {
            if (!out.empty())
                out.pop_back();
            continue;
        }
        out.push_back(s);
    }
    return out;
}

// Folder segments of a part name ("/ppt/slides/slide1.xml" -> {"ppt", "slides"}; "/" -> {}).
std::vector<std::string> FolderOf(std::string_view partName) {
    auto segs = Normalise(SplitSegments(partName));
    if (partName.empty() || partName.back() == '/')
        return segs;
    if (!segs.empty())
        segs.pop_back();
    return segs;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

namespace detail {

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string PartKey(std::string_view partName) {
    std::string decoded;
    decoded.reserve(partName.size() + 1);
    if (partName.empty() || (partName.front() != '/' && partName.front() != '\\'))
        decoded += '/';
    for (std::size_t i = 0; i < partName.size(); ++i) {
        char c = partName[i];
        if (c == '%' && i + 2 < partName.size()) {
            int hi = HexValue(partName[i + 1]);
            int lo = HexValue(partName[i + 2]);
            if (hi >= 0 && lo >= 0) {
                decoded += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        decoded += c == '\\' ? '/' : c;
    }
    return AsciiLower(decoded);
}

std::optional<std::string> SourceOfRelsPart(std::string_view relsPartName) {
    std::string name(relsPartName);
    for (auto& c : name) {
        if (c == '\\')
            c = '/';
    }
    if (name.empty() || name.front() != '/')
        name.insert(name.begin(), '/');
    std::string lower = AsciiLower(name);
    const std::string suffix = ".rels";
    if (lower.size() < suffix.size() ||
        lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) != 0)
        return std::nullopt;
    auto slash = lower.rfind('/');
    const std::string folder = "/_rels";
    if (slash == std::string::npos || slash < folder.size() ||
        lower.compare(slash - folder.size(), folder.size(), folder) != 0)
        return std::nullopt;
    std::string parent = name.substr(0, slash - folder.size()); // "" or "/ppt/slides"
    std::string file = name.substr(slash + 1, name.size() - slash - 1 - suffix.size());
    if (file.empty())
        return parent.empty() ? std::optional<std::string>("/") : std::nullopt;
    return parent + "/" + file;
}

bool IsValidNewPartName(std::string_view partName) {
    if (partName.size() < 2 || partName.front() != '/' || partName.back() == '/')
        return false;
    for (char c : partName) {
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    auto segs = SplitSegments(partName.substr(1));
    for (const auto& s : segs) {
        if (s.empty() || s == "." || s == "..")
            return false;
    }
    if (SourceOfRelsPart(partName))
        return false;
    return AsciiLower(partName) != "/[content_types].xml";
}

} // namespace detail

std::string ResolvePartTarget(std::string_view sourcePart, std::string_view target) {
    auto cut = target.find('#');
    if (cut != std::string_view::npos)
        target = target.substr(0, cut);
    std::vector<std::string> segs;
    if (target.empty() || (target.front() != '/' && target.front() != '\\'))
        segs = FolderOf(sourcePart);
    for (auto& s : SplitSegments(target))
        segs.push_back(std::move(s));
    std::string out;
    for (const auto& s : Normalise(segs))
        out += "/" + s;
    return out.empty() ? "/" : out;
}

std::string RelativePartTarget(std::string_view sourcePart, std::string_view targetPart) {
    auto from = FolderOf(sourcePart);
    auto to = Normalise(SplitSegments(targetPart));
    std::size_t common = 0;
    // The last segment of the target is its file name and never shared with a folder.
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    std::string out;
    for (std::size_t i = common; i < from.size(); ++i)
        out += "../";
    for (std::size_t i = common; i < to.size(); ++i) {
        out += to[i];
        if (i + 1 < to.size())
            out += '/';
    }
    return out;
}

std::string RelsPartNameFor(std::string_view sourcePart) {
    if (sourcePart.empty() || sourcePart == "/")
        return "/_rels/.rels";
    auto slash = sourcePart.rfind('/');
    std::string folder(sourcePart.substr(0, slash == std::string_view::npos ? 0 : slash));
    std::string file(sourcePart.substr(slash == std::string_view::npos ? 0 : slash + 1));
    return folder + "/_rels/" + file + ".rels";
}

std::string PartExtension(std::string_view partName) {
    auto slash = partName.find_last_of("/\\");
    auto file = slash == std::string_view::npos ? partName : partName.substr(slash + 1);
    auto dot = file.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return detail::AsciiLower(file.substr(dot + 1));
}

std::string MainContentTypeForExtension(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    const std::string ext = detail::AsciiLower(extension);
    if (ext == "pptx")
        return contenttype::kPresentationMain;
    if (ext == "pptm")
        return contenttype::kPresentationMacroMain;
    if (ext == "ppsx")
        return contenttype::kSlideshowMain;
    if (ext == "ppsm")
        return contenttype::kSlideshowMacroMain;
    if (ext == "potx")
        return contenttype::kTemplateMain;
    if (ext == "potm")
        return contenttype::kTemplateMacroMain;
    return {};
}

bool IsPresentationMainContentType(std::string_view contentType) {
    const std::string ct = detail::AsciiLower(contentType);
    for (const char* known :
         {contenttype::kPresentationMain, contenttype::kPresentationMacroMain, contenttype::kSlideshowMain,
          contenttype::kSlideshowMacroMain, contenttype::kTemplateMain, contenttype::kTemplateMacroMain}) {
        if (ct == detail::AsciiLower(known))
            return true;
    }
    return false;
}

} // namespace office::package
