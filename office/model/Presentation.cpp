#include "office/clipboard/EngineClipboard.h"
#include "office/deckpictures/DeckPictures.h"
#include "office/model/BlankTemplate.h"
#include "office/model/ModelImpl.h"
#include "office/package/OpcTypes.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace office::model {

namespace fs = std::filesystem;
using automation::AutomationError;

void Fail(const std::string& member, const std::string& message) {
    throw AutomationError(member, message);
}

void AppCore::RequireAlive(const std::string& member) const {
    if (!alive)
        Fail(member, "the application has quit");
}

namespace {

class PaneImpl : public automation::IPane {
public:
    explicit PaneImpl(std::shared_ptr<PresentationImpl> p) : pres_(std::move(p)) {}
    int ViewType() override {
        pres_->Require("Pane.ViewType");
        return pres_->paneViewType;
    }

private:
    std::shared_ptr<PresentationImpl> pres_;
};

class SelectionImpl : public automation::ISelection {
public:
    explicit SelectionImpl(std::shared_ptr<PresentationImpl> p) : pres_(std::move(p)) {}

    automation::ShapeRangePtr ShapeRange() override {
        const std::string member = "Selection.ShapeRange";
        pres_->Require(member);
        auto slide = pres_->selectedSlide.lock();
        std::vector<std::shared_ptr<ShapeImpl>> shapes;
        if (slide && slide->Alive()) {
            pugi::xml_node tree = slide->Tree(member);
            for (std::uint32_t id : pres_->selectedIds)
                if (FindShape(tree, id))
                    shapes.push_back(slide->MakeShape(id));
        }
        if (shapes.empty())
            Fail(member, "no shape is selected");
        return std::make_shared<ShapeRangeImpl>(std::move(shapes));
    }

    void Unselect() override {
        pres_->Require("Selection.Unselect");
        pres_->selectedIds.clear();
    }

private:
    std::shared_ptr<PresentationImpl> pres_;
};

class WindowImpl : public automation::IDocumentWindow {
public:
    explicit WindowImpl(std::shared_ptr<PresentationImpl> p) : pres_(std::move(p)) {}

    int ViewType() override {
        pres_->Require("DocumentWindow.ViewType");
        return pres_->viewType;
    }
    void SetViewType(int viewType) override {
        pres_->Require("DocumentWindow.ViewType");
        if (viewType < 1 || viewType > 13)
            Fail("DocumentWindow.ViewType", "unknown view type " + std::to_string(viewType));
        pres_->viewType = viewType;
    }
    std::shared_ptr<automation::IPane> Panes(int index) override {
        pres_->Require("DocumentWindow.Panes");
        if (index != 1)
            Fail("DocumentWindow.Panes", "no pane " + std::to_string(index));
        return std::make_shared<PaneImpl>(pres_);
    }
    void Activate() override {
        pres_->Require("DocumentWindow.Activate");
        pres_->App().active = pres_;
    }
    std::shared_ptr<automation::ISelection> Selection() override {
        pres_->Require("DocumentWindow.Selection");
        return std::make_shared<SelectionImpl>(pres_);
    }

private:
    std::shared_ptr<PresentationImpl> pres_;
};

class SlidesImpl : public automation::ISlides {
public:
    explicit SlidesImpl(std::shared_ptr<PresentationImpl> p) : pres_(std::move(p)) {}

