#!/usr/bin/python3
"""Writes the small hand-made seeds of the deck and metafile fuzz targets under tests/data.

Each seed is as small as it can be while still reaching one feature the targets walk: groups,
pictures, connectors, actions and links, the main sequence with each kind of behaviour; for
metafiles the bitmap-only EMF, a mask-and-colour icon pair, drawing records and a placeable WMF.
Run it again after changing it; the fuzzer finds its way from these to much more.
"""

import io
import os
import struct
import zipfile
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")

NS = ('xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
      'xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"')
HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
CT = "application/vnd.openxmlformats-officedocument.presentationml."


def png(width, height, rgb):
    raw = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def rels(entries):
    body = "".join(
        f'<Relationship Id="{rid}" Type="{REL}{kind}" Target="{target}"'
        + (' TargetMode="External"' if external else "") + "/>"
        for rid, kind, target, external in entries)
    return (HEAD + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' +
            body + "</Relationships>")


def xfrm(x, y, cx, cy, rot=0):
    r = f' rot="{rot}"' if rot else ""
    return f'<a:xfrm{r}><a:off x="{x}" y="{y}"/><a:ext cx="{cx}" cy="{cy}"/></a:xfrm>'


def sp(sid, name, x, y, extra_nv="", text="x"):
    return (f'<p:sp><p:nvSpPr><p:cNvPr id="{sid}" name="{name}">{extra_nv}</p:cNvPr><p:cNvSpPr/><p:nvPr/>'
            f'</p:nvSpPr><p:spPr>{xfrm(x, y, 914400, 457200)}<a:prstGeom prst="rect"><a:avLst/></a:prstGeom>'
            f'</p:spPr><p:txBody><a:bodyPr/><a:p><a:r><a:t>{text}</a:t></a:r></a:p></p:txBody></p:sp>')


def pic(sid, name, rid, x, y):
    return (f'<p:pic><p:nvPicPr><p:cNvPr id="{sid}" name="{name}" descr="a square"/><p:cNvPicPr>'
            f'<a:picLocks noChangeAspect="1"/></p:cNvPicPr><p:nvPr/></p:nvPicPr><p:blipFill>'
            f'<a:blip r:embed="{rid}"/><a:srcRect l="10000" b="5000"/><a:stretch><a:fillRect/></a:stretch>'
            f'</p:blipFill><p:spPr>{xfrm(x, y, 609600, 609600, 5400000)}<a:prstGeom prst="rect">'
            f'<a:avLst/></a:prstGeom></p:spPr></p:pic>')


def group(sid, name, members):
    return (f'<p:grpSp><p:nvGrpSpPr><p:cNvPr id="{sid}" name="{name}"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>'
            f'<p:grpSpPr><a:xfrm><a:off x="0" y="2000000"/><a:ext cx="3000000" cy="1000000"/>'
            f'<a:chOff x="0" y="0"/><a:chExt cx="6000000" cy="2000000"/></a:xfrm></p:grpSpPr>'
            + "".join(members) + "</p:grpSp>")


def connector(sid, start, end):
    return (f'<p:cxnSp><p:nvCxnSpPr><p:cNvPr id="{sid}" name="Connector {sid - 1}"/><p:cNvCxnSpPr>'
            f'<a:stCxn id="{start}" idx="3"/><a:endCxn id="{end}" idx="1"/></p:cNvCxnSpPr><p:nvPr/>'
            f'</p:nvCxnSpPr><p:spPr>{xfrm(914400, 228600, 914400, 0)}<a:prstGeom prst="straightConnector1">'
            f'<a:avLst/></a:prstGeom></p:spPr></p:cxnSp>')


def slide(shapes, timing="", transition=""):
    return (HEAD + f'<p:sld {NS}><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/>'
            '<p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>' + "".join(shapes) +
            f"</p:spTree></p:cSld>{transition}{timing}</p:sld>")


def ctn(cid, body="", attrs="", delay="0"):
    cond = f'<p:stCondLst><p:cond delay="{delay}"/></p:stCondLst>' if delay is not None else ""
    return f'<p:cTn id="{cid}"{attrs}>{cond}{body}</p:cTn>'


def bhvr(cid, spid, attr=None, dur=500):
    names = f"<p:attrNameLst><p:attrName>{attr}</p:attrName></p:attrNameLst>" if attr else ""
    return (f'<p:cBhvr><p:cTn id="{cid}" dur="{dur}" fill="hold"/><p:tgtEl><p:spTgt spid="{spid}"/></p:tgtEl>'
            f"{names}</p:cBhvr>")


