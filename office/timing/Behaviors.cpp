// The behaviours of an effect (the animation elements directly under its time node) and their typed
// views: motion, colour, scale, rotation, property (with its time points) and command.

#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/timing/ColorValue.h"
#include "office/timing/EffectHandle.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <array>
#include <cmath>
#include <cstring>

namespace office::timing {

using automation::AutomationError;
using automation::Variant;

namespace {

struct KindName {
    const char* element;
    int type;
};
constexpr std::array<KindName, 8> kKinds{{
    {"p:animMotion", automation::msoAnimTypeMotion},
    {"p:animClr", automation::msoAnimTypeColor},
    {"p:animScale", automation::msoAnimTypeScale},
    {"p:animRot", automation::msoAnimTypeRotation},
    {"p:anim", automation::msoAnimTypeProperty},
    {"p:cmd", automation::msoAnimTypeCommand},
    {"p:animEffect", automation::msoAnimTypeFilter},
    {"p:set", automation::msoAnimTypeSet},
}};

int KindOf(pugi::xml_node node) {
    for (const KindName& kind : kKinds)
        if (std::strcmp(node.name(), kind.element) == 0)
            return kind.type;
    return automation::msoAnimTypeNone;
}

std::vector<pugi::xml_node> BehaviorNodes(pugi::xml_node effectPar) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node child : EffectCTn(effectPar).child("p:childTnLst").children())
        if (KindOf(child) != automation::msoAnimTypeNone)
            out.push_back(child);
    return out;
}