    int Count() override {
        pres_->Require("Slides.Count");
        return static_cast<int>(pres_->SlideList().size());
    }
    automation::SlidePtr Item(int index) override { return pres_->SlideAt(index, "Slides.Item"); }
    automation::SlidePtr Add(int index, int layout) override {
        return pres_->AddSlide(index, layout, "Slides.Add");
    }
    void Delete(int index) override { pres_->DeleteSlide(index, "Slides.Delete"); }

private:
    std::shared_ptr<PresentationImpl> pres_;
};

std::string LowerExtension(const std::string& fileName) {
    std::string ext = platform::PathToUtf8(platform::PathFromUtf8(fileName).extension());
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (a.empty() || b.empty())
        return false;
    const fs::path pa = platform::PathFromUtf8(a);
    const fs::path pb = platform::PathFromUtf8(b);
    if (fs::exists(pa, ec) && fs::exists(pb, ec))
        return fs::equivalent(pa, pb, ec);
    return fs::weakly_canonical(pa, ec) == fs::weakly_canonical(pb, ec);
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(platform::PathFromUtf8(path), ec);
    return ec ? path : platform::PathToUtf8(p.lexically_normal());
}

} // namespace

PresentationImpl::PresentationImpl(std::shared_ptr<AppCore> app, std::unique_ptr<package::Package> pkg,
                                   std::string fullName, bool readOnly)
    : app_(std::move(app)), pkg_(std::move(pkg)), fullName_(std::move(fullName)), readOnly_(readOnly) {
    serial_ = app_->nextSerial++;
    mainPart_ = pkg_->MainPartName();
    if (!package::IsPresentationMainContentType(pkg_->ContentType(mainPart_)))
        Fail("Presentations.Open", "the package holds no presentation");
    pkg_->XmlForRead(mainPart_);
}

void PresentationImpl::LoadSlides() {
    slides_.clear();
    auto self = weak_from_this();
    const auto& doc = pkg_->XmlForRead(mainPart_);
    for (pugi::xml_node id : doc.document_element().child("p:sldIdLst").children("p:sldId")) {
        auto rel = pkg_->FindRelationship(mainPart_, id.attribute("r:id").value());
        if (!rel || rel->external || !pkg_->HasPart(rel->targetPart))
            continue; // a dangling entry shows no slide, as the office application skips it
        slides_.push_back(std::make_shared<SlideImpl>(self, rel->targetPart));
    }
}

void PresentationImpl::Require(const std::string& member) const {
    app_->RequireAlive(member);
    if (closed_)
        Fail(member, "the presentation was closed");
}

package::Package& PresentationImpl::Pkg(const std::string& member) {
    Require(member);
    return *pkg_;
}

std::shared_ptr<automation::IDocumentWindow> PresentationImpl::Windows(int index) {
    Require("Presentation.Windows");
    if (index != 1 || !hasWindow)
        Fail("Presentation.Windows", "no window " + std::to_string(index));
    return std::make_shared<WindowImpl>(shared_from_this());
}

std::shared_ptr<automation::ISlides> PresentationImpl::Slides() {
    Pkg("Presentation.Slides");
    return std::make_shared<SlidesImpl>(shared_from_this());
}

bool PresentationImpl::Saved() {
    Require("Presentation.Saved");
    return saved_;
}

void PresentationImpl::SetSaved(bool saved) {
    Require("Presentation.Saved");
    saved_ = saved;
}

std::string PresentationImpl::DefaultSaveExtension() {
    Require("Presentation.DefaultSaveExtension");
    return saveExtension_;
}

void PresentationImpl::SetOrigin(std::string openedFrom, std::string saveExtension) {
    openedFrom_ = std::move(openedFrom);
    saveExtension_ = std::move(saveExtension);
}

std::string PresentationImpl::FullName() {
    Require("Presentation.FullName");
    return fullName_;
}

std::shared_ptr<SlideImpl> PresentationImpl::SlideAt(int index, const std::string& member) {
    Pkg(member);
    if (index < 1 || index > static_cast<int>(slides_.size()))
        Fail(member, "no slide " + std::to_string(index));
    return slides_[static_cast<std::size_t>(index - 1)];
}

int PresentationImpl::IndexOf(const SlideImpl* slide) const {
    for (std::size_t i = 0; i < slides_.size(); ++i)
        if (slides_[i].get() == slide)
            return static_cast<int>(i + 1);
    return 0;
}

