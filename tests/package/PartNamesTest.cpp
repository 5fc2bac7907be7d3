#include "office/package/Package.h"
#include "office/package/PartNameKeys.h"

#include <gtest/gtest.h>

using namespace office::package;

TEST(PartNames, ResolvesTargetsAgainstTheSourceFolder) {
    EXPECT_EQ(ResolvePartTarget("/ppt/slides/slide1.xml", "../media/image1.png"), "/ppt/media/image1.png");
    EXPECT_EQ(ResolvePartTarget("/ppt/slides/slide1.xml", "slide4.xml"), "/ppt/slides/slide4.xml");
    EXPECT_EQ(ResolvePartTarget("/ppt/slides/slide1.xml", "./../slides/./slide2.xml"),
              "/ppt/slides/slide2.xml");
    EXPECT_EQ(ResolvePartTarget("/ppt/slides/slide1.xml", "/ppt/media/x.png"), "/ppt/media/x.png");
    EXPECT_EQ(ResolvePartTarget("/", "ppt/presentation.xml"), "/ppt/presentation.xml");
    EXPECT_EQ(ResolvePartTarget("/ppt/presentation.xml", "slides\\slide1.xml"), "/ppt/slides/slide1.xml");
    // ".." never climbs above the package root.
    EXPECT_EQ(ResolvePartTarget("/ppt/slides/slide1.xml", "../../../../evil.xml"), "/evil.xml");
    EXPECT_EQ(ResolvePartTarget("/ppt/slides/slide1.xml", "slide2.xml#bookmark"), "/ppt/slides/slide2.xml");
}

TEST(PartNames, RelativeTargetsResolveBackToTheirPart) {
    const char* sources[] = {"/", "/ppt/presentation.xml", "/ppt/slides/slide1.xml", "/a/b/c/d.xml",
                             "/top.xml"};
    const char* targets[] = {"/ppt/media/image1.png", "/ppt/slides/slide2.xml",
                             "/docProps/core.xml",    "/a/b/x.xml",
                             "/a/b/c/e.xml",          "/z.bin",
                             "/ppt/slides/slide1.xml"};
    for (const char* source : sources) {
        for (const char* target : targets) {
            std::string relative = RelativePartTarget(source, target);
            EXPECT_NE(relative.front(), '/') << source << " -> " << target;
            EXPECT_EQ(ResolvePartTarget(source, relative), target) << source << " via " << relative;
        }
    }
    EXPECT_EQ(RelativePartTarget("/ppt/slides/slide1.xml", "/ppt/media/image1.png"), "../media/image1.png");
    EXPECT_EQ(RelativePartTarget("/", "/ppt/presentation.xml"), "ppt/presentation.xml");
    EXPECT_EQ(RelativePartTarget("/ppt/presentation.xml", "/ppt/slides/slide1.xml"), "slides/slide1.xml");
}

TEST(PartNames, RelsNamesAndTheirSources) {
    EXPECT_EQ(RelsPartNameFor("/ppt/slides/slide1.xml"), "/ppt/slides/_rels/slide1.xml.rels");
    EXPECT_EQ(RelsPartNameFor("/"), "/_rels/.rels");
    EXPECT_EQ(detail::SourceOfRelsPart("/ppt/slides/_rels/slide1.xml.rels"), "/ppt/slides/slide1.xml");
    EXPECT_EQ(detail::SourceOfRelsPart("/_rels/.rels"), "/");
    EXPECT_EQ(detail::SourceOfRelsPart("/PPT/_RELS/presentation.xml.RELS"), "/PPT/presentation.xml");
    EXPECT_FALSE(detail::SourceOfRelsPart("/ppt/slides/slide1.xml"));
    EXPECT_FALSE(detail::SourceOfRelsPart("/ppt/custom.rels")); // not in a _rels folder
    EXPECT_FALSE(detail::SourceOfRelsPart("/ppt/_rels/.rels")); // only the root may have a nameless source
}

TEST(PartNames, KeysIgnoreCaseAndPercentEscapes) {
    EXPECT_EQ(detail::PartKey("/PPT/Media/Image%201.PNG"), detail::PartKey("/ppt/media/image 1.png"));
    EXPECT_EQ(detail::PartKey("ppt/x.xml"), "/ppt/x.xml");
    EXPECT_NE(detail::PartKey("/ppt/a.xml"), detail::PartKey("/ppt/b.xml"));
    EXPECT_EQ(detail::PartKey("/a%zz.xml"), "/a%zz.xml"); // a broken escape stays literal
    EXPECT_EQ(detail::PartKey("/a%4"), "/a%4");
}

TEST(PartNames, ValidNewPartNames) {
    EXPECT_TRUE(detail::IsValidNewPartName("/ppt/media/image1.png"));
    for (const char* bad : {"", "/", "ppt/x.xml", "/ppt//x.xml", "/ppt/../x.xml", "/ppt/./x.xml", "/ppt/dir/",
                            "/[Content_Types].xml", "/ppt/_rels/x.xml.rels", "/ppt\\x.xml"})
        EXPECT_FALSE(detail::IsValidNewPartName(bad)) << bad;
}

TEST(PartNames, ExtensionsAndMainContentTypes) {
    EXPECT_EQ(PartExtension("/ppt/media/IMAGE1.JPEG"), "jpeg");
    EXPECT_EQ(PartExtension("/ppt/media.d/noext"), "");
    EXPECT_EQ(MainContentTypeForExtension(".pptm"), contenttype::kPresentationMacroMain);
    EXPECT_EQ(MainContentTypeForExtension("POTX"), contenttype::kTemplateMain);
    EXPECT_EQ(MainContentTypeForExtension("docx"), "");
    for (const char* ext : {"pptx", "pptm", "ppsx", "ppsm", "potx", "potm"})
        EXPECT_TRUE(IsPresentationMainContentType(MainContentTypeForExtension(ext))) << ext;
    EXPECT_FALSE(IsPresentationMainContentType(
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"));
}
