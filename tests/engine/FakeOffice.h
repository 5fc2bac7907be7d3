#pragma once

// A small in-memory stand-in for the office object model, enough to drive the shape walk without
// a presentation engine: shapes in z-order on slides, groups, a clipboard that carries a stored
// weight, pastes whose weight a test decides, a scratch presentation whose saved file weighs the
// base size plus its shapes, a worksheet paste target, and member failures on request.

#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "automation/OfficeProvider.h"
#include "engine/Host.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fake {

using namespace automation;

class Slide;
class Shape;
using FakeShapePtr = std::shared_ptr<Shape>;

// What a copy leaves on the clipboard.
struct Clip {
    double weight = 0;            // bytes the copy stores when pasted plainly
    double width = 0, height = 0; // points at the time of the copy
    double transparentShare = 0;  // share of the area that is transparent
    bool flattened = false;       // transparency was lost (a JPEG paste of a transparent source)
    int format = 0;               // paste data type the copied shape was made with (0 = original)
};

struct World {
    // Members named here throw AutomationError; "Shape.Copy@Picture 2" fails only for that name.
    std::set<std::string> failing;
    void Check(const std::string& member, const std::string& name = {}) const {
        ++calls[member];
        if (failing.count(member) || (!name.empty() && failing.count(member + "@" + name)))
            throw AutomationError(member, "injected failure");
    }

    mutable std::map<std::string, int> calls; // how often each checked member was called
    std::optional<Clip> clip;
    // Weight of a pasted replacement: data type (3,4,5,6) and the clip. Default: half the source.
    std::function<double(int, const Clip&)> encode = [](int, const Clip& c) { return c.weight / 2; };
    std::vector<int> pasteTypes;           // every PasteSpecial data type, in order
    std::vector<std::string> excelFormats; // every worksheet PasteSpecial caption
    std::vector<double> copiedWidths;      // width of every shape at its Copy
    int pictureCounter = 100;              // names of PasteSpecial results
    int pasteCounter = 500;                // names of plain Paste results
    std::vector<FakeShapePtr> selection;
    int appWindowState = 1;
};

class ActionSetting : public IActionSetting,
                      public IHyperlink,
                      public ISoundEffect,
                      public std::enable_shared_from_this<ActionSetting> {
public:
    explicit ActionSetting(World& w) : w_(w) {}
    std::shared_ptr<IHyperlink> Hyperlink() override { return {shared_from_this(), this}; }
    std::shared_ptr<ISoundEffect> SoundEffect() override { return {shared_from_this(), this}; }
    int Action() override { return action; }
    void SetAction(int v) override {
        w_.Check("SetAction");
        action = v;
    }
    bool AnimateAction() override { return animateAction; }
    void SetAnimateAction(bool v) override { animateAction = v; }
    std::string Run() override { return run; }
    void SetRun(const std::string& v) override { run = v; }
    std::string SlideShowName() override { return slideShowName; }
    void SetSlideShowName(const std::string& v) override { slideShowName = v; }
    std::string Address() override { return address; }
    void SetAddress(const std::string& v) override { address = v; }
    std::string EmailSubject() override { return emailSubject; }
    void SetEmailSubject(const std::string& v) override {
        w_.Check("SetEmailSubject");
        emailSubject = v;
    }
    std::string ScreenTip() override { return screenTip; }
    void SetScreenTip(const std::string& v) override { screenTip = v; }
    bool ShowAndReturn() override { return showAndReturn; }
    void SetShowAndReturn(bool v) override { showAndReturn = v; }
    std::string SubAddress() override { return subAddress; }
    void SetSubAddress(const std::string& v) override { subAddress = v; }
    std::string TextToDisplay() override { return textToDisplay; }
    void SetTextToDisplay(const std::string& v) override { textToDisplay = v; }
    std::string Name() override { return soundName; }
    void SetName(const std::string& v) override {
        w_.Check("Sound.SetName");
        soundName = v;
    }
    int Type() override { return soundType; }
    void SetType(int v) override { soundType = v; }

    int action = 0;
    bool animateAction = false;
    std::string run, slideShowName, address, emailSubject, screenTip, subAddress, textToDisplay, soundName;
    bool showAndReturn = false;
    int soundType = 0;

private:
    World& w_;
};

