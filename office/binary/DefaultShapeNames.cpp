#include "office/binary/DefaultShapeNames.h"

#include "office/package/Package.h"

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace office::binary {
namespace {

// The default name's word for the shape element that holds this cNvPr.
std::string KindOf(pugi::xml_node shape) {
    const std::string_view element = shape.name();
    if (element == "p:pic")
        return "Picture";
    if (element == "p:grpSp")
        return "Group";
    if (element == "p:cxnSp")
        return "Connector";
    if (element == "p:graphicFrame") {
        const std::string uri = shape.child("a:graphic").child("a:graphicData").attribute("uri").value();
        if (uri.find("/ole") != std::string::npos)
            return "Object";
        if (uri.find("/table") != std::string::npos)
            return "Table";
        if (uri.find("/chart") != std::string::npos)
            return "Chart";
        return "Content";
    }
    if (element == "p:sp" &&
        std::string_view(shape.child("p:nvSpPr").child("p:cNvSpPr").attribute("txBox").value()) == "1")
        return "TextBox";
    return "Shape";
}

} // namespace

int NameUnnamedShapes(package::Package& package) {
    int named = 0;
    const std::string main = package.MainPartName();
    for (const auto& slide : package.RelationshipsOfType(main, package::reltype::kSlide)) {
        if (slide.external || !package.HasPart(slide.targetPart))
            continue;
        pugi::xpath_node_set unnamed =
            package.XmlForRead(slide.targetPart).select_nodes("//p:spTree//p:cNvPr[not(@name) or @name='']");
        if (unnamed.empty())
            continue;
        pugi::xml_document& doc = package.XmlForEdit(slide.targetPart);
        for (pugi::xpath_node found : doc.select_nodes("//p:spTree//p:cNvPr[not(@name) or @name='']")) {
            pugi::xml_node cNvPr = found.node();
            // cNvPr sits in the shape's non-visual properties (p:nvPicPr...), whose parent is the shape;
            // the tree's own group properties have no shape around them.
            pugi::xml_node shape = cNvPr.parent().parent();
            if (std::string_view(shape.name()) == "p:spTree")
                continue;
            const long long id = cNvPr.attribute("id").as_llong();
            const std::string name = KindOf(shape) + " " + std::to_string(id > 0 ? id - 1 : 0);
            if (!cNvPr.attribute("name"))
                cNvPr.append_attribute("name");
            cNvPr.attribute("name").set_value(name.c_str());
            ++named;
        }
    }
    return named;
}

} // namespace office::binary
