#include "engine/CompressShapes.h"

#include "automation/Constants.h"
#include "automation/PictureSharing.h"
#include "engine/Attempt.h"
#include "engine/DefaultPictureNames.h"
#include "engine/ObjectConversion.h"
#include "engine/ReplacementCycle.h"
#include "engine/ReplacementRules.h"
#include "engine/WalkCandidates.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"

#include <optional>

namespace engine {

namespace {

using automation::ShapePtr;
using automation::ShapeRangePtr;
using automation::SlidePtr;

std::shared_ptr<automation::IDocumentWindow> FirstWindow(EngineContext& ctx) {
    return Need(Need(ctx.state.SourcePresentation, "SourcePresentation")->Windows(1), "Windows");
}

std::shared_ptr<automation::ISelection> WindowSelection(EngineContext& ctx) {
    return Need(FirstWindow(ctx)->Selection(), "Selection");
}

void KeepApplicationsMinimised(EngineContext& ctx) {
    Attempt([&] {
        auto app = Need(ctx.state.appPPT, "appPPT");
        if (app->WindowState() != automation::ppWindowMinimized)
            app->SetWindowState(automation::ppWindowMinimized);
    });
    if (!ctx.state.gOfficeXPMode) {
        Attempt([&] {
            auto excel = Need(ctx.state.appEXCEL, "appEXCEL");
            if (excel->WindowState() != automation::xlMinimized)
                excel->SetWindowState(automation::xlMinimized);
        });
    }
}

struct OpenedGroup {
    ShapePtr placeholder;
    ShapeRangePtr members;
};

// Parks the group's animation on a two-shape placeholder group, then ungroups it. On failure the
// slide is put back as it was: the animation returns to the group and the placeholder goes.
std::optional<OpenedGroup> OpenGroup(EngineContext& ctx, const SlidePtr& slide, const ShapePtr& group) {
    ShapePtr rectangle;
    ShapePtr oval;
    ShapePtr placeholder;
    bool animationMoved = false;
    try {
        auto shapes = Need(slide->Shapes(), "Shapes");
        rectangle = Need(shapes->AddShape(automation::msoShapeRectangle, 0, 0, 1, 1), "AddShape");
        oval = Need(shapes->AddShape(automation::msoShapeOval, 2, 0, 1, 1), "AddShape");
        auto window = FirstWindow(ctx);
        window->Activate();
        slide->Select();
        rectangle->Select(true);
        oval->Select(false);
        placeholder =
            Need(Need(Need(window->Selection(), "Selection")->ShapeRange(), "ShapeRange")->Group(), "Group");
        MoveAnimation(ctx, *slide, group, placeholder);
        animationMoved = true;
        group->Select(true);
        return OpenedGroup{placeholder, Need(group->Ungroup(), "Ungroup")};
    } catch (const std::exception&) {
        if (placeholder) {
            if (animationMoved)
                MoveAnimation(ctx, *slide, placeholder, group);
            Attempt([&] { placeholder->Delete(); });
        } else {
            if (oval)
                Attempt([&] { oval->Delete(); });
            if (rectangle)
                Attempt([&] { rectangle->Delete(); });
        }
        return std::nullopt;
    }
}

// Groups the handled shapes again, hands them the animation parked on the placeholder and removes
// the placeholder. Returns the new group (nothing when grouping failed).
ShapePtr RebuildGroup(EngineContext& ctx, const SlidePtr& slide, const ShapePtr& placeholder,
                      const std::vector<ShapePtr>& doneShapes) {
    Attempt([&] { WindowSelection(ctx)->Unselect(); });
    for (const auto& shape : doneShapes) {
        if (shape && shape != placeholder)
            Attempt([&] { shape->Select(false); });
    }
    const auto rebuilt = AttemptValue(
        [&] { return Need(Need(WindowSelection(ctx)->ShapeRange(), "ShapeRange")->Group(), "Group"); });
    if (rebuilt)
        MoveAnimation(ctx, *slide, placeholder, *rebuilt);
    // The placeholder is visible on the slide; it goes even when the regrouping failed.
    Attempt([&] { placeholder->Delete(); });
    return rebuilt.value_or(nullptr);
}

// The walk proper; hands back the rebuilt group itself besides its name.
ShapePtr Walk(EngineContext& ctx, const SlidePtr& container, const ShapePtr& group, bool topLevel);

void WalkShape(WalkScope& scope, const ShapePtr& shape) {
    EngineContext& ctx = scope.ctx;
    Attempt([&] { ctx.host.DoEvents(); });
    KeepApplicationsMinimised(ctx);

    const auto facts = ReadShapeFacts(ctx, *shape);
    if (!facts) {
        scope.doneShapes.push_back(shape);
        return;
    }

    if (facts->type == automation::msoGroup) {
        const int pixelSize = SettingWholeNumber(ctx.settings.PixelSize);
        if (facts->width > pixelSize && facts->height > pixelSize)
            scope.doneShapes.push_back(Walk(ctx, scope.slide, shape, false));
        else
            scope.doneShapes.push_back(shape);
        return;
    }

    if (!IsReplacementCandidate(ctx, *facts)) {
        scope.doneShapes.push_back(shape);
        return;
    }
    if (facts->treatAsPicture && PictureKeptElsewhere(ctx, *shape)) {
        // Indented by blanks, not a TAB: the log's TAB lines are the replacements.
        ctx.host.AppendLog("   " + std::to_string(WholeNumber(facts->width)) + "x" +
                           std::to_string(WholeNumber(facts->height)) + kKeptElsewhereLog);
        scope.doneShapes.push_back(shape);
        return;
    }
    RunReplacementCycle(scope, shape, *facts);
}

ShapePtr Walk(EngineContext& ctx, const SlidePtr& container, const ShapePtr& group, bool topLevel) {
    if (!container)
        return {};
    const auto shapeCount = AttemptValue([&] { return Need(container->Shapes(), "Shapes")->Count(); });
    if (shapeCount && *shapeCount == 0)
        return {};
    Attempt([&] { ctx.host.SetStatus(ctx.host.Status() + "."); });

    ShapeRangePtr range;
    ShapePtr placeholder;
    if (topLevel) {
        range = AttemptValue([&] { return Need(container->Shapes(), "Shapes")->Range(); }).value_or(nullptr);
    } else {
        if (!group)
            return {};
        const auto opened = OpenGroup(ctx, container, group);
        if (!opened)
            return group; // left as it was; the caller counts it as handled
        placeholder = opened->placeholder;
        range = opened->members;
    }

    std::vector<ShapePtr> doneShapes;
    WalkScope scope{ctx, container, topLevel, doneShapes};
    const int count = range ? AttemptValue([&] { return range->Count(); }).value_or(0) : 0;
    for (int i = 1; i <= count; ++i) {
        const auto shape = AttemptValue([&] { return Need(range->Item(i), "Item"); });
        if (shape)
            WalkShape(scope, *shape);
    }

    if (topLevel)
        return {};
    return RebuildGroup(ctx, container, placeholder, doneShapes);
}

} // namespace

std::string CompressShapes(EngineContext& ctx, SlidePtr container, ShapePtr group, bool topLevel) {
    const ShapePtr rebuilt = Walk(ctx, container, group, topLevel);
    if (topLevel || !rebuilt)
        return {};
    return AttemptValue([&] { return rebuilt->Name(); }).value_or("");
}

} // namespace engine