class Connector : public IConnectorFormat {
public:
    explicit Connector(World& w) : w_(w) {}
    bool BeginConnected() override { return begin != nullptr; }
    ShapePtr BeginConnectedShape() override;
    int BeginConnectionSite() override { return beginSite; }
    void BeginConnect(ShapePtr shape, int site) override;
    void BeginDisconnect() override { begin.reset(); }
    bool EndConnected() override { return end != nullptr; }
    ShapePtr EndConnectedShape() override;
    int EndConnectionSite() override { return endSite; }
    void EndConnect(ShapePtr shape, int site) override;
    void EndDisconnect() override { end.reset(); }

    FakeShapePtr begin, end;
    int beginSite = 0, endSite = 0;

private:
    World& w_;
};

class LegacyAnimation : public IAnimationSettings {
public:
    explicit LegacyAnimation(World& w) : w_(w) {}
#define FAKE_PROP(T, N)                                                                                      \
    T N() override {                                                                                         \
        return N##_;                                                                                         \
    }                                                                                                        \
    void Set##N(T v) override {                                                                              \
        w_.Check("Set" #N);                                                                                  \
        N##_ = v;                                                                                            \
    }                                                                                                        \
    T N##_ {}
    FAKE_PROP(int, AdvanceMode);
    FAKE_PROP(double, AdvanceTime);
    FAKE_PROP(int, AfterEffect);
    FAKE_PROP(bool, AnimateBackground);
    FAKE_PROP(bool, AnimateTextInReverse);
    FAKE_PROP(int, TextLevelEffect);
    FAKE_PROP(int, TextUnitEffect);
    FAKE_PROP(int, DimColor);
    FAKE_PROP(int, EntryEffect);
    FAKE_PROP(bool, Animate);
    FAKE_PROP(int, AnimationOrder);
#undef FAKE_PROP

private:
    World& w_;
};

class Shape : public IShape, public std::enable_shared_from_this<Shape> {
public:
    Shape(World& w, std::string name, int type) : w_(w), name(std::move(name)), type(type) {
        actions[0] = std::make_shared<ActionSetting>(w);
        actions[1] = std::make_shared<ActionSetting>(w);
        legacy = std::make_shared<LegacyAnimation>(w);
    }

    std::string Name() override {
        w_.Check("Shape.Name", name);
        return name;
    }
    void SetName(const std::string& n) override { name = n; }
    int Type() override { return type; }
    double Left() override { return left; }
    void SetLeft(double v) override { left = v; }
    double Top() override { return top; }
    void SetTop(double v) override { top = v; }
    double Width() override { return width; }
    void SetWidth(double v) override {
        w_.Check("Shape.SetWidth", name);
        width = v;
    }
    double Height() override { return height; }
    void SetHeight(double v) override { height = v; }
    double Rotation() override {
        w_.Check("Shape.Rotation", name);
        return rotation;
    }
    void SetRotation(double v) override { rotation = v; }
    std::string AlternativeText() override { return altText; }
    void SetAlternativeText(const std::string& v) override { altText = v; }
    std::string Title() override { return title; }
    void SetTitle(const std::string& v) override { title = v; }
    int ZOrderPosition() override;
    void ZOrder(int command) override;
    void Select(bool replace) override;
    void Copy() override;
    void Delete() override;
    void PickUp() override { w_.Check("PickUp"); }
    ShapeRangePtr Ungroup() override;
    std::shared_ptr<IOLEFormat> OLEFormat() override;
    std::shared_ptr<IActionSetting> ActionSettings(int index) override { return actions.at(index - 1); }
    bool Connector() override { return connector != nullptr; }
    std::shared_ptr<IConnectorFormat> ConnectorFormat() override { return connector; }
    std::shared_ptr<IAnimationSettings> AnimationSettings() override { return legacy; }

    World& w_;
    Slide* slide = nullptr;
    std::string name;
    int type;
    double left = 0, top = 0, width = 0, height = 0, rotation = 0;
    std::string altText, title;
    double weight = 0;           // bytes stored for this shape
    double transparentShare = 0; // of a picture with transparent pixels
    bool flattened = false;
    int format = 0; // paste data type it was made with (0 = original)
    std::string progId;
    std::vector<FakeShapePtr> members; // of a group
    std::array<std::shared_ptr<ActionSetting>, 2> actions;
    std::shared_ptr<fake::Connector> connector;
    std::shared_ptr<LegacyAnimation> legacy;
    bool deleted = false;
};

