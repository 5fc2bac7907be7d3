#pragma once

// The classes behind the presentation object model. Shapes are handles (slide + cNvPr id) that look
// their element up on every call, so a handle stays valid while its element exists and throws once
// it is gone; slides are handles on a slide part; presentations own their package.

#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "automation/DeckPictures.h"
#include "automation/EmbeddedMedia.h"
#include "automation/PictureForecast.h"
#include "automation/PictureSharing.h"
#include "automation/PowerPoint.h"
#include "automation/ReplacedPictures.h"
#include "office/binary/LibreOfficeConverter.h"
#include "office/clipboard/ClipPicture.h"
#include "office/deckpictures/DeckPictures.h"
#include "office/deckpictures/PictureUses.h"
#include "office/ledger/ReplacementLedger.h"
#include "office/model/ShapeTree.h"
#include "office/model/SlideContext.h"
#include "office/model/SlideFeatures.h"
#include "office/package/Package.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace office {
class EngineClipboard;
}

namespace office::model {

class PresentationImpl;
class SlideImpl;
class ShapeImpl;

[[noreturn]] void Fail(const std::string& member, const std::string& message);

// What every object of one application shares.
struct AppCore {
    AppCore(std::string v, EngineClipboard& c) : version(std::move(v)), clipboard(c) {}
    std::string version;
    EngineClipboard& clipboard;
    bool alive = true;
    int windowState = 1;
    bool visible = true;
    std::vector<std::shared_ptr<PresentationImpl>> presentations;
    std::weak_ptr<PresentationImpl> active;
    // Which presentation the last shape copy came from (serials are never reused), so that a paste
    // relinks slide jumps only inside that presentation.
    std::uint64_t nextSerial = 1;
    std::uint64_t copySource = 0;
    // How decks in formats the engine does not read are converted, and what may stop that.
    binary::ConverterSettings converter;
    binary::StopCheck interruptCheck;
    // Pane view after the thumbnails command ran; applied to the active presentation.
    void RequireAlive(const std::string& member) const;
};

class PresentationImpl : public automation::IPresentation,
                         public automation::IEmbeddedMedia,
                         public automation::IDeckPictures,
                         public automation::IPictureSharing,
                         public automation::IPictureForecast,
                         public automation::IReplacedPictures,
                         public std::enable_shared_from_this<PresentationImpl> {
public:
    PresentationImpl(std::shared_ptr<AppCore> app, std::unique_ptr<package::Package> pkg,
                     std::string fullName, bool readOnly);

    std::shared_ptr<automation::IDocumentWindow> Windows(int index) override;
    std::shared_ptr<automation::ISlides> Slides() override;
    bool Saved() override;
    void SetSaved(bool saved) override;
    void SaveAs(const std::string& fileName) override;
    void Close() override;
    std::string FullName() override;
    std::string DefaultSaveExtension() override;

    // The file the presentation was opened from (not the converted copy) and the package kind it is
    // saved as by default.
    void SetOrigin(std::string openedFrom, std::string saveExtension);

    std::vector<automation::DeckPictureResult>
    CompressDeckPictures(const automation::DeckPictureRequest& request) override;

    // IPictureSharing (PictureSharing.cpp)
    bool
    PictureKeptElsewhere(automation::IShape& shape,
                         const std::function<bool(const std::string&, bool)>& isDefaultPictureName) override;

    // IPictureForecast (PictureForecast.cpp)
    void ForecastPictureCopies(const std::vector<automation::PictureCopyForecast>& copies) override;

    // IReplacedPictures (PresentationLedger.cpp)
    void RecordReplacedPictures(int thumbnailWidth) override;
    std::vector<automation::ReplacedPicture> ReplacedPictures() override;
    // The account of replaced pictures, when one was asked for; null otherwise.
    ledger::ReplacementLedger* Ledger() { return ledger_.get(); }
    // Decides the account's pastes whose cycle is over (before a paste, after a deletion).
    void SettleAccount();
    // Runs a step of the account; a failure there costs the report an entry, never the pass a step.
    template <typename Step> void KeepAccount(Step&& step) {
        try {
            step();
        } catch (const std::exception&) {
        }
    }
    bool ShapeExists(const ledger::ShapeKey& key);
    int SlideNumberOf(const std::string& slidePart) const; // 0 when it is no slide of this deck
    void NoteReplacedPart(const deckpictures::ReplacedPart& part);

    // IEmbeddedMedia (PresentationMedia.cpp)
    std::vector<automation::EmbeddedMediaPart> TranscodableMedia() override;
    void ExportMedia(const std::string& partName, const std::string& path) override;
    std::string ReplaceMedia(const std::string& partName, const std::string& path) override;
    std::vector<automation::EmbeddedFontSaving> SubsetEmbeddedFonts() override;
    automation::LayoutRemovalCount RemoveUnusedLayouts() override;

    // Reads the slide list; called once right after construction.
    void LoadSlides();
    // Throws when the presentation was closed or the application quit.
    void Require(const std::string& member) const;
    package::Package& Pkg(const std::string& member);
    AppCore& App() { return *app_; }
    std::string MainPart() const { return mainPart_; }
    std::uint64_t Serial() const { return serial_; }

    const std::vector<std::shared_ptr<SlideImpl>>& SlideList() const { return slides_; }
    std::shared_ptr<SlideImpl> SlideAt(int index, const std::string& member);
    int IndexOf(const SlideImpl* slide) const; // 1-based; 0 when absent
    std::shared_ptr<SlideImpl> AddSlide(int index, int layout, const std::string& member);
    void DeleteSlide(int index, const std::string& member);
    void MarkModified() { saved_ = false; }

    // Window state (a presentation added without a window has none).
    bool hasWindow = true;
    int viewType = automation::ppViewNormal;
    int paneViewType = automation::ppViewOutline;
    // Selection: shapes (by id) on one slide.
    std::weak_ptr<SlideImpl> selectedSlide;
    std::vector<std::uint32_t> selectedIds;

private:
    std::string BlankLayoutPart() const;

    std::shared_ptr<AppCore> app_;
    std::unique_ptr<package::Package> pkg_;
    std::string fullName_;
    std::string openedFrom_;
    std::string saveExtension_;
    bool readOnly_ = false;
    bool saved_ = true;
    bool closed_ = false;
    std::string mainPart_;
    std::uint64_t serial_ = 0;
    std::vector<std::shared_ptr<SlideImpl>> slides_;
    // The stored pictures' places as the walk found them; see PictureSharing.cpp for why it holds.
    std::optional<std::map<std::string, std::vector<deckpictures::PictureUse>>> pictureUses_;
    std::unique_ptr<ledger::ReplacementLedger> ledger_;
};

class SlideImpl : public automation::ISlide,
                  public SlideContext,
                  public std::enable_shared_from_this<SlideImpl> {
public:
    SlideImpl(std::weak_ptr<PresentationImpl> presentation, std::string partName)
        : presentation_(std::move(presentation)), part_(std::move(partName)) {}

    // ISlide
    void Select() override;
    int SlideIndex() override;
    std::shared_ptr<automation::IShapes> Shapes() override;
    std::shared_ptr<automation::ITimeLine> TimeLine() override;

    // SlideContext
    pugi::xml_node SlideRoot() override;
    pugi::xml_node ShapeNode(std::uint32_t shapeId) override;
    automation::ShapePtr ShapeById(std::uint32_t shapeId) override;
    std::uint32_t ShapeIdOf(const automation::ShapePtr& shape) override;
    std::optional<Relationship> FindRelationship(const std::string& id) override;
    std::string AddRelationship(const std::string& type, const std::string& target, bool external) override;
    void RemoveRelationshipIfUnused(const std::string& id) override;
    std::string SlideTarget(int slideIndex) override;
    std::optional<int> SlideIndexOfTarget(const std::string& target) override;
    int SlideIdOf(int slideIndex) override;
    void MarkModified() override;
    std::vector<std::pair<int, std::string>> CustomShows() override;

    // Internal.
    PresentationImpl& Pres(const std::string& member);
    package::Package& Pkg(const std::string& member) { return Pres(member).Pkg(member); }
    const std::string& PartName() const { return part_; }
    pugi::xml_node Root(const std::string& member);     // for reading
    pugi::xml_node EditRoot(const std::string& member); // marks the slide modified
    pugi::xml_node Tree(const std::string& member) { return SpTree(Root(member)); }
    ShapeLocation Locate(std::uint32_t id, const std::string& member);
    std::shared_ptr<ShapeImpl> MakeShape(std::uint32_t id);
    std::uint32_t NextShapeId(const std::string& member);
    // "base N" with N = id - 1, or the next free number when that name is taken.
    std::string FreeName(const std::string& base, std::uint32_t id, const std::string& member);
    void Kill() { alive_ = false; }
    bool Alive() const { return alive_; }

private:
    std::weak_ptr<PresentationImpl> presentation_;
    std::string part_;
    bool alive_ = true;
};

class ShapeImpl : public automation::IShape, public std::enable_shared_from_this<ShapeImpl> {
public:
    ShapeImpl(std::shared_ptr<SlideImpl> slide, std::uint32_t id) : slide_(std::move(slide)), id_(id) {}