std::string PresentationImpl::BlankLayoutPart() const {
    std::string fallback;
    std::size_t fewest = SIZE_MAX;
    for (const auto& master : pkg_->RelationshipsOfType(mainPart_, package::reltype::kSlideMaster)) {
        if (master.external || !pkg_->HasPart(master.targetPart))
            continue;
        for (const auto& layout :
             pkg_->RelationshipsOfType(master.targetPart, package::reltype::kSlideLayout)) {
            if (layout.external || !pkg_->HasPart(layout.targetPart))
                continue;
            pugi::xml_node root = pkg_->XmlForRead(layout.targetPart).document_element();
            if (std::string_view(root.attribute("type").value()) == "blank")
                return layout.targetPart;
            std::size_t placeholders = root.select_nodes(".//p:ph").size();
            if (placeholders < fewest) {
                fewest = placeholders;
                fallback = layout.targetPart;
            }
        }
    }
    return fallback;
}

std::shared_ptr<SlideImpl> PresentationImpl::AddSlide(int index, int layout, const std::string& member) {
    Pkg(member);
    if (layout != automation::ppLayoutBlank)
        Fail(member, "only the blank layout is available");
    if (index < 1 || index > static_cast<int>(slides_.size()) + 1)
        Fail(member, "index " + std::to_string(index) + " is out of range");
    std::string layoutPart = BlankLayoutPart();
    if (layoutPart.empty())
        Fail(member, "the presentation has no slide layout");

    std::string xml = EmptySlideXml();
    std::string part = pkg_->AddPartWithUniqueName("/ppt/slides/slide", ".xml", package::contenttype::kSlide,
                                                   package::Bytes(xml.begin(), xml.end()));
    pkg_->AddRelationship(part, package::reltype::kSlideLayout, layoutPart);
    std::string rid = pkg_->AddRelationship(mainPart_, package::reltype::kSlide, part);

    pugi::xml_node root = pkg_->XmlForEdit(mainPart_).document_element();
    pugi::xml_node list = root.child("p:sldIdLst");
    if (!list) {
        pugi::xml_node after;
        for (const char* name : {"p:sldMasterIdLst", "p:notesMasterIdLst", "p:handoutMasterIdLst"})
            if (pugi::xml_node n = root.child(name))
                after = n;
        list = after ? root.insert_child_after("p:sldIdLst", after) : root.prepend_child("p:sldIdLst");
    }
    long long maxId = 255;
    for (pugi::xml_node id : list.children("p:sldId"))
        maxId = std::max(maxId, id.attribute("id").as_llong());
    std::vector<pugi::xml_node> entries;
    for (pugi::xml_node id : list.children("p:sldId"))
        entries.push_back(id);
    pugi::xml_node entry =
        static_cast<std::size_t>(index - 1) < entries.size()
            ? list.insert_child_before("p:sldId", entries[static_cast<std::size_t>(index - 1)])
            : list.append_child("p:sldId");
    entry.append_attribute("id").set_value(maxId + 1);
    entry.append_attribute("r:id").set_value(rid.c_str());

    auto slide = std::make_shared<SlideImpl>(weak_from_this(), part);
    slides_.insert(slides_.begin() + (index - 1), slide);
    saved_ = false;
    return slide;
}

