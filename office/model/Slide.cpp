#include "office/model/ModelImpl.h"
#include "office/package/OpcTypes.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace office::model {

namespace {

// Relationship types that XML of the slide refers to by r:* attributes. Others (layout, notes, VML
// drawing, tags, comments) are implied by the part and must never be dropped for lack of a reference.
bool ExplicitlyReferenced(const std::string& type) {
    using namespace package::reltype;
    static const std::set<std::string> types = {
        kImage,
        kOleObject,
        kPackage,
        kVideo,
        kAudio,
        kMedia,
        kHyperlink,
        kHdPhoto,
        kSlide,
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart",
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/diagramData",
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/diagramLayout",
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/diagramQuickStyle",
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/diagramColors",
        "http://schemas.microsoft.com/office/2007/relationships/diagramDrawing",
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/control",
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/customXml",
    };
    return types.count(type) > 0;
}

class ShapesImpl : public automation::IShapes {
public:
    explicit ShapesImpl(std::shared_ptr<SlideImpl> slide) : slide_(std::move(slide)) {}

    int Count() override { return static_cast<int>(ShapeChildren(slide_->Tree("Shapes.Count")).size()); }

    automation::ShapePtr Item(int index) override {
        auto children = ShapeChildren(slide_->Tree("Shapes.Item"));
        if (index < 1 || index > static_cast<int>(children.size()))
            Fail("Shapes.Item", "no shape " + std::to_string(index));
        return slide_->MakeShape(ShapeIdOf(LiveShape(children[static_cast<std::size_t>(index - 1)])));
    }

    automation::ShapeRangePtr Range() override {
        std::vector<std::shared_ptr<ShapeImpl>> shapes;
        for (pugi::xml_node element : ShapeChildren(slide_->Tree("Shapes.Range")))
            shapes.push_back(slide_->MakeShape(ShapeIdOf(LiveShape(element))));
        return std::make_shared<ShapeRangeImpl>(std::move(shapes));
    }

    automation::ShapePtr AddShape(int type, double left, double top, double width, double height) override {
        const std::string member = "Shapes.AddShape";
        const char* preset = nullptr;
        const char* base = nullptr;
        if (type == automation::msoShapeRectangle) {
            preset = "rect";
            base = "Rectangle";
        } else if (type == automation::msoShapeOval) {
            preset = "ellipse";
            base = "Oval";
        } else {
            Fail(member, "unsupported auto shape type " + std::to_string(type));
        }
        if (width < 0 || height < 0)
            Fail(member, "negative size");
        pugi::xml_node root = slide_->EditRoot(member);
        std::uint32_t id = slide_->NextShapeId(member);
        std::string name = slide_->FreeName(base, id, member);

        pugi::xml_document doc;
        pugi::xml_node sp = doc.append_child("p:sp");
        pugi::xml_node nv = sp.append_child("p:nvSpPr");
        pugi::xml_node c = nv.append_child("p:cNvPr");
        c.append_attribute("id").set_value(id);
        c.append_attribute("name").set_value(name.c_str());
        nv.append_child("p:cNvSpPr");
        nv.append_child("p:nvPr");
        pugi::xml_node spPr = sp.append_child("p:spPr");
        pugi::xml_node geom = spPr.append_child("a:prstGeom");
        geom.append_attribute("prst").set_value(preset);
        geom.append_child("a:avLst");
        // The theme's accent fill and line, as a new shape gets them.
        pugi::xml_node style = sp.append_child("p:style");
        const std::pair<const char*, const char*> refs[] = {
            {"a:lnRef", "2"}, {"a:fillRef", "1"}, {"a:effectRef", "0"}, {"a:fontRef", nullptr}};
        for (const auto& [refName, idx] : refs) {
            pugi::xml_node ref = style.append_child(refName);
            if (idx) {
                ref.append_attribute("idx").set_value(idx);
                pugi::xml_node clr = ref.append_child("a:schemeClr");
                clr.append_attribute("val").set_value("accent1");
                if (std::strcmp(refName, "a:lnRef") == 0) {
                    pugi::xml_node shade = clr.append_child("a:shade");
                    shade.append_attribute("val").set_value("50000");
                }
            } else {
                ref.append_attribute("idx").set_value("minor");
                ref.append_child("a:schemeClr").append_attribute("val").set_value("lt1");
            }
        }
        pugi::xml_node body = sp.append_child("p:txBody");
        pugi::xml_node bodyPr = body.append_child("a:bodyPr");
        bodyPr.append_attribute("rtlCol").set_value("0");
        bodyPr.append_attribute("anchor").set_value("ctr");
        body.append_child("a:lstStyle");
        body.append_child("a:p").append_child("a:pPr").append_attribute("algn").set_value("ctr");

        pugi::xml_node inserted = InsertShapeAtFront(SpTree(root), sp);
        Frame f{left * kEmuPerPoint,
                top * kEmuPerPoint,
                width * kEmuPerPoint,
                height * kEmuPerPoint,
                0,
                false,
                false};
        WriteFrame(inserted, f);
        slide_->MarkModified();
        return slide_->MakeShape(id);
    }

