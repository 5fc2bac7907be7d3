#include "office/ledger/ReplacementLedger.h"

#include <algorithm>
#include <system_error>

namespace office::ledger {

namespace {

// Drawings under way at once: each holds its two pictures' bytes until it is done.
constexpr std::size_t kDrawingsAtOnce = 2;

automation::ReplacedPicture Described(std::span<const std::uint8_t> before,
                                      std::span<const std::uint8_t> after) {
    automation::ReplacedPicture picture;
    const imaging::PixelSize old = PictureSize(before), now = PictureSize(after);
    picture.widthBefore = old.width;
    picture.heightBefore = old.height;
    picture.widthAfter = now.width;
    picture.heightAfter = now.height;
    picture.formatBefore = FormatName(imaging::SniffKind(before));
    picture.formatAfter = FormatName(imaging::SniffKind(after));
    picture.bytesBefore = static_cast<double>(before.size());
    picture.bytesAfter = static_cast<double>(after.size());
    return picture;
}

void DrawInto(automation::ReplacedPicture& picture, const ShownPicture& before, const ShownPicture& after,
              double shownWidth, double shownHeight, int thumbnailWidth) {
    // A metafile is compared as it is shown; a raster at its own pixels.
    int width = picture.widthAfter, height = picture.heightAfter;
    if (imaging::IsMetafile(imaging::SniffKind(after.bytes)) || width <= 0 || height <= 0) {
        width = static_cast<int>(shownWidth);
        height = static_cast<int>(shownHeight);
    }
    try {
        ImagePair pair = MakeImagePair(before, after, shownWidth, shownHeight, width, height, thumbnailWidth);
        picture.before = std::move(pair.before);
        picture.after = std::move(pair.after);
        picture.similarity = pair.similarity;
        picture.compared = true;
    } catch (const std::exception&) {
        // Listed without images: the report says it could not be drawn.
    }
}

} // namespace

ReplacementLedger::~ReplacementLedger() {
    WaitForDrawings();
}

void ReplacementLedger::Launch(std::function<void()> drawing) {
    while (drawings_.size() >= kDrawingsAtOnce) {
        drawings_.front().get();
        drawings_.pop_front();
    }
    try {
        drawings_.push_back(std::async(std::launch::async, drawing));
    } catch (const std::system_error&) {
        drawing(); // no thread to be had: drawn here
    }
}

void ReplacementLedger::WaitForDrawings() {
    for (auto& drawing : drawings_)
        drawing.get();
    drawings_.clear();
}

void ReplacementLedger::Settle(const ShapeExists& exists) {
    std::vector<PasteNote> still;
    for (PasteNote& note : pending_) {
        if (!exists(note.pasted))
            continue; // taken away again
        if (exists(note.source)) {
            still.push_back(std::move(note));
            continue;
        }
        try {
            Draw(std::move(note));
        } catch (const std::exception&) {
            // The account misses this one; the pass it watches goes on regardless.
        }
    }
    pending_ = std::move(still);
}

void ReplacementLedger::NotePaste(PasteNote note) {
    // A paste of a paste (an object converted twice) replaces what the first one was copied from.
    for (const PasteNote& earlier : pending_) {
        if (earlier.pasted == note.source) {
            note.source = earlier.source;
            note.object = earlier.object;
            note.sourceBytes = earlier.sourceBytes;
            note.sourceCrop = earlier.sourceCrop;
            note.sourceKey = earlier.sourceKey;
            note.sourcePart = earlier.sourcePart;
            break;
        }
    }
    if (!note.sourceBytes || note.sourceBytes->empty())
        return;
    pending_.push_back(std::move(note));
}

void ReplacementLedger::Draw(PasteNote note) {
    Made made;
    made.pasted = note.pasted;
    made.picture =
        std::make_shared<automation::ReplacedPicture>(Described(*note.sourceBytes, note.pastedBytes));
    made.picture->by = note.object ? automation::ReplacedBy::Object : automation::ReplacedBy::Walk;
    made.picture->partBefore = note.sourcePart;
    made.picture->partAfter = note.pastedPart;
    Launch([picture = made.picture, note = std::move(note), width = thumbnailWidth_] {
        DrawInto(*picture, {*note.sourceBytes, note.sourceCrop, note.sourceKey},
                 {note.pastedBytes, note.pastedCrop, std::nullopt}, note.shownWidth, note.shownHeight, width);
    });
    // A later paste in the same place (the id of one taken away, given again) supersedes it.
    std::erase_if(made_, [&](const Made& m) { return m.pasted == made.pasted; });
    made_.push_back(std::move(made));
}

void ReplacementLedger::NotePart(const PartNote& note) {
    Part part;
    part.name = note.partAfter;
    part.picture =
        std::make_shared<automation::ReplacedPicture>(Described(note.before.bytes, note.after.bytes));
    part.picture->by = automation::ReplacedBy::DeckPicture;
    part.picture->partBefore = note.partBefore;
    part.picture->partAfter = note.partAfter;
    part.picture->uses = note.uses;
    // The drawing keeps its own copies: the pass's bytes are gone once it returns.
    auto before =
        std::make_shared<std::vector<std::uint8_t>>(note.before.bytes.begin(), note.before.bytes.end());
    auto after =
        std::make_shared<std::vector<std::uint8_t>>(note.after.bytes.begin(), note.after.bytes.end());
    auto drawn = note.beforeDrawn ? std::make_shared<imaging::Raster>(*note.beforeDrawn) : nullptr;
    Launch([picture = part.picture, before, after, drawn, beforeShown = note.before, afterShown = note.after,
            shownWidth = note.shownWidth, shownHeight = note.shownHeight, width = thumbnailWidth_]() mutable {
        beforeShown.bytes = *before;
        afterShown.bytes = *after;
        if (drawn) {
            beforeShown.drawn = drawn.get();
            beforeShown.drawnCrop = afterShown.crop;
        }
        DrawInto(*picture, beforeShown, afterShown, shownWidth, shownHeight, width);
    });
    std::erase_if(parts_, [&](const Part& p) { return p.name == part.name; });
    parts_.push_back(std::move(part));
}

std::vector<automation::ReplacedPicture> ReplacementLedger::Standing(const ShapeExists& exists,
                                                                     const SlideNumber& slideNumber,
                                                                     const PartExists& partExists) {
    Settle(exists);
    WaitForDrawings();
    std::vector<automation::ReplacedPicture> standing;
    for (const Made& made : made_) {
        if (!exists(made.pasted))
            continue;
        automation::ReplacedPicture picture = *made.picture;
        picture.uses = {{automation::DeckPicturePlace::Slide, slideNumber(made.pasted.slidePart)}};
        standing.push_back(std::move(picture));
    }
    for (const Part& part : parts_)
        if (partExists(part.name))
            standing.push_back(*part.picture);
    return standing;
}

} // namespace office::ledger
