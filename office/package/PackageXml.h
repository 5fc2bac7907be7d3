#pragma once

// The two XML formats the package layer itself owns: [Content_Types].xml and rels files.

#include "office/package/Package.h"

#include <map>
#include <string>
#include <vector>

namespace office::package::detail {

// Parse options for every XML part: text, comments, processing instructions and the declaration are
// kept, whitespace-only text survives when it is an element's only child (<a:t> </a:t>).
unsigned XmlParseOptions();
// Serialisation without re-indenting.
Bytes SerialiseXml(const pugi::xml_document& doc);

struct ContentTypeMap {
    std::map<std::string, std::string> defaults;  // lower-case extension -> content type
    std::map<std::string, std::string> overrides; // PartKey -> content type

    // Throws AutomationError(member) when the XML is malformed or not a Types document.
    static ContentTypeMap Parse(const Bytes& xml, const std::string& member);
    // Override for the part, else Default for its extension; empty when neither.
    std::string Lookup(std::string_view partName) const;
};

// The content type a part should carry when the package names none: by extension, else octet-stream.
std::string FallbackContentType(std::string_view partName, const ContentTypeMap& original);
// Whether new bytes of this part are worth deflating (pictures, media and nested packages are not).
bool IsAlreadyCompressed(std::string_view partName);

struct WrittenPart {
    std::string name;
    std::string contentType;
};
// Defaults for extensions whose parts all agree with the original or the common table, Overrides for
// the rest, "rels" always.
Bytes BuildContentTypes(const std::vector<WrittenPart>& parts, const ContentTypeMap& original);

// Relationships of one source part; targetPart left empty (the caller resolves).
std::vector<Relationship> ParseRelationships(const Bytes& xml, const std::string& member,
                                             const std::string& relsPartName);
Bytes BuildRelationships(const std::vector<Relationship>& relationships);

} // namespace office::package::detail
