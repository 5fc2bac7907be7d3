#include "office/model/SlideFeatures.h"

#include <gtest/gtest.h>

namespace {

std::string Frame(const std::string& uri, const std::string& data) {
    return "<p:graphicFrame xmlns:p=\"p\" xmlns:a=\"a\" xmlns:r=\"r\" xmlns:mc=\"mc\"><p:nvGraphicFramePr>"
           "<p:cNvPr id=\"2\" name=\"Object "
           "1\"/><p:cNvGraphicFramePr/><p:nvPr/></p:nvGraphicFramePr><p:xfrm/>"
           "<a:graphic><a:graphicData uri=\"" +
           uri + "\">" + data + "</a:graphicData></a:graphic></p:graphicFrame>";
}

constexpr const char* kOle = "http://schemas.openxmlformats.org/presentationml/2006/ole";
const std::string kPreview =
    "<p:pic><p:nvPicPr><p:cNvPr id=\"0\" name=\"\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
    "<p:blipFill><a:blip r:embed=\"rId5\"/></p:blipFill><p:spPr/></p:pic>";

std::optional<office::OleObjectInfo> Read(const std::string& xml) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    return office::ReadOleObject(doc.first_child());
}

TEST(OleObject, ReadsTheThreeStoredForms) {
    auto alternate = Read(Frame(
        kOle,
        "<mc:AlternateContent><mc:Choice Requires=\"v\"><p:oleObj spid=\"_x0000_s1058\" name=\"Worksheet\" "
        "r:id=\"rId4\" progId=\"Excel.Sheet.12\"><p:embed/></p:oleObj></mc:Choice><mc:Fallback><p:oleObj "
        "name=\"Worksheet\" r:id=\"rId4\" progId=\"Excel.Sheet.12\"><p:embed/>" +
            kPreview + "</p:oleObj></mc:Fallback></mc:AlternateContent>"));
    ASSERT_TRUE(alternate);
    EXPECT_EQ(alternate->progId, "Excel.Sheet.12");
    EXPECT_FALSE(alternate->linked);
    EXPECT_EQ(alternate->objectRelId, "rId4");
    EXPECT_EQ(alternate->previewRelId, "rId5");
    EXPECT_EQ(alternate->vmlShapeId, "");

    auto legacy = Read(Frame(kOle, "<p:oleObj spid=\"_x0000_s2050\" name=\"Equation\" r:id=\"rId3\" "
                                   "progId=\"Equation.3\"><p:embed/></p:oleObj>"));
    ASSERT_TRUE(legacy);
    EXPECT_EQ(legacy->progId, "Equation.3");
    EXPECT_EQ(legacy->objectRelId, "rId3");
    EXPECT_EQ(legacy->previewRelId, "");
    EXPECT_EQ(legacy->vmlShapeId, "_x0000_s2050");

    auto bare = Read(Frame(kOle, "<p:oleObj name=\"Document\" r:id=\"rId6\" progId=\"Word.Document.12\">"
                                 "<p:link updateAutomatic=\"1\"/>" +
                                     kPreview + "</p:oleObj>"));
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->linked);
    EXPECT_EQ(bare->objectRelId, "rId6");
    EXPECT_EQ(bare->previewRelId, "rId5");

    EXPECT_FALSE(
        Read(Frame("http://schemas.openxmlformats.org/drawingml/2006/chart", "<c:chart r:id=\"rId2\"/>")));
    EXPECT_FALSE(Read(Frame(kOle, "")));
    EXPECT_FALSE(Read("<p:pic xmlns:p=\"p\"/>"));
}

} // namespace
