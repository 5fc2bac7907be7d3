#include "office/deckpictures/DeckPictures.h"

#include "office/deckpictures/PictureDensity.h"
#include "office/deckpictures/PicturePlan.h"
#include "office/deckpictures/PictureUses.h"
#include "office/deckpictures/ReplacePicturePart.h"
#include "office/imaging/SharpCopy.h"
#include "office/repack/ParallelFor.h"

#include <algorithm>
#include <set>

namespace office::deckpictures {

namespace {

using automation::DeckPicturePlace;
using automation::DeckPictureRequest;
using automation::DeckPictureResult;
using imaging::PictureKind;

enum FormatPosition { kRecommended = 0, kJpeg = 1, kPng = 2, kGif = 3 };

// More than one image in a GIF makes it an animation, which a still re-encoding would stop.
bool IsAnimatedGif(const package::Bytes& b) {
    if (b.size() < 13)
        return false;
    std::size_t at = 13;
    if (b[10] & 0x80)
        at += 3u << ((b[10] & 7) + 1);
    int images = 0;
    auto skipSubBlocks = [&] {
        while (at < b.size() && b[at] != 0)
            at += b[at] + 1u;
        ++at;
    };
    while (at < b.size()) {
        const std::uint8_t block = b[at];
        if (block == 0x2C) {
            if (++images > 1)
                return true;
            if (at + 10 > b.size())
                return false;
            const std::uint8_t flags = b[at + 9];
            at += 10;
            if (flags & 0x80)
                at += 3u << ((flags & 7) + 1);
            ++at; // LZW minimum code size
            skipSubBlocks();
        } else if (block == 0x21) {
            at += 2;
            skipSubBlocks();
        } else {
            break;
        }
    }
    return false;
}

// The walk's territory is the slides' picture shapes; every other place belongs to this pass.
bool ShownBeyondSlidePictures(const std::vector<PictureUse>& uses) {
    return std::any_of(uses.begin(), uses.end(), [](const PictureUse& u) {
        return u.kind != UseKind::Picture || u.partKind != PartKind::Slide || u.walkLeavesIt;
    });
}

bool LeftAlone(const std::vector<PictureUse>& uses) {
    return std::any_of(uses.begin(), uses.end(),
                       [](const PictureUse& u) { return u.kind == UseKind::Unknown || u.protectedName; });
}

DeckPicturePlace PlaceOf(const std::vector<PictureUse>& uses) {
    auto any = [&](auto test) { return std::any_of(uses.begin(), uses.end(), test); };
    if (any([](const PictureUse& u) { return u.kind == UseKind::Background; }))
        return DeckPicturePlace::Background;
    if (any([](const PictureUse& u) { return u.partKind == PartKind::Master; }))
        return DeckPicturePlace::Master;
    if (any([](const PictureUse& u) { return u.partKind == PartKind::Layout; }))
        return DeckPicturePlace::Layout;
    if (any([](const PictureUse& u) { return u.partKind == PartKind::Notes; }))
        return DeckPicturePlace::Notes;
    if (any([](const PictureUse& u) { return u.mediaPoster; }))
        return DeckPicturePlace::MediaPoster;
    if (any([](const PictureUse& u) { return u.kind == UseKind::Picture; }))
        return DeckPicturePlace::Slide;
    return DeckPicturePlace::Fill;
}

struct Encoded {
    PictureKind kind = PictureKind::Unknown;
    package::Bytes bytes;
};

// The chosen format; nothing when it would change the picture's look (transparency or a key colour
// in a JPEG) or is no picture part format (metafile). A picture drawn pixel for pixel (a tile) gains
// nothing from resampling, so it is not encoded lossily unless the person chose a lossy format, and
// such a JPEG is never encoded as JPEG again. Any other JPEG kept on its own grid (ownGrid) is held to
// the targets of a second generation. The source's RGB profile goes along, as the pixels are still in it.
// A lossy PNG is judged as the most opaque place shows the picture.
std::optional<Encoded> Encode(const imaging::Raster& raster, int format, bool colourKey, bool pixelSized,
                              PictureKind sourceKind, bool ownGrid, std::span<const std::uint8_t> profile,
                              double opacity) {
    const bool again = ownGrid && sourceKind == PictureKind::Jpeg;
    const bool transparent = raster.HasTransparency();
    if (pixelSized && sourceKind == PictureKind::Jpeg && (format == kRecommended || format == kJpeg))
        return std::nullopt;
    switch (format) {
    case kRecommended:
        if (transparent || colourKey || pixelSized)
            return Encoded{PictureKind::Png, imaging::EncodePng(raster, profile, colourKey, opacity)};
        return Encoded{PictureKind::Jpeg, imaging::EncodeJpeg(raster, profile, again)};
    case kJpeg:
        if (transparent || colourKey)
            return std::nullopt;
        return Encoded{PictureKind::Jpeg, imaging::EncodeJpeg(raster, profile, again)};
    case kPng:
        return Encoded{PictureKind::Png, imaging::EncodePng(raster, profile, colourKey, opacity)};
    case kGif:
        if (colourKey)
            return std::nullopt;
        return Encoded{PictureKind::Gif, imaging::EncodeGif(raster)};
    default:
        return std::nullopt;
    }
}

const char* FormatName(PictureKind kind) {
    return kind == PictureKind::Jpeg ? "JPEG" : kind == PictureKind::Png ? "PNG" : "GIF";
}

// A part's new form, worked out from its bytes and places alone (no package access: parts are worked
// on in parallel).
struct NewForm {
    Encoded encoded;
    PicturePlan chosen;
    double before = 0;
    // The picture as drawn for the encoding (the chosen cut at the chosen size), when asked to keep it.
    std::optional<imaging::Raster> drawn;
};

std::optional<NewForm> WorkOut(const package::Bytes& bytes, const std::vector<PictureUse>& uses,
                               const DeckPictureRequest& request, bool keepDrawn) {
    const double before = static_cast<double>(bytes.size());
    if (before == 0 || request.minimumBytes > before)
        return std::nullopt;
    const PictureKind kind = imaging::SniffKind(bytes);
    if (kind == PictureKind::Unknown || kind == PictureKind::Svg || imaging::IsMetafile(kind) ||
        (kind == PictureKind::Gif && IsAnimatedGif(bytes)))
        return std::nullopt;
    const bool pixelSized =
        std::any_of(uses.begin(), uses.end(), [](const PictureUse& u) { return u.sizedByPixels; });
    // A tile's size on the slide follows the resolution its file declares, which is kept; other
    // formats' declarations are not followed.
    if (pixelSized && kind != PictureKind::Jpeg && kind != PictureKind::Png && kind != PictureKind::Gif)
        return std::nullopt;

    const imaging::PixelSize natural = imaging::MeasurePicture(bytes);
    const auto plan = PlanPicture(natural, uses, request.scaleFactor);
    if (!plan)
        return std::nullopt;
    const bool colourKey =
        std::any_of(uses.begin(), uses.end(), [](const PictureUse& u) { return u.colourKey; });
    double opacity = 0;
    for (const PictureUse& use : uses)
        opacity = std::max(opacity, use.opacity);
    // Encodes the picture as planned; a small graphic with hard edges may take more pixels (at.width
    // and at.height then say how many).
    auto encodeAt = [&](PicturePlan& at, std::optional<imaging::Raster>& drawn) -> std::optional<Encoded> {
        const bool ownGrid = at.cut.IsEmpty() && at.width == natural.width && at.height == natural.height;
        std::optional<Encoded> encoded;
        // A CMYK JPEG that would become a JPEG is copied in CMYK straight away, without an RGB rendering.
        if ((request.format == kRecommended || request.format == kJpeg) && !colourKey && !pixelSized) {
            if (auto cmyk = imaging::CmykJpegCopy(bytes, at.cut, false, false, at.width, at.height,
                                                  ownGrid && kind == PictureKind::Jpeg))
                encoded = Encoded{PictureKind::Jpeg, std::move(*cmyk)};
        }
        if (!encoded) {
            imaging::Raster raster = imaging::RenderPicture(bytes, at.cut, false, false, at.width, at.height);
            if (!pixelSized && !ownGrid) {
                const double keptWidth = natural.width * (1 - at.cut.left - at.cut.right);
                const double keptHeight = natural.height * (1 - at.cut.top - at.cut.bottom);
                const auto sharpSize = imaging::SharpSize({at.width, at.height}, plan->shownWidth,
                                                          plan->shownHeight, keptWidth, keptHeight);
                if (sharpSize && imaging::HasHardEdges(raster)) {
                    imaging::Raster sharp = imaging::RenderPicture(bytes, at.cut, false, false,
                                                                   sharpSize->width, sharpSize->height);
                    if (imaging::SharpIsCheap(raster, sharp, bytes.size())) {
                        raster = std::move(sharp);
                        at.width = sharpSize->width;
                        at.height = sharpSize->height;
                    }
                }
            }
            encoded = Encode(raster, request.format, colourKey, pixelSized, kind, ownGrid,
                             imaging::RgbProfileOf(bytes), opacity);
            if (keepDrawn)
                drawn = std::move(raster);
        }
        if (!encoded)
            return std::nullopt;
        if (pixelSized && !WriteDensity(encoded->bytes, encoded->kind, ReadDensity(bytes, kind)))
            return std::nullopt;
        return encoded;
    };
    PicturePlan chosen = *plan;
    std::optional<imaging::Raster> drawn;
    auto encoded = encodeAt(chosen, drawn);
    if (plan->ownPixelsMayBeSmaller) {
        // Resampling a flat graphic adds in-between colours that can cost more than the pixels saved.
        PicturePlan own;
        own.width = natural.width;
        own.height = natural.height;
        std::optional<imaging::Raster> ownDrawn;
        if (auto whole = encodeAt(own, ownDrawn);
            whole && (!encoded || whole->bytes.size() <= encoded->bytes.size())) {
            encoded = std::move(whole);
            chosen = own;
            drawn = std::move(ownDrawn);
        }
    }
    if (!encoded)
        return std::nullopt;
    const double after = static_cast<double>(encoded->bytes.size());
    if (!(request.expectRate > after / before * 100))
        return std::nullopt;
    return NewForm{std::move(*encoded), chosen, before, std::move(drawn)};
}

DeckPictureResult Apply(package::Package& pkg, const std::string& part, const std::vector<PictureUse>& uses,
                        NewForm form) {
    const PicturePlan& chosen = form.chosen;
    DeckPictureResult result;
    result.place = PlaceOf(uses);
    result.width = chosen.width;
    result.height = chosen.height;
    result.format = FormatName(form.encoded.kind);
    result.bytesBefore = form.before;
    result.bytesAfter = static_cast<double>(form.encoded.bytes.size());
    result.part = ReplacePicturePart(pkg, part, form.encoded.kind, std::move(form.encoded.bytes));
    if (!chosen.cut.IsEmpty()) {
        std::set<std::pair<std::string, std::string>> done;
        for (const PictureUse& use : uses)
            if (done.insert({use.sourcePart, use.relId}).second)
                RemoveCrop(pkg, use.sourcePart, use.relId);
    }
    return result;
}

} // namespace

std::vector<DeckPictureResult> CompressDeckPictures(package::Package& pkg, const DeckPictureRequest& request,
                                                    unsigned workers, const ReplacedPartObserver& observer) {
    std::vector<DeckPictureResult> results;
    const auto uses = CollectPictureUses(pkg, request.isDefaultPictureName);
    // Parts go in batches as wide as the workers: read one after the other, worked out in parallel, and
    // applied in the package's order, so the outcome is that of one part after the other while at most
    // a batch of pictures is in memory.
    struct Work {
        const std::string* part = nullptr;
        const std::vector<PictureUse>* uses = nullptr;
        package::Bytes bytes;
        std::optional<NewForm> form;
    };
    const std::size_t width = std::max(1u, workers);
    auto next = uses.begin();
    while (next != uses.end()) {
        std::vector<Work> batch;
        for (; next != uses.end() && batch.size() < width; ++next) {
            const auto& [part, partUses] = *next;
            if (pkg.IsPartModified(part) || LeftAlone(partUses) || !ShownBeyondSlidePictures(partUses))
                continue;
            try {
                batch.push_back({&part, &partUses, pkg.PartBytes(part), std::nullopt});
            } catch (const std::exception&) {
                // A part that cannot be read stays as it is.
            }
        }
        repack::ParallelFor(batch.size(), static_cast<unsigned>(width), [&](std::size_t i) {
            try {
                batch[i].form = WorkOut(batch[i].bytes, *batch[i].uses, request, static_cast<bool>(observer));
            } catch (const std::exception&) {
                // A picture that cannot be decoded or encoded stays as it is.
            }
        });
        for (Work& work : batch) {
            if (!work.form)
                continue;
            try {
                const package::Bytes after = observer ? work.form->encoded.bytes : package::Bytes{};
                const bool cropTaken = !work.form->chosen.cut.IsEmpty();
                std::optional<imaging::Raster> drawn = std::move(work.form->drawn);
                results.push_back(Apply(pkg, *work.part, *work.uses, std::move(*work.form)));
                if (observer)
                    observer({results.back(), *work.part, work.bytes, after, *work.uses, cropTaken,
                              drawn ? &*drawn : nullptr});
            } catch (const std::exception&) {
            }
        }
    }
    return results;
}

} // namespace office::deckpictures
