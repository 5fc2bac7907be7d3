// Click and mouse-over actions of a shape: a:hlinkClick / a:hlinkHover inside its cNvPr, their
// relationships (external for addresses and programs, internal for slide jumps) and their sound.
// The displayed text of a hyperlink is not stored for shapes; it lives in this object only. A custom
// show, macro or program chosen as the action is written once its name or path is known.

#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/XmlUtil.h"

#include <array>
#include <cstring>

namespace office::links {

using automation::AutomationError;

namespace {

constexpr const char* kHyperlinkRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";
constexpr const char* kSlideRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide";
constexpr const char* kRelNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kPrefix = "ppaction://";

struct JumpName {
    const char* jump;
    int action;
};
constexpr std::array<JumpName, 6> kJumps{{
    {"nextslide", automation::ppActionNextSlide},
    {"previousslide", automation::ppActionPreviousSlide},
    {"firstslide", automation::ppActionFirstSlide},
    {"lastslide", automation::ppActionLastSlide},
    {"lastslideviewed", automation::ppActionLastSlideViewed},
    {"endshow", automation::ppActionEndShow},
}};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The value of key=... in a query such as "name=Module.Sub" or "id=3&return=true".
std::string QueryValue(const std::string& action, const std::string& key) {
    auto query = action.find('?');
    if (query == std::string::npos)
        return "";
    std::string rest = action.substr(query + 1);
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('&', start);
        std::string pair = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (StartsWith(pair, key + "="))
            return pair.substr(key.size() + 1);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return "";
}

bool IsPresentationFile(const std::string& address) {
    auto dot = address.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string ext = address.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "ppt" || ext == "pptx" || ext == "pptm" || ext == "pps" || ext == "ppsx" || ext == "ppsm";
}

// What the setting objects share: where the element lives and what is waiting to be written.
class ActionState {
public:
    ActionState(std::shared_ptr<SlideContext> slide, std::uint32_t shapeId, int index)
        : slide_(std::move(slide)), shapeId_(shapeId), index_(index) {}

    SlideContext& Slide() { return *slide_; }
    std::string textToDisplay;
    bool pendingReturn = false;
    int pendingAction = -1; // macro, program or custom show waiting for its name

    const char* ElementName() const {
        return index_ == automation::ppMouseClick ? "a:hlinkClick" : "a:hlinkHover";
    }

    pugi::xml_node Shape(const char* member) {
        pugi::xml_node shape = slide_->ShapeNode(shapeId_);
        if (!shape)
            throw AutomationError(member, "the shape is not on the slide");
        return shape;
    }
    pugi::xml_node CNvPr(const char* member) {
        pugi::xml_node cNvPr = xml::CNvPrOf(Shape(member));
        if (!cNvPr)
            throw AutomationError(member, "the shape has no properties element");
        return cNvPr;
    }
    pugi::xml_node Element(const char* member) { return CNvPr(member).child(ElementName()); }
    pugi::xml_node EnsureElement(const char* member) {
        pugi::xml_node cNvPr = CNvPr(member);
        if (pugi::xml_node existing = cNvPr.child(ElementName()))
            return existing;
        pugi::xml_node element =
            index_ == automation::ppMouseClick
                ? xml::InsertChildBefore(cNvPr, ElementName(), {"a:hlinkHover", "a:extLst"})
                : xml::InsertChildBefore(cNvPr, ElementName(), {"a:extLst"});
        pugi::xml_node root = slide_->SlideRoot();
        if (!root.attribute("xmlns:r"))
            root.append_attribute("xmlns:r") = kRelNamespace;
        element.append_attribute("r:id") = "";
        return element;
    }

    std::string Action(const char* member) { return Element(member).attribute("action").value(); }
    void SetActionText(pugi::xml_node element, const std::string& action) {
        if (action.empty())
            element.remove_attribute("action");
        else
            xml::SetAttr(element, "action", action);
        slide_->MarkModified();
    }

