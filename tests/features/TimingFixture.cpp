#include "TimingFixture.h"

#include <cstring>

namespace features_test {

namespace {
std::string Target(int spid) {
    return "<p:tgtEl><p:spTgt spid=\"" + std::to_string(spid) + "\"/></p:tgtEl>";
}

std::string Visibility(int& nextId, int spid, const char* value, int delay) {
    return "<p:set><p:cBhvr><p:cTn id=\"" + std::to_string(nextId++) +
           "\" dur=\"1\" fill=\"hold\"><p:stCondLst><p:cond delay=\"" + std::to_string(delay) +
           "\"/></p:stCondLst></p:cTn>" + Target(spid) +
           "<p:attrNameLst><p:attrName>style.visibility</p:attrName></p:attrNameLst></"
           "p:cBhvr><p:to><p:strVal val=\"" +
           value + "\"/></p:to></p:set>";
}

std::string Fade(int& nextId, int spid, const char* transition, int dur) {
    return std::string("<p:animEffect transition=\"") + transition +
           "\" filter=\"fade\"><p:cBhvr><p:cTn id=\"" + std::to_string(nextId++) + "\" dur=\"" +
           std::to_string(dur) + "\"/>" + Target(spid) + "</p:cBhvr></p:animEffect>";
}
} // namespace

std::string EffectXml(int& nextId, const EffectSpec& s) {
    std::string head = "<p:par><p:cTn id=\"" + std::to_string(nextId++) + "\" presetID=\"" +
                       std::to_string(s.presetId) + "\" presetClass=\"" + s.presetClass +
                       "\" presetSubtype=\"0\" fill=\"hold\" grpId=\"" + std::to_string(s.grpId) +
                       "\" nodeType=\"" + s.nodeType + "\" " + s.extra +
                       "><p:stCondLst><p:cond delay=\"0\"/></p:stCondLst><p:childTnLst>";
    std::string body;
    if (std::strcmp(s.presetClass, "entr") == 0) {
        body = Visibility(nextId, s.spid, "visible", 0);
        if (s.presetId != 1)
            body += Fade(nextId, s.spid, "in", s.durMs);
    } else if (std::strcmp(s.presetClass, "exit") == 0) {
        body = Fade(nextId, s.spid, "out", s.durMs) + Visibility(nextId, s.spid, "hidden", s.durMs - 1);
    } else {
        body = "<p:animRot by=\"21600000\"><p:cBhvr><p:cTn id=\"" + std::to_string(nextId++) + "\" dur=\"" +
               std::to_string(s.durMs) + "\" fill=\"hold\"/>" + Target(s.spid) +
               "<p:attrNameLst><p:attrName>r</p:attrName></p:attrNameLst></p:cBhvr></p:animRot>";
    }
    return head + body + "</p:childTnLst></p:cTn></p:par>";
}

std::string SubGroup(int& nextId, int delayMs, const std::string& effects) {
    return "<p:par><p:cTn id=\"" + std::to_string(nextId++) +
           "\" fill=\"hold\"><p:stCondLst><p:cond delay=\"" + std::to_string(delayMs) +
           "\"/></p:stCondLst><p:childTnLst>" + effects + "</p:childTnLst></p:cTn></p:par>";
}

std::string ClickGroup(int& nextId, const std::string& subGroups) {
    return "<p:par><p:cTn id=\"" + std::to_string(nextId++) +
           "\" fill=\"hold\"><p:stCondLst><p:cond delay=\"indefinite\"/></p:stCondLst><p:childTnLst>" +
           subGroups + "</p:childTnLst></p:cTn></p:par>";
}

std::string Timing(int& nextId, const std::string& clickGroups, const std::string& buildList) {
    (void)nextId;
    return "<p:timing><p:tnLst><p:par><p:cTn id=\"1\" dur=\"indefinite\" restart=\"never\" "
           "nodeType=\"tmRoot\">"
           "<p:childTnLst><p:seq concurrent=\"1\" nextAc=\"seek\"><p:cTn id=\"2\" dur=\"indefinite\" "
           "nodeType=\"mainSeq\"><p:childTnLst>" +
           clickGroups +
           "</p:childTnLst></p:cTn><p:prevCondLst><p:cond evt=\"onPrev\" "
           "delay=\"0\"><p:tgtEl><p:sldTgt/></p:tgtEl>"
           "</p:cond></p:prevCondLst><p:nextCondLst><p:cond evt=\"onNext\" delay=\"0\"><p:tgtEl><p:sldTgt/>"
           "</p:tgtEl></p:cond></p:nextCondLst></p:seq></p:childTnLst></p:cTn></p:par></p:tnLst>" +
           (buildList.empty() ? std::string() : "<p:bldLst>" + buildList + "</p:bldLst>") + "</p:timing>";
}

std::string ThreeShapes() {
    auto pic = [](int id) {
        return "<p:pic><p:nvPicPr><p:cNvPr id=\"" + std::to_string(id) + "\" name=\"Picture " +
               std::to_string(id - 1) +
               "\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill><a:blip r:embed=\"rId2\"/></p:blipFill>"
               "<p:spPr/></p:pic>";
    };
    return pic(4) +
           "<p:sp><p:nvSpPr><p:cNvPr id=\"5\" name=\"TextBox 4\"/><p:cNvSpPr "
           "txBox=\"1\"/><p:nvPr/></p:nvSpPr>"
           "<p:spPr/><p:txBody><a:bodyPr/><a:p><a:r><a:t>Hi</a:t></a:r></a:p></p:txBody></p:sp>" +
           pic(6);
}

} // namespace features_test
