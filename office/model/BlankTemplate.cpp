#include "office/model/BlankTemplate.h"

#include <stdexcept>
#include <string_view>
#include <utility>
#include <zip.h>

namespace office::model {

namespace {

constexpr std::string_view kDecl = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                                   "\n";
constexpr std::string_view kNs =
    R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
    R"(xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main")";
constexpr std::string_view kRelsOpen =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
constexpr std::string_view kRelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr std::string_view kCtBase = "application/vnd.openxmlformats-officedocument.";

constexpr std::string_view kEmptyTree =
    R"(<p:spTree><p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>)"
    R"(<p:grpSpPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="0" cy="0"/><a:chOff x="0" y="0"/>)"
    R"(<a:chExt cx="0" cy="0"/></a:xfrm></p:grpSpPr></p:spTree>)";

std::string Rel(int id, std::string_view type, std::string_view target) {
    return "<Relationship Id=\"rId" + std::to_string(id) + "\" Type=\"" + std::string(kRelBase) +
           std::string(type) + "\" Target=\"" + std::string(target) + "\"/>";
}

std::string Override(std::string_view part, std::string_view type) {
    return "<Override PartName=\"" + std::string(part) + "\" ContentType=\"" + std::string(kCtBase) +
           std::string(type) + "\"/>";
}

std::string ContentTypes() {
    std::string s(kDecl);
    s += R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)";
    s +=
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)";
    s += R"(<Default Extension="xml" ContentType="application/xml"/>)";
    s += Override("/ppt/presentation.xml", "presentationml.presentation.main+xml");
    s += Override("/ppt/slideMasters/slideMaster1.xml", "presentationml.slideMaster+xml");
    s += Override("/ppt/slideLayouts/slideLayout1.xml", "presentationml.slideLayout+xml");
    s += Override("/ppt/theme/theme1.xml", "theme+xml");
    s += Override("/ppt/presProps.xml", "presentationml.presProps+xml");
    s += Override("/ppt/viewProps.xml", "presentationml.viewProps+xml");
    s += Override("/ppt/tableStyles.xml", "presentationml.tableStyles+xml");
    s += Override("/docProps/app.xml", "extended-properties+xml");
    s += R"(<Override PartName="/docProps/core.xml" )"
         R"(ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>)";
    s += "</Types>";
    return s;
}

std::string PackageRels() {
    std::string s(kDecl);
    s += kRelsOpen;
    s += Rel(1, "officeDocument", "ppt/presentation.xml");
    s += R"(<Relationship Id="rId2" )"
         R"(Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" )"
         R"(Target="docProps/core.xml"/>)";
    s += Rel(3, "extended-properties", "docProps/app.xml");
    s += "</Relationships>";
    return s;
}

std::string PresentationXml() {
    std::string s(kDecl);
    s += "<p:presentation ";
    s += kNs;
    s += R"( saveSubsetFonts="1">)";
    s += R"(<p:sldMasterIdLst><p:sldMasterId id="2147483648" r:id="rId1"/></p:sldMasterIdLst>)";
    s += R"(<p:sldSz cx="12192000" cy="6858000"/><p:notesSz cx="6858000" cy="9144000"/>)";
    s +=
        R"(<p:defaultTextStyle><a:lvl1pPr marL="0" algn="l" defTabSz="914400"><a:defRPr sz="1800" kern="1200">)"
        R"(<a:solidFill><a:schemeClr val="tx1"/></a:solidFill><a:latin typeface="+mn-lt"/>)"
        R"(<a:ea typeface="+mn-ea"/><a:cs typeface="+mn-cs"/></a:defRPr></a:lvl1pPr></p:defaultTextStyle>)";
    s += "</p:presentation>";
    return s;
}

std::string PresentationRels() {
    std::string s(kDecl);
    s += kRelsOpen;
    s += Rel(1, "slideMaster", "slideMasters/slideMaster1.xml");
    s += Rel(2, "theme", "theme/theme1.xml");
    s += Rel(3, "presProps", "presProps.xml");
    s += Rel(4, "viewProps", "viewProps.xml");
    s += Rel(5, "tableStyles", "tableStyles.xml");
    s += "</Relationships>";
    return s;
}