    std::optional<Relationship> Rel(const char* member) {
        std::string id = Element(member).attribute("r:id").value();
        if (id.empty())
            return std::nullopt;
        return slide_->FindRelationship(id);
    }
    void ClearRel(pugi::xml_node element) {
        std::string old = element.attribute("r:id").value();
        xml::SetAttr(element, "r:id", "");
        if (!old.empty())
            slide_->RemoveRelationshipIfUnused(old);
        slide_->MarkModified();
    }
    void SetRel(pugi::xml_node element, const char* type, const std::string& target, bool external) {
        std::string old = element.attribute("r:id").value();
        std::string id = slide_->AddRelationship(type, target, external);
        xml::SetAttr(element, "r:id", id);
        if (!old.empty() && old != id)
            slide_->RemoveRelationshipIfUnused(old);
        slide_->MarkModified();
    }

    // An element that no longer does anything goes, with its relationship.
    void RemoveIfEmpty(const char* member) {
        pugi::xml_node element = Element(member);
        if (!element)
            return;
        std::string action = element.attribute("action").value();
        bool idle = (action.empty() || action == "ppaction://noaction") &&
                    std::strlen(element.attribute("r:id").value()) == 0 && !element.child("a:snd") &&
                    !xml::BoolAttr(element, "endSnd") && !xml::BoolAttr(element, "highlightClick") &&
                    !element.attribute("tooltip");
        if (idle) {
            element.parent().remove_child(element);
            slide_->MarkModified();
        }
    }

    std::uint32_t ShapeId() const { return shapeId_; }

private:
    std::shared_ptr<SlideContext> slide_;
    std::uint32_t shapeId_;
    int index_;
};

int ActionNumber(const std::string& action, bool hasRel) {
    if (action.empty())
        return hasRel ? automation::ppActionHyperlink : automation::ppActionNone;
    if (StartsWith(action, "ppaction://hlinkshowjump")) {
        std::string jump = QueryValue(action, "jump");
        for (const JumpName& entry : kJumps)
            if (jump == entry.jump)
                return entry.action;
        return automation::ppActionNone;
    }
    if (StartsWith(action, "ppaction://hlinksldjump") || StartsWith(action, "ppaction://hlinkpres") ||
        StartsWith(action, "ppaction://hlinkfile"))
        return automation::ppActionHyperlink;
    if (StartsWith(action, "ppaction://macro"))
        return automation::ppActionRunMacro;
    if (StartsWith(action, "ppaction://program"))
        return automation::ppActionRunProgram;
    if (StartsWith(action, "ppaction://customshow"))
        return automation::ppActionNamedSlideShow;
    if (StartsWith(action, "ppaction://ole"))
        return automation::ppActionOLEVerb;
    if (StartsWith(action, "ppaction://media"))
        return automation::ppActionPlay;
    return automation::ppActionNone;
}

class Hyperlink final : public automation::IHyperlink {
public:
    explicit Hyperlink(std::shared_ptr<ActionState> state) : state_(std::move(state)) {}

    std::string Address() override {
        std::string target = LinkTarget("Address");
        if (StartsWith(target, "mailto:"))
            return target.substr(0, target.find('?'));
        return target.substr(0, target.find('#'));
    }
    void SetAddress(const std::string& address) override {
        if (address == Address())
            return;
        if (address.empty()) {
            if (pugi::xml_node element = state_->Element("Address")) {
                state_->ClearRel(element);
                if (ActionNumber(element.attribute("action").value(), false) == automation::ppActionHyperlink)
                    state_->SetActionText(element, "");
                state_->RemoveIfEmpty("Address");
            }
            return;
        }
        std::string target = LinkTarget("Address");
        std::string kept;
        if (auto mark = target.find(StartsWith(target, "mailto:") ? '?' : '#'); mark != std::string::npos)
            kept = target.substr(mark);
        if (StartsWith(address, "mailto:") != StartsWith(target, "mailto:"))
            kept.clear();
        pugi::xml_node element = state_->EnsureElement("Address");
        state_->SetRel(element, kHyperlinkRel, address + kept, true);
        std::string action = element.attribute("action").value();
        if (!StartsWith(action, "ppaction://hlinkpres") && !StartsWith(action, "ppaction://hlinkfile"))
            state_->SetActionText(element, "");
    }