def effect(cid, preset, cls, node, spid, behaviours):
    return ("<p:par>" + ctn(cid, "<p:childTnLst>" + "".join(behaviours) + "</p:childTnLst>",
                            f' presetID="{preset}" presetClass="{cls}" presetSubtype="0" fill="hold"'
                            f' nodeType="{node}"') + "</p:par>")


def click_group(cid, effects):
    inner = "<p:par>" + ctn(cid + 1, "<p:childTnLst>" + "".join(effects) + "</p:childTnLst>",
                            ' fill="hold"') + "</p:par>"
    return "<p:par>" + ctn(cid, "<p:childTnLst>" + inner + "</p:childTnLst>", ' fill="hold"',
                           "indefinite") + "</p:par>"


def timing(groups):
    seq = ('<p:seq concurrent="1" nextAc="seek"><p:cTn id="2" dur="indefinite" nodeType="mainSeq">'
           "<p:childTnLst>" + "".join(groups) + "</p:childTnLst></p:cTn>"
           '<p:prevCondLst><p:cond evt="onPrev" delay="0"><p:tgtEl><p:sldTgt/></p:tgtEl></p:cond></p:prevCondLst>'
           '<p:nextCondLst><p:cond evt="onNext" delay="0"><p:tgtEl><p:sldTgt/></p:tgtEl></p:cond></p:nextCondLst>'
           "</p:seq>")
    return ('<p:timing><p:tnLst><p:par><p:cTn id="1" dur="indefinite" restart="never" nodeType="tmRoot">'
            "<p:childTnLst>" + seq + "</p:childTnLst></p:cTn></p:par></p:tnLst></p:timing>")


LAYOUT = (HEAD + f'<p:sldLayout {NS} type="blank"><p:cSld name="Blank"><p:spTree><p:nvGrpSpPr><p:cNvPr id="1" '
          'name=""/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/></p:spTree></p:cSld></p:sldLayout>')
MASTER = (HEAD + f'<p:sldMaster {NS}><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/>'
          '<p:nvPr/></p:nvGrpSpPr><p:grpSpPr/></p:spTree></p:cSld><p:clrMap bg1="lt1" tx1="dk1" bg2="lt2" '
          'tx2="dk2" accent1="accent1" accent2="accent2" accent3="accent3" accent4="accent4" '
          'accent5="accent5" accent6="accent6" hlink="hlink" folHlink="folHlink"/>'
          '<p:sldLayoutIdLst><p:sldLayoutId id="2147483649" r:id="rId1"/></p:sldLayoutIdLst></p:sldMaster>')


class StampedZip(zipfile.ZipFile):
    """Deflated entries with a fixed time stamp, so that the same seeds come out byte for byte."""

    def __init__(self, out):
        super().__init__(out, "w", zipfile.ZIP_DEFLATED)

    def writestr(self, name, data):
        super().writestr(zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0)), data,
                         compress_type=zipfile.ZIP_DEFLATED)


