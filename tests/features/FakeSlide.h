#pragma once

// A slide for the feature tests: a p:sld document, its relationships, a few slide targets and custom
// shows, and placeholder shape objects that only carry their id and name.

#include "automation/AutomationError.h"
#include "automation/PowerPoint.h"
#include "office/model/SlideContext.h"

#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace features_test {

class FakeSlide;

class FakeShape final : public automation::IShape {
public:
    FakeShape(const FakeSlide* owner, std::uint32_t id, std::string name)
        : owner_(owner), id_(id), name_(std::move(name)) {}
    const FakeSlide* Owner() const { return owner_; }
    std::uint32_t Id() const { return id_; }

    std::string Name() override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    int Type() override { return 1; }
    double Left() override { return 0; }
    void SetLeft(double) override { Refuse("Left"); }
    double Top() override { return 0; }
    void SetTop(double) override { Refuse("Top"); }
    double Width() override { return 0; }
    void SetWidth(double) override { Refuse("Width"); }
    double Height() override { return 0; }
    void SetHeight(double) override { Refuse("Height"); }
    double Rotation() override { return 0; }
    void SetRotation(double) override { Refuse("Rotation"); }
    std::string AlternativeText() override { return {}; }
    void SetAlternativeText(const std::string&) override { Refuse("AlternativeText"); }
    std::string Title() override { return {}; }
    void SetTitle(const std::string&) override { Refuse("Title"); }
    int ZOrderPosition() override { return 0; }
    void ZOrder(int) override { Refuse("ZOrder"); }
    void Select(bool) override { Refuse("Select"); }
    void Copy() override { Refuse("Copy"); }
    void Delete() override { Refuse("Delete"); }
    void PickUp() override { Refuse("PickUp"); }
    automation::ShapeRangePtr Ungroup() override { Refuse("Ungroup"); }
    std::shared_ptr<automation::IOLEFormat> OLEFormat() override { Refuse("OLEFormat"); }
    std::shared_ptr<automation::IActionSetting> ActionSettings(int) override { Refuse("ActionSettings"); }
    bool Connector() override { Refuse("Connector"); }
    std::shared_ptr<automation::IConnectorFormat> ConnectorFormat() override { Refuse("ConnectorFormat"); }
    std::shared_ptr<automation::IAnimationSettings> AnimationSettings() override {
        Refuse("AnimationSettings");
    }

private:
    [[noreturn]] static void Refuse(const char* member) {
        throw automation::AutomationError(member, "not in the test slide");
    }
    const FakeSlide* owner_;
    std::uint32_t id_;
    std::string name_;
};

class FakeSlide final : public office::SlideContext {
public:
    // Parses a p:sld document (namespaces declared by the caller or added here) with 5 slide targets.
    explicit FakeSlide(const std::string& sldXml, int slideCount = 5);
    static std::string Wrap(const std::string& spTreeContent, const std::string& afterCSld = "");

    pugi::xml_document& Doc() { return doc_; }
    std::string Xml() const;
    bool modified = false;
    std::vector<std::pair<int, std::string>> customShows;
    std::map<std::string, office::Relationship> relationships;

    std::shared_ptr<FakeShape> Shape(std::uint32_t id);
    // Copies the shape element with a new id (and name) just after it, as a pasted replacement would sit.
    std::uint32_t DuplicateShape(std::uint32_t id, std::uint32_t newId);

    pugi::xml_node SlideRoot() override { return doc_.child("p:sld"); }
    pugi::xml_node ShapeNode(std::uint32_t shapeId) override;
    automation::ShapePtr ShapeById(std::uint32_t shapeId) override;
    std::uint32_t ShapeIdOf(const automation::ShapePtr& shape) override;
    std::optional<office::Relationship> FindRelationship(const std::string& id) override;
    std::string AddRelationship(const std::string& type, const std::string& target, bool external) override;
    void RemoveRelationshipIfUnused(const std::string& id) override;
    std::string SlideTarget(int slideIndex) override;
    std::optional<int> SlideIndexOfTarget(const std::string& target) override;
    int SlideIdOf(int slideIndex) override;
    void MarkModified() override { modified = true; }
    std::vector<std::pair<int, std::string>> CustomShows() override { return customShows; }

    // Whether any r:* attribute of the slide names the relationship.
    bool Referenced(const std::string& id);

private:
    pugi::xml_document doc_;
    int slideCount_;
    int nextRel_ = 100;
    std::map<std::uint32_t, std::shared_ptr<FakeShape>> shapes_;
};

} // namespace features_test
