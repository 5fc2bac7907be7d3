// Glue of a connector's ends (a:stCxn / a:endCxn in p:cNvCxnSpPr). Connection sites are 1-based in
// the object model and 0-based (idx) in the file. The connector's own geometry is left as it is: the
// office application reroutes a connector only when a glued shape moves, and a replacement takes the
// place of the shape it replaces.

#include "automation/AutomationError.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/XmlUtil.h"

#include <cstring>

namespace office::links {

using automation::AutomationError;

namespace {

class ConnectorFormat final : public automation::IConnectorFormat {
public:
    ConnectorFormat(std::shared_ptr<SlideContext> slide, std::uint32_t shapeId)
        : slide_(std::move(slide)), shapeId_(shapeId) {}

    bool BeginConnected() override { return Connected("BeginConnected", "a:stCxn"); }
    std::shared_ptr<automation::IShape> BeginConnectedShape() override {
        return ConnectedShape("BeginConnectedShape", "a:stCxn");
    }
    int BeginConnectionSite() override { return Site("BeginConnectionSite", "a:stCxn"); }
    void BeginConnect(std::shared_ptr<automation::IShape> shape, int site) override {
        Connect("BeginConnect", "a:stCxn", std::move(shape), site);
    }
    void BeginDisconnect() override { Disconnect("BeginDisconnect", "a:stCxn"); }

    bool EndConnected() override { return Connected("EndConnected", "a:endCxn"); }
    std::shared_ptr<automation::IShape> EndConnectedShape() override {
        return ConnectedShape("EndConnectedShape", "a:endCxn");
    }
    int EndConnectionSite() override { return Site("EndConnectionSite", "a:endCxn"); }
    void EndConnect(std::shared_ptr<automation::IShape> shape, int site) override {
        Connect("EndConnect", "a:endCxn", std::move(shape), site);
    }
    void EndDisconnect() override { Disconnect("EndDisconnect", "a:endCxn"); }

private:
    pugi::xml_node Properties(const char* member) {
        pugi::xml_node shape = slide_->ShapeNode(shapeId_);
        if (!shape)
            throw AutomationError(member, "the connector is not on the slide");
        if (std::strcmp(shape.name(), "p:cxnSp") != 0)
            throw AutomationError(member, "the shape is not a connector");
        return shape.child("p:nvCxnSpPr").child("p:cNvCxnSpPr");
    }

    bool Connected(const char* member, const char* end) {
        pugi::xml_node glue = Properties(member).child(end);
        auto id = xml::IntAttr(glue, "id");
        return id && *id > 0 && slide_->ShapeNode(static_cast<std::uint32_t>(*id));
    }

    pugi::xml_node Glue(const char* member, const char* end) {
        if (!Connected(member, end))
            throw AutomationError(member, "this end of the connector is not glued");
        return Properties(member).child(end);
    }

    std::shared_ptr<automation::IShape> ConnectedShape(const char* member, const char* end) {
        auto id = xml::IntAttr(Glue(member, end), "id");
        automation::ShapePtr shape = slide_->ShapeById(static_cast<std::uint32_t>(*id));
        if (!shape)
            throw AutomationError(member, "the glued shape is not on the slide");
        return shape;
    }

    int Site(const char* member, const char* end) {
        return static_cast<int>(xml::IntAttr(Glue(member, end), "idx").value_or(0)) + 1;
    }

    void Connect(const char* member, const char* end, std::shared_ptr<automation::IShape> shape, int site) {
        if (!shape)
            throw AutomationError(member, "no shape");
        if (site < 1)
            throw AutomationError(member, "connection sites start at 1");
        std::uint32_t target = slide_->ShapeIdOf(shape); // throws for a shape of another slide
        if (target == shapeId_)
            throw AutomationError(member, "a connector cannot be glued to itself");
        if (!slide_->ShapeNode(target))
            throw AutomationError(member, "the shape is not on the slide");
        pugi::xml_node properties = Properties(member);
        pugi::xml_node glue = std::strcmp(end, "a:stCxn") == 0
                                  ? xml::EnsureChild(properties, end, {"a:endCxn", "a:extLst"})
                                  : xml::EnsureChild(properties, end, {"a:extLst"});
        xml::SetIntAttr(glue, "id", target);
        xml::SetIntAttr(glue, "idx", site - 1);
        slide_->MarkModified();
    }

    void Disconnect(const char* member, const char* end) {
        pugi::xml_node properties = Properties(member);
        if (pugi::xml_node glue = properties.child(end)) {
            properties.remove_child(glue);
            slide_->MarkModified();
        }
    }

    std::shared_ptr<SlideContext> slide_;
    std::uint32_t shapeId_;
};

} // namespace

} // namespace office::links

namespace office {

std::shared_ptr<automation::IConnectorFormat> MakeConnectorFormat(std::shared_ptr<SlideContext> slide,
                                                                  std::uint32_t shapeId) {
    if (!slide)
        throw automation::AutomationError("ConnectorFormat", "no slide");
    return std::make_shared<links::ConnectorFormat>(std::move(slide), shapeId);
}

} // namespace office
