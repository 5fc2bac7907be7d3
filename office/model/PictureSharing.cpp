#include "office/model/ModelImpl.h"
#include "office/model/PictureLook.h"

#include <algorithm>
#include <string_view>

namespace office::model {

namespace {

using deckpictures::PictureUse;

// Once every place the walk re-creates is replaced, the part goes.
bool ReplacedByTheWalk(const PictureUse& use) {
    return use.walkReplacesIt;
}

} // namespace

bool PresentationImpl::PictureKeptElsewhere(
    automation::IShape& shape, const std::function<bool(const std::string&, bool)>& isDefaultPictureName) {
    const std::string member = "Presentation.PictureKeptElsewhere";
    auto* picture = dynamic_cast<ShapeImpl*>(&shape);
    if (!picture || &picture->Slide()->Pres(member) != this)
        return false;
    const ShapeLocation loc = picture->Locate(member);
    if (std::string_view(loc.shape.name()) != "p:pic")
        return false;
    const pugi::xml_node blipFill = loc.shape.child("p:blipFill");
    // A picture the walk cannot re-create (a tile, an SVG) is refused by the paste anyway.
    if (blipFill.child("a:tile") || HasSvgAlternative(blipFill.child("a:blip")))
        return false;
    const std::string id = blipFill.child("a:blip").attribute("r:embed").value();
    package::Package& pkg = Pkg(member);
    const auto rel = id.empty() ? std::nullopt : pkg.FindRelationship(picture->Slide()->PartName(), id);
    if (!rel || rel->external || !pkg.HasPart(rel->targetPart))
        return false;
    // Scanned once: the walk only takes away places of its own kind and adds places of new parts,
    // so what keeps a stored picture stays true while it runs. The deck-wide pass starts afresh.
    if (!pictureUses_)
        pictureUses_ = deckpictures::CollectPictureUses(pkg, isDefaultPictureName);
    const auto uses = pictureUses_->find(*pkg.CanonicalName(rel->targetPart));
    if (uses == pictureUses_->end())
        return false;
    return !std::all_of(uses->second.begin(), uses->second.end(), ReplacedByTheWalk);
}

} // namespace office::model