    std::string EmailSubject() override {
        std::string target = LinkTarget("EmailSubject");
        if (!StartsWith(target, "mailto:"))
            return "";
        return QueryValue(target, "subject");
    }
    void SetEmailSubject(const std::string& subject) override {
        if (subject == EmailSubject())
            return;
        std::string target = LinkTarget("EmailSubject");
        if (!StartsWith(target, "mailto:"))
            throw AutomationError("EmailSubject", "the hyperlink is not a mail address");
        std::string address = target.substr(0, target.find('?'));
        state_->SetRel(state_->Element("EmailSubject"), kHyperlinkRel,
                       subject.empty() ? address : address + "?subject=" + subject, true);
    }

    std::string ScreenTip() override {
        pugi::xml_node element = state_->Element("ScreenTip");
        return element.attribute("tooltip").value();
    }
    void SetScreenTip(const std::string& tip) override {
        if (tip == ScreenTip())
            return;
        if (tip.empty()) {
            state_->Element("ScreenTip").remove_attribute("tooltip");
            state_->RemoveIfEmpty("ScreenTip");
        } else {
            xml::SetAttr(state_->EnsureElement("ScreenTip"), "tooltip", tip);
        }
        state_->Slide().MarkModified();
    }

    bool ShowAndReturn() override {
        std::string action = state_->Element("ShowAndReturn").attribute("action").value();
        if (StartsWith(action, "ppaction://customshow"))
            return QueryValue(action, "return") == "true";
        return state_->pendingReturn;
    }
    void SetShowAndReturn(bool value) override {
        state_->pendingReturn = value;
        pugi::xml_node element = state_->Element("ShowAndReturn");
        std::string action = element.attribute("action").value();
        if (!StartsWith(action, "ppaction://customshow") || ShowAndReturn() == value)
            return;
        std::string base = "ppaction://customshow?id=" + QueryValue(action, "id");
        state_->SetActionText(element, value ? base + "&return=true" : base);
    }

