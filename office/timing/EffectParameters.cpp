// The preset parameters of an effect, read from the behaviour that carries each of them: the spin
// amount (p:animRot), the direction (presetSubtype), the font (a style.fontFamily p:anim), motion
// relative to the shape (p:animMotion), the size (p:animScale) and the second colour (p:animClr).
// A parameter the effect does not have throws, as the object model does.

#include "automation/AutomationError.h"
#include "office/timing/ColorValue.h"
#include "office/timing/EffectCatalog.h"
#include "office/timing/EffectHandle.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <array>
#include <cmath>
#include <cstring>

namespace office::timing {

using automation::AutomationError;

namespace {

bool Same(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

pugi::xml_node FirstBehavior(pugi::xml_node effectPar, const char* element, const char* attrName = nullptr) {
    for (pugi::xml_node child : EffectCTn(effectPar).child("p:childTnLst").children(element)) {
        if (!attrName)
            return child;
        pugi::xml_node name = child.child("p:cBhvr").child("p:attrNameLst").child("p:attrName");
        if (std::strcmp(name.text().get(), attrName) == 0)
            return child;
    }
    return {};
}

struct SchemeName {
    const char* name;
    int index;
};
// ppColorSchemeIndex numbers for the theme colours they correspond to.
constexpr std::array<SchemeName, 8> kSchemes{{
    {"bg1", 1},
    {"tx1", 2},
    {"bg2", 3},
    {"tx2", 4},
    {"accent1", 5},
    {"accent2", 6},
    {"accent3", 7},
    {"accent4", 8},
}};

class Color2 final : public automation::IColorFormat {
public:
    explicit Color2(EffectHandle effect) : effect_(std::move(effect)) {}

    int RGB() override {
        auto rgb = RgbOfHex(To("RGB").child("a:srgbClr").attribute("val").value());
        if (!rgb)
            throw AutomationError("RGB", "the colour is not an RGB colour");
        return *rgb;
    }
    void SetRGB(int rgb) override {
        auto current = RgbOfHex(To("RGB").child("a:srgbClr").attribute("val").value());
        if (current && *current == rgb)
            return;
        Replace("RGB", "a:srgbClr", HexOfRgb(rgb));
    }
    int SchemeColor() override {
        std::string name = To("SchemeColor").child("a:schemeClr").attribute("val").value();
        for (const SchemeName& entry : kSchemes)
            if (name == entry.name)
                return entry.index;
        throw AutomationError("SchemeColor", "the colour is not a scheme colour");
    }
    void SetSchemeColor(int index) override {
        std::string current = To("SchemeColor").child("a:schemeClr").attribute("val").value();
        for (const SchemeName& entry : kSchemes) {
            if (entry.index != index)
                continue;
            if (current != entry.name)
                Replace("SchemeColor", "a:schemeClr", entry.name);
            return;
        }
        throw AutomationError("SchemeColor", "unknown scheme colour");
    }
    double TintAndShade() override {
        To("TintAndShade");
        return 0;
    }
    void SetTintAndShade(double value) override {
        To("TintAndShade");
        if (!Same(value, 0))
            throw AutomationError("TintAndShade", "tints are not stored on animation colours");
    }

private:
    pugi::xml_node To(const char* member) {
        pugi::xml_node clr = FirstBehavior(effect_.Primary(member), "p:animClr");
        if (!clr)
            throw AutomationError(member, "the effect has no second colour");
        return clr.child("p:to");
    }
    void Replace(const char* member, const char* element, const std::string& value) {
        To(member);
        effect_.ForEachBranch(member, [&](pugi::xml_node effect) {
            pugi::xml_node clr = FirstBehavior(effect, "p:animClr");
            if (!clr)
                return;
            pugi::xml_node to = xml::EnsureChild(clr, "p:to");
            while (to.first_child())
                to.remove_child(to.first_child());
            to.append_child(element).append_attribute("val") = value.c_str();
        });
    }
    EffectHandle effect_;
};

class EffectParameters final : public automation::IEffectParameters {
public:
    explicit EffectParameters(EffectHandle effect) : effect_(std::move(effect)) {}

    double Amount() override {
        pugi::xml_node rot = Need("Amount", "p:animRot");
        return xml::NumberAttr(rot, "by").value_or(0) / 60000.0;
    }
    void SetAmount(double degrees) override {
        if (Same(degrees, Amount()))
            return;
        Edit("Amount", "p:animRot", nullptr, [&](pugi::xml_node rot) {
            xml::SetAttr(rot, "by", xml::FormatNumber(std::round(degrees * 60000.0)));
        });
    }

    int Direction() override {
        auto subtype = xml::IntAttr(EffectCTn(effect_.Primary("Direction")), "presetSubtype");
        auto direction = DirectionOfSubtype(static_cast<int>(subtype.value_or(0)));
        if (!direction)
            throw AutomationError("Direction", "the effect's variant has no direction number");
        return *direction;
    }
    void SetDirection(int value) override {
        auto subtype = SubtypeOfDirection(value);
        if (!subtype)
            throw AutomationError("Direction", "unknown direction");
        auto current = xml::IntAttr(EffectCTn(effect_.Primary("Direction")), "presetSubtype");
        if (current && *current == *subtype)
            return;
        effect_.ForEachBranch("Direction", [&](pugi::xml_node effect) {
            xml::SetIntAttr(EffectCTn(effect), "presetSubtype", *subtype);
        });
    }

    std::string FontName() override {
        pugi::xml_node anim = Need("FontName", "p:anim", "style.fontFamily");
        return anim.child("p:tavLst")
            .child("p:tav")
            .child("p:val")
            .child("p:strVal")
            .attribute("val")
            .value();
    }
    void SetFontName(const std::string& value) override {
        if (value == FontName())
            return;
        Edit("FontName", "p:anim", "style.fontFamily", [&](pugi::xml_node anim) {
            for (pugi::xml_node tav : anim.child("p:tavLst").children("p:tav"))
                if (pugi::xml_node str = tav.child("p:val").child("p:strVal"))
                    xml::SetAttr(str, "val", value);
        });
    }

    bool Relative() override {
        return std::strcmp(Need("Relative", "p:animMotion").attribute("pathEditMode").value(), "relative") ==
               0;
    }
    void SetRelative(bool value) override {
        if (value == Relative())
            return;
        Edit("Relative", "p:animMotion", nullptr, [&](pugi::xml_node motion) {
            xml::SetAttr(motion, "pathEditMode", value ? "relative" : "fixed");
        });
    }

    // Percent of the shape's size.
    double Size() override {
        pugi::xml_node scale = Need("Size", "p:animScale");
        auto x = xml::NumberAttr(scale.child("p:by"), "x");
        if (!x)
            throw AutomationError("Size", "the scale has no size factor");
        return *x / 1000.0;
    }
    void SetSize(double percent) override {
        if (Same(percent, Size()))
            return;
        Edit("Size", "p:animScale", nullptr, [&](pugi::xml_node scale) {
            pugi::xml_node by = scale.child("p:by");
            std::string value = xml::FormatNumber(std::round(percent * 1000.0));
            xml::SetAttr(by, "x", value);
            xml::SetAttr(by, "y", value);
        });
    }

    std::shared_ptr<automation::IColorFormat> Color2() override {
        Need("Color2", "p:animClr");
        return std::make_shared<office::timing::Color2>(effect_);
    }

private:
    pugi::xml_node Need(const char* member, const char* element, const char* attrName = nullptr) {
        pugi::xml_node node = FirstBehavior(effect_.Primary(member), element, attrName);
        if (!node)
            throw AutomationError(member, "the effect has no such parameter");
        return node;
    }
    void Edit(const char* member, const char* element, const char* attrName,
              const std::function<void(pugi::xml_node)>& edit) {
        Need(member, element, attrName);
        effect_.ForEachBranch(member, [&](pugi::xml_node effect) {
            if (pugi::xml_node node = FirstBehavior(effect, element, attrName))
                edit(node);
        });
    }
    EffectHandle effect_;
};

} // namespace

std::shared_ptr<automation::IEffectParameters> MakeEffectParameters(EffectHandle effect) {
    return std::make_shared<EffectParameters>(std::move(effect));
}

} // namespace office::timing
