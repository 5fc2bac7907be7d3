#include "office/clipboard/EngineClipboard.h"
#include "office/model/LegacyDrawing.h"
#include "office/model/ModelImpl.h"
#include "office/model/ShapeType.h"
#include "office/package/OpcTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string_view>

namespace office::model {

namespace {

Frame ToPoints(const Frame& emu) {
    Frame f = emu;
    f.x /= kEmuPerPoint;
    f.y /= kEmuPerPoint;
    f.cx /= kEmuPerPoint;
    f.cy /= kEmuPerPoint;
    return f;
}

Frame ToEmu(const Frame& pt) {
    Frame f = pt;
    f.x *= kEmuPerPoint;
    f.y *= kEmuPerPoint;
    f.cx *= kEmuPerPoint;
    f.cy *= kEmuPerPoint;
    return f;
}

std::vector<GroupFrame> GroupFrames(const ShapeLocation& loc) {
    std::vector<GroupFrame> out;
    for (pugi::xml_node g : loc.groups)
        out.push_back(ReadGroupFrame(g));
    return out;
}

// A placeholder without its own xfrm takes the frame of the matching placeholder of its layout,
// and failing that of the master.
std::optional<Frame> InheritedFrame(package::Package& pkg, const std::string& slidePart,
                                    pugi::xml_node shape) {
    pugi::xml_node ph;
    for (pugi::xml_node child : shape.children())
        if ((ph = child.child("p:nvPr").child("p:ph")))
            break;
    if (!ph)
        return std::nullopt;
    std::string type = ph.attribute("type").value();
    std::string idx = ph.attribute("idx").value();
    auto matches = [&](pugi::xml_node other, bool byIndex) {
        if (byIndex)
            return !idx.empty() && idx == other.attribute("idx").value();
        std::string t = other.attribute("type").value();
        auto norm = [](std::string v) {
            if (v.empty() || v == "obj" || v == "subTitle")
                return std::string("body");
            if (v == "ctrTitle")
                return std::string("title");
            return v;
        };
        return norm(t) == norm(type);
    };
    std::string source = slidePart;
    for (const char* relType : {package::reltype::kSlideLayout, package::reltype::kSlideMaster}) {
        auto rels = pkg.RelationshipsOfType(source, relType);
        if (rels.empty() || rels.front().external || !pkg.HasPart(rels.front().targetPart))
            return std::nullopt;
        source = rels.front().targetPart;
        pugi::xml_node tree = SpTree(pkg.XmlForRead(source).document_element());
        for (bool byIndex : {true, false}) {
            std::optional<Frame> found;
            WalkShapes(tree, [&](const ShapeLocation& loc) {
                for (pugi::xml_node child : loc.shape.children())
                    if (pugi::xml_node other = child.child("p:nvPr").child("p:ph"))
                        if (matches(other, byIndex) && ReadFrame(loc.shape) && loc.groups.empty()) {
                            found = ReadFrame(loc.shape);
                            return false;
                        }
                return true;
            });
            if (found)
                return found;
        }
    }
    return std::nullopt;
}

std::vector<std::uint32_t> IdsInSubtree(pugi::xml_node element) {
    std::vector<std::uint32_t> ids;
    std::uint32_t own = ShapeIdOf(LiveShape(element));
    if (own)
        ids.push_back(own);
    if (std::strcmp(LiveShape(element).name(), "p:grpSp") == 0)
        WalkShapes(LiveShape(element), [&](const ShapeLocation& loc) {
            if (std::uint32_t id = ShapeIdOf(loc.shape))
                ids.push_back(id);
            return true;
        });
    return ids;
}

} // namespace

Frame LocatedSlideFrame(const ShapeLocation& loc) {
    Frame emu = ReadFrame(loc.shape).value_or(Frame{});
    return ToPoints(ChildToSlide(emu, GroupFrames(loc)));
}

void RemoveShapeElement(SlideImpl& slide, std::uint32_t id, const std::string& member) {
    ShapeLocation loc = slide.Locate(id, member);
    // The slide features (timeline, connector glue) let go of the shape and its members first.
    ForgetShapeIds(slide, IdsInSubtree(loc.element));
    loc = slide.Locate(id, member);
    slide.EditRoot(member);
    std::vector<std::string> refs;
    for (pugi::xml_node branch : ShapeBranches(loc.element))
        for (auto& r : RelationshipRefs(branch))
            refs.push_back(r);
    const auto legacyIds = LegacyShapeIdsIn(loc.element);
    pugi::xml_node parent = loc.element.parent();
    parent.remove_child(loc.element);
    // A group left without members goes as well.
    if (std::strcmp(parent.name(), "p:grpSp") == 0 && ShapeChildren(parent).empty())
        parent.parent().remove_child(parent);
    std::sort(refs.begin(), refs.end());
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    for (const auto& r : refs)
        slide.RemoveRelationshipIfUnused(r);
    // A VML form goes with its object, unless another shape of the slide still claims it.
    std::vector<std::string> unclaimed;
    const auto stillClaimed = LegacyShapeIdsIn(slide.Root(member));
    std::set_difference(legacyIds.begin(), legacyIds.end(), stillClaimed.begin(), stillClaimed.end(),
                        std::back_inserter(unclaimed));
    ForgetLegacyShapes(slide.Pkg(member), slide.PartName(), unclaimed);
    auto& pres = slide.Pres(member);
    auto& sel = pres.selectedIds;
    sel.erase(std::remove(sel.begin(), sel.end(), id), sel.end());
}

Frame ShapeImpl::SlideFrame(const std::string& member) {
    ShapeLocation loc = Locate(member);
    if (!ReadFrame(loc.shape)) {
        auto& pkg = slide_->Pkg(member);
        if (auto inherited = InheritedFrame(pkg, slide_->PartName(), loc.shape))
            return ToPoints(ChildToSlide(*inherited, GroupFrames(loc)));
    }
    return LocatedSlideFrame(loc);
}

void ShapeImpl::SetSlideFrame(const Frame& points, const std::string& member) {
    if (!std::isfinite(points.x) || !std::isfinite(points.y) || !std::isfinite(points.cx) ||
        !std::isfinite(points.cy) || !std::isfinite(points.rot))
        Fail(member, "the value is not a number");
    if (points.cx < 0 || points.cy < 0)
        Fail(member, "a size cannot be negative");
    slide_->EditRoot(member);
    ShapeLocation loc = Locate(member);
    Frame child = SlideToChild(ToEmu(points), GroupFrames(loc));
    for (pugi::xml_node branch : ShapeBranches(loc.element))
        WriteFrame(branch, child);
}

std::string ShapeImpl::Name() {
    return CNvPr(Locate("Shape.Name").shape).attribute("name").value();
}

void ShapeImpl::SetName(const std::string& name) {
    slide_->EditRoot("Shape.Name");
    ShapeLocation loc = Locate("Shape.Name");
    for (pugi::xml_node branch : ShapeBranches(loc.element)) {
        pugi::xml_node c = CNvPr(branch);
        if (!c.attribute("name"))
            c.append_attribute("name");
        c.attribute("name").set_value(name.c_str());
    }
}

namespace {

// One attribute of every branch's cNvPr; an empty value removes it.
void SetCNvPrAttribute(pugi::xml_node element, const char* attribute, const std::string& value) {
    for (pugi::xml_node branch : ShapeBranches(element)) {
        pugi::xml_node c = CNvPr(branch);
        if (value.empty()) {
            c.remove_attribute(attribute);
            continue;
        }
        if (!c.attribute(attribute))
            c.append_attribute(attribute);
        c.attribute(attribute).set_value(value.c_str());
    }
}

} // namespace

std::string ShapeImpl::AlternativeText() {
    return CNvPr(Locate("Shape.AlternativeText").shape).attribute("descr").value();
}

void ShapeImpl::SetAlternativeText(const std::string& text) {
    slide_->EditRoot("Shape.AlternativeText");
    SetCNvPrAttribute(Locate("Shape.AlternativeText").element, "descr", text);
}

std::string ShapeImpl::Title() {
    return CNvPr(Locate("Shape.Title").shape).attribute("title").value();
}

void ShapeImpl::SetTitle(const std::string& text) {
    slide_->EditRoot("Shape.Title");
    SetCNvPrAttribute(Locate("Shape.Title").element, "title", text);
}

int ShapeImpl::Type() {
    return ShapeTypeOf(Locate("Shape.Type").shape);
}

int ShapeImpl::PlaceholderContainedType() {
    const pugi::xml_node shape = Locate("Shape.PlaceholderFormat").shape;
    const bool picture =
        std::string_view(shape.name()) == "p:pic" && ShapeTypeOf(shape) == automation::msoPlaceholder;
    return picture ? automation::msoPicture : 0;
}

double ShapeImpl::Left() {
    return SlideFrame("Shape.Left").x;
}
double ShapeImpl::Top() {
    return SlideFrame("Shape.Top").y;
}
double ShapeImpl::Width() {
    return SlideFrame("Shape.Width").cx;
}
double ShapeImpl::Height() {
    return SlideFrame("Shape.Height").cy;
}
double ShapeImpl::Rotation() {
    return SlideFrame("Shape.Rotation").rot;
}

void ShapeImpl::SetLeft(double points) {
    Frame f = SlideFrame("Shape.Left");
    f.x = points;
    SetSlideFrame(f, "Shape.Left");
}
void ShapeImpl::SetTop(double points) {
    Frame f = SlideFrame("Shape.Top");
    f.y = points;
    SetSlideFrame(f, "Shape.Top");
}
void ShapeImpl::SetWidth(double points) {
    Frame f = SlideFrame("Shape.Width");
    f.cx = points;
    SetSlideFrame(f, "Shape.Width");
}
void ShapeImpl::SetHeight(double points) {
    Frame f = SlideFrame("Shape.Height");
    f.cy = points;
    SetSlideFrame(f, "Shape.Height");
}
void ShapeImpl::SetRotation(double degrees) {
    Frame f = SlideFrame("Shape.Rotation");
    f.rot = NormaliseDegrees(degrees);
    SetSlideFrame(f, "Shape.Rotation");
}

// Counted over every shape of the slide in a pre-order walk: a group, then its members. For the
// top-level shapes the engine compares, this orders back to front as the stacking does.
int ShapeImpl::ZOrderPosition() {
    pugi::xml_node tree = slide_->Tree("Shape.ZOrderPosition");
    int position = 0;
    bool found = false;
    WalkShapes(tree, [&](const ShapeLocation& loc) {
        ++position;
        found = ShapeIdOf(loc.shape) == id_;
        return !found;
    });
    if (!found)
        Fail("Shape.ZOrderPosition", "the shape no longer exists");
    return position;
}

void ShapeImpl::ZOrder(int command) {
    const std::string member = "Shape.ZOrder";
    if (command < automation::msoBringToFront || command > automation::msoSendBackward)
        Fail(member, "unknown command " + std::to_string(command));
    slide_->EditRoot(member);
    ShapeLocation loc = Locate(member);
    pugi::xml_node parent = loc.element.parent();
    auto siblings = ShapeChildren(parent);
    auto it = std::find(siblings.begin(), siblings.end(), loc.element);
    std::size_t i = static_cast<std::size_t>(it - siblings.begin());
    switch (command) {
    case automation::msoBringToFront:
        if (i + 1 < siblings.size())
            parent.insert_move_after(loc.element, siblings.back());
        break;
    case automation::msoSendToBack:
        if (i > 0)
            parent.insert_move_before(loc.element, siblings.front());
        break;
    case automation::msoBringForward:
        if (i + 1 < siblings.size())
            parent.insert_move_after(loc.element, siblings[i + 1]);
        break;
    case automation::msoSendBackward:
        if (i > 0)
            parent.insert_move_before(loc.element, siblings[i - 1]);
        break;
    }
}

void ShapeImpl::Select(bool replace) {
    Locate("Shape.Select");
    auto& pres = slide_->Pres("Shape.Select");
    if (replace || pres.selectedSlide.lock() != slide_) {
        pres.selectedSlide = slide_;
        pres.selectedIds.clear();
    }
    if (std::find(pres.selectedIds.begin(), pres.selectedIds.end(), id_) == pres.selectedIds.end())
        pres.selectedIds.push_back(id_);
}

void ShapeImpl::Copy() {
    CopyShownAt(0, 0);
}

void ShapeImpl::CopyShownAt(double shownWidth, double shownHeight) {
    Locate("Shape.Copy");
    auto& pres = slide_->Pres("Shape.Copy");
    CopyShape(*this, pres.App().clipboard, shownWidth, shownHeight);
    pres.App().copySource = pres.Serial();
}

void ShapeImpl::Delete() {
    RemoveShapeElement(*slide_, id_, "Shape.Delete");
    // A deletion decides a cycle of the walk: its replacement is drawn for the report meanwhile.
    slide_->Pres("Shape.Delete").SettleAccount();
}

void ShapeImpl::PickUp() {
    // Formatting is not carried anywhere by the engine; the member only has to succeed.
    Locate("Shape.PickUp");
}

bool ShapeImpl::Connector() {
    return std::strcmp(Locate("Shape.Connector").shape.name(), "p:cxnSp") == 0;
}

automation::ShapePtr ShapeRangeImpl::Item(int index) {
    if (index < 1 || index > Count())
        Fail("ShapeRange.Item", "no shape " + std::to_string(index));
    return shapes_[static_cast<std::size_t>(index - 1)];
}

} // namespace office::model