bool Same(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

// One behaviour, found again by its position in every branch of the effect.
class BehaviorRef {
public:
    BehaviorRef(EffectHandle effect, std::size_t index) : effect_(std::move(effect)), index_(index) {}

    pugi::xml_node Node(const char* member) const {
        std::vector<pugi::xml_node> nodes = BehaviorNodes(effect_.Primary(member));
        if (index_ >= nodes.size())
            throw AutomationError(member, "the behaviour is gone");
        return nodes[index_];
    }
    void Edit(const char* member, const std::function<void(pugi::xml_node)>& edit) const {
        Node(member);
        effect_.ForEachBranch(member, [&](pugi::xml_node effect) {
            std::vector<pugi::xml_node> nodes = BehaviorNodes(effect);
            if (index_ < nodes.size())
                edit(nodes[index_]);
        });
    }
    // The behaviour node, checked to be of the given element kind.
    pugi::xml_node Typed(const char* member, const char* element) const {
        pugi::xml_node node = Node(member);
        if (std::strcmp(node.name(), element) != 0)
            throw AutomationError(member, "the behaviour is of another kind");
        return node;
    }

private:
    EffectHandle effect_;
    std::size_t index_;
};

// Children after p:cBhvr in the order CT_TLAnimate*Behavior lists them.
pugi::xml_node EnsurePoint(pugi::xml_node behavior, const char* name) {
    if (std::strcmp(name, "p:by") == 0)
        return xml::EnsureChild(behavior, name, {"p:from", "p:to", "p:rCtr"});
    if (std::strcmp(name, "p:from") == 0)
        return xml::EnsureChild(behavior, name, {"p:to", "p:rCtr"});
    return xml::EnsureChild(behavior, name, {"p:rCtr"});
}

double PointCoordinate(pugi::xml_node behavior, const char* member, const char* point, const char* axis) {
    auto value = xml::NumberAttr(behavior.child(point), axis);
    if (!value)
        throw AutomationError(member, "not set");
    return *value / 1000.0; // percent
}

void SetPointCoordinate(const BehaviorRef& ref, const char* element, const char* member, const char* point,
                        const char* axis, double percent) {
    pugi::xml_node node = ref.Typed(member, element);
    auto current = xml::NumberAttr(node.child(point), axis);
    if (current && Same(*current / 1000.0, percent))
        return;
    ref.Edit(member, [&](pugi::xml_node behavior) {
        pugi::xml_node target = EnsurePoint(behavior, point);
        xml::SetAttr(target, axis, xml::FormatNumber(std::round(percent * 1000.0)));
        const char* other = std::strcmp(axis, "x") == 0 ? "y" : "x";
        if (!target.attribute(other))
            xml::SetAttr(target, other, "0");
    });
}

class MotionEffect final : public automation::IMotionEffect {
public:
    explicit MotionEffect(BehaviorRef ref) : ref_(std::move(ref)) {}
    double ByX() override { return Get("ByX", "p:by", "x"); }
    void SetByX(double v) override { Set("ByX", "p:by", "x", v); }
    double ByY() override { return Get("ByY", "p:by", "y"); }
    void SetByY(double v) override { Set("ByY", "p:by", "y", v); }
    double FromX() override { return Get("FromX", "p:from", "x"); }
    void SetFromX(double v) override { Set("FromX", "p:from", "x", v); }
    double FromY() override { return Get("FromY", "p:from", "y"); }
    void SetFromY(double v) override { Set("FromY", "p:from", "y", v); }
    double ToX() override { return Get("ToX", "p:to", "x"); }
    void SetToX(double v) override { Set("ToX", "p:to", "x", v); }
    double ToY() override { return Get("ToY", "p:to", "y"); }
    void SetToY(double v) override { Set("ToY", "p:to", "y", v); }
    std::string Path() override { return ref_.Typed("Path", "p:animMotion").attribute("path").value(); }
    void SetPath(const std::string& v) override {
        if (v == Path())
            return;
        ref_.Edit("Path", [&](pugi::xml_node node) { xml::SetAttr(node, "path", v); });
    }

private:
    double Get(const char* member, const char* point, const char* axis) {
        return PointCoordinate(ref_.Typed(member, "p:animMotion"), member, point, axis);
    }
    void Set(const char* member, const char* point, const char* axis, double v) {
        SetPointCoordinate(ref_, "p:animMotion", member, point, axis, v);
    }
    BehaviorRef ref_;
};

class ScaleEffect final : public automation::IScaleEffect {
public:
    explicit ScaleEffect(BehaviorRef ref) : ref_(std::move(ref)) {}
    double ByX() override { return Get("ByX", "p:by", "x"); }
    void SetByX(double v) override { Set("ByX", "p:by", "x", v); }
    double ByY() override { return Get("ByY", "p:by", "y"); }
    void SetByY(double v) override { Set("ByY", "p:by", "y", v); }
    double FromX() override { return Get("FromX", "p:from", "x"); }
    void SetFromX(double v) override { Set("FromX", "p:from", "x", v); }
    double FromY() override { return Get("FromY", "p:from", "y"); }
    void SetFromY(double v) override { Set("FromY", "p:from", "y", v); }
    double ToX() override { return Get("ToX", "p:to", "x"); }
    void SetToX(double v) override { Set("ToX", "p:to", "x", v); }
    double ToY() override { return Get("ToY", "p:to", "y"); }
    void SetToY(double v) override { Set("ToY", "p:to", "y", v); }

private:
    double Get(const char* member, const char* point, const char* axis) {
        return PointCoordinate(ref_.Typed(member, "p:animScale"), member, point, axis);
    }
    void Set(const char* member, const char* point, const char* axis, double v) {
        SetPointCoordinate(ref_, "p:animScale", member, point, axis, v);
    }
    BehaviorRef ref_;
};

// p:animClr: From and To are plain RGB colours; By is a colour offset the object model cannot express.
class ColorEffect final : public automation::IColorEffect {
public:
    explicit ColorEffect(BehaviorRef ref) : ref_(std::move(ref)) {}
    int By() override { throw AutomationError("By", "colour offsets are not available"); }
    void SetBy(int) override { throw AutomationError("By", "colour offsets are not available"); }
    int From() override { return Get("From", "p:from"); }
    void SetFrom(int rgb) override { Set("From", "p:from", rgb); }
    int To() override { return Get("To", "p:to"); }
    void SetTo(int rgb) override { Set("To", "p:to", rgb); }

private:
    int Get(const char* member, const char* point) {
        pugi::xml_node node = ref_.Typed(member, "p:animClr");
        auto rgb = RgbOfHex(node.child(point).child("a:srgbClr").attribute("val").value());
        if (!rgb)
            throw AutomationError(member, "not an RGB colour");
        return *rgb;
    }
    void Set(const char* member, const char* point, int rgb) {
        pugi::xml_node node = ref_.Typed(member, "p:animClr");
        auto current = RgbOfHex(node.child(point).child("a:srgbClr").attribute("val").value());
        if (current && *current == rgb)
            return;
        ref_.Edit(member, [&](pugi::xml_node behavior) {
            pugi::xml_node target = EnsurePoint(behavior, point);
            while (target.first_child())
                target.remove_child(target.first_child());
            target.append_child("a:srgbClr").append_attribute("val") = HexOfRgb(rgb).c_str();
        });
    }
    BehaviorRef ref_;
};

// p:animRot angles are 1/60000 degree.
class RotationEffect final : public automation::IRotationEffect {
public:
    explicit RotationEffect(BehaviorRef ref) : ref_(std::move(ref)) {}
    double By() override { return Get("By", "by"); }
    void SetBy(double v) override { Set("By", "by", v); }
    double From() override { return Get("From", "from"); }
    void SetFrom(double v) override { Set("From", "from", v); }
    double To() override { return Get("To", "to"); }
    void SetTo(double v) override { Set("To", "to", v); }

private:
    double Get(const char* member, const char* attr) {
        auto value = xml::NumberAttr(ref_.Typed(member, "p:animRot"), attr);
        if (!value)
            throw AutomationError(member, "not set");
        return *value / 60000.0;
    }
    void Set(const char* member, const char* attr, double degrees) {
        auto current = xml::NumberAttr(ref_.Typed(member, "p:animRot"), attr);
        if (current && Same(*current / 60000.0, degrees))
            return;
        ref_.Edit(member, [&](pugi::xml_node node) {
            xml::SetAttr(node, attr, xml::FormatNumber(std::round(degrees * 60000.0)));
        });
    }
    BehaviorRef ref_;
};

class CommandEffect final : public automation::ICommandEffect {
public:
    explicit CommandEffect(BehaviorRef ref) : ref_(std::move(ref)) {}
    std::string Command() override { return ref_.Typed("Command", "p:cmd").attribute("cmd").value(); }
    void SetCommand(const std::string& v) override {
        if (v == Command())
            return;
        ref_.Edit("Command", [&](pugi::xml_node node) { xml::SetAttr(node, "cmd", v); });
    }
    // 0 event, 1 call, 2 verb.
    int Type() override {
        std::string type = ref_.Typed("Type", "p:cmd").attribute("type").value();
        return type == "evt" ? 0 : type == "verb" ? 2 : 1;
    }
    void SetType(int v) override {
        if (v < 0 || v > 2)
            throw AutomationError("Type", "invalid command type");
        if (v == Type())
            return;
        const char* names[] = {"evt", "call", "verb"};
        ref_.Edit("Type", [&](pugi::xml_node node) { xml::SetAttr(node, "type", names[v]); });
    }

private:
    BehaviorRef ref_;
};

Variant VariantOfText(const std::string& text) {
    if (text.empty())
        return std::monostate{};
    long long whole = 0;
    if (xml::ParseLong(text, whole))
        return static_cast<double>(whole);
    char* end = nullptr;
    double number = std::strtod(text.c_str(), &end);
    if (end && *end == '\0' && std::isfinite(number))
        return number;
    return text;
}

std::string TextOfVariant(const Variant& value) {
    if (std::holds_alternative<std::string>(value))
        return std::get<std::string>(value);
    if (std::holds_alternative<double>(value))
        return xml::FormatNumber(std::get<double>(value));
    if (std::holds_alternative<int>(value))
        return std::to_string(std::get<int>(value));
    if (std::holds_alternative<bool>(value))
        return std::get<bool>(value) ? "1" : "0";
    return "";
}

bool SameVariant(const Variant& a, const Variant& b) {
    return TextOfVariant(a) == TextOfVariant(b);
}

// One p:tav of a p:anim, found again by position.
class AnimationPoint final : public automation::IAnimationPoint {
public:
    AnimationPoint(BehaviorRef ref, std::size_t index) : ref_(std::move(ref)), index_(index) {}
    std::string Formula() override { return Node("Formula").attribute("fmla").value(); }
    void SetFormula(const std::string& v) override {
        if (v == Formula())
            return;
        Edit("Formula", [&](pugi::xml_node tav) {
            if (v.empty())
                tav.remove_attribute("fmla");
            else
                xml::SetAttr(tav, "fmla", v);
        });
    }
    // Time is the share of the behaviour's duration (0 to 1); tm is in 1/1000 percent.
    double Time() override { return xml::NumberAttr(Node("Time"), "tm").value_or(0) / 100000.0; }
    void SetTime(double v) override {
        if (Same(v, Time()))
            return;
        Edit("Time",
             [&](pugi::xml_node tav) { xml::SetAttr(tav, "tm", xml::FormatNumber(std::round(v * 100000))); });
    }
    Variant Value() override {
        pugi::xml_node val = Node("Value").child("p:val").first_child();
        std::string text = val.attribute("val").value();
        if (std::strcmp(val.name(), "p:strVal") == 0)
            return text;
        if (std::strcmp(val.name(), "p:boolVal") == 0)
            return text == "1" || text == "true";
        return VariantOfText(text);
    }
    void SetValue(const Variant& v) override {
        if (SameVariant(v, Value()))
            return;
        Edit("Value", [&](pugi::xml_node tav) {
            pugi::xml_node val = xml::EnsureChild(tav, "p:val");
            while (val.first_child())
                val.remove_child(val.first_child());
            const char* kind = std::holds_alternative<std::string>(v) ? "p:strVal"
                               : std::holds_alternative<bool>(v)      ? "p:boolVal"
                               : std::holds_alternative<int>(v)       ? "p:intVal"
                                                                      : "p:fltVal";
            val.append_child(kind).append_attribute("val") = TextOfVariant(v).c_str();
        });
    }

private:
    static std::vector<pugi::xml_node> Points(pugi::xml_node anim) {
        return xml::Children(anim.child("p:tavLst"), "p:tav");
    }
    pugi::xml_node Node(const char* member) {
        std::vector<pugi::xml_node> points = Points(ref_.Typed(member, "p:anim"));
        if (index_ >= points.size())
            throw AutomationError(member, "no such point");
        return points[index_];
    }
    void Edit(const char* member, const std::function<void(pugi::xml_node)>& edit) {
        Node(member);
        ref_.Edit(member, [&](pugi::xml_node anim) {
            std::vector<pugi::xml_node> points = Points(anim);
            if (index_ < points.size())
                edit(points[index_]);
        });
    }
    BehaviorRef ref_;
    std::size_t index_;
};

class AnimationPoints final : public automation::IAnimationPoints {
public:
    explicit AnimationPoints(BehaviorRef ref) : ref_(std::move(ref)) {}
    int Count() override {
        return static_cast<int>(
            xml::Children(ref_.Typed("Count", "p:anim").child("p:tavLst"), "p:tav").size());
    }
    std::shared_ptr<automation::IAnimationPoint> Item(int index) override {
        if (index < 1 || index > Count())
            throw AutomationError("Item", "no such point");
        return std::make_shared<AnimationPoint>(ref_, static_cast<std::size_t>(index - 1));
    }
    std::shared_ptr<automation::IAnimationPoint> Add() override {
        int count = Count();
        ref_.Edit("Add", [](pugi::xml_node anim) {
            pugi::xml_node list = xml::EnsureChild(anim, "p:tavLst");
            list.append_child("p:tav").append_attribute("tm") = "0";
        });
        return std::make_shared<AnimationPoint>(ref_, static_cast<std::size_t>(count));
    }
    // Smooth interpolation is the linear calculation mode; discrete steps are not smooth.
    bool Smooth() override {
        return std::strcmp(ref_.Typed("Smooth", "p:anim").attribute("calcmode").value(), "discrete") != 0;
    }
    void SetSmooth(bool v) override {
        if (v == Smooth())
            return;
        ref_.Edit("Smooth",
                  [v](pugi::xml_node anim) { xml::SetAttr(anim, "calcmode", v ? "lin" : "discrete"); });
    }

private:
    BehaviorRef ref_;
};

struct PropertyName {
    const char* attrName;
    int property;
};
// msoAnimProperty numbers of the attribute names the presets animate.
constexpr std::array<PropertyName, 14> kProperties{{
    {"ppt_x", 1},
    {"ppt_y", 2},
    {"ppt_w", 3},
    {"ppt_h", 4},
    {"style.opacity", 5},
    {"r", 6},
    {"style.rotation", 6},
    {"style.color", 7},
    {"style.visibility", 8},
    {"fill.on", 1004},
    {"fill.color", 1005},
    {"fill.opacity", 1006},
    {"stroke.on", 1008},
    {"stroke.color", 1009},
}};

class PropertyEffect final : public automation::IPropertyEffect {
public:
    explicit PropertyEffect(BehaviorRef ref) : ref_(std::move(ref)) {}
    Variant From() override { return VariantOfText(ref_.Typed("From", "p:anim").attribute("from").value()); }
    void SetFrom(const Variant& v) override { Set("From", "from", v); }
    Variant To() override { return VariantOfText(ref_.Typed("To", "p:anim").attribute("to").value()); }
    void SetTo(const Variant& v) override { Set("To", "to", v); }
    int Property() override {
        pugi::xml_node name =
            ref_.Typed("Property", "p:anim").child("p:cBhvr").child("p:attrNameLst").child("p:attrName");
        for (const PropertyName& entry : kProperties)
            if (std::strcmp(name.text().get(), entry.attrName) == 0)
                return entry.property;
        throw AutomationError("Property", "the animated attribute has no property number");
    }
    void SetProperty(int v) override {
        ref_.Typed("Property", "p:anim");
        try {
            if (Property() == v)
                return;
        } catch (const AutomationError&) {
        }
        for (const PropertyName& entry : kProperties) {
            if (entry.property != v)
                continue;
            ref_.Edit("Property", [&](pugi::xml_node anim) {
                pugi::xml_node list = xml::EnsureChild(anim.child("p:cBhvr"), "p:attrNameLst");
                while (list.first_child())
                    list.remove_child(list.first_child());
                list.append_child("p:attrName").text().set(entry.attrName);
            });
            return;
        }
        throw AutomationError("Property", "unknown property number");
    }
    std::shared_ptr<automation::IAnimationPoints> Points() override {
        ref_.Typed("Points", "p:anim");
        return std::make_shared<AnimationPoints>(ref_);
    }

private:
    void Set(const char* member, const char* attr, const Variant& v) {
        Variant current = VariantOfText(ref_.Typed(member, "p:anim").attribute(attr).value());
        if (SameVariant(current, v))
            return;
        ref_.Edit(member, [&](pugi::xml_node anim) {
            std::string text = TextOfVariant(v);
            if (text.empty())
                anim.remove_attribute(attr);
            else
                xml::SetAttr(anim, attr, text);
        });
    }
    BehaviorRef ref_;
};

class Behavior final : public automation::IAnimationBehavior {
public:
    explicit Behavior(BehaviorRef ref) : ref_(std::move(ref)) {}

    // 1 none, 2 always (msoAnimAccumulate).
    int Accumulate() override {
        return std::strcmp(CBhvr("Accumulate").attribute("accumulate").value(), "always") == 0 ? 2 : 1;
    }
    void SetAccumulate(int v) override {
        if (v != 1 && v != 2)
            throw AutomationError("Accumulate", "invalid value");
        if (v == Accumulate())
            return;
        ref_.Edit("Accumulate", [v](pugi::xml_node node) {
            xml::SetAttr(node.child("p:cBhvr"), "accumulate", v == 2 ? "always" : "none");
        });
    }
    // 1 base, 2 sum (msoAnimAdditive).
    int Additive() override {
        return std::strcmp(CBhvr("Additive").attribute("additive").value(), "sum") == 0 ? 2 : 1;
    }
    void SetAdditive(int v) override {
        if (v != 1 && v != 2)
            throw AutomationError("Additive", "invalid value");
        if (v == Additive())
            return;
        ref_.Edit("Additive", [v](pugi::xml_node node) {
            xml::SetAttr(node.child("p:cBhvr"), "additive", v == 2 ? "sum" : "base");
        });
    }
    int Type() override { return KindOf(ref_.Node("Type")); }
    void SetType(int v) override {
        if (v != Type())
            throw AutomationError("Type", "a behaviour keeps its kind");
    }

    std::shared_ptr<automation::IMotionEffect> MotionEffect() override {
        ref_.Typed("MotionEffect", "p:animMotion");
        return std::make_shared<office::timing::MotionEffect>(ref_);
    }
    std::shared_ptr<automation::IColorEffect> ColorEffect() override {
        ref_.Typed("ColorEffect", "p:animClr");
        return std::make_shared<office::timing::ColorEffect>(ref_);
    }
    std::shared_ptr<automation::IScaleEffect> ScaleEffect() override {
        ref_.Typed("ScaleEffect", "p:animScale");
        return std::make_shared<office::timing::ScaleEffect>(ref_);
    }
    std::shared_ptr<automation::IRotationEffect> RotationEffect() override {
        ref_.Typed("RotationEffect", "p:animRot");
        return std::make_shared<office::timing::RotationEffect>(ref_);
    }
    std::shared_ptr<automation::IPropertyEffect> PropertyEffect() override {
        ref_.Typed("PropertyEffect", "p:anim");
        return std::make_shared<office::timing::PropertyEffect>(ref_);
    }
    std::shared_ptr<automation::ICommandEffect> CommandEffect() override {
        ref_.Typed("CommandEffect", "p:cmd");
        return std::make_shared<office::timing::CommandEffect>(ref_);
    }

private:
    pugi::xml_node CBhvr(const char* member) { return ref_.Node(member).child("p:cBhvr"); }
    BehaviorRef ref_;
};

class Behaviors final : public automation::IAnimationBehaviors {
public:
    explicit Behaviors(EffectHandle effect) : effect_(std::move(effect)) {}
    int Count() override { return static_cast<int>(BehaviorNodes(effect_.Primary("Count")).size()); }
    std::shared_ptr<automation::IAnimationBehavior> Item(int index) override {
        if (index < 1 || index > Count())
            throw AutomationError("Item", "no behaviour at index " + std::to_string(index));
        return std::make_shared<Behavior>(BehaviorRef(effect_, static_cast<std::size_t>(index - 1)));
    }

private:
    EffectHandle effect_;
};

} // namespace

std::shared_ptr<automation::IAnimationBehaviors> MakeBehaviors(EffectHandle effect) {
    return std::make_shared<Behaviors>(std::move(effect));
}

} // namespace office::timing
