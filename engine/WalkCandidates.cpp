#include "engine/WalkCandidates.h"

#include "automation/Constants.h"
#include "automation/PictureSharing.h"
#include "engine/Attempt.h"
#include "engine/DefaultPictureNames.h"
#include "engine/ObjectConversion.h"
#include "engine/ReplacementRules.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"

namespace engine {

namespace {

// A picture under the name it got when it was inserted, in any language or by a generator; a
// placeholder counts when a picture was put into it.
bool HasDefaultPictureName(automation::IShape& shape, int type, const std::string& name) {
    const bool holdsPicture =
        type == automation::msoPlaceholder &&
        AttemptValue([&] { return shape.PlaceholderContainedType(); }).value_or(0) == automation::msoPicture;
    if (IsDefaultPlaceholderName(name))
        return holdsPicture;
    return IsDefaultPictureName(name) &&
           (type == automation::msoPicture || type == automation::msoLinkedPicture || holdsPicture);
}

} // namespace

std::optional<ShapeFacts> ReadPictureFacts(automation::IShape& shape) {
    ShapeFacts facts;
    const bool read = Attempt([&] {
        facts.name = shape.Name();
        facts.left = shape.Left();
        facts.top = shape.Top();
        facts.width = shape.Width();
        facts.height = shape.Height();
        facts.type = shape.Type();
    });
    if (!read)
        return std::nullopt;
    facts.treatAsPicture = facts.type == automation::msoMedia || IsPictureName(facts.name) ||
                           HasDefaultPictureName(shape, facts.type, facts.name);
    if (facts.treatAsPicture)
        facts.kind = "Picture";
    return facts;
}

std::optional<ShapeFacts> ReadShapeFacts(EngineContext& ctx, automation::IShape& shape) {
    auto facts = ReadPictureFacts(shape);
    if (facts && IsObjectName(facts->name))
        facts->kind = RecognizeObject(shape, ctx.exceptions);
    return facts;
}

bool IsReplacementCandidate(EngineContext& ctx, const ShapeFacts& facts) {
    if (facts.type == automation::msoMedia)
        return false;
    return facts.treatAsPicture || (IsObjectName(facts.name) &&
                                    ObjectQualifies(facts.type, facts.kind, ctx.settings, ctx.exceptions));
}

bool PictureKeptElsewhere(EngineContext& ctx, automation::IShape& shape) {
    auto* sharing = dynamic_cast<automation::IPictureSharing*>(ctx.state.SourcePresentation.get());
    return sharing && AttemptValue([&] {
                          return sharing->PictureKeptElsewhere(shape, IsUnprotectedPictureName);
                      }).value_or(false);
}

} // namespace engine