    automation::ShapePtr AddPicture(const std::string& fileName, double left, double top, double width,
                                    double height) override {
        return AddPictureFromFile(*slide_, fileName, left, top, width, height);
    }

    automation::ShapeRangePtr Paste() override {
        return PasteClip(*slide_, slide_->Pres("Shapes.Paste").App().clipboard);
    }

    automation::ShapeRangePtr PasteSpecial(int dataType) override {
        return PasteAsPicture(*slide_, slide_->Pres("Shapes.PasteSpecial").App().clipboard, dataType);
    }

private:
    std::shared_ptr<SlideImpl> slide_;
};

} // namespace

PresentationImpl& SlideImpl::Pres(const std::string& member) {
    auto p = presentation_.lock();
    if (!p)
        Fail(member, "the presentation was closed");
    p->Require(member);
    if (!alive_)
        Fail(member, "the slide was deleted");
    return *p;
}

namespace {

// A damaged slide part is reported under the member that needed it.
template <typename F> pugi::xml_node Named(const std::string& member, F&& get) {
    try {
        return get();
    } catch (const automation::AutomationError& e) {
        if (e.member() == member)
            throw;
        throw automation::AutomationError(member, e.what());
    }
}

} // namespace

pugi::xml_node SlideImpl::Root(const std::string& member) {
    auto& pkg = Pkg(member);
    return Named(member, [&] { return pkg.XmlForRead(part_).document_element(); });
}

pugi::xml_node SlideImpl::EditRoot(const std::string& member) {
    auto& pres = Pres(member);
    pres.MarkModified();
    auto& pkg = pres.Pkg(member);
    return Named(member, [&] { return pkg.XmlForEdit(part_).document_element(); });
}

ShapeLocation SlideImpl::Locate(std::uint32_t id, const std::string& member) {
    auto loc = FindShape(Tree(member), id);
    if (!loc)
        Fail(member, "the shape no longer exists");
    return *loc;
}

std::shared_ptr<ShapeImpl> SlideImpl::MakeShape(std::uint32_t id) {
    return std::make_shared<ShapeImpl>(shared_from_this(), id);
}

std::uint32_t SlideImpl::NextShapeId(const std::string& member) {
    std::uint32_t max = MaxShapeId(Root(member));
    if (max >= 0x7fffffff)
        Fail(member, "no shape id is left on the slide");
    return max + 1;
}

std::string SlideImpl::FreeName(const std::string& base, std::uint32_t id, const std::string& member) {
    pugi::xml_node tree = Tree(member);
    for (std::uint32_t n = id - 1;; ++n) {
        std::string name = base + " " + std::to_string(n);
        if (!NameInUse(tree, name))
            return name;
    }
}

void SlideImpl::Select() {
    auto& pres = Pres("Slide.Select");
    auto self = shared_from_this();
    if (pres.selectedSlide.lock() != self) {
        pres.selectedSlide = self;
        pres.selectedIds.clear();
    }
}

int SlideImpl::SlideIndex() {
    return Pres("Slide.SlideIndex").IndexOf(this);
}

