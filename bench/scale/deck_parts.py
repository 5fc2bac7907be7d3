"""The XML of a minimal but proper .pptx whose every slide is one picture filling a 4:3 slide."""

from xml.sax.saxutils import escape

NS_P = "http://schemas.openxmlformats.org/presentationml/2006/main"
NS_A = "http://schemas.openxmlformats.org/drawingml/2006/main"
NS_R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
NS_RELS = "http://schemas.openxmlformats.org/package/2006/relationships"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
CT_PML = "application/vnd.openxmlformats-officedocument.presentationml."
CT_OFFICE = "application/vnd.openxmlformats-officedocument."

SLIDE_CX, SLIDE_CY = 9144000, 6858000  # 10 x 7.5 in, the 4:3 of the pictures
DECL = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
ROOT_NS = f'xmlns:a="{NS_A}" xmlns:r="{NS_R}" xmlns:p="{NS_P}"'


def _rels(rows):
    body = "".join(f'<Relationship Id="{rid}" Type="{REL}{kind}" Target="{target}"/>' for rid, kind, target in rows)
    return f'{DECL}<Relationships xmlns="{NS_RELS}">{body}</Relationships>'


def content_types(slide_count):
    overrides = [
        ("/ppt/presentation.xml", CT_PML + "presentation.main+xml"),
        ("/ppt/slideMasters/slideMaster1.xml", CT_PML + "slideMaster+xml"),
        ("/ppt/slideLayouts/slideLayout1.xml", CT_PML + "slideLayout+xml"),
        ("/ppt/theme/theme1.xml", CT_OFFICE + "theme+xml"),
        ("/ppt/presProps.xml", CT_PML + "presProps+xml"),
        ("/ppt/viewProps.xml", CT_PML + "viewProps+xml"),
        ("/ppt/tableStyles.xml", CT_PML + "tableStyles+xml"),
        ("/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml"),
        ("/docProps/app.xml", CT_OFFICE + "extended-properties+xml"),
    ] + [(f"/ppt/slides/slide{n}.xml", CT_PML + "slide+xml") for n in range(1, slide_count + 1)]
    body = "".join(f'<Override PartName="{name}" ContentType="{kind}"/>' for name, kind in overrides)
    return (f'{DECL}<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Default Extension="jpeg" ContentType="image/jpeg"/>'
            f'{body}</Types>')


def package_rels():
    return _rels([("rId1", "officeDocument", "ppt/presentation.xml"),
                  ("rId2", "metadata/core-properties", "docProps/core.xml"),
                  ("rId3", "extended-properties", "docProps/app.xml")])


def core_props(title):
    return (f'{DECL}<cp:coreProperties'
            ' xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties"'
            ' xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/"'
            ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
            f'<dc:title>{escape(title)}</dc:title><dc:creator>quarnel scale bench</dc:creator>'
            '<dcterms:created xsi:type="dcterms:W3CDTF">2024-01-01T00:00:00Z</dcterms:created>'
            '<dcterms:modified xsi:type="dcterms:W3CDTF">2024-01-01T00:00:00Z</dcterms:modified>'
            '</cp:coreProperties>')


def app_props(slide_count):
    return (f'{DECL}<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"'
            ' xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes">'
            f'<Application>quarnel scale bench</Application><Slides>{slide_count}</Slides>'
            '<PresentationFormat>On-screen Show (4:3)</PresentationFormat></Properties>')


def presentation(slide_count):
    ids = "".join(f'<p:sldId id="{255 + n}" r:id="rId{n + 1}"/>' for n in range(1, slide_count + 1))
    return (f'{DECL}<p:presentation {ROOT_NS} saveSubsetFonts="1">'
            '<p:sldMasterIdLst><p:sldMasterId id="2147483648" r:id="rId1"/></p:sldMasterIdLst>'
            f'<p:sldIdLst>{ids}</p:sldIdLst>'
            f'<p:sldSz cx="{SLIDE_CX}" cy="{SLIDE_CY}" type="screen4x3"/><p:notesSz cx="6858000" cy="9144000"/>'
            '</p:presentation>')


def presentation_rels(slide_count):
    rows = [("rId1", "slideMaster", "slideMasters/slideMaster1.xml")]
    rows += [(f"rId{n + 1}", "slide", f"slides/slide{n}.xml") for n in range(1, slide_count + 1)]
    tail = slide_count + 2
    rows += [(f"rId{tail}", "theme", "theme/theme1.xml"), (f"rId{tail + 1}", "presProps", "presProps.xml"),
             (f"rId{tail + 2}", "viewProps", "viewProps.xml"), (f"rId{tail + 3}", "tableStyles", "tableStyles.xml")]
    return _rels(rows)


def pres_props():
    return f'{DECL}<p:presentationPr {ROOT_NS}/>'


def view_props():
    return (f'{DECL}<p:viewPr {ROOT_NS}><p:normalViewPr><p:restoredLeft sz="15620"/><p:restoredTop sz="94660"/>'
            '</p:normalViewPr><p:gridSpacing cx="76200" cy="76200"/></p:viewPr>')


def table_styles():
    return (f'{DECL}<a:tblStyleLst xmlns:a="{NS_A}" def="{{5C22544A-7EE6-4342-B048-85BDC9FD1C3A}}"/>')


