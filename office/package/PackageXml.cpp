#include "office/package/PackageXml.h"

#include "automation/AutomationError.h"
#include "office/package/PartNameKeys.h"

#include <cstring>
#include <set>

namespace office::package::detail {

namespace {

constexpr const char* kTypesNs = "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr const char* kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* kXmlDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

struct KnownDefault {
    const char* extension;
    const char* contentType;
    bool compressed; // already compressed data: stored rather than deflated
};

constexpr KnownDefault kKnownDefaults[] = {
    {"rels", contenttype::kRelationships, false},
    {"xml", contenttype::kXml, false},
    {"jpeg", "image/jpeg", true},
    {"jpg", "image/jpeg", true},
    {"jpe", "image/jpeg", true},
    {"png", "image/png", true},
    {"gif", "image/gif", true},
    {"emf", "image/x-emf", false},
    {"wmf", "image/x-wmf", false},
    {"tif", "image/tiff", false},
    {"tiff", "image/tiff", false},
    {"bmp", "image/bmp", false},
    {"wdp", "image/vnd.ms-photo", true},
    {"svg", "image/svg+xml", false},
    {"bin", "application/vnd.openxmlformats-officedocument.oleObject", false},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", true},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", true},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation", true},
    {"vml", "application/vnd.openxmlformats-officedocument.vmlDrawing", false},
    {"mp4", "video/mp4", true},
    {"m4v", "video/mp4", true},
    {"mov", "video/quicktime", true},
    {"wmv", "video/x-ms-wmv", true},
    {"mpg", "video/mpeg", true},
    {"mpeg", "video/mpeg", true},
    {"avi", "video/x-msvideo", false},
    {"wav", "audio/wav", false},
    {"mp3", "audio/mpeg", true},
    {"m4a", "audio/mp4", true},
    {"wma", "audio/x-ms-wma", true},
    {"fntdata", "application/x-fontdata", false},
    {"odttf", "application/vnd.openxmlformats-officedocument.obfuscatedFont", false},
};

const KnownDefault* FindKnown(std::string_view extension) {
    for (const auto& known : kKnownDefaults) {
        if (extension == known.extension)
            return &known;
    }
    return nullptr;
}

std::string CandidateDefault(const std::string& extension, const ContentTypeMap& original) {
    if (auto it = original.defaults.find(extension); it != original.defaults.end())
        return it->second;
    if (const auto* known = FindKnown(extension))
        return known->contentType;
    return {};
}

bool IsElement(const pugi::xml_node& node, const char* localName) {
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    return std::strcmp(colon ? colon + 1 : name, localName) == 0;
}

class ByteWriter : public pugi::xml_writer {
public:
    explicit ByteWriter(Bytes& out) : out_(out) {}
    void write(const void* data, size_t size) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }

private:
    Bytes& out_;
};

Bytes Serialise(const pugi::xml_document& doc, bool withDeclaration) {
    Bytes out;
    if (withDeclaration)
        out.assign(kXmlDecl, kXmlDecl + std::strlen(kXmlDecl));
    ByteWriter writer(out);
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out;
}

} // namespace

unsigned XmlParseOptions() {
    return pugi::parse_default | pugi::parse_declaration | pugi::parse_pi | pugi::parse_comments |
           pugi::parse_ws_pcdata_single;
}

Bytes SerialiseXml(const pugi::xml_document& doc) {
    Bytes out;
    ByteWriter writer(out);
    // Keep the document's own declaration when it has one; new documents get the usual one.
    bool hasDeclaration = doc.first_child().type() == pugi::node_declaration;
    if (!hasDeclaration)
        out.assign(kXmlDecl, kXmlDecl + std::strlen(kXmlDecl));
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out;
}

