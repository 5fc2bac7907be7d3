#pragma once

// Slides with a main sequence written the way the office application writes it.

#include <string>

namespace features_test {

struct EffectSpec {
    int spid;
    const char* presetClass;
    int presetId;
    const char* nodeType;
    int grpId;
    int durMs;
    const char* extra = ""; // more attributes of the effect's time node
};

// Entrance/exit effects fade (or appear for preset 1); emphasis effects spin once.
std::string EffectXml(int& nextId, const EffectSpec& spec);
std::string ClickGroup(int& nextId, const std::string& subGroups);
std::string SubGroup(int& nextId, int delayMs, const std::string& effects);
std::string Timing(int& nextId, const std::string& clickGroups, const std::string& buildList);

// Shape 4 is a picture, 5 a text box, 6 another picture.
std::string ThreeShapes();

} // namespace features_test
