#include "office/model/LegacyDrawing.h"

#include "automation/AutomationError.h"
#include "office/package/OpcTypes.h"
#include "office/package/Package.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace office::model {

namespace {

bool IsVmlShapeOf(pugi::xml_node node, const std::vector<std::string>& spids) {
    for (const char* attr : {"id", "o:spid"}) {
        const char* value = node.attribute(attr).value();
        if (*value && std::find(spids.begin(), spids.end(), value) != spids.end())
            return true;
    }
    return false;
}

bool HoldsAny(const pugi::xml_document& doc, const std::vector<std::string>& spids) {
    for (pugi::xpath_node n : doc.select_nodes("//*"))
        if (IsVmlShapeOf(n.node(), spids))
            return true;
    return false;
}

// Relationship ids a VML drawing refers to: o:relid on image data, r:id and r:pict elsewhere.
std::set<std::string> VmlRelationshipRefs(const pugi::xml_document& doc) {
    std::set<std::string> refs;
    for (pugi::xpath_node n : doc.select_nodes("//*"))
        for (pugi::xml_attribute a : n.node().attributes())
            if ((std::strcmp(a.name(), "o:relid") == 0 || std::strncmp(a.name(), "r:", 2) == 0) && *a.value())
                refs.insert(a.value());
    return refs;
}

bool DrawsAnything(const pugi::xml_document& doc) {
    // Shape types and the id map are declarations; every other element under the root is drawn.
    for (pugi::xml_node child : doc.document_element().children()) {
        if (child.type() != pugi::node_element)
            continue;
        const std::string name = child.name();
        if (name != "v:shapetype" && name != "o:shapelayout")
            return true;
    }
    return false;
}

} // namespace

std::vector<std::string> LegacyShapeIdsIn(pugi::xml_node subtree) {
    std::vector<std::string> ids;
    for (pugi::xpath_node n :
         subtree.select_nodes("descendant-or-self::p:oleObj | descendant-or-self::p:control"))
        if (const char* spid = n.node().attribute("spid").value(); *spid)
            ids.emplace_back(spid);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

void ForgetLegacyShapes(package::Package& pkg, const std::string& slidePart,
                        const std::vector<std::string>& spids) {
    if (spids.empty())
        return;
    for (const auto& vml : pkg.RelationshipsOfType(slidePart, package::reltype::kVmlDrawing)) {
        if (vml.external || !pkg.HasPart(vml.targetPart) || pkg.RelationshipsTo(vml.targetPart).size() != 1)
            continue;
        try {
            if (!HoldsAny(pkg.XmlForRead(vml.targetPart), spids))
                continue;
        } catch (const automation::AutomationError&) {
            continue; // not well-formed: a drawing we cannot edit is kept whole
        }
        auto& doc = pkg.XmlForEdit(vml.targetPart);
        std::vector<pugi::xml_node> gone;
        for (pugi::xpath_node n : doc.select_nodes("//*"))
            if (IsVmlShapeOf(n.node(), spids))
                gone.push_back(n.node());
        for (pugi::xml_node node : gone)
            node.parent().remove_child(node);
        const auto used = VmlRelationshipRefs(doc);
        for (const auto& rel : pkg.Relationships(vml.targetPart))
            if (!used.count(rel.id))
                pkg.RemoveRelationship(vml.targetPart, rel.id);
        if (!DrawsAnything(doc))
            pkg.RemoveRelationship(slidePart, vml.id);
    }
}

} // namespace office::model
