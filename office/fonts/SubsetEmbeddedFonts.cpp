#include "office/fonts/SubsetEmbeddedFonts.h"

#include "office/fonts/DeckCharacters.h"
#include "office/fonts/Eot.h"
#include "office/fonts/FontSubset.h"
#include "office/package/Package.h"

#include <algorithm>
#include <set>

namespace office::fonts {
namespace {

constexpr const char* kStyles[] = {"regular", "bold", "italic", "boldItalic"};
constexpr std::string_view kObfuscatedFont = "application/vnd.openxmlformats-officedocument.obfuscatedFont";

FontSubsetResult SubsetPart(office::package::Package& package, const std::set<char32_t>& characters,
                            FontSubsetResult result) {
    const auto bytes = package.PartBytes(result.partName);
    result.bytesBefore = result.bytesAfter = bytes.size();
    // An obfuscated part is keyed to its own name and GUID; we never touch one.
    if (package.ContentType(result.partName) == kObfuscatedFont)
        return result;
    const auto eot = ReadEot(bytes);
    if (!eot)
        return result;
    if (!SubsettingAllowed(eot->fsType)) {
        result.outcome = FontOutcome::Forbidden;
        return result;
    }
    const auto subset = SubsetSfnt(eot->sfnt, characters);
    if (!subset)
        return result;
    auto rewritten = WriteEot(*eot, *subset);
    if (rewritten.size() >= bytes.size()) {
        result.outcome = FontOutcome::NotSmaller;
        return result;
    }
    result.bytesAfter = rewritten.size();
    result.outcome = FontOutcome::Subset;
    package.SetPartBytes(result.partName, std::move(rewritten));
    return result;
}

} // namespace

std::vector<FontSubsetResult> SubsetEmbeddedFonts(office::package::Package& package) {
    std::vector<FontSubsetResult> results;
    const std::string main = package.MainPartName();
    const pugi::xml_node list = package.XmlForRead(main).document_element().child("p:embeddedFontLst");
    if (!list)
        return results;

    const std::set<char32_t> characters = DeckCharacters(package);
    std::set<std::string> done;
    for (pugi::xml_node font : list.children("p:embeddedFont")) {
        const std::string typeface = font.child("p:font").attribute("typeface").value();
        for (const char* style : kStyles) {
            const pugi::xml_node ref = font.child((std::string("p:") + style).c_str());
            if (!ref)
                continue;
            const auto rel = package.FindRelationship(main, ref.attribute("r:id").value());
            if (!rel || rel->external || !package.HasPart(rel->targetPart))
                continue;
            if (!done.insert(rel->targetPart).second)
                continue; // shared by two entries: once is enough
            FontSubsetResult result;
            result.typeface = typeface;
            result.style = style;
            result.partName = rel->targetPart;
            results.push_back(SubsetPart(package, characters, std::move(result)));
        }
    }
    const bool anySubset = std::any_of(results.begin(), results.end(),
                                       [](const auto& r) { return r.outcome == FontOutcome::Subset; });
    if (anySubset) {
        // Tells the editor the fonts no longer hold every character, as its own subset option does.
        pugi::xml_node root = package.XmlForEdit(main).document_element();
        pugi::xml_attribute flag = root.attribute("saveSubsetFonts");
        if (!flag)
            flag = root.append_attribute("saveSubsetFonts");
        flag.set_value("1");
    }
    return results;
}

} // namespace office::fonts