    // "slide id,slide index,title" for a jump to a slide of this or another presentation (the title is
    // not kept); the part after '#' for a web address.
    std::string SubAddress() override {
        pugi::xml_node element = state_->Element("SubAddress");
        std::string action = element.attribute("action").value();
        if (StartsWith(action, "ppaction://hlinksldjump")) {
            auto rel = state_->Rel("SubAddress");
            if (!rel)
                return "";
            auto index = state_->Slide().SlideIndexOfTarget(rel->target);
            if (!index)
                return "";
            return std::to_string(state_->Slide().SlideIdOf(*index)) + "," + std::to_string(*index) + ",";
        }
        if (StartsWith(action, "ppaction://hlinkpres"))
            return "," + QueryValue(action, "slideindex") + "," + QueryValue(action, "slidetitle");
        std::string target = LinkTarget("SubAddress");
        auto mark = target.find('#');
        return StartsWith(target, "mailto:") || mark == std::string::npos ? "" : target.substr(mark + 1);
    }
    void SetSubAddress(const std::string& sub) override {
        if (sub == SubAddress())
            return;
        pugi::xml_node element = state_->EnsureElement("SubAddress");
        auto rel = state_->Rel("SubAddress");
        bool external = rel && rel->external;
        std::string address = external ? Address() : "";
        if (sub.empty()) {
            if (!external) {
                state_->ClearRel(element);
                state_->SetActionText(element, "");
                state_->RemoveIfEmpty("SubAddress");
            } else if (StartsWith(element.attribute("action").value(), "ppaction://hlinkpres")) {
                state_->SetActionText(element, "");
            } else {
                state_->SetRel(element, kHyperlinkRel, address, true);
            }
            return;
        }
        auto first = sub.find(',');
        if (external && !IsPresentationFile(address)) {
            state_->SetRel(element, kHyperlinkRel, address + "#" + sub, true);
            return;
        }
        if (first == std::string::npos)
            throw AutomationError("SubAddress", "a slide is named as id,index,title");
        auto second = sub.find(',', first + 1);
        std::string idText = sub.substr(0, first);
        std::string indexText =
            sub.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        std::string title = second == std::string::npos ? "" : sub.substr(second + 1);
        long long index = 0;
        if (external) {
            if (!xml::ParseLong(indexText, index))
                throw AutomationError("SubAddress", "no slide index");
            state_->SetActionText(element,
                                  "ppaction://hlinkpres?slideindex=" + indexText + "&slidetitle=" + title);
            return;
        }
        int slideIndex = 0;
        if (xml::ParseLong(indexText, index) && index > 0) {
            slideIndex = static_cast<int>(index);
        } else {
            long long id = 0;
            if (!xml::ParseLong(idText, id))
                throw AutomationError("SubAddress", "no slide named");
            for (int i = 1; slideIndex == 0 && i < 100000; ++i) {
                int slideId = 0;
                try {
                    slideId = state_->Slide().SlideIdOf(i);
                } catch (const AutomationError&) {
                    break;
                }
                if (slideId == id)
                    slideIndex = i;
            }
        }
        std::string target =
            state_->Slide().SlideTarget(slideIndex); // throws for a slide that does not exist
        state_->SetRel(element, kSlideRel, target, false);
        state_->SetActionText(element, "ppaction://hlinksldjump");
    }

    std::string TextToDisplay() override { return state_->textToDisplay; }
    void SetTextToDisplay(const std::string& text) override { state_->textToDisplay = text; }

private:
    // The external target of a plain, file or presentation hyperlink.
    std::string LinkTarget(const char* member) {
        pugi::xml_node element = state_->Element(member);
        if (!element)
            return "";
        if (ActionNumber(element.attribute("action").value(), true) != automation::ppActionHyperlink ||
            StartsWith(element.attribute("action").value(), "ppaction://hlinksldjump"))
            return "";
        auto rel = state_->Rel(member);
        return rel && rel->external ? rel->target : "";
    }
    std::shared_ptr<ActionState> state_;
};

class SoundEffect final : public automation::ISoundEffect {
public:
    explicit SoundEffect(std::shared_ptr<ActionState> state) : state_(std::move(state)) {}

    std::string Name() override { return state_->Element("Name").child("a:snd").attribute("name").value(); }
    // Sounds are found by name among the sounds this slide already uses (one relationship, many users).
    void SetName(const std::string& name) override {
        if (name == Name())
            return;
        if (name.empty()) {
            SetType(automation::ppSoundNone);
            return;
        }
        std::string embed;
        pugi::xml_node root = state_->Slide().SlideRoot();
        for (const char* element : {"a:snd", "p:sndTgt"})
            for (pugi::xml_node sound : xml::Descendants(root, element))
                if (embed.empty() && name == sound.attribute("name").value())
                    embed = sound.attribute("r:embed").value();
        if (embed.empty())
            throw AutomationError("Name", "no sound of that name on the slide");
        pugi::xml_node element = state_->EnsureElement("Name");
        if (!element.attribute("action") && std::strlen(element.attribute("r:id").value()) == 0)
            state_->SetActionText(element, "ppaction://noaction");
        pugi::xml_node sound = xml::EnsureChild(element, "a:snd", {"a:extLst"});
        std::string old = sound.attribute("r:embed").value();
        xml::SetAttr(sound, "r:embed", embed);
        xml::SetAttr(sound, "name", name);
        element.remove_attribute("endSnd");
        if (!old.empty() && old != embed)
            state_->Slide().RemoveRelationshipIfUnused(old);
        state_->Slide().MarkModified();
    }