def deck(slides, media, main_type=CT + "presentation.main+xml", custom_show=""):
    """slides: list of (xml, extra rels); media: {name: bytes}."""
    out = io.BytesIO()
    with StampedZip(out) as z:
        overrides = [("/ppt/presentation.xml", main_type),
                     ("/ppt/slideMasters/slideMaster1.xml", CT + "slideMaster+xml"),
                     ("/ppt/slideLayouts/slideLayout1.xml", CT + "slideLayout+xml")]
        overrides += [(f"/ppt/slides/slide{i + 1}.xml", CT + "slide+xml") for i in range(len(slides))]
        z.writestr("[Content_Types].xml", HEAD +
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Default Extension="png" ContentType="image/png"/>'
                   '<Default Extension="emf" ContentType="image/x-emf"/>' +
                   "".join(f'<Override PartName="{n}" ContentType="{t}"/>' for n, t in overrides) + "</Types>")
        z.writestr("_rels/.rels", rels([("rId1", "officeDocument", "ppt/presentation.xml", False)]))
        ids = "".join(f'<p:sldId id="{256 + i}" r:id="rId{i + 2}"/>' for i in range(len(slides)))
        z.writestr("ppt/presentation.xml", HEAD + f'<p:presentation {NS}><p:sldMasterIdLst><p:sldMasterId '
                   f'id="2147483648" r:id="rId1"/></p:sldMasterIdLst><p:sldIdLst>{ids}</p:sldIdLst>'
                   '<p:sldSz cx="9144000" cy="6858000"/><p:notesSz cx="6858000" cy="9144000"/>'
                   f"{custom_show}</p:presentation>")
        z.writestr("ppt/_rels/presentation.xml.rels",
                   rels([("rId1", "slideMaster", "slideMasters/slideMaster1.xml", False)] +
                        [(f"rId{i + 2}", "slide", f"slides/slide{i + 1}.xml", False) for i in range(len(slides))]))
        z.writestr("ppt/slideMasters/slideMaster1.xml", MASTER)
        z.writestr("ppt/slideMasters/_rels/slideMaster1.xml.rels",
                   rels([("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml", False)]))
        z.writestr("ppt/slideLayouts/slideLayout1.xml", LAYOUT)
        z.writestr("ppt/slideLayouts/_rels/slideLayout1.xml.rels",
                   rels([("rId1", "slideMaster", "../slideMasters/slideMaster1.xml", False)]))
        for i, (xml, extra) in enumerate(slides):
            z.writestr(f"ppt/slides/slide{i + 1}.xml", xml)
            z.writestr(f"ppt/slides/_rels/slide{i + 1}.xml.rels",
                       rels([("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml", False)] + extra))
        for name, data in media.items():
            z.writestr(f"ppt/media/{name}", data)
    return out.getvalue()


def features_deck():
    click_next = ('<a:hlinkClick r:id="" action="ppaction://hlinkshowjump?jump=nextslide"/>'
                  '<a:hlinkHover r:id="rId3" tooltip="site"/>')
    slide1 = slide(
        [sp(2, "Rectangle 1", 0, 0, click_next), sp(3, "Rectangle 2", 2000000, 0), connector(4, 2, 3),
         pic(5, "Picture 4", "rId2", 4000000, 0),
         group(6, "Group 5", [sp(7, "Oval 6", 0, 0), pic(8, "Picture 7", "rId2", 3000000, 0)])],
        timing([click_group(3, [effect(5, 10, "entr", "clickEffect", 2, [
            '<p:set>' + bhvr(6, 2, "style.visibility", 1) + '<p:to><p:strVal val="visible"/></p:to></p:set>',
            '<p:animEffect transition="in" filter="fade">' + bhvr(7, 2) + "</p:animEffect>"])]),
            click_group(8, [effect(10, 42, "path", "clickEffect", 5, [
                '<p:animMotion origin="layout" path="M 0 0 L 0.25 0.125 E" pathEditMode="relative">' +
                bhvr(11, 5, "ppt_x", 2000) + "</p:animMotion>"]),
                effect(12, 6, "emph", "withEffect", 3, [
                    '<p:animScale>' + bhvr(13, 3) + '<p:by x="150000" y="150000"/></p:animScale>',
                    '<p:animRot by="21600000">' + bhvr(14, 3, "r") + "</p:animRot>",
                    '<p:animClr clrSpc="rgb" dir="cw">' + bhvr(15, 3, "fillcolor") +
                    '<p:to><a:srgbClr val="FF0000"/></p:to></p:animClr>',
                    '<p:anim calcmode="lin" valueType="num">' + bhvr(16, 3, "ppt_w") +
                    '<p:tavLst><p:tav tm="0"><p:val><p:strVal val="#ppt_w"/></p:val></p:tav>'
                    '<p:tav tm="100000" fmla="#ppt_w*2"><p:val><p:fltVal val="0.5"/></p:val></p:tav>'
                    "</p:tavLst></p:anim>"])])]),
        '<p:transition spd="fast"><p:fade/></p:transition>')
    slide2 = slide([sp(2, "Title 1", 0, 0,
                       '<a:hlinkClick r:id="rId2" action="ppaction://hlinksldjump"/>'),
                    sp(3, "Text 2", 0, 1000000, '<a:hlinkClick r:id="" action="ppaction://customshow?id=0"/>')],
                   timing([click_group(3, [effect(5, 1, "exit", "clickEffect", 3, [
                       '<p:cmd type="call" cmd="playFrom(0.0)">' + bhvr(6, 3) + "</p:cmd>"])])]))
    media = {"image1.png": png(4, 4, (200, 30, 30))}
    return deck([(slide1, [("rId2", "image", "../media/image1.png", False),
                           ("rId3", "hyperlink", "https://example.org/", True)]),
                 (slide2, [("rId2", "slide", "slide1.xml", False)])], media,
                custom_show='<p:custShowLst><p:custShow name="Short" id="0"><p:sldLst><p:sld r:id="rId2"/>'
                            "</p:sldLst></p:custShow></p:custShowLst>")