class Range : public IShapeRange {
public:
    Range(World& w, Slide* slide, std::vector<FakeShapePtr> shapes)
        : w_(w), slide_(slide), shapes_(std::move(shapes)) {}
    int Count() override { return static_cast<int>(shapes_.size()); }
    ShapePtr Item(int index) override { return shapes_.at(index - 1); }
    ShapePtr Group() override;

private:
    World& w_;
    Slide* slide_;
    std::vector<FakeShapePtr> shapes_;
};

// Effects keep only what the walk's tests look at: the shape, the type and the position.
class Effect;
class Sequence : public ISequence {
public:
    explicit Sequence(World& w) : w_(w) {}
    int Count() override { return static_cast<int>(effects.size()); }
    std::shared_ptr<IEffect> Item(int index) override;
    std::shared_ptr<IEffect> AddEffect(ShapePtr shape, int effectId, int index) override;
    std::vector<std::shared_ptr<Effect>> effects;

private:
    World& w_;
};

class Effect : public IEffect, public std::enable_shared_from_this<Effect> {
public:
    Effect(Sequence& seq, ShapePtr shape, int type) : shape(std::move(shape)), type(type), seq_(seq) {}
    ShapePtr Shape() override { return shape; }
    int EffectType() override { return type; }
    int Index() override;
    std::shared_ptr<IEffectParameters> EffectParameters() override {
        throw AutomationError("EffectParameters", "n/a");
    }
    std::shared_ptr<IAnimationBehaviors> Behaviors() override { throw AutomationError("Behaviors", "n/a"); }
    std::shared_ptr<ITiming> Timing() override { throw AutomationError("Timing", "n/a"); }
    bool Exit() override { return exit; }
    void SetExit(bool v) override { exit = v; }
    void Delete() override;

    ShapePtr shape;
    int type;
    bool exit = false;

private:
    Sequence& seq_;
};

class Shapes;
class Slide : public ISlide, public ITimeLine, public std::enable_shared_from_this<Slide> {
public:
    explicit Slide(World& w);
    void Select() override {}
    int SlideIndex() override { return 1; }
    std::shared_ptr<IShapes> Shapes() override;
    std::shared_ptr<ITimeLine> TimeLine() override { return {shared_from_this(), this}; }
    std::shared_ptr<ISequence> MainSequence() override { return sequence; }

    FakeShapePtr Add(const std::string& name, int type, double l, double t, double w, double h,
                     double weight = 0);
    void Insert(std::size_t position, const FakeShapePtr& shape);
    void Remove(Shape* shape);
    std::size_t PositionOf(const Shape* shape) const;
    FakeShapePtr Find(const std::string& name) const;
    std::vector<std::string> Names() const;
    double Weight() const;

    World& w_;
    std::vector<FakeShapePtr> shapes; // back to front
    std::shared_ptr<Sequence> sequence;
    int autoCounter = 1;
};

class Shapes : public IShapes {
public:
    Shapes(World& w, std::shared_ptr<Slide> slide) : w_(w), slide_(std::move(slide)) {}
    int Count() override { return static_cast<int>(slide_->shapes.size()); }
    ShapePtr Item(int index) override { return slide_->shapes.at(index - 1); }
    ShapeRangePtr Range() override { return std::make_shared<fake::Range>(w_, slide_.get(), slide_->shapes); }
    ShapePtr AddShape(int type, double left, double top, double width, double height) override;
    ShapePtr AddPicture(const std::string&, double, double, double, double) override {
        throw AutomationError("AddPicture", "n/a");
    }
    ShapeRangePtr Paste() override;
    ShapeRangePtr PasteSpecial(int dataType) override;

private:
    World& w_;
    std::shared_ptr<Slide> slide_;
};