    int Type() override {
        pugi::xml_node element = state_->Element("Type");
        if (element.child("a:snd"))
            return automation::ppSoundFile;
        return xml::BoolAttr(element, "endSnd") ? automation::ppSoundStopPrevious : automation::ppSoundNone;
    }
    void SetType(int type) override {
        if (type == Type())
            return;
        if (type == automation::ppSoundFile)
            throw AutomationError("Type", "name the sound first");
        if (type != automation::ppSoundNone && type != automation::ppSoundStopPrevious)
            throw AutomationError("Type", "unknown sound type");
        pugi::xml_node element =
            type == automation::ppSoundStopPrevious ? state_->EnsureElement("Type") : state_->Element("Type");
        if (pugi::xml_node sound = element.child("a:snd")) {
            std::string old = sound.attribute("r:embed").value();
            element.remove_child(sound);
            if (!old.empty())
                state_->Slide().RemoveRelationshipIfUnused(old);
        }
        if (type == automation::ppSoundStopPrevious) {
            xml::SetAttr(element, "endSnd", "1");
            if (!element.attribute("action") && std::strlen(element.attribute("r:id").value()) == 0)
                state_->SetActionText(element, "ppaction://noaction");
        } else {
            element.remove_attribute("endSnd");
        }
        state_->Slide().MarkModified();
        state_->RemoveIfEmpty("Type");
    }

private:
    std::shared_ptr<ActionState> state_;
};

class ActionSetting final : public automation::IActionSetting {
public:
    explicit ActionSetting(std::shared_ptr<ActionState> state) : state_(std::move(state)) {}

    std::shared_ptr<automation::IHyperlink> Hyperlink() override {
        state_->CNvPr("Hyperlink");
        return std::make_shared<office::links::Hyperlink>(state_);
    }
    std::shared_ptr<automation::ISoundEffect> SoundEffect() override {
        state_->CNvPr("SoundEffect");
        return std::make_shared<office::links::SoundEffect>(state_);
    }

    int Action() override {
        pugi::xml_node element = state_->Element("Action");
        int stored = element ? ActionNumber(element.attribute("action").value(),
                                            std::strlen(element.attribute("r:id").value()) > 0)
                             : automation::ppActionNone;
        return stored == automation::ppActionNone && state_->pendingAction > 0 ? state_->pendingAction
                                                                               : stored;
    }

    void SetAction(int action) override {
        if (action == Action())
            return;
        state_->pendingAction = -1;
        if (action == automation::ppActionNone) {
            pugi::xml_node element = state_->Element("Action");
            if (!element)
                return;
            state_->ClearRel(element);
            state_->SetActionText(element, "ppaction://noaction");
            state_->RemoveIfEmpty("Action");
            return;
        }
        for (const JumpName& entry : kJumps) {
            if (entry.action != action)
                continue;
            pugi::xml_node element = state_->EnsureElement("Action");
            state_->ClearRel(element);
            state_->SetActionText(element, std::string(kPrefix) + "hlinkshowjump?jump=" + entry.jump);
            return;
        }
        switch (action) {
        case automation::ppActionHyperlink:
            throw AutomationError("Action", "give the hyperlink an address first");
        case automation::ppActionRunMacro:
        case automation::ppActionRunProgram:
        case automation::ppActionNamedSlideShow:
            state_->pendingAction = action;
            return;
        case automation::ppActionOLEVerb: {
            if (std::strcmp(state_->Shape("Action").name(), "p:graphicFrame") != 0)
                throw AutomationError("Action", "only embedded objects have verbs");
            pugi::xml_node element = state_->EnsureElement("Action");
            state_->ClearRel(element);
            state_->SetActionText(element, "ppaction://ole?verb=0");
            return;
        }
        case automation::ppActionPlay: {
            pugi::xml_node element = state_->EnsureElement("Action");
            state_->ClearRel(element);
            state_->SetActionText(element, "ppaction://media");
            return;
        }
        default:
            throw AutomationError("Action", "unknown action");
        }
    }