std::string MasterXml() {
    std::string s(kDecl);
    s += "<p:sldMaster ";
    s += kNs;
    s += R"(><p:cSld><p:bg><p:bgRef idx="1001"><a:schemeClr val="bg1"/></p:bgRef></p:bg>)";
    s += kEmptyTree;
    s += R"(</p:cSld><p:clrMap bg1="lt1" tx1="dk1" bg2="lt2" tx2="dk2" accent1="accent1" accent2="accent2" )"
         R"(accent3="accent3" accent4="accent4" accent5="accent5" accent6="accent6" hlink="hlink" )"
         R"(folHlink="folHlink"/>)";
    s += R"(<p:sldLayoutIdLst><p:sldLayoutId id="2147483649" r:id="rId1"/></p:sldLayoutIdLst>)";
    s += R"(<p:txStyles><p:titleStyle><a:lvl1pPr algn="l"><a:defRPr sz="4400" kern="1200">)"
         R"(<a:solidFill><a:schemeClr val="tx1"/></a:solidFill><a:latin typeface="+mj-lt"/>)"
         R"(<a:ea typeface="+mj-ea"/><a:cs typeface="+mj-cs"/></a:defRPr></a:lvl1pPr></p:titleStyle>)"
         R"(<p:bodyStyle><a:lvl1pPr marL="228600" indent="-228600" algn="l"><a:defRPr sz="2800" kern="1200">)"
         R"(<a:solidFill><a:schemeClr val="tx1"/></a:solidFill><a:latin typeface="+mn-lt"/>)"
         R"(<a:ea typeface="+mn-ea"/><a:cs typeface="+mn-cs"/></a:defRPr></a:lvl1pPr></p:bodyStyle>)"
         R"(<p:otherStyle><a:lvl1pPr marL="0" algn="l"><a:defRPr sz="1800" kern="1200">)"
         R"(<a:solidFill><a:schemeClr val="tx1"/></a:solidFill><a:latin typeface="+mn-lt"/>)"
         R"(<a:ea typeface="+mn-ea"/><a:cs typeface="+mn-cs"/></a:defRPr></a:lvl1pPr></p:otherStyle>)"
         R"(</p:txStyles>)";
    s += "</p:sldMaster>";
    return s;
}

std::string MasterRels() {
    std::string s(kDecl);
    s += kRelsOpen;
    s += Rel(1, "slideLayout", "../slideLayouts/slideLayout1.xml");
    s += Rel(2, "theme", "../theme/theme1.xml");
    s += "</Relationships>";
    return s;
}

std::string LayoutXml() {
    std::string s(kDecl);
    s += "<p:sldLayout ";
    s += kNs;
    s += R"( type="blank" preserve="1"><p:cSld name="Blank">)";
    s += kEmptyTree;
    s += R"(</p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sldLayout>)";
    return s;
}

std::string LayoutRels() {
    std::string s(kDecl);
    s += kRelsOpen;
    s += Rel(1, "slideMaster", "../slideMasters/slideMaster1.xml");
    s += "</Relationships>";
    return s;
}

std::string SolidFill(std::string_view scheme) {
    return R"(<a:solidFill><a:schemeClr val=")" + std::string(scheme) + R"("/></a:solidFill>)";
}

std::string ThemeXml() {
    std::string s(kDecl);
    s += R"(<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" name="Vodrik">)";
    s += R"(<a:themeElements><a:clrScheme name="Vodrik">)"
         R"(<a:dk1><a:sysClr val="windowText" lastClr="000000"/></a:dk1>)"
         R"(<a:lt1><a:sysClr val="window" lastClr="FFFFFF"/></a:lt1>)"
         R"(<a:dk2><a:srgbClr val="44546A"/></a:dk2><a:lt2><a:srgbClr val="E7E6E6"/></a:lt2>)"
         R"(<a:accent1><a:srgbClr val="4472C4"/></a:accent1><a:accent2><a:srgbClr val="ED7D31"/></a:accent2>)"
         R"(<a:accent3><a:srgbClr val="A5A5A5"/></a:accent3><a:accent4><a:srgbClr val="FFC000"/></a:accent4>)"
         R"(<a:accent5><a:srgbClr val="5B9BD5"/></a:accent5><a:accent6><a:srgbClr val="70AD47"/></a:accent6>)"
         R"(<a:hlink><a:srgbClr val="0563C1"/></a:hlink><a:folHlink><a:srgbClr val="954F72"/></a:folHlink>)"
         R"(</a:clrScheme>)";
    s += R"(<a:fontScheme name="Vodrik"><a:majorFont><a:latin typeface="Calibri Light"/><a:ea typeface=""/>)"
         R"(<a:cs typeface=""/></a:majorFont><a:minorFont><a:latin typeface="Calibri"/><a:ea typeface=""/>)"
         R"(<a:cs typeface=""/></a:minorFont></a:fontScheme>)";
    const std::string phFill = SolidFill("phClr");
    s += R"(<a:fmtScheme name="Vodrik"><a:fillStyleLst>)" + phFill + phFill + phFill + "</a:fillStyleLst>";
    s += "<a:lnStyleLst>";
    for (int w : {6350, 12700, 19050})
        s += R"(<a:ln w=")" + std::to_string(w) + R"(" cap="flat" cmpd="sng" algn="ctr">)" + phFill +
             R"(<a:prstDash val="solid"/><a:miter lim="800000"/></a:ln>)";
    s += "</a:lnStyleLst><a:effectStyleLst>";
    for (int i = 0; i < 3; ++i)
        s += "<a:effectStyle><a:effectLst/></a:effectStyle>";
    s += "</a:effectStyleLst><a:bgFillStyleLst>" + phFill + phFill + phFill + "</a:bgFillStyleLst>";
    s += "</a:fmtScheme></a:themeElements><a:objectDefaults/><a:extraClrSchemeLst/></a:theme>";
    return s;
}

