#include "office/model/ShapeTree.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace office::model {

namespace {

const char* const kShapeNames[] = {"p:sp", "p:pic", "p:grpSp", "p:graphicFrame", "p:cxnSp", "p:contentPart"};

bool IsPlainShape(pugi::xml_node node) {
    for (const char* name : kShapeNames)
        if (std::strcmp(node.name(), name) == 0)
            return true;
    return false;
}

long long ParseInt(const char* text, long long fallback = 0) {
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    return end == text ? fallback : v;
}

bool ParseBool(pugi::xml_attribute a) {
    std::string v = a.value();
    return v == "1" || v == "true";
}

long long RoundEmu(double v) {
    return std::llround(v);
}

bool Walk(pugi::xml_node container, std::vector<pugi::xml_node>& groups,
          const std::function<bool(const ShapeLocation&)>& visit) {
    for (pugi::xml_node element : ShapeChildren(container)) {
        ShapeLocation loc{element, LiveShape(element), groups};
        if (!visit(loc))
            return false;
        if (std::strcmp(loc.shape.name(), "p:grpSp") == 0) {
            groups.push_back(loc.shape);
            bool go = Walk(loc.shape, groups, visit);
            groups.pop_back();
            if (!go)
                return false;
        }
    }
    return true;
}

} // namespace

pugi::xml_node SpTree(pugi::xml_node slideRoot) {
    return slideRoot.child("p:cSld").child("p:spTree");
}

bool IsShapeElement(pugi::xml_node node) {
    if (IsPlainShape(node))
        return true;
    return std::strcmp(node.name(), "mc:AlternateContent") == 0 && IsPlainShape(LiveShape(node));
}

pugi::xml_node LiveShape(pugi::xml_node element) {
    if (std::strcmp(element.name(), "mc:AlternateContent") != 0)
        return element;
    for (pugi::xml_node branch : element.children()) {
        for (pugi::xml_node child : branch.children())
            if (IsPlainShape(child))
                return child;
    }
    return {};
}

std::vector<pugi::xml_node> ShapeBranches(pugi::xml_node element) {
    if (std::strcmp(element.name(), "mc:AlternateContent") != 0)
        return {element};
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node branch : element.children())
        for (pugi::xml_node child : branch.children())
            if (IsPlainShape(child))
                out.push_back(child);
    return out;
}

std::vector<pugi::xml_node> ShapeChildren(pugi::xml_node container) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node child : container.children())
        if (IsShapeElement(child))
            out.push_back(child);
    return out;
}

pugi::xml_node CNvPr(pugi::xml_node shape) {
    // The non-visual properties come first: nvSpPr, nvPicPr, nvGrpSpPr, nvGraphicFramePr, nvCxnSpPr...
    for (pugi::xml_node child : shape.children()) {
        if (pugi::xml_node c = child.child("p:cNvPr"))
            return c;
        // Ink and other content parts keep theirs in the 2010 namespace.
        if (pugi::xml_node c = child.child("p14:cNvPr"))
            return c;
    }
    return {};
}

std::uint32_t ShapeIdOf(pugi::xml_node shape) {
    long long v = ParseInt(CNvPr(shape).attribute("id").value());
    return v > 0 && v <= 0x7fffffff ? static_cast<std::uint32_t>(v) : 0;
}

void WalkShapes(pugi::xml_node spTree, const std::function<bool(const ShapeLocation&)>& visit) {
    std::vector<pugi::xml_node> groups;
    Walk(spTree, groups, visit);
}

std::optional<ShapeLocation> FindShape(pugi::xml_node spTree, std::uint32_t id) {
    std::optional<ShapeLocation> found;
    if (id == 0)
        return found;
    WalkShapes(spTree, [&](const ShapeLocation& loc) {
        if (ShapeIdOf(loc.shape) == id) {
            found = loc;
            return false;
        }
        return true;
    });
    return found;
}