EMPTY_TREE = ('<p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>'
              '<p:grpSpPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="0" cy="0"/>'
              '<a:chOff x="0" y="0"/><a:chExt cx="0" cy="0"/></a:xfrm></p:grpSpPr>')
CLR_MAP = ('bg1="lt1" tx1="dk1" bg2="lt2" tx2="dk2" accent1="accent1" accent2="accent2" accent3="accent3" '
           'accent4="accent4" accent5="accent5" accent6="accent6" hlink="hlink" folHlink="folHlink"')


def slide_master():
    level = ('<a:lvl1pPr><a:defRPr sz="{sz}"><a:solidFill><a:schemeClr val="tx1"/></a:solidFill>'
             '<a:latin typeface="+{font}-lt"/></a:defRPr></a:lvl1pPr>')
    return (f'{DECL}<p:sldMaster {ROOT_NS}><p:cSld><p:bg><p:bgRef idx="1001"><a:schemeClr val="bg1"/></p:bgRef></p:bg>'
            f'<p:spTree>{EMPTY_TREE}</p:spTree></p:cSld><p:clrMap {CLR_MAP}/>'
            '<p:sldLayoutIdLst><p:sldLayoutId id="2147483649" r:id="rId1"/></p:sldLayoutIdLst>'
            f'<p:txStyles><p:titleStyle>{level.format(sz=4400, font="mj")}</p:titleStyle>'
            f'<p:bodyStyle>{level.format(sz=3200, font="mn")}</p:bodyStyle>'
            f'<p:otherStyle>{level.format(sz=1800, font="mn")}</p:otherStyle></p:txStyles></p:sldMaster>')


def slide_master_rels():
    return _rels([("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml"),
                  ("rId2", "theme", "../theme/theme1.xml")])


def slide_layout():
    return (f'{DECL}<p:sldLayout {ROOT_NS} type="blank" preserve="1"><p:cSld name="Blank">'
            f'<p:spTree>{EMPTY_TREE}</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sldLayout>')


def slide_layout_rels():
    return _rels([("rId1", "slideMaster", "../slideMasters/slideMaster1.xml")])


def _colour(name, rgb):
    return f"<a:{name}><a:srgbClr val=\"{rgb}\"/></a:{name}>"


def theme():
    colours = ("<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
               "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>"
               + "".join(_colour(n, c) for n, c in [
                   ("dk2", "44546A"), ("lt2", "E7E6E6"), ("accent1", "4472C4"), ("accent2", "ED7D31"),
                   ("accent3", "A5A5A5"), ("accent4", "FFC000"), ("accent5", "5B9BD5"), ("accent6", "70AD47"),
                   ("hlink", "0563C1"), ("folHlink", "954F72")]))
    fonts = ('<a:majorFont><a:latin typeface="Calibri Light"/><a:ea typeface=""/><a:cs typeface=""/></a:majorFont>'
             '<a:minorFont><a:latin typeface="Calibri"/><a:ea typeface=""/><a:cs typeface=""/></a:minorFont>')
    fill = '<a:solidFill><a:schemeClr val="phClr"/></a:solidFill>'
    line = '<a:ln w="{w}" cap="flat" cmpd="sng" algn="ctr"><a:solidFill><a:schemeClr val="phClr"/></a:solidFill>' \
           '<a:prstDash val="solid"/><a:miter lim="800000"/></a:ln>'
    formats = (f'<a:fillStyleLst>{fill * 3}</a:fillStyleLst>'
               f'<a:lnStyleLst>{"".join(line.format(w=w) for w in (6350, 12700, 19050))}</a:lnStyleLst>'
               f'<a:effectStyleLst>{"<a:effectStyle><a:effectLst/></a:effectStyle>" * 3}</a:effectStyleLst>'
               f'<a:bgFillStyleLst>{fill * 3}</a:bgFillStyleLst>')
    return (f'{DECL}<a:theme xmlns:a="{NS_A}" name="Office Theme"><a:themeElements>'
            f'<a:clrScheme name="Office">{colours}</a:clrScheme>'
            f'<a:fontScheme name="Office">{fonts}</a:fontScheme>'
            f'<a:fmtScheme name="Office">{formats}</a:fmtScheme>'
            '</a:themeElements><a:objectDefaults/><a:extraClrSchemeLst/></a:theme>')


def slide(number):
    return (f'{DECL}<p:sld {ROOT_NS}><p:cSld><p:spTree>{EMPTY_TREE}'
            f'<p:pic><p:nvPicPr><p:cNvPr id="2" name="Picture 1" descr="Photo {number}"/>'
            '<p:cNvPicPr><a:picLocks noChangeAspect="1"/></p:cNvPicPr><p:nvPr/></p:nvPicPr>'
            '<p:blipFill><a:blip r:embed="rId2"/><a:stretch><a:fillRect/></a:stretch></p:blipFill>'
            f'<p:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="{SLIDE_CX}" cy="{SLIDE_CY}"/></a:xfrm>'
            '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></p:spPr></p:pic>'
            '</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>')


def slide_rels(number):
    return _rels([("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml"),
                  ("rId2", "image", f"../media/image{number}.jpeg")])
