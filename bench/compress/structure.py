"""Structural checks of a .pptx after compression: animation, build list, picture hyperlinks and
connector glue, compared slide by slide with the input."""

import posixpath
import xml.etree.ElementTree as ET
import zipfile

NS = {
    "p": "http://schemas.openxmlformats.org/presentationml/2006/main",
    "a": "http://schemas.openxmlformats.org/drawingml/2006/main",
    "r": "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "rel": "http://schemas.openxmlformats.org/package/2006/relationships",
}
R_ID = "{%s}id" % NS["r"]


def _rels(zf, part):
    folder, name = posixpath.split(part)
    rels_name = posixpath.join(folder, "_rels", name + ".rels")
    if rels_name not in zf.namelist():
        return {}
    root = ET.fromstring(zf.read(rels_name))
    out = {}
    for rel in root.findall("rel:Relationship", NS):
        target = rel.get("Target", "")
        if rel.get("TargetMode") != "External":
            target = posixpath.normpath(posixpath.join(folder, target)).lstrip("/")
        out[rel.get("Id")] = target
    return out


def slide_parts(zf):
    """Slide part names in presentation order."""
    pres = "ppt/presentation.xml"
    root = ET.fromstring(zf.read(pres))
    rels = _rels(zf, pres)
    parts = []
    for sld in root.findall("p:sldIdLst/p:sldId", NS):
        target = rels.get(sld.get(R_ID))
        if target and target in zf.namelist():
            parts.append(target)
    return parts


def slide_facts(zf, part):
    root = ET.fromstring(zf.read(part))
    rels = _rels(zf, part)
    tree = root.find("p:cSld/p:spTree", NS)
    ids = {el.get("id") for el in tree.iter("{%s}cNvPr" % NS["p"])} if tree is not None else set()
    facts = {"effects": 0, "bad_targets": 0, "bad_builds": 0, "pic_links": 0, "bad_links": 0, "bad_glue": 0}
    timing = root.find("p:timing", NS)
    if timing is not None:
        for ctn in timing.iter("{%s}cTn" % NS["p"]):
            if ctn.get("nodeType") == "mainSeq":
                facts["effects"] += sum(1 for c in ctn.iter("{%s}cTn" % NS["p"]) if c.get("presetClass"))
        for tgt in timing.iter("{%s}spTgt" % NS["p"]):
            facts["bad_targets"] += tgt.get("spid") not in ids
        for bld in timing.iter("{%s}bldP" % NS["p"]):
            facts["bad_builds"] += bld.get("spid") not in ids
    if tree is not None:
        for pic in tree.iter("{%s}pic" % NS["p"]):
            for link in pic.iter("{%s}hlinkClick" % NS["a"]):
                facts["pic_links"] += 1
                rid = link.get(R_ID)
                facts["bad_links"] += bool(rid) and rid not in rels
        for cxn in tree.iter("{%s}cxnSp" % NS["p"]):
            for tag in ("stCxn", "endCxn"):
                for end in cxn.iter("{%s}%s" % (NS["a"], tag)):
                    facts["bad_glue"] += end.get("id") not in ids
    return facts


def deck_facts(path):
    with zipfile.ZipFile(path) as zf:
        return [slide_facts(zf, part) for part in slide_parts(zf)]


def regressions(input_path, output_path):
    """Problems the output has that the input did not: a dict of counts."""
    issues = {"slides": 0, "effects": 0, "targets": 0, "builds": 0, "pic_links": 0, "glue": 0}
    try:
        before = deck_facts(input_path)
        after = deck_facts(output_path)
    except Exception:  # an unreadable output is one problem of its own
        issues["slides"] += 1
        return issues
    if len(before) != len(after):
        issues["slides"] += 1
    for b, a in zip(before, after):
        issues["effects"] += a["effects"] != b["effects"]
        issues["targets"] += max(0, a["bad_targets"] - b["bad_targets"])
        issues["builds"] += max(0, a["bad_builds"] - b["bad_builds"])
        issues["pic_links"] += max(0, b["pic_links"] - a["pic_links"]) + max(0, a["bad_links"] - b["bad_links"])
        issues["glue"] += max(0, a["bad_glue"] - b["bad_glue"])
    return issues
