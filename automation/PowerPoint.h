#pragma once

// The presentation half of the office object model, as the compression engine drives it.
// Members keep the object model's names. Every member may throw AutomationError.
// Geometry is in points, rotation in degrees, collections are 1-based.

#include "automation/Animation.h"
#include "automation/Links.h"

#include <memory>
#include <string>
#include <vector>

namespace automation {

class IShape;
class IShapeRange;
class ISlide;
class IPresentation;

using ShapePtr = std::shared_ptr<IShape>;
using ShapeRangePtr = std::shared_ptr<IShapeRange>;
using SlidePtr = std::shared_ptr<ISlide>;
using PresentationPtr = std::shared_ptr<IPresentation>;

class IOLEFormat {
public:
    virtual ~IOLEFormat() = default;
    virtual std::string ProgID() = 0;
};

class IShape {
public:
    virtual ~IShape() = default;

    virtual std::string Name() = 0;
    virtual void SetName(const std::string& name) = 0;
    virtual int Type() = 0;
    // What a placeholder holds: msoPicture once a picture was put into it, else 0. A backend that
    // cannot tell answers 0.
    virtual int PlaceholderContainedType() { return 0; }

    virtual double Left() = 0;
    virtual void SetLeft(double points) = 0;
    virtual double Top() = 0;
    virtual void SetTop(double points) = 0;
    virtual double Width() = 0;
    virtual void SetWidth(double points) = 0;
    virtual double Height() = 0;
    virtual void SetHeight(double points) = 0;
    virtual double Rotation() = 0;
    virtual void SetRotation(double degrees) = 0;
    // The description and its title that screen readers announce for the shape; empty when none.
    virtual std::string AlternativeText() = 0;
    virtual void SetAlternativeText(const std::string& text) = 0;
    virtual std::string Title() = 0;
    virtual void SetTitle(const std::string& text) = 0;

    // 1-based position among the shapes of the slide, back to front.
    virtual int ZOrderPosition() = 0;
    virtual void ZOrder(int command) = 0;

    // replace = false adds the shape to the window's current selection.
    virtual void Select(bool replace = true) = 0;
    virtual void Copy() = 0;
    // Copy() of a shape enlarged for the copy only, whose copy will be shown at this size (points):
    // a backend may then give the copy's picture more pixels than its copied size, where that keeps
    // the picture sharp when shown.
    virtual void CopyShownAt(double /*shownWidth*/, double /*shownHeight*/) { Copy(); }
    virtual void Delete() = 0;
    virtual void PickUp() = 0;
    virtual ShapeRangePtr Ungroup() = 0;