std::string Simple(std::string_view root) {
    std::string s(kDecl);
    s += "<" + std::string(root) + " ";
    s += kNs;
    s += "/>";
    return s;
}

std::string TableStyles() {
    std::string s(kDecl);
    s += R"(<a:tblStyleLst xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
         R"(def="{5C22544A-7EE6-4342-B048-85BDC9FD1C3A}"/>)";
    return s;
}

std::string CoreProps() {
    std::string s(kDecl);
    s +=
        R"(<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" )"
        R"(xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" )"
        R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><dc:title></dc:title></cp:coreProperties>)";
    return s;
}

std::string AppProps() {
    std::string s(kDecl);
    s += R"(<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties">)"
         R"(<Application>Vodrik Presentation Engine</Application></Properties>)";
    return s;
}

std::vector<std::uint8_t> BuildArchive() {
    const std::pair<const char*, std::string> entries[] = {
        {"[Content_Types].xml", ContentTypes()},
        {"_rels/.rels", PackageRels()},
        {"docProps/core.xml", CoreProps()},
        {"docProps/app.xml", AppProps()},
        {"ppt/presentation.xml", PresentationXml()},
        {"ppt/_rels/presentation.xml.rels", PresentationRels()},
        {"ppt/slideMasters/slideMaster1.xml", MasterXml()},
        {"ppt/slideMasters/_rels/slideMaster1.xml.rels", MasterRels()},
        {"ppt/slideLayouts/slideLayout1.xml", LayoutXml()},
        {"ppt/slideLayouts/_rels/slideLayout1.xml.rels", LayoutRels()},
        {"ppt/theme/theme1.xml", ThemeXml()},
        {"ppt/presProps.xml", Simple("p:presentationPr")},
        {"ppt/viewProps.xml", Simple("p:viewPr")},
        {"ppt/tableStyles.xml", TableStyles()},
    };

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        throw std::runtime_error("cannot create the template archive");
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(buffer);
        throw std::runtime_error("cannot create the template archive");
    }
    for (const auto& [name, text] : entries) {
        zip_source_t* src = zip_source_buffer(archive, text.data(), text.size(), 0);
        if (!src || zip_file_add(archive, name, src, ZIP_FL_ENC_UTF_8) < 0) {
            if (src)
                zip_source_free(src);
            zip_discard(archive);
            zip_source_free(buffer);
            throw std::runtime_error("cannot add to the template archive");
        }
    }
    if (zip_close(archive) < 0) {
        zip_discard(archive);
        zip_source_free(buffer);
        throw std::runtime_error("cannot write the template archive");
    }
    std::vector<std::uint8_t> out;
    if (zip_source_open(buffer) == 0) {
        zip_source_seek(buffer, 0, SEEK_END);
        zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        out.resize(static_cast<std::size_t>(size > 0 ? size : 0));
        if (size > 0 && zip_source_read(buffer, out.data(), static_cast<zip_uint64_t>(size)) != size)
            out.clear();
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    if (out.empty())
        throw std::runtime_error("cannot read the template archive back");
    return out;
}

} // namespace

const std::vector<std::uint8_t>& BlankPresentationArchive() {
    // Immutable once built; every new presentation opens its own Package over a copy.
    static const std::vector<std::uint8_t> archive = BuildArchive();
    return archive;
}

std::string EmptySlideXml() {
    std::string s(kDecl);
    s += "<p:sld ";
    s += kNs;
    s += "><p:cSld>";
    s += kEmptyTree;
    s += "</p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>";
    return s;
}

} // namespace office::model
