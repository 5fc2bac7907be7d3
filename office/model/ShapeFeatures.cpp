// The members that hand over to the slide features (timeline, action settings, connectors, older
// animation settings, embedded objects). They are kept together here.

#include "office/model/ModelImpl.h"
#include "office/model/SlideFeatures.h"

#include <cstring>

namespace office::model {

namespace {

class OleFormatImpl : public automation::IOLEFormat {
public:
    explicit OleFormatImpl(std::string progId) : progId_(std::move(progId)) {}
    std::string ProgID() override { return progId_; }

private:
    std::string progId_;
};

} // namespace

void ForgetShapeIds(SlideImpl& slide, const std::vector<std::uint32_t>& ids) {
    for (std::uint32_t id : ids)
        ForgetShape(slide, id);
}

void RenumberShapeOnSlide(SlideImpl& slide, std::uint32_t oldId, std::uint32_t newId) {
    RenumberShape(slide, oldId, newId);
}

std::optional<OleObjectInfo> OleObjectOf(pugi::xml_node shape) {
    if (std::strcmp(shape.name(), "p:graphicFrame") != 0)
        return std::nullopt;
    return ReadOleObject(shape);
}

std::shared_ptr<automation::ITimeLine> SlideImpl::TimeLine() {
    Pres("Slide.TimeLine");
    return MakeTimeLine(shared_from_this());
}

std::shared_ptr<automation::IOLEFormat> ShapeImpl::OLEFormat() {
    auto info = OleObjectOf(Locate("Shape.OLEFormat").shape);
    if (!info)
        Fail("Shape.OLEFormat", "the shape is not an embedded or linked object");
    return std::make_shared<OleFormatImpl>(info->progId);
}

std::shared_ptr<automation::IActionSetting> ShapeImpl::ActionSettings(int index) {
    Locate("Shape.ActionSettings");
    if (index != automation::ppMouseClick && index != automation::ppMouseOver)
        Fail("Shape.ActionSettings", "no action setting " + std::to_string(index));
    return MakeActionSetting(slide_, id_, index);
}

std::shared_ptr<automation::IConnectorFormat> ShapeImpl::ConnectorFormat() {
    if (!Connector())
        Fail("Shape.ConnectorFormat", "the shape is not a connector");
    return MakeConnectorFormat(slide_, id_);
}

std::shared_ptr<automation::IAnimationSettings> ShapeImpl::AnimationSettings() {
    Locate("Shape.AnimationSettings");
    return MakeAnimationSettings(slide_, id_);
}

} // namespace office::model