def legacy_deck():
    """A macro-enabled show: the older per-shape animation, an action running a macro, a placeholder."""
    ph = ('<p:sp><p:nvSpPr><p:cNvPr id="2" name="Title 1"><a:hlinkClick r:id="" '
          'action="ppaction://macro?name=Go"/></p:cNvPr><p:cNvSpPr/><p:nvPr><p:ph type="title"/></p:nvPr>'
          '</p:nvSpPr><p:spPr/><p:txBody><a:bodyPr/><a:p><a:r><a:t>T</a:t></a:r></a:p></p:txBody></p:sp>')
    xml = slide([ph, pic(3, "Picture 2", "rId2", 0, 3000000)],
                timing([click_group(3, [effect(5, 2, "entr", "clickEffect", 2, [
                    '<p:set>' + bhvr(6, 2, "style.visibility", 1) + '<p:to><p:strVal val="visible"/></p:to></p:set>',
                    '<p:anim calcmode="lin" valueType="num">' + bhvr(7, 2, "ppt_x") +
                    '<p:tavLst><p:tav tm="0"><p:val><p:strVal val="0-#ppt_w/2"/></p:val></p:tav>'
                    '<p:tav tm="100000"><p:val><p:strVal val="#ppt_x"/></p:val></p:tav></p:tavLst></p:anim>'])])]))
    emf = open(os.path.join(ROOT, "imaging", "fuzz-seeds", "bitmap.emf"), "rb").read()
    return deck([(xml, [("rId2", "image", "../media/image1.emf", False)])], {"image1.emf": emf},
                "application/vnd.ms-powerpoint.slideshow.macroEnabled.main+xml")


def le32(*values):
    return b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in values)


def emf(records, right, bottom, frame=(0, 0, 846, 846), handles=1):
    header = le32(1, 88, 0, 0, right, bottom, *frame, 0x464D4520, 0x10000, 0, len(records) + 2)
    header += le32(handles, 0, 0, 0, 1920, 1080, 508, 286)
    body = header + b"".join(records) + le32(14, 20, 0, 16, 20)
    return body[:48] + struct.pack("<I", len(body)) + body[52:]


def masked_icon_emf():
    n = 8
    mask_bits = b"".join(struct.pack(">I", 0xC3000000 if y in (0, n - 1) else 0x81000000) for y in range(n))
    mask = le32(77, 108 + 48 + 4 * n, 0, 0, n - 1, n - 1, 0, 0, n, n, 0x008800C6, 0, 0)
    mask += le32(0x3F800000, 0, 0, 0x3F800000, 0, 0, 0, 0, 108, 48, 156, 4 * n, n, n)
    mask += le32(40, n, n) + struct.pack("<HH", 1, 1) + le32(0, 4 * n, 3780, 3780, 2, 0, 0x000000, 0xFFFFFF)
    mask += mask_bits
    colours = le32(81, 80 + 40 + 3 * n * n, 0, 0, n - 1, n - 1, 0, 0, 0, 0, n, n, 80, 40, 120, 3 * n * n, 0,
                   0x00660046, n, n)
    colours += le32(40, n, n) + struct.pack("<HH", 1, 24) + le32(0, 3 * n * n, 3780, 3780, 0, 0)
    colours += bytes([0, 0, 255]) * (n * n)
    return emf([mask, colours], n - 1, n - 1)


def drawing_emf(frame=(0, 0, 846, 846)):
    return emf([le32(39, 24, 1, 0, 0x000000FF, 0),  # CREATEBRUSHINDIRECT 1
                le32(37, 12, 1),  # SELECTOBJECT
                le32(38, 28, 2, 0, 1, 0, 0x00FF0000),  # CREATEPEN 2
                le32(37, 12, 2),
                le32(43, 24, 0, 0, 40, 20),  # RECTANGLE
                le32(42, 24, 5, 5, 30, 15),  # ELLIPSE
                le32(27, 16, 0, 0), le32(54, 16, 40, 20)],  # MOVETOEX, LINETO
               40, 20, frame, handles=3)