void PresentationImpl::DeleteSlide(int index, const std::string& member) {
    auto slide = SlideAt(index, member);
    pugi::xml_node root = pkg_->XmlForEdit(mainPart_).document_element();
    for (pugi::xml_node id : root.child("p:sldIdLst").children("p:sldId")) {
        auto rel = pkg_->FindRelationship(mainPart_, id.attribute("r:id").value());
        if (!rel || rel->external || rel->targetPart != slide->PartName())
            continue;
        std::string rid = rel->id;
        root.child("p:sldIdLst").remove_child(id);
        // Custom shows list slides by the same relationship; their entries would dangle.
        for (pugi::xpath_node s : root.select_nodes(".//p:custShowLst//p:sld"))
            if (rid == s.node().attribute("r:id").value())
                s.node().parent().remove_child(s.node());
        pkg_->RemoveRelationship(mainPart_, rid);
        break;
    }
    if (pkg_->RelationshipsTo(slide->PartName()).empty()) {
        // Parts only this slide reached (pasted pictures of a scratch slide) go now rather than
        // accumulate until the presentation closes; the save would skip them anyway.
        std::vector<std::string> targets;
        for (const auto& rel : pkg_->Relationships(slide->PartName()))
            if (!rel.external && !rel.targetPart.empty())
                targets.push_back(rel.targetPart);
        pkg_->RemovePart(slide->PartName());
        for (const auto& target : targets)
            if (pkg_->HasPart(target) && pkg_->RelationshipsTo(target).empty() &&
                pkg_->Relationships(target).empty())
                pkg_->RemovePart(target);
    }
    slide->Kill();
    slides_.erase(slides_.begin() + (index - 1));
    if (selectedSlide.lock() == slide) {
        selectedSlide.reset();
        selectedIds.clear();
    }
    saved_ = false;
}

void PresentationImpl::SaveAs(const std::string& fileName) {
    const std::string member = "Presentation.SaveAs";
    Pkg(member);
    std::string ext = LowerExtension(fileName);
    std::string contentType = package::MainContentTypeForExtension(ext);
    if (contentType.empty())
        throw AutomationError(member, "cannot write the format of ." + ext,
                              "." + ext + " 形式では保存できません。");
    if (readOnly_ && (SameFile(fileName, pkg_->SourcePath()) || SameFile(fileName, openedFrom_)))
        throw AutomationError(member,
                              "the presentation was opened read-only and cannot be written over its own file",
                              "入力ファイルには上書きできません。");
    pkg_->SetContentType(mainPart_, contentType);
    if (contentType.find("macroEnabled") == std::string::npos) {
        // A format without macros keeps none, as the office application drops them on such a save.
        for (const auto& rel : pkg_->RelationshipsOfType(mainPart_, package::reltype::kVbaProject))
            pkg_->RemoveRelationship(mainPart_, rel.id);
    }
    // A signature vouches for the bytes the signer saw; ours differ (pictures, repack), so a kept
    // signature would only show as broken. The office application drops it on save as well.
    for (const auto& rel :
         pkg_->RelationshipsOfType(package::kPackageRoot, package::reltype::kDigitalSignatureOrigin))
        pkg_->RemoveRelationship(package::kPackageRoot, rel.id);
    pkg_->SaveAs(fileName, member);
    fullName_ = AbsolutePath(fileName);
    saved_ = true;
}

std::vector<automation::DeckPictureResult>
PresentationImpl::CompressDeckPictures(const automation::DeckPictureRequest& request) {
    pictureUses_.reset();
    deckpictures::ReplacedPartObserver observer;
    if (ledger_)
        observer = [this](const deckpictures::ReplacedPart& part) { NoteReplacedPart(part); };
    auto results = deckpictures::CompressDeckPictures(Pkg("Presentation.CompressDeckPictures"), request,
                                                      App().clipboard.Ahead().Workers(), observer);
    if (!results.empty())
        MarkModified();
    return results;
}

void PresentationImpl::Close() {
    Require("Presentation.Close");
    // Forecasts name shapes of an open deck; none may be read once it is gone.
    App().clipboard.Ahead().Cancel();
    closed_ = true;
    for (auto& s : slides_)
        s->Kill();
    slides_.clear();
    selectedIds.clear();
    auto& list = app_->presentations;
    list.erase(std::remove_if(list.begin(), list.end(), [this](const auto& p) { return p.get() == this; }),
               list.end());
    pictureUses_.reset();
    pkg_.reset();
}

} // namespace office::model
