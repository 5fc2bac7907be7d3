// The opt-in savings of a presentation: its embedded fonts cut down, its unused layouts removed.

#include "office/fonts/SubsetEmbeddedFonts.h"
#include "office/layouts/RemoveUnusedLayouts.h"
#include "office/model/ModelImpl.h"

namespace office::model {
namespace {

std::string KeptReason(fonts::FontOutcome outcome) {
    switch (outcome) {
    case fonts::FontOutcome::Subset:
        return {};
    case fonts::FontOutcome::NotSmaller:
        return "not-smaller";
    case fonts::FontOutcome::Forbidden:
        return "no-subsetting-allowed";
    case fonts::FontOutcome::Unreadable:
        break;
    }
    return "unreadable";
}

} // namespace

std::vector<automation::EmbeddedFontSaving> PresentationImpl::SubsetEmbeddedFonts() {
    std::vector<automation::EmbeddedFontSaving> savings;
    for (const auto& result : fonts::SubsetEmbeddedFonts(Pkg("Presentation.SubsetEmbeddedFonts"))) {
        savings.push_back({result.typeface, result.style, double(result.bytesBefore),
                           double(result.bytesAfter), KeptReason(result.outcome)});
    }
    if (!savings.empty())
        MarkModified();
    return savings;
}

automation::LayoutRemovalCount PresentationImpl::RemoveUnusedLayouts() {
    const auto removal = layouts::RemoveUnusedLayouts(Pkg("Presentation.RemoveUnusedLayouts"));
    if (removal.layoutsRemoved + removal.mastersRemoved > 0)
        MarkModified();
    return {removal.layoutsRemoved, removal.mastersRemoved};
}

} // namespace office::model