    std::string Name() override;
    void SetName(const std::string& name) override;
    std::string AlternativeText() override;
    void SetAlternativeText(const std::string& text) override;
    std::string Title() override;
    void SetTitle(const std::string& text) override;
    int Type() override;
    int PlaceholderContainedType() override;
    double Left() override;
    void SetLeft(double points) override;
    double Top() override;
    void SetTop(double points) override;
    double Width() override;
    void SetWidth(double points) override;
    double Height() override;
    void SetHeight(double points) override;
    double Rotation() override;
    void SetRotation(double degrees) override;
    int ZOrderPosition() override;
    void ZOrder(int command) override;
    void Select(bool replace = true) override;
    void Copy() override;
    void CopyShownAt(double shownWidth, double shownHeight) override;
    void Delete() override;
    void PickUp() override;
    automation::ShapeRangePtr Ungroup() override;
    std::shared_ptr<automation::IOLEFormat> OLEFormat() override;
    std::shared_ptr<automation::IActionSetting> ActionSettings(int index) override;
    bool Connector() override;
    std::shared_ptr<automation::IConnectorFormat> ConnectorFormat() override;
    std::shared_ptr<automation::IAnimationSettings> AnimationSettings() override;

    std::uint32_t Id() const { return id_; }
    const std::shared_ptr<SlideImpl>& Slide() const { return slide_; }
    ShapeLocation Locate(const std::string& member) { return slide_->Locate(id_, member); }
    // The frame on the slide, in points.
    Frame SlideFrame(const std::string& member);
    void SetSlideFrame(const Frame& points, const std::string& member);

private:
    std::shared_ptr<SlideImpl> slide_;
    std::uint32_t id_;
};

class ShapeRangeImpl : public automation::IShapeRange {
public:
    explicit ShapeRangeImpl(std::vector<std::shared_ptr<ShapeImpl>> shapes) : shapes_(std::move(shapes)) {}
    int Count() override { return static_cast<int>(shapes_.size()); }
    automation::ShapePtr Item(int index) override;
    automation::ShapePtr Group() override;

private:
    std::vector<std::shared_ptr<ShapeImpl>> shapes_;
};

// Removes a shape element (after the slide features forgot it) and the relationships only it used.
void RemoveShapeElement(SlideImpl& slide, std::uint32_t id, const std::string& member);
// Frame helpers in points for a located shape (placeholders without their own xfrm report zeros).
Frame LocatedSlideFrame(const ShapeLocation& loc);

// Hand-overs to the slide features.
void ForgetShapeIds(SlideImpl& slide, const std::vector<std::uint32_t>& ids);
void RenumberShapeOnSlide(SlideImpl& slide, std::uint32_t oldId, std::uint32_t newId);
std::optional<OleObjectInfo> OleObjectOf(pugi::xml_node shape);

// Copy and paste through the application's clipboard.
// shownWidth/shownHeight: the points the copy will be shown at; 0 for its copied size.
void CopyShape(ShapeImpl& shape, EngineClipboard& clipboard, double shownWidth = 0, double shownHeight = 0);
// The picture a copy of this shape at copyWidth x copyHeight points will hold, read without changing
// the shape; nothing for a shape inside a group, without a stored raster, or without a frame of its own.
std::optional<PictureSource> ForecastCopySource(ShapeImpl& shape, double copyWidth, double copyHeight,
                                                double shownWidth, double shownHeight);
// Names the shape a copy came from: its slide part and id.
std::string OriginOf(ShapeImpl& shape);
automation::ShapeRangePtr PasteClip(SlideImpl& slide, EngineClipboard& clipboard);
automation::ShapeRangePtr PasteAsPicture(SlideImpl& slide, EngineClipboard& clipboard, int dataType);
automation::ShapePtr AddPictureFromFile(SlideImpl& slide, const std::string& fileName, double left,
                                        double top, double width, double height);

} // namespace office::model