ContentTypeMap ContentTypeMap::Parse(const Bytes& xml, const std::string& member) {
    pugi::xml_document doc;
    auto result = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default);
    if (!result)
        throw automation::AutomationError(member, std::string("malformed [Content_Types].xml: ") +
                                                      result.description());
    auto types = doc.document_element();
    if (!IsElement(types, "Types"))
        throw automation::AutomationError(member, "[Content_Types].xml has no Types element");
    ContentTypeMap map;
    for (auto node : types.children()) {
        if (IsElement(node, "Default")) {
            std::string ext = AsciiLower(node.attribute("Extension").value());
            std::string type = node.attribute("ContentType").value();
            if (!ext.empty() && !type.empty())
                map.defaults.emplace(ext, type);
        } else if (IsElement(node, "Override")) {
            std::string part = node.attribute("PartName").value();
            std::string type = node.attribute("ContentType").value();
            if (!part.empty() && !type.empty())
                map.overrides.emplace(PartKey(part), type);
        }
    }
    return map;
}

std::string ContentTypeMap::Lookup(std::string_view partName) const {
    if (auto it = overrides.find(PartKey(partName)); it != overrides.end())
        return it->second;
    if (auto it = defaults.find(PartExtension(partName)); it != defaults.end())
        return it->second;
    return {};
}

std::string FallbackContentType(std::string_view partName, const ContentTypeMap& original) {
    std::string type = CandidateDefault(PartExtension(partName), original);
    return type.empty() ? contenttype::kOctetStream : type;
}

bool IsAlreadyCompressed(std::string_view partName) {
    const auto* known = FindKnown(PartExtension(partName));
    return known && known->compressed;
}

Bytes BuildContentTypes(const std::vector<WrittenPart>& parts, const ContentTypeMap& original) {
    std::map<std::string, std::string> defaults{{"rels", contenttype::kRelationships}};
    std::vector<const WrittenPart*> overrides;
    for (const auto& part : parts) {
        std::string ext = PartExtension(part.name);
        std::string candidate = ext.empty() ? std::string() : CandidateDefault(ext, original);
        if (!candidate.empty() && candidate == part.contentType)
            defaults.emplace(ext, candidate);
        else
            overrides.push_back(&part);
    }
    pugi::xml_document doc;
    auto types = doc.append_child("Types");
    types.append_attribute("xmlns") = kTypesNs;
    for (const auto& [ext, type] : defaults) {
        auto node = types.append_child("Default");
        node.append_attribute("Extension") = ext.c_str();
        node.append_attribute("ContentType") = type.c_str();
    }
    for (const auto* part : overrides) {
        auto node = types.append_child("Override");
        node.append_attribute("PartName") = part->name.c_str();
        node.append_attribute("ContentType") = part->contentType.c_str();
    }
    return Serialise(doc, true);
}

std::vector<Relationship> ParseRelationships(const Bytes& xml, const std::string& member,
                                             const std::string& relsPartName) {
    pugi::xml_document doc;
    auto result = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default);
    if (!result)
        throw automation::AutomationError(member, "malformed relationships part '" + relsPartName +
                                                      "': " + result.description());
    auto root = doc.document_element();
    if (!IsElement(root, "Relationships"))
        throw automation::AutomationError(member, "relationships part '" + relsPartName +
                                                      "' has no Relationships element");
    std::vector<Relationship> out;
    for (auto node : root.children()) {
        if (!IsElement(node, "Relationship"))
            continue;
        Relationship rel;
        rel.id = node.attribute("Id").value();
        rel.type = node.attribute("Type").value();
        rel.target = node.attribute("Target").value();
        rel.external = AsciiLower(node.attribute("TargetMode").value()) == "external";
        if (rel.id.empty() || rel.type.empty())
            continue;
        out.push_back(std::move(rel));
    }
    return out;
}

Bytes BuildRelationships(const std::vector<Relationship>& relationships) {
    pugi::xml_document doc;
    auto root = doc.append_child("Relationships");
    root.append_attribute("xmlns") = kRelsNs;
    for (const auto& rel : relationships) {
        auto node = root.append_child("Relationship");
        node.append_attribute("Id") = rel.id.c_str();
        node.append_attribute("Type") = rel.type.c_str();
        node.append_attribute("Target") = rel.target.c_str();
        if (rel.external)
            node.append_attribute("TargetMode") = "External";
    }
    return Serialise(doc, true);
}

} // namespace office::package::detail