std::shared_ptr<automation::IShapes> SlideImpl::Shapes() {
    Pres("Slide.Shapes");
    return std::make_shared<ShapesImpl>(shared_from_this());
}

pugi::xml_node SlideImpl::SlideRoot() {
    return Root("Slide");
}

pugi::xml_node SlideImpl::ShapeNode(std::uint32_t shapeId) {
    auto loc = FindShape(Tree("Slide"), shapeId);
    return loc ? loc->shape : pugi::xml_node{};
}

automation::ShapePtr SlideImpl::ShapeById(std::uint32_t shapeId) {
    return FindShape(Tree("Slide"), shapeId) ? MakeShape(shapeId) : nullptr;
}

std::uint32_t SlideImpl::ShapeIdOf(const automation::ShapePtr& shape) {
    auto* impl = dynamic_cast<ShapeImpl*>(shape.get());
    if (!impl || impl->Slide().get() != this)
        Fail("Slide", "the shape belongs to another slide");
    return impl->Id();
}

std::optional<Relationship> SlideImpl::FindRelationship(const std::string& id) {
    auto rel = Pkg("Slide").FindRelationship(part_, id);
    if (!rel)
        return std::nullopt;
    return Relationship{rel->id, rel->type, rel->target, rel->external};
}

std::string SlideImpl::AddRelationship(const std::string& type, const std::string& target, bool external) {
    auto& pkg = Pkg("Slide");
    Pres("Slide").MarkModified();
    if (external)
        return pkg.AddExternalRelationship(part_, type, target);
    return pkg.AddRelationship(part_, type, package::ResolvePartTarget(part_, target));
}

void SlideImpl::RemoveRelationshipIfUnused(const std::string& id) {
    auto& pkg = Pkg("Slide");
    auto rel = pkg.FindRelationship(part_, id);
    if (!rel || !ExplicitlyReferenced(rel->type))
        return;
    for (const auto& ref : RelationshipRefs(Root("Slide")))
        if (ref == id)
            return;
    pkg.RemoveRelationship(part_, id);
    Pres("Slide").MarkModified();
}

std::string SlideImpl::SlideTarget(int slideIndex) {
    auto other = Pres("Slide").SlideAt(slideIndex, "Slide");
    return package::RelativePartTarget(part_, other->PartName());
}

std::optional<int> SlideImpl::SlideIndexOfTarget(const std::string& target) {
    auto& pres = Pres("Slide");
    std::string part = package::ResolvePartTarget(part_, target);
    const auto& list = pres.SlideList();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string& name = list[i]->PartName();
        if (name.size() == part.size() &&
            std::equal(name.begin(), name.end(), part.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
            return static_cast<int>(i + 1);
    }
    return std::nullopt;
}

int SlideImpl::SlideIdOf(int slideIndex) {
    auto& pres = Pres("Slide");
    auto other = pres.SlideAt(slideIndex, "Slide");
    auto& pkg = pres.Pkg("Slide");
    pugi::xml_node root = pkg.XmlForRead(pres.MainPart()).document_element();
    for (pugi::xml_node id : root.child("p:sldIdLst").children("p:sldId")) {
        auto rel = pkg.FindRelationship(pres.MainPart(), id.attribute("r:id").value());
        if (rel && !rel->external && rel->targetPart == other->PartName())
            return id.attribute("id").as_int();
    }
    Fail("Slide", "slide " + std::to_string(slideIndex) + " has no id");
}

std::vector<std::pair<int, std::string>> SlideImpl::CustomShows() {
    auto& pres = Pres("Slide");
    pugi::xml_node root = pres.Pkg("Slide").XmlForRead(pres.MainPart()).document_element();
    std::vector<std::pair<int, std::string>> shows;
    for (pugi::xml_node show : root.child("p:custShowLst").children("p:custShow"))
        shows.emplace_back(show.attribute("id").as_int(), show.attribute("name").value());
    return shows;
}

void SlideImpl::MarkModified() {
    EditRoot("Slide");
}

} // namespace office::model
