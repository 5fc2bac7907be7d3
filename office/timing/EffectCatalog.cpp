#include "office/timing/EffectCatalog.h"

#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <array>
#include <cstring>

namespace office::timing {

namespace {

struct Entry {
    int effectType;
    const char* group; // "entr" covers entrance and exit
    int presetId;
};

// Effect-type numbers of the object model against the stored preset numbers.
constexpr std::array<Entry, 85> kTable{{
    {1, "entr", 1},   {2, "entr", 2},   {3, "entr", 3},       {4, "entr", 4},       {5, "entr", 5},
    {6, "entr", 6},   {7, "entr", 7},   {8, "entr", 8},       {9, "entr", 9},       {10, "entr", 10},
    {11, "entr", 11}, {12, "entr", 12}, {13, "entr", 13},     {14, "entr", 14},     {15, "entr", 15},
    {16, "entr", 16}, {17, "entr", 17}, {18, "entr", 18},     {19, "entr", 19},     {20, "entr", 20},
    {21, "entr", 21}, {22, "entr", 22}, {23, "entr", 23},     {24, "entr", 24},     {25, "entr", 25},
    {26, "entr", 26}, {27, "entr", 27}, {28, "entr", 28},     {29, "entr", 29},     {30, "entr", 30},
    {31, "entr", 31}, {32, "entr", 34}, {33, "entr", 35},     {34, "entr", 37},     {35, "entr", 38},
    {36, "entr", 39}, {37, "entr", 40}, {38, "entr", 41},     {39, "entr", 42},     {40, "entr", 43},
    {41, "entr", 45}, {42, "entr", 47}, {43, "entr", 48},     {44, "entr", 49},     {45, "entr", 50},
    {46, "entr", 51}, {47, "entr", 52}, {48, "entr", 53},     {49, "entr", 54},     {50, "entr", 55},
    {51, "entr", 56}, {53, "entr", 58}, {54, "emph", 1},      {55, "emph", 2},      {56, "emph", 3},
    {57, "emph", 4},  {58, "emph", 5},  {59, "emph", 6},      {60, "emph", 7},      {61, "emph", 8},
    {62, "emph", 9},  {63, "emph", 10}, {64, "emph", 14},     {65, "emph", 15},     {66, "emph", 16},
    {67, "emph", 18}, {68, "emph", 19}, {69, "emph", 20},     {70, "emph", 21},     {71, "emph", 22},
    {72, "emph", 23}, {73, "emph", 24}, {74, "emph", 25},     {75, "emph", 26},     {76, "emph", 27},
    {77, "emph", 28}, {78, "emph", 30}, {79, "emph", 31},     {80, "emph", 32},     {81, "emph", 33},
    {82, "emph", 34}, {52, "emph", 36}, {83, "mediacall", 1}, {84, "mediacall", 2}, {85, "mediacall", 3},
}};

// Class numbers of the synthetic range.
constexpr std::array<const char*, 5> kClasses{"entr", "emph", "path", "verb", "mediacall"};

const char* GroupOf(const std::string& presetClass) {
    return presetClass == "exit" ? "entr" : presetClass.c_str();
}

struct DirectionEntry {
    int subtype;
    int direction;
};
// msoAnimDirection numbers: up 1, right 2, down 3, left 4, up-left 6, up-right 7, down-right 8,
// down-left 9, horizontal 16, vertical 17, in 19, out 20.
constexpr std::array<DirectionEntry, 13> kDirections{{
    {0, 0},
    {1, 1},
    {2, 2},
    {4, 3},
    {8, 4},
    {9, 6},
    {3, 7},
    {6, 8},
    {12, 9},
    {10, 16},
    {5, 17},
    {16, 19},
    {32, 20},
}};

pugi::xml_node AppendBehaviorTarget(pugi::xml_node cBhvr, std::uint32_t shapeId) {
    pugi::xml_node target = cBhvr.append_child("p:tgtEl").append_child("p:spTgt");
    target.append_attribute("spid") = shapeId;
    return target;
}

void AppendVisibilitySet(pugi::xml_node list, std::uint32_t shapeId, std::uint32_t& nextId, const char* value,
                         int delayMs) {
    pugi::xml_node set = list.append_child("p:set");
    pugi::xml_node cBhvr = set.append_child("p:cBhvr");
    pugi::xml_node cTn = cBhvr.append_child("p:cTn");
    cTn.append_attribute("id") = nextId++;
    cTn.append_attribute("dur") = "1";
    cTn.append_attribute("fill") = "hold";
    cTn.append_child("p:stCondLst").append_child("p:cond").append_attribute("delay") = delayMs;
    AppendBehaviorTarget(cBhvr, shapeId);
    cBhvr.append_child("p:attrNameLst").append_child("p:attrName").text().set("style.visibility");
    set.append_child("p:to").append_child("p:strVal").append_attribute("val") = value;
}

void AppendFade(pugi::xml_node list, std::uint32_t shapeId, std::uint32_t& nextId, const char* transition) {
    pugi::xml_node effect = list.append_child("p:animEffect");
    effect.append_attribute("transition") = transition;
    effect.append_attribute("filter") = "fade";
    pugi::xml_node cBhvr = effect.append_child("p:cBhvr");
    pugi::xml_node cTn = cBhvr.append_child("p:cTn");
    cTn.append_attribute("id") = nextId++;
    cTn.append_attribute("dur") = "500";
    AppendBehaviorTarget(cBhvr, shapeId);
}

} // namespace

int EffectTypeOf(const std::string& presetClass, std::optional<int> presetId) {
    if (presetClass.empty() || !presetId)
        return kEffectCustom;
    const std::string group = GroupOf(presetClass);
    for (const Entry& entry : kTable)
        if (group == entry.group && entry.presetId == *presetId)
            return entry.effectType;
    for (std::size_t i = 0; i < kClasses.size(); ++i)
        if (group == kClasses[i] && *presetId >= 0 && *presetId < 1000)
            return kSyntheticEffectBase + static_cast<int>(i) * 1000 + *presetId;
    return kEffectCustom;
}

std::optional<Preset> PresetOf(int effectType) {
    for (const Entry& entry : kTable)
        if (entry.effectType == effectType)
            return Preset{entry.group, entry.presetId};
    if (effectType >= kSyntheticEffectBase) {
        int classIndex = (effectType - kSyntheticEffectBase) / 1000;
        if (classIndex < static_cast<int>(kClasses.size()))
            return Preset{kClasses[static_cast<std::size_t>(classIndex)],
                          (effectType - kSyntheticEffectBase) % 1000};
    }
    return std::nullopt;
}

std::optional<int> DirectionOfSubtype(int presetSubtype) {
    for (const DirectionEntry& entry : kDirections)
        if (entry.subtype == presetSubtype)
            return entry.direction;
    return std::nullopt;
}

std::optional<int> SubtypeOfDirection(int direction) {
    for (const DirectionEntry& entry : kDirections)
        if (entry.direction == direction)
            return entry.subtype;
    return std::nullopt;
}

pugi::xml_node BuildMinimalEffect(pugi::xml_node parent, pugi::xml_node before, const Preset& preset,
                                  bool exit, std::uint32_t shapeId, std::uint32_t& nextId) {
    if (preset.presetClass != "entr" && preset.presetClass != "exit")
        return {};
    exit = exit || preset.presetClass == "exit";
    pugi::xml_node par = before ? parent.insert_child_before("p:par", before) : parent.append_child("p:par");
    pugi::xml_node cTn = par.append_child("p:cTn");
    cTn.append_attribute("id") = nextId++;
    cTn.append_attribute("presetID") = preset.presetId;
    cTn.append_attribute("presetClass") = exit ? "exit" : "entr";
    cTn.append_attribute("presetSubtype") = "0";
    cTn.append_attribute("fill") = "hold";
    cTn.append_attribute("nodeType") = "clickEffect";
    cTn.append_child("p:stCondLst").append_child("p:cond").append_attribute("delay") = "0";
    pugi::xml_node list = cTn.append_child("p:childTnLst");
    bool appear = preset.presetId == 1;
    if (!exit) {
        AppendVisibilitySet(list, shapeId, nextId, "visible", 0);
        if (!appear)
            AppendFade(list, shapeId, nextId, "in");
    } else if (appear) {
        AppendVisibilitySet(list, shapeId, nextId, "hidden", 0);
    } else {
        AppendFade(list, shapeId, nextId, "out");
        AppendVisibilitySet(list, shapeId, nextId, "hidden", 499);
    }
    return par;
}

void SetEffectExit(pugi::xml_node effectPar, bool exit) {
    pugi::xml_node cTn = EffectCTn(effectPar);
    xml::SetAttr(cTn, "presetClass", exit ? "exit" : "entr");
    for (pugi::xml_node effect : xml::Descendants(cTn.child("p:childTnLst"), "p:animEffect"))
        if (effect.attribute("transition"))
            xml::SetAttr(effect, "transition", exit ? "out" : "in");
    for (pugi::xml_node set : xml::Descendants(cTn.child("p:childTnLst"), "p:set")) {
        pugi::xml_node name = set.child("p:cBhvr").child("p:attrNameLst").child("p:attrName");
        if (std::strcmp(name.text().get(), "style.visibility") != 0)
            continue;
        pugi::xml_node value = set.child("p:to").child("p:strVal");
        if (value)
            xml::SetAttr(value, "val", exit ? "hidden" : "visible");
    }
}

} // namespace office::timing