def text_emf():
    """A font, then a line of text given as glyph indices, which the converter maps back to characters
    by looking the font up through fontconfig."""
    face = "DejaVu Sans".encode("utf-16-le").ljust(64, b"\0")
    logfont = struct.pack("<iiiii8B", -16, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0) + face
    font = le32(82, 8 + 4 + len(logfont), 1) + logfont  # EXTCREATEFONTINDIRECTW 1
    glyphs = struct.pack("<HH", 43, 76)
    emrtext = le32(2, 2, 2, 76, 0x10, 0, 0, 40, 20, 80)  # reference, chars, offString, ETO_GLYPH_INDEX, rect, offDx
    record = le32(84, 88, 0, 0, 40, 20, 1) + struct.pack("<ff", 1.0, 1.0) + emrtext + glyphs + le32(8, 8)
    return emf([font, le32(37, 12, 1), record], 40, 20)


def lying_comment_emf():
    """An EMF+ comment whose data size runs far past its record and the file."""
    plus_header = struct.pack("<HHII", 0x4001, 1, 28, 16) + le32(0xDBC01002, 1, 96, 96)
    comment = le32(70, 12 + 4 + len(plus_header), 0x800020, 0x2B464D45) + plus_header
    return emf([comment, le32(43, 24, 0, 0, 40, 20)], 40, 20)


def dib_stretch_wmf_record(colours_used):
    """DIBSTRETCHBLT of a 2x2 one-bit bitmap over the picture."""
    dib = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 1, 0, 8, 3780, 3780, colours_used, 0)
    dib += le32(0x000000, 0xFFFFFF) + le32(0x40000000, 0x80000000)  # palette, rows
    params = le32(0x00CC0020) + struct.pack("<8h", 2, 2, 0, 0, 100, 200, 0, 0)
    return struct.pack("<IH", (6 + len(params) + len(dib)) // 2, 0x0B41) + params + dib


def placeable_wmf(max_record=None, extra=b""):
    records = [struct.pack("<IH", 4, 0x0103) + struct.pack("<H", 8),  # SETMAPMODE anisotropic
               struct.pack("<IHhh", 5, 0x020B, 0, 0),  # SETWINDOWORG
               struct.pack("<IHhh", 5, 0x020C, 100, 200),  # SETWINDOWEXT
               struct.pack("<IHHIH", 7, 0x02FC, 0, 0x0000FF00, 0),  # CREATEBRUSHINDIRECT
               struct.pack("<IHH", 4, 0x012D, 0),  # SELECTOBJECT
               struct.pack("<IHhhhh", 7, 0x041B, 150, 80, 10, 10),  # RECTANGLE
               extra,
               struct.pack("<IH", 3, 0)]  # EOF
    body = b"".join(records)
    largest = max(7, len(extra) // 2) if max_record is None else max_record  # in 16-bit words
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, (18 + len(body)) // 2, 1, largest, 0)
    key = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 200, 100, 1440, 0)
    checksum = 0
    for (word,) in struct.iter_unpack("<H", key[:20]):
        checksum ^= word
    return key + struct.pack("<H", checksum) + header + body


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    write(os.path.join(ROOT, "deck", "fuzz-seeds", "features.pptx"), features_deck())
    write(os.path.join(ROOT, "deck", "fuzz-seeds", "legacy-show.ppsm"), legacy_deck())
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "masked-icon.emf"), masked_icon_emf())
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "drawing.emf"), drawing_emf())
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "placeable.wmf"), placeable_wmf())
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "text.emf"), text_emf())
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "lying-comment.emf"), lying_comment_emf())
    # A header claiming a record of 3.6 GB: the reader allocated that much before reading any.
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "huge-record.wmf"), placeable_wmf(0x6C000000))
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "bitmap.wmf"), placeable_wmf(extra=dib_stretch_wmf_record(2)))
    # A one-bit bitmap claiming 2^31 palette entries: the reader allocated them.
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "huge-palette.wmf"),
          placeable_wmf(extra=dib_stretch_wmf_record(0x86000000)))
    # A frame from -2^31 + 12730 to 12730: its width overflowed 32-bit arithmetic.
    write(os.path.join(ROOT, "metafile", "fuzz-seeds", "wide-frame.emf"),
          drawing_emf((-2147471017 + 2**32, 0, 12730, 846)))
