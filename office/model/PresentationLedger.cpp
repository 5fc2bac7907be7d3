// IReplacedPictures: the presentation's account of replaced pictures for the run's report.

#include "office/model/ModelImpl.h"

#include <algorithm>

namespace office::model {

void PresentationImpl::RecordReplacedPictures(int thumbnailWidth) {
    Require("Presentation.RecordReplacedPictures");
    ledger_ = std::make_unique<ledger::ReplacementLedger>(thumbnailWidth);
}

void PresentationImpl::SettleAccount() {
    if (ledger_)
        KeepAccount(
            [&] { ledger_->Settle([this](const ledger::ShapeKey& key) { return ShapeExists(key); }); });
}

std::vector<automation::ReplacedPicture> PresentationImpl::ReplacedPictures() {
    Require("Presentation.ReplacedPictures");
    if (!ledger_)
        return {};
    return ledger_->Standing([this](const ledger::ShapeKey& key) { return ShapeExists(key); },
                             [this](const std::string& part) { return SlideNumberOf(part); },
                             [this](const std::string& part) { return pkg_->HasPart(part); });
}

bool PresentationImpl::ShapeExists(const ledger::ShapeKey& key) {
    for (const auto& slide : slides_) {
        if (slide->PartName() != key.slidePart)
            continue;
        try {
            return FindShape(slide->Tree("Presentation.ReplacedPictures"), key.id).has_value();
        } catch (const std::exception&) {
            return false;
        }
    }
    return false;
}

int PresentationImpl::SlideNumberOf(const std::string& slidePart) const {
    for (std::size_t i = 0; i < slides_.size(); ++i)
        if (slides_[i]->PartName() == slidePart)
            return static_cast<int>(i) + 1;
    return 0;
}

namespace {

automation::DeckPicturePlace PlaceOf(const deckpictures::PictureUse& use) {
    using automation::DeckPicturePlace;
    using deckpictures::PartKind;
    using deckpictures::UseKind;
    if (use.mediaPoster)
        return DeckPicturePlace::MediaPoster;
    switch (use.partKind) {
    case PartKind::Layout:
        return DeckPicturePlace::Layout;
    case PartKind::Master:
    case PartKind::Theme:
        return DeckPicturePlace::Master;
    case PartKind::Notes:
        return DeckPicturePlace::Notes;
    default:
        break;
    }
    if (use.kind == UseKind::Background)
        return DeckPicturePlace::Background;
    if (use.kind == UseKind::Picture && use.partKind == PartKind::Slide)
        return DeckPicturePlace::Slide;
    return DeckPicturePlace::Fill;
}

constexpr double kEmuPerPixel = 9525;

} // namespace

void PresentationImpl::NoteReplacedPart(const deckpictures::ReplacedPart& part) {
    const auto& result = part.result;
    const auto& uses = part.uses;
    ledger::PartNote note;
    note.partBefore = part.partBefore;
    note.partAfter = result.part;
    const deckpictures::PictureUse* largest = nullptr;
    for (const auto& use : uses) {
        if (use.kind == deckpictures::UseKind::DiagramData)
            continue;
        const automation::ReplacedPictureUse place{PlaceOf(use), SlideNumberOf(use.sourcePart)};
        if (std::find(note.uses.begin(), note.uses.end(), place) == note.uses.end())
            note.uses.push_back(place);
        if (!largest || use.boxWidth * use.boxHeight > largest->boxWidth * largest->boxHeight)
            largest = &use;
    }
    note.before = {part.before, largest ? largest->crop : imaging::CropRect{}, std::nullopt};
    note.after = {part.after, part.cropTaken || !largest ? imaging::CropRect{} : largest->crop, std::nullopt};
    // Drawn for the new picture, the old one has the new one's cut and size: shown with the new one's crop.
    if (part.drawn)
        note.beforeDrawn = *part.drawn;
    if (largest && largest->boxWidth > 0 && largest->boxHeight > 0) {
        note.shownWidth = largest->boxWidth / kEmuPerPixel;
        note.shownHeight = largest->boxHeight / kEmuPerPixel;
    } else {
        note.shownWidth = result.width;
        note.shownHeight = result.height;
    }
    KeepAccount([&] { ledger_->NotePart(note); });
}

} // namespace office::model
