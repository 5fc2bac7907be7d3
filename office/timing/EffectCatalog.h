#pragma once

// The one table between the stored presets of effects (presetClass + presetID) and the object
// model's effect-type numbers, the direction numbers of presetSubtype, and the smallest effect
// structures built when no existing effect can serve as a pattern.

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>

namespace office::timing {

struct Preset {
    std::string presetClass; // entr, exit, emph, path, verb, mediacall; "" for custom effects
    int presetId = 0;
};

// Entrance and exit presets share their numbers (the exit flag tells them apart). A preset that the
// table does not name gets a number of its own above kSyntheticEffectBase, so that reading a type and
// adding an effect of that type always gives back the same preset.
constexpr int kSyntheticEffectBase = 10000;
constexpr int kEffectCustom = 0;

int EffectTypeOf(const std::string& presetClass, std::optional<int> presetId);
// entr for entrance/exit numbers; nullopt for numbers neither the table nor the synthetic range knows.
std::optional<Preset> PresetOf(int effectType);

// presetSubtype bits (top 1, right 2, bottom 4, left 8, in 16, out 32) and direction numbers.
std::optional<int> DirectionOfSubtype(int presetSubtype);
std::optional<int> SubtypeOfDirection(int direction);

// A new effect p:par before `before` (or at the end of `parent`) for an entrance or exit preset:
// Appear is exact; every other entrance/exit preset is built as a fade of the same preset number.
// Returns null for other classes, which need an existing effect as their pattern.
pugi::xml_node BuildMinimalEffect(pugi::xml_node parent, pugi::xml_node before, const Preset& preset,
                                  bool exit, std::uint32_t shapeId, std::uint32_t& nextId);

// Turns an entrance effect into an exit effect or back: class, transition direction, visibility.
void SetEffectExit(pugi::xml_node effectPar, bool exit);

} // namespace office::timing