std::uint32_t MaxShapeId(pugi::xml_node slideRoot) {
    std::uint32_t best = 1; // the shape tree itself takes id 1
    for (pugi::xpath_node n : slideRoot.select_nodes(".//p:cNvPr | .//p14:cNvPr")) {
        long long v = ParseInt(n.node().attribute("id").value());
        if (v > best && v <= 0x7fffffff)
            best = static_cast<std::uint32_t>(v);
    }
    return best;
}

bool NameInUse(pugi::xml_node spTree, const std::string& name) {
    bool used = false;
    WalkShapes(spTree, [&](const ShapeLocation& loc) {
        used = name == CNvPr(loc.shape).attribute("name").value();
        return !used;
    });
    return used;
}

pugi::xml_node XfrmOf(pugi::xml_node shape) {
    std::string n = shape.name();
    if (n == "p:graphicFrame")
        return shape.child("p:xfrm");
    if (n == "p:grpSp")
        return shape.child("p:grpSpPr").child("a:xfrm");
    if (n == "p:contentPart")
        return shape.child("p14:xfrm");
    return shape.child("p:spPr").child("a:xfrm");
}

std::optional<Frame> ReadFrame(pugi::xml_node shape) {
    pugi::xml_node x = XfrmOf(shape);
    if (!x)
        return std::nullopt;
    Frame f;
    f.x = static_cast<double>(ParseInt(x.child("a:off").attribute("x").value()));
    f.y = static_cast<double>(ParseInt(x.child("a:off").attribute("y").value()));
    f.cx = static_cast<double>(ParseInt(x.child("a:ext").attribute("cx").value()));
    f.cy = static_cast<double>(ParseInt(x.child("a:ext").attribute("cy").value()));
    f.rot =
        NormaliseDegrees(static_cast<double>(ParseInt(x.attribute("rot").value())) / kAngleUnitsPerDegree);
    f.flipH = ParseBool(x.attribute("flipH"));
    f.flipV = ParseBool(x.attribute("flipV"));
    return f;
}

namespace {

pugi::xml_node EnsureXfrm(pugi::xml_node shape) {
    if (pugi::xml_node x = XfrmOf(shape))
        return x;
    std::string n = shape.name();
    if (n == "p:contentPart") {
        pugi::xml_node nv = shape.first_child();
        return nv ? shape.insert_child_after("p14:xfrm", nv) : shape.prepend_child("p14:xfrm");
    }
    if (n == "p:graphicFrame") {
        pugi::xml_node nv = shape.child("p:nvGraphicFramePr");
        return nv ? shape.insert_child_after("p:xfrm", nv) : shape.prepend_child("p:xfrm");
    }
    const char* propsName = n == "p:grpSp" ? "p:grpSpPr" : "p:spPr";
    pugi::xml_node props = shape.child(propsName);
    if (!props) {
        // spPr follows the non-visual part (and blipFill for a picture).
        pugi::xml_node after = shape.child("p:blipFill");
        if (!after)
            after = shape.first_child();
        props = after ? shape.insert_child_after(propsName, after) : shape.append_child(propsName);
    }
    return props.prepend_child("a:xfrm");
}

void SetOrRemove(pugi::xml_node node, const char* name, bool on) {
    if (on) {
        if (!node.attribute(name))
            node.append_attribute(name);
        node.attribute(name).set_value("1");
    } else {
        node.remove_attribute(name);
    }
}

pugi::xml_node EnsureChild(pugi::xml_node parent, const char* name, pugi::xml_node after) {
    if (pugi::xml_node c = parent.child(name))
        return c;
    return after ? parent.insert_child_after(name, after) : parent.prepend_child(name);
}

void SetPair(pugi::xml_node node, const char* a, long long va, const char* b, long long vb) {
    if (!node.attribute(a))
        node.append_attribute(a);
    if (!node.attribute(b))
        node.append_attribute(b);
    node.attribute(a).set_value(va);
    node.attribute(b).set_value(vb);
}

} // namespace

