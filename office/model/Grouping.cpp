#include "office/model/GroupFill.h"
#include "office/model/ModelImpl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace office::model {

automation::ShapePtr ShapeRangeImpl::Group() {
    const std::string member = "ShapeRange.Group";
    if (shapes_.size() < 2)
        Fail(member, "at least two shapes are needed to make a group");
    auto slide = shapes_.front()->Slide();
    std::set<std::uint32_t> seen;
    for (const auto& s : shapes_) {
        if (s->Slide() != slide)
            Fail(member, "the shapes are on different slides");
        if (!seen.insert(s->Id()).second)
            Fail(member, "a shape is in the range twice");
    }
    slide->EditRoot(member);

    // Members without a frame of their own (inheriting placeholders) get one written first.
    for (const auto& s : shapes_) {
        ShapeLocation loc = s->Locate(member);
        if (!ReadFrame(loc.shape))
            s->SetSlideFrame(s->SlideFrame(member), member);
    }

    std::vector<ShapeLocation> locs;
    for (const auto& s : shapes_)
        locs.push_back(s->Locate(member));
    pugi::xml_node parent = locs.front().element.parent();
    for (const auto& loc : locs)
        if (loc.element.parent() != parent)
            Fail(member, "the shapes are not in the same group");

    // Members in stacking order, and the frontmost one, whose place the group takes.
    auto siblings = ShapeChildren(parent);
    std::vector<pugi::xml_node> members;
    for (pugi::xml_node n : siblings)
        for (const auto& loc : locs)
            if (loc.element == n)
                members.push_back(n);
    std::vector<Frame> frames;
    for (pugi::xml_node m : members)
        frames.push_back(ReadFrame(LiveShape(m)).value_or(Frame{}));
    Box box = UnionOfBoxes(frames);

    std::uint32_t id = slide->NextShapeId(member);
    std::string name = slide->FreeName("Group", id, member);
    pugi::xml_node group = parent.insert_child_after("p:grpSp", members.back());
    pugi::xml_node nv = group.append_child("p:nvGrpSpPr");
    pugi::xml_node c = nv.append_child("p:cNvPr");
    c.append_attribute("id").set_value(id);
    c.append_attribute("name").set_value(name.c_str());
    nv.append_child("p:cNvGrpSpPr");
    nv.append_child("p:nvPr");
    group.append_child("p:grpSpPr");
    WriteFrame(group, Frame{box.x, box.y, box.cx, box.cy, 0, false, false});
    WriteChildBox(group, box);
    for (pugi::xml_node m : members)
        group.append_move(m);

    auto& pres = slide->Pres(member);
    pres.selectedSlide = slide;
    pres.selectedIds = {id};
    return slide->MakeShape(id);
}

namespace {

bool ScalesItsChildren(const GroupFrame& g) {
    auto differs = [](double ext, double chExt) {
        return chExt > 0 && std::abs(ext - chExt) > 1e-6 * std::max(ext, chExt);
    };
    return differs(g.outer.cx, g.chCx) || differs(g.outer.cy, g.chCy);
}

// Diagrams, tables and charts keep drawings or row sizes of their own that a renderer fits to the
// group's scale but not to a new frame; embedded objects are drawn from their preview like pictures.
bool HoldsFrameWithOwnContent(pugi::xml_node group) {
    for (pugi::xpath_node n : group.select_nodes(".//p:graphicFrame")) {
        if (!n.node().select_node(".//p:oleObj"))
            return true;
    }
    return false;
}

} // namespace

automation::ShapeRangePtr ShapeImpl::Ungroup() {
    const std::string member = "Shape.Ungroup";
    ShapeLocation loc = Locate(member);
    if (std::strcmp(loc.shape.name(), "p:grpSp") != 0)
        Fail(member, "the shape is not a group");
    if (LockedAgainstUngrouping(loc.shape))
        Fail(member, "the group is locked against ungrouping");
    // Taking such a group apart would change how its frames draw, so it stays whole.
    if (ScalesItsChildren(ReadGroupFrame(loc.shape)) && HoldsFrameWithOwnContent(loc.shape))
        Fail(member, "a scaled group holding a diagram, table or chart cannot be taken apart faithfully");
    // The group's own animation and glue go with it; its members keep theirs.
    ForgetShapeIds(*slide_, {id_});
    slide_->EditRoot(member);
    loc = Locate(member);
    pugi::xml_node grp = loc.shape;
    GroupFrame g = ReadGroupFrame(grp);
    pugi::xml_node parent = loc.element.parent();
    // Members that painted with the group's fill keep it as their own.
    ResolveGroupFills(grp);

    std::vector<std::uint32_t> ids;
    for (pugi::xml_node child : ShapeChildren(grp)) {
        for (pugi::xml_node branch : ShapeBranches(child))
            if (auto f = ReadFrame(branch))
                WriteFrame(branch, ChildToParent(*f, g));
        ids.push_back(ShapeIdOf(LiveShape(child)));
        parent.insert_move_before(child, loc.element);
    }
    std::vector<std::string> refs = RelationshipRefs(loc.element);
    parent.remove_child(loc.element);
    for (const auto& r : refs)
        slide_->RemoveRelationshipIfUnused(r);

    std::vector<std::shared_ptr<ShapeImpl>> shapes;
    for (std::uint32_t id : ids)
        shapes.push_back(slide_->MakeShape(id));
    auto& pres = slide_->Pres(member);
    pres.selectedSlide = slide_;
    pres.selectedIds = ids;
    return std::make_shared<ShapeRangeImpl>(std::move(shapes));
}

} // namespace office::model
