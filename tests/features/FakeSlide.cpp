#include "FakeSlide.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace features_test {

namespace {
constexpr const char* kNamespaces =
    " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
    " xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\""
    " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\""
    " xmlns:p14=\"http://schemas.microsoft.com/office/powerpoint/2010/main\"";

void CollectReferences(pugi::xml_node node, const std::string& id, bool& found) {
    for (pugi::xml_attribute attr : node.attributes())
        if (std::strncmp(attr.name(), "r:", 2) == 0 && id == attr.value())
            found = true;
    for (pugi::xml_node child : node.children())
        CollectReferences(child, id, found);
}
} // namespace

FakeSlide::FakeSlide(const std::string& sldXml, int slideCount) : slideCount_(slideCount) {
    pugi::xml_parse_result result = doc_.load_string(sldXml.c_str());
    if (!result)
        throw std::runtime_error(std::string("bad test slide: ") + result.description());
}

std::string FakeSlide::Wrap(const std::string& spTreeContent, const std::string& afterCSld) {
    return std::string("<p:sld") + kNamespaces +
           "><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" "
           "name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
           "<p:grpSpPr/>" +
           spTreeContent + "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr>" +
           afterCSld + "</p:sld>";
}

std::string FakeSlide::Xml() const {
    std::ostringstream out;
    doc_.save(out, "", pugi::format_raw);
    return out.str();
}

pugi::xml_node FakeSlide::ShapeNode(std::uint32_t shapeId) {
    pugi::xml_node tree = SlideRoot().child("p:cSld").child("p:spTree");
    pugi::xml_node found;
    std::string wanted = std::to_string(shapeId);
    tree.find_node([&](pugi::xml_node node) {
        if (std::strcmp(node.name(), "p:cNvPr") != 0 || wanted != node.attribute("id").value())
            return false;
        pugi::xml_node shape = node.parent().parent();
        if (std::strcmp(shape.name(), "p:spTree") == 0)
            return false;
        found = shape;
        return true;
    });
    return found;
}

std::shared_ptr<FakeShape> FakeSlide::Shape(std::uint32_t id) {
    return std::dynamic_pointer_cast<FakeShape>(ShapeById(id));
}

automation::ShapePtr FakeSlide::ShapeById(std::uint32_t shapeId) {
    pugi::xml_node node = ShapeNode(shapeId);
    if (!node)
        return nullptr;
    auto& shape = shapes_[shapeId];
    if (!shape) {
        pugi::xml_node cNvPr = node.first_child().child("p:cNvPr");
        shape = std::make_shared<FakeShape>(this, shapeId, cNvPr.attribute("name").value());
    }
    return shape;
}

std::uint32_t FakeSlide::ShapeIdOf(const automation::ShapePtr& shape) {
    auto fake = std::dynamic_pointer_cast<FakeShape>(shape);
    if (!fake || fake->Owner() != this)
        throw automation::AutomationError("ShapeIdOf", "the shape belongs to another slide");
    return fake->Id();
}

std::uint32_t FakeSlide::DuplicateShape(std::uint32_t id, std::uint32_t newId) {
    pugi::xml_node node = ShapeNode(id);
    pugi::xml_node copy = node.parent().insert_copy_after(node, node);
    pugi::xml_node cNvPr = copy.first_child().child("p:cNvPr");
    cNvPr.attribute("id").set_value(newId);
    cNvPr.attribute("name").set_value(("Picture " + std::to_string(newId - 1)).c_str());
    return newId;
}

std::optional<office::Relationship> FakeSlide::FindRelationship(const std::string& id) {
    auto it = relationships.find(id);
    if (it == relationships.end())
        return std::nullopt;
    return it->second;
}

std::string FakeSlide::AddRelationship(const std::string& type, const std::string& target, bool external) {
    std::string id = "rId" + std::to_string(nextRel_++);
    relationships[id] = office::Relationship{id, type, target, external};
    return id;
}

bool FakeSlide::Referenced(const std::string& id) {
    bool found = false;
    CollectReferences(SlideRoot(), id, found);
    return found;
}

void FakeSlide::RemoveRelationshipIfUnused(const std::string& id) {
    if (!Referenced(id))
        relationships.erase(id);
}

std::string FakeSlide::SlideTarget(int slideIndex) {
    if (slideIndex < 1 || slideIndex > slideCount_)
        throw automation::AutomationError("SlideTarget", "no such slide");
    return "slide" + std::to_string(slideIndex) + ".xml";
}

std::optional<int> FakeSlide::SlideIndexOfTarget(const std::string& target) {
    for (int i = 1; i <= slideCount_; ++i)
        if (target == "slide" + std::to_string(i) + ".xml")
            return i;
    return std::nullopt;
}

int FakeSlide::SlideIdOf(int slideIndex) {
    if (slideIndex < 1 || slideIndex > slideCount_)
        throw automation::AutomationError("SlideIdOf", "no such slide");
    return 255 + slideIndex;
}

} // namespace features_test