// The scratch presentation and the source presentation with its window.
class Presentation : public IPresentation,
                     public ISlides,
                     public IDocumentWindow,
                     public ISelection,
                     public std::enable_shared_from_this<Presentation> {
public:
    Presentation(World& w, double baseSize) : w_(w), baseSize_(baseSize) {}
    std::shared_ptr<IDocumentWindow> Windows(int) override { return {shared_from_this(), this}; }
    std::shared_ptr<ISlides> Slides() override { return {shared_from_this(), this}; }
    bool Saved() override { return true; }
    void SetSaved(bool) override {}
    void SaveAs(const std::string& fileName) override;
    void Close() override {}
    std::string FullName() override { return fullName_; }
    // ISlides
    int Count() override { return static_cast<int>(slides.size()); }
    SlidePtr Item(int index) override { return slides.at(index - 1); }
    SlidePtr Add(int index, int layout) override;
    void Delete(int index) override { slides.erase(slides.begin() + (index - 1)); }
    // IDocumentWindow
    int ViewType() override { return 9; }
    void SetViewType(int) override {}
    std::shared_ptr<IPane> Panes(int) override { return nullptr; }
    void Activate() override {}
    std::shared_ptr<ISelection> Selection() override { return {shared_from_this(), this}; }
    // ISelection
    ShapeRangePtr ShapeRange() override;
    void Unselect() override { w_.selection.clear(); }

    std::vector<std::shared_ptr<Slide>> slides;
    int saves = 0;

private:
    World& w_;
    double baseSize_;
    std::string fullName_;
};

class App : public IApplication {
public:
    explicit App(World& w, std::string version = "12.0") : w_(w), version_(std::move(version)) {}
    std::string Name() override { return "fake"; }
    std::string Version() override { return version_; }
    std::shared_ptr<IPresentations> Presentations() override { return nullptr; }
    int WindowState() override { return w_.appWindowState; }
    void SetWindowState(int s) override { w_.appWindowState = s; }
    bool Visible() override { return true; }
    void SetVisible(bool) override {}
    std::shared_ptr<ICommandBars> CommandBars() override { return nullptr; }
    void Quit() override {}

private:
    World& w_;
    std::string version_;
};

// The worksheet paste target of the older paste path.
class Sheet : public IWorksheet, public IWorkbook {
public:
    explicit Sheet(World& w) : w_(w) {}
    void PasteSpecial(const std::string& format, bool link, bool displayAsIcon) override;
    std::shared_ptr<IExcelShape> Shapes(int index) override;
    std::shared_ptr<IWorksheet> Worksheets(int) override { return nullptr; }
    bool Saved() override { return saved; }
    void SetSaved(bool s) override { saved = s; }
    void Close() override {}

    std::vector<Clip> pasted;
    bool saved = false;

private:
    World& w_;
};

class Clipboard : public IClipboard {
public:
    explicit Clipboard(World& w) : w_(w) {}
    void Clear() override { w_.clip.reset(); }
    bool ContainsMetafile() override { return w_.clip.has_value(); }
    std::optional<ColorBox> RenderMetafile(int boxWidth, int boxHeight) override;

private:
    World& w_;
};

class Provider : public IOfficeProvider {
public:
    explicit Provider(World& w) : clipboard_(w) {}
    ApplicationPtr GetActivePowerPoint() override { return nullptr; }
    ApplicationPtr CreatePowerPoint() override { return nullptr; }
    ExcelApplicationPtr CreateExcel() override { return nullptr; }
    IClipboard& Clipboard() override { return clipboard_; }
    bool SettlesAtOnce() const override { return settles; }
    bool settles = false;

private:
    fake::Clipboard clipboard_;
};

class RecordingHost : public engine::Host {
public:
    void AppendLog(const std::string& text) override { log.push_back(text); }
    void AppendLogRaw(const std::string& text) override { log.push_back(text); }
    void ClearLog() override { log.clear(); }
    void SetStatus(const std::string& text) override { status = text; }
    std::string Status() const override { return status; }
    engine::MessageResult MessageBox(const std::string&, engine::MessageIcon,
                                     engine::MessageButtons) override {
        return engine::MessageResult::Ok;
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void DoEvents() override { ++events; }
    void Beep() override {}
    void SetRunning(bool) override {}
    void SetCaptionSuffix(const std::string&) override {}

    std::vector<std::string> log;
    std::string status;
    int events = 0;
};

} // namespace fake