    virtual std::shared_ptr<IOLEFormat> OLEFormat() = 0;
    virtual std::shared_ptr<IActionSetting> ActionSettings(int index) = 0;
    virtual bool Connector() = 0;
    virtual std::shared_ptr<IConnectorFormat> ConnectorFormat() = 0;
    virtual std::shared_ptr<IAnimationSettings> AnimationSettings() = 0;
};

class IShapeRange {
public:
    virtual ~IShapeRange() = default;
    virtual int Count() = 0;
    virtual ShapePtr Item(int index) = 0;
    // Groups the shapes of the range into a new group shape and returns it.
    virtual ShapePtr Group() = 0;
};

class IShapes {
public:
    virtual ~IShapes() = default;
    virtual int Count() = 0;
    virtual ShapePtr Item(int index) = 0;
    virtual ShapeRangePtr Range() = 0;
    virtual ShapePtr AddShape(int type, double left, double top, double width, double height) = 0;
    // Inserts a picture file as a new picture shape (used to build decks; not by the engine).
    virtual ShapePtr AddPicture(const std::string& fileName, double left, double top, double width,
                                double height) = 0;
    virtual ShapeRangePtr Paste() = 0;
    virtual ShapeRangePtr PasteSpecial(int dataType) = 0;
};

class ISlide {
public:
    virtual ~ISlide() = default;
    virtual void Select() = 0;
    virtual int SlideIndex() = 0;
    virtual std::shared_ptr<IShapes> Shapes() = 0;
    virtual std::shared_ptr<ITimeLine> TimeLine() = 0;
};

class ISlides {
public:
    virtual ~ISlides() = default;
    virtual int Count() = 0;
    virtual SlidePtr Item(int index) = 0;
    virtual SlidePtr Add(int index, int layout) = 0;
    virtual void Delete(int index) = 0;
};

class ISelection {
public:
    virtual ~ISelection() = default;
    virtual ShapeRangePtr ShapeRange() = 0;
    virtual void Unselect() = 0;
};

class IPane {
public:
    virtual ~IPane() = default;
    virtual int ViewType() = 0;
};

class IDocumentWindow {
public:
    virtual ~IDocumentWindow() = default;
    virtual int ViewType() = 0;
    virtual void SetViewType(int viewType) = 0;
    virtual std::shared_ptr<IPane> Panes(int index) = 0;
    virtual void Activate() = 0;
    virtual std::shared_ptr<ISelection> Selection() = 0;
};

// One embedded font part after SubsetEmbeddedFonts.
struct EmbeddedFontSaving {
    std::string typeface;
    std::string style; // regular, bold, italic, boldItalic
    double bytesBefore = 0;
    double bytesAfter = 0; // equals bytesBefore when the part was kept
    std::string kept;      // empty when subset, else why the whole font stayed: "not-smaller",
                           // "no-subsetting-allowed", "unreadable"
};

struct LayoutRemovalCount {
    int layouts = 0;
    int masters = 0;
};

class IPresentation {
public:
    virtual ~IPresentation() = default;
    virtual std::shared_ptr<IDocumentWindow> Windows(int index) = 0;
    virtual std::shared_ptr<ISlides> Slides() = 0;
    virtual bool Saved() = 0;
    virtual void SetSaved(bool saved) = 0;
    // Writes the format that the extension of fileName names; atomic (temporary file, then rename).
    virtual void SaveAs(const std::string& fileName) = 0;
    virtual void Close() = 0;
    virtual std::string FullName() = 0;
    // Savings the user opts into because they limit later editing. Implementations without a
    // package of their own change nothing.
    virtual std::vector<EmbeddedFontSaving> SubsetEmbeddedFonts() { return {}; }
    virtual LayoutRemovalCount RemoveUnusedLayouts() { return {}; }
    // The extension of the format the presentation is written in when nothing else is asked for
    // ("pptx", "pptm", "ppsx"...): an opened package keeps its own kind, a deck converted from an
    // older format takes its package counterpart. Empty when the backend does not say.
    virtual std::string DefaultSaveExtension() { return {}; }
};

class IPresentations {
public:
    virtual ~IPresentations() = default;
    virtual int Count() = 0;
    virtual PresentationPtr Item(int index) = 0;
    virtual PresentationPtr Open(const std::string& fileName, bool readOnly) = 0;
    virtual PresentationPtr Add(bool withWindow) = 0;
};

class ICommandBarControl {
public:
    virtual ~ICommandBarControl() = default;
    virtual void Execute() = 0;
    virtual void Delete() = 0;
};

class ICommandBarControls {
public:
    virtual ~ICommandBarControls() = default;
    virtual std::shared_ptr<ICommandBarControl> Add(int id) = 0;
};

class ICommandBar {
public:
    virtual ~ICommandBar() = default;
    virtual std::shared_ptr<ICommandBarControls> Controls() = 0;
};

class ICommandBars {
public:
    virtual ~ICommandBars() = default;
    virtual std::shared_ptr<ICommandBar> Item(const std::string& name) = 0;
};

class IApplication {
public:
    virtual ~IApplication() = default;
    virtual std::string Name() = 0;
    virtual std::string Version() = 0;
    virtual std::shared_ptr<IPresentations> Presentations() = 0;
    virtual int WindowState() = 0;
    virtual void SetWindowState(int state) = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual std::shared_ptr<ICommandBars> CommandBars() = 0;
    virtual void Quit() = 0;
};

using ApplicationPtr = std::shared_ptr<IApplication>;

} // namespace automation