void WriteFrame(pugi::xml_node shape, const Frame& f) {
    pugi::xml_node x = EnsureXfrm(shape);
    long long rot = RoundEmu(NormaliseDegrees(f.rot) * kAngleUnitsPerDegree);
    if (rot >= 21600000)
        rot = 0;
    if (rot != 0) {
        if (!x.attribute("rot"))
            x.prepend_attribute("rot");
        x.attribute("rot").set_value(rot);
    } else {
        x.remove_attribute("rot");
    }
    SetOrRemove(x, "flipH", f.flipH);
    SetOrRemove(x, "flipV", f.flipV);
    pugi::xml_node off = EnsureChild(x, "a:off", {});
    pugi::xml_node ext = EnsureChild(x, "a:ext", off);
    SetPair(off, "x", RoundEmu(f.x), "y", RoundEmu(f.y));
    // Extents are non-negative in the schema.
    SetPair(ext, "cx", std::max(0LL, RoundEmu(f.cx)), "cy", std::max(0LL, RoundEmu(f.cy)));
}

GroupFrame ReadGroupFrame(pugi::xml_node grpSp) {
    GroupFrame g;
    g.outer = ReadFrame(grpSp).value_or(Frame{});
    pugi::xml_node x = XfrmOf(grpSp);
    pugi::xml_node chOff = x.child("a:chOff"), chExt = x.child("a:chExt");
    if (chOff && chExt) {
        g.chX = static_cast<double>(ParseInt(chOff.attribute("x").value()));
        g.chY = static_cast<double>(ParseInt(chOff.attribute("y").value()));
        g.chCx = static_cast<double>(ParseInt(chExt.attribute("cx").value()));
        g.chCy = static_cast<double>(ParseInt(chExt.attribute("cy").value()));
    } else {
        // No child box: children are in the group's own space.
        g.chX = g.outer.x;
        g.chY = g.outer.y;
        g.chCx = g.outer.cx;
        g.chCy = g.outer.cy;
    }
    return g;
}

void WriteChildBox(pugi::xml_node grpSp, const Box& b) {
    pugi::xml_node x = EnsureXfrm(grpSp);
    pugi::xml_node off = EnsureChild(x, "a:off", {});
    pugi::xml_node ext = EnsureChild(x, "a:ext", off);
    pugi::xml_node chOff = EnsureChild(x, "a:chOff", ext);
    pugi::xml_node chExt = EnsureChild(x, "a:chExt", chOff);
    SetPair(chOff, "x", RoundEmu(b.x), "y", RoundEmu(b.y));
    SetPair(chExt, "cx", std::max(0LL, RoundEmu(b.cx)), "cy", std::max(0LL, RoundEmu(b.cy)));
}

pugi::xml_node InsertShapeAtFront(pugi::xml_node container, pugi::xml_node source) {
    if (pugi::xml_node ext = container.child("p:extLst"))
        return container.insert_copy_before(source, ext);
    return container.append_copy(source);
}

std::vector<std::string> RelationshipRefs(pugi::xml_node subtree) {
    std::vector<std::string> out;
    auto collect = [&](pugi::xml_node n) {
        for (pugi::xml_attribute a : n.attributes())
            if (std::strncmp(a.name(), "r:", 2) == 0 && *a.value())
                out.emplace_back(a.value());
    };
    collect(subtree);
    for (pugi::xpath_node n : subtree.select_nodes(".//*"))
        collect(n.node());
    return out;
}

void RemapRelationshipRefs(pugi::xml_node subtree,
                           const std::function<std::optional<std::string>(const std::string&)>& map) {
    auto remap = [&](pugi::xml_node n) {
        for (pugi::xml_attribute a : n.attributes())
            if (std::strncmp(a.name(), "r:", 2) == 0 && *a.value())
                if (auto v = map(a.value()))
                    a.set_value(v->c_str());
    };
    remap(subtree);
    for (pugi::xpath_node n : subtree.select_nodes(".//*"))
        remap(n.node());
}

} // namespace office::model
