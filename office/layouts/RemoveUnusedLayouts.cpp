#include "office/layouts/RemoveUnusedLayouts.h"

#include "office/package/OpcTypes.h"
#include "office/package/Package.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace office::layouts {
namespace {

using office::package::Package;
namespace reltype = office::package::reltype;

struct Master {
    std::string part;
    std::vector<std::string> layouts;     // in list order
    std::vector<std::string> usedLayouts; // the ones something other than a master points at
};

// A layout counts as used when any live part other than a master relates to it: slides, and any
// part we do not know that might.
std::set<std::string> UsedLayouts(const Package& package, const std::set<std::string>& masters) {
    std::set<std::string> used;
    for (const std::string& part : package.LiveParts()) {
        if (masters.count(part))
            continue;
        for (const auto& rel : package.RelationshipsOfType(part, reltype::kSlideLayout))
            if (!rel.external)
                used.insert(rel.targetPart);
    }
    return used;
}

void RemoveRelationshipsTo(Package& package, const std::string& source, const std::string& target) {
    for (const auto& rel : package.Relationships(source))
        if (!rel.external && rel.targetPart == target)
            package.RemoveRelationship(source, rel.id);
}

// Removes the id-list entries (p:sldLayoutId, p:sldMasterId) whose r:id points at target.
void RemoveListEntries(Package& package, const std::string& source, const char* list,
                       const std::string& target) {
    pugi::xml_node node = package.XmlForEdit(source).document_element().child(list);
    for (pugi::xml_node entry = node.first_child(); entry;) {
        pugi::xml_node next = entry.next_sibling();
        const auto rel = package.FindRelationship(source, entry.attribute("r:id").value());
        if (rel && !rel->external && rel->targetPart == target)
            node.remove_child(entry);
        entry = next;
    }
}

} // namespace

LayoutRemoval RemoveUnusedLayouts(Package& package) {
    LayoutRemoval removal;
    const std::string main = package.MainPartName();
    std::vector<Master> masters;
    std::set<std::string> masterParts;
    for (pugi::xml_node id :
         package.XmlForRead(main).document_element().child("p:sldMasterIdLst").children()) {
        const auto rel = package.FindRelationship(main, id.attribute("r:id").value());
        if (!rel || rel->external || !package.HasPart(rel->targetPart))
            return removal; // not a list we understand
        masters.push_back({rel->targetPart, {}, {}});
        masterParts.insert(rel->targetPart);
    }
    const std::set<std::string> used = UsedLayouts(package, masterParts);
    // Relationships, not the id list, say which layouts a master owns: a layout related but not
    // listed is still the master's.
    for (Master& master : masters) {
        for (const auto& rel : package.RelationshipsOfType(master.part, reltype::kSlideLayout)) {
            if (rel.external || std::find(master.layouts.begin(), master.layouts.end(), rel.targetPart) !=
                                    master.layouts.end())
                continue;
            master.layouts.push_back(rel.targetPart);
            if (used.count(rel.targetPart))
                master.usedLayouts.push_back(rel.targetPart);
        }
    }
    // A deck keeps at least one master with one layout, or the editor has nothing to add slides with.
    const bool anyUsed =
        std::any_of(masters.begin(), masters.end(), [](const Master& m) { return !m.usedLayouts.empty(); });
    if (!anyUsed && !masters.empty() && !masters.front().layouts.empty())
        masters.front().usedLayouts.push_back(masters.front().layouts.front());

    for (const Master& master : masters) {
        const bool keepMaster = !master.usedLayouts.empty() || master.layouts.empty();
        for (const std::string& layout : master.layouts) {
            if (std::find(master.usedLayouts.begin(), master.usedLayouts.end(), layout) !=
                master.usedLayouts.end())
                continue;
            if (!package.HasPart(layout))
                continue;
            if (keepMaster)
                RemoveListEntries(package, master.part, "p:sldLayoutIdLst", layout);
            RemoveRelationshipsTo(package, master.part, layout);
            package.RemovePart(layout);
            ++removal.layoutsRemoved;
        }
        if (!keepMaster) {
            RemoveListEntries(package, main, "p:sldMasterIdLst", master.part);
            RemoveRelationshipsTo(package, main, master.part);
            package.RemovePart(master.part);
            ++removal.mastersRemoved;
        }
    }
    return removal;
}

} // namespace office::layouts