    bool AnimateAction() override {
        return xml::BoolAttr(state_->Element("AnimateAction"), "highlightClick");
    }
    void SetAnimateAction(bool value) override {
        if (value == AnimateAction())
            return;
        if (value) {
            pugi::xml_node element = state_->EnsureElement("AnimateAction");
            if (!element.attribute("action") && std::strlen(element.attribute("r:id").value()) == 0)
                state_->SetActionText(element, "ppaction://noaction");
            xml::SetAttr(element, "highlightClick", "1");
        } else {
            state_->Element("AnimateAction").remove_attribute("highlightClick");
            state_->RemoveIfEmpty("AnimateAction");
        }
        state_->Slide().MarkModified();
    }

    std::string Run() override {
        std::string action = state_->Element("Run").attribute("action").value();
        if (StartsWith(action, "ppaction://macro"))
            return QueryValue(action, "name");
        if (StartsWith(action, "ppaction://program")) {
            auto rel = state_->Rel("Run");
            return rel ? rel->target : "";
        }
        return "";
    }
    void SetRun(const std::string& value) override {
        if (value == Run())
            return;
        std::string action = state_->Element("Run").attribute("action").value();
        bool program = state_->pendingAction == automation::ppActionRunProgram ||
                       (state_->pendingAction < 0 && StartsWith(action, "ppaction://program"));
        if (value.empty())
            throw AutomationError("Run", "choose another action to stop running a macro or program");
        pugi::xml_node element = state_->EnsureElement("Run");
        if (program) {
            state_->SetRel(element, kHyperlinkRel, value, true);
            state_->SetActionText(element, "ppaction://program");
        } else {
            state_->ClearRel(element);
            state_->SetActionText(element, "ppaction://macro?name=" + value);
        }
        state_->pendingAction = -1;
    }

    std::string SlideShowName() override {
        std::string action = state_->Element("SlideShowName").attribute("action").value();
        if (!StartsWith(action, "ppaction://customshow"))
            return "";
        std::string id = QueryValue(action, "id");
        for (const auto& [showId, name] : state_->Slide().CustomShows())
            if (std::to_string(showId) == id)
                return name;
        return "";
    }
    void SetSlideShowName(const std::string& name) override {
        if (name == SlideShowName())
            return;
        if (name.empty())
            throw AutomationError("SlideShowName", "choose another action to stop showing a custom show");
        for (const auto& [showId, showName] : state_->Slide().CustomShows()) {
            if (showName != name)
                continue;
            pugi::xml_node element = state_->EnsureElement("SlideShowName");
            state_->ClearRel(element);
            std::string action = "ppaction://customshow?id=" + std::to_string(showId);
            state_->SetActionText(element, state_->pendingReturn ? action + "&return=true" : action);
            state_->pendingAction = -1;
            return;
        }
        throw AutomationError("SlideShowName", "no custom show of that name");
    }

private:
    std::shared_ptr<ActionState> state_;
};

} // namespace

} // namespace office::links

namespace office {

std::shared_ptr<automation::IActionSetting> MakeActionSetting(std::shared_ptr<SlideContext> slide,
                                                              std::uint32_t shapeId, int index) {
    if (!slide)
        throw automation::AutomationError("ActionSettings", "no slide");
    if (index != automation::ppMouseClick && index != automation::ppMouseOver)
        throw automation::AutomationError("ActionSettings", "index must be 1 or 2");
    return std::make_shared<links::ActionSetting>(
        std::make_shared<links::ActionState>(std::move(slide), shapeId, index));
}

} // namespace office
