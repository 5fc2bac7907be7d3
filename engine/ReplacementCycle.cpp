#include "engine/ReplacementCycle.h"

#include "automation/Constants.h"
#include "engine/AnimationTransfer.h"
#include "engine/Attempt.h"
#include "engine/LinkTransfer.h"
#include "engine/PictureCheck.h"
#include "engine/ReplacementRules.h"
#include "platform/FileSystem.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

namespace engine {

namespace {

constexpr int kPauseMs = 50;
constexpr double kTransparencyLimit = 0.05;

std::string TrimmedLower(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    std::string out = text.substr(first, last - first + 1);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

void CarryDescription(automation::IShape& from, automation::IShape& to) {
    if (const std::string text = from.AlternativeText(); !text.empty())
        to.SetAlternativeText(text);
    if (const std::string title = from.Title(); !title.empty())
        to.SetTitle(title);
}

class Cycle {
public:
    Cycle(WalkScope& scope, const automation::ShapePtr& shp, const ShapeFacts& facts)
        : scope_(scope), ctx_(scope.ctx), state_(scope.ctx.state), settings_(scope.ctx.settings), shp_(shp),
          facts_(facts), treatAsPicture_(facts.treatAsPicture) {}

    void Run() {
        try {
            RunSteps();
        } catch (const std::exception&) {
            Abandon();
        }
    }

private:
    void RunSteps() {
        SelectSource();
        zOrder_ = shp_->ZOrderPosition();
        NoteRotation();

        for (;;) {
            CopyScaled();
            sizeBefore_ = Measure(state_.ProbePathBefore, true);
            if (SettingNumber(settings_.FileSize) * 1024.0 > sizeBefore_) {
                LeaveUnchanged();
                return;
            }
            if (!PasteReplacement())
                return;
            if (!retryAsMetafile_)
                break;
            retryAsMetafile_ = false;
        }

        sizeAfter_ = Measure(state_.ProbePathAfter, false);
        KeepSmallerConversion();
        if (!AcceptReplacement(SettingNumber(settings_.ExpectRate), sizeBefore_, sizeAfter_)) {
            Need(newShape_, "Paste")->Delete();
            newShape_.reset();
            Pause(ctx_, kPauseMs);
            LeaveUnchanged();
            return;
        }
        TakeOver();
    }

    void SelectSource() {
        auto presentation = state_.SourcePresentation;
        Attempt([&] { Need(Need(presentation, "SourcePresentation")->Windows(1), "Windows")->Activate(); });
        Attempt([&] { scope_.slide->Select(); });
        Attempt([&] { shp_->Select(true); });
        Attempt([&] { shp_->PickUp(); });
    }

    void NoteRotation() {
        if (state_.gOfficeXPMode) {
            rotation_ = shp_->Rotation();
            if (WholeNumber(rotation_) != 0) {
                shp_->SetRotation(0);
                rotationChanged_ = true;
            }
        } else {
            // Only the worksheet's caption depends on it; the shape keeps its rotation.
            rotation_ = AttemptValue([&] { return shp_->Rotation(); }).value_or(0);
        }
    }

    // Copies the shape at the chosen resolution, then puts its size back whatever happened.
    void CopyScaled() {
        const double factor = ScaleFactor(settings_.Ratio);
        try {
            shp_->SetWidth(factor * facts_.width);
            shp_->SetHeight(factor * facts_.height);
            shp_->CopyShownAt(facts_.width, facts_.height);
        } catch (const std::exception&) {
            Attempt([&] { RestoreSize(); });
            throw;
        }
        RestoreSize();
    }

    void RestoreSize() {
        shp_->SetWidth(facts_.width);
        shp_->SetHeight(facts_.height);
    }

    // Pastes the clipboard on a blank first slide of the scratch presentation, saves it and gives
    // the bytes above the empty presentation. The slide goes again in every case.
    double Measure(const std::string& probePath, bool captureReference) {
        auto scratch = Need(state_.ScratchPresentation, "ScratchPresentation");
        auto slides = Need(scratch->Slides(), "Slides");
        auto slide = Need(slides->Add(1, automation::ppLayoutBlank), "Add");
        double size = 0;
        try {
            Need(slide->Shapes(), "Shapes")->Paste();
            scratch->SaveAs(probePath);
            size = static_cast<double>(platform::gFSO.FileSize(scratch->FullName())) - state_.ProbeBaseSize;
            if (captureReference) {
                // The copy is the whole picture at the chosen resolution, 96 pixels an inch.
                const double factor = ScaleFactor(settings_.Ratio);
                CaptureReferenceImage(ctx_.office.Clipboard(), reference_,
                                      static_cast<int>(std::lround(factor * facts_.width * 4.0 / 3.0)),
                                      static_cast<int>(std::lround(factor * facts_.height * 4.0 / 3.0)));
            }
        } catch (const std::exception&) {
            Attempt([&] { slides->Delete(1); });
            throw;
        }
        slides->Delete(1);
        return size;
    }

    std::optional<PastePlan> ChoosePlan() const {
        const bool rotated = WholeNumber(rotation_) != 0;
        // An object's retry after transparency loss goes to a metafile as a picture's does.
        if (treatAsPicture_ || secondTry_)
            return PicturePastePlan(settings_.Format, secondTry_, rotated, state_.gOfficeXPMode);
        return ObjectPastePlan(ctx_.exceptions.ObjToImage(facts_.kind));
    }

    // Pastes until a replacement stands that is to be measured. False when the object's setting
    // names no format (the shape stays as it is). Sets retryAsMetafile_ when the JPEG lost
    // transparency and the shape is to be copied again.
    bool PasteReplacement() {
        for (;;) {
            Pause(ctx_, kPauseMs);
            const auto plan = ChoosePlan();
            if (!plan) {
                LeaveUnchanged();
                return false;
            }
            newShape_ = Paste(*plan);
            formatName_ = plan->formatName;
            Pause(ctx_, kPauseMs);
            newShape_->CopyShownAt(facts_.width, facts_.height);

            if (!secondTry_ && settings_.Format == 0 && formatName_ == kFormatJpeg &&
                CheckTransparencyLoss(ctx_.office.Clipboard(), reference_, kTransparencyLimit)) {
                DeleteReplacement();
                secondTry_ = true;
                retryAsMetafile_ = true;
                return true;
            }
            if (settings_.Twice == 1 && settings_.Format == 0 && !treatAsPicture_) {
                // The clipboard holds the converted picture; paste it again by the picture rules.
                // The first conversion is measured and kept aside: a metafile of text and lines is
                // often far smaller than its JPEG, and then it stands instead (KeepSmallerConversion).
                firstConversionSize_ = Measure(state_.ProbePathAfter, false);
                firstConversion_ = std::move(newShape_);
                firstFormatName_ = formatName_;
                treatAsPicture_ = true;
                continue;
            }
            return true;
        }
    }

    automation::ShapePtr Paste(const PastePlan& plan) {
        auto shapes = Need(scope_.slide->Shapes(), "Shapes");
        if (state_.gOfficeXPMode)
            return Need(Need(shapes->PasteSpecial(plan.dataType), "PasteSpecial")->Item(1), "Item");

        auto sheet = Need(state_.ExcelSheet, "ExcelSheet");
        sheet->PasteSpecial(plan.excelCaption, false, false);
        auto pasted = Need(sheet->Shapes(1), "Shapes");
        try {
            pasted->Copy();
        } catch (const std::exception&) {
            Attempt([&] { pasted->Delete(); });
            throw;
        }
        pasted->Delete();
        Need(state_.ExcelWorkbook, "ExcelWorkbook")->SetSaved(true);
        scope_.slide->Select();
        return Need(Need(shapes->Paste(), "Paste")->Item(1), "Item");
    }

    // The second conversion stands only when it is smaller than the first: a "recompression" that
    // grows the picture would also trade the first one's vectors for pixels.
    void KeepSmallerConversion() {
        if (!firstConversion_)
            return;
        // Each shape is let go only once its deletion went through, so that a failure leaves
        // nothing of the cycle on the slide (Abandon, LeaveUnchanged).
        if (sizeAfter_ < firstConversionSize_) {
            firstConversion_->Delete();
            firstConversion_.reset();
            return;
        }
        DeleteReplacement();
        newShape_ = std::move(firstConversion_);
        firstConversion_.reset();
        formatName_ = firstFormatName_;
        sizeAfter_ = firstConversionSize_;
    }

    void DeleteReplacement() {
        auto shape = std::move(newShape_);
        newShape_.reset();
        shape->Delete();
    }

    void TakeOver() {
        auto& newShape = *newShape_;
        newShape.SetLeft(facts_.left);
        newShape.SetTop(facts_.top);
        newShape.SetWidth(facts_.width);
        newShape.SetHeight(facts_.height);

        for (;;) {
            const int position = newShape.ZOrderPosition();
            if (position <= zOrder_)
                break;
            newShape.ZOrder(automation::msoSendBackward);
            if (newShape.ZOrderPosition() == position)
                break;
        }

        if (state_.gOfficeXPMode)
            newShape.SetRotation(rotation_);
        if (scope_.topLevel)
            MoveAnimation(ctx_, *scope_.slide, shp_, newShape_);
        for (int index : {automation::ppMouseClick, automation::ppMouseOver}) {
            Attempt([&] {
                CopyActionSetting(*Need(shp_->ActionSettings(index), "ActionSettings"),
                                  *Need(newShape.ActionSettings(index), "ActionSettings"));
            });
        }
        Attempt([&] { ReattachConnectors(*Need(scope_.slide->Shapes(), "Shapes"), *shp_, newShape_); });
        // A pasted picture carries no description; the one the user wrote must not go with the source.
        Attempt([&] { CarryDescription(*shp_, newShape); });

        shp_->Delete();
        // From here the replacement stands for the source: nothing may take it away again.
        auto replacement = std::move(newShape_);
        newShape_.reset();
        ctx_.host.AppendLog(LogLine());
        Pause(ctx_, kPauseMs);
        state_.PresentationChanged = true;
        scope_.doneShapes.push_back(replacement);
    }

    std::string LogLine() const {
        if (TrimmedLower(facts_.kind) == "picture")
            return PictureLogLine(facts_.width, facts_.height, formatName_, sizeBefore_, sizeAfter_);
        return ObjectLogLine(facts_.width, facts_.height, facts_.kind, formatName_, sizeBefore_, sizeAfter_);
    }

    void RestoreRotation() {
        if (rotationChanged_ && Attempt([&] { shp_->SetRotation(rotation_); }))
            rotationChanged_ = false;
    }

    void LeaveUnchanged() {
        if (auto first = std::move(firstConversion_))
            Attempt([&] { first->Delete(); });
        RestoreRotation();
        scope_.doneShapes.push_back(shp_);
    }

    void Abandon() {
        if (newShape_)
            Attempt([&] { DeleteReplacement(); });
        LeaveUnchanged();
    }

    WalkScope& scope_;
    EngineContext& ctx_;
    EngineState& state_;
    const settings::Settings& settings_;
    automation::ShapePtr shp_;
    const ShapeFacts& facts_;

    bool treatAsPicture_;
    bool secondTry_ = false;
    bool retryAsMetafile_ = false;
    int zOrder_ = 0;
    double rotation_ = 0;
    bool rotationChanged_ = false;
    double sizeBefore_ = 0;
    double sizeAfter_ = 0;
    std::string formatName_;
    automation::ShapePtr newShape_;
    // The first of an object's two conversions, while the second is made and measured.
    automation::ShapePtr firstConversion_;
    double firstConversionSize_ = 0;
    std::string firstFormatName_;
    ReferenceImage reference_;
};

} // namespace

void RunReplacementCycle(WalkScope& scope, const automation::ShapePtr& shp, const ShapeFacts& facts) {
    Cycle(scope, shp, facts).Run();
}

void MoveAnimation(EngineContext& ctx, automation::ISlide& slide, const automation::ShapePtr& from,
                   const automation::ShapePtr& to) {
    if (ctx.state.gOfficeXPMode) {
        if (const auto timeline = AttemptValue([&] { return slide.TimeLine(); }); timeline && *timeline)
            TransferAnimation(**timeline, from, to);
        return;
    }
    TransferLegacyAnimation(*from, *to);
}

void Pause(EngineContext& ctx, int milliseconds) {
    if (ctx.state.Wait) {
        ctx.state.Wait(milliseconds);
        return;
    }
    if (ctx.office.SettlesAtOnce()) {
        // Nothing to wait for; the window still gets its turn, as a pause would give it.
        Attempt([&] { ctx.host.DoEvents(); });
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace engine
