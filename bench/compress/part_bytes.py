#!/usr/bin/python3
"""Bytes of a .pptx by part kind, and where two compressors' outputs of the same deck differ.

Every ZIP entry is put in one category from the package's own relationships, so decks whose parts
were renamed (LibreOffice renumbers them) still compare. Compressed sizes are counted; headers and
the rest of the ZIP structure go to "zip overhead", so the categories add up to the file size.

    part_bytes.py A.pptx [B.pptx]          one deck (or A minus B)
    part_bytes.py --bench-dir TMP --peers libreoffice,npm --runlog nofid.txt
"""

import argparse
import collections
import os
import posixpath
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

NS_P = "http://schemas.openxmlformats.org/presentationml/2006/main"
NS_R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
NS_REL = "http://schemas.openxmlformats.org/package/2006/relationships"
NS_CT = "http://schemas.openxmlformats.org/package/2006/content-types"
R_ATTRS = ("{%s}embed" % NS_R, "{%s}link" % NS_R, "{%s}id" % NS_R, "{%s}pict" % NS_R)

CATEGORIES = [
    "slide pictures (p:pic)",
    "slide shape/table fills",
    "slide backgrounds (p:bg)",
    "slide OLE previews",
    "layout/master/theme pictures",
    "other pictures (notes, charts, diagrams)",
    "embedded fonts",
    "media (audio/video)",
    "OLE embeddings",
    "unreferenced parts",
    "package thumbnail",
    "other parts (printer settings, VBA, ...)",
    "XML",
    "zip overhead",
]

IMAGE_EXT = {"png", "jpg", "jpeg", "jpe", "gif", "emf", "wmf", "tif", "tiff", "bmp", "wdp", "svg", "emz", "wmz",
             "pict", "jfif"}
MEDIA_EXT = {"mp4", "m4v", "mov", "avi", "wmv", "mpg", "mpeg", "mp3", "wav", "m4a", "wma", "aac", "ogg", "mid",
             "midi", "asf", "aiff", "au", "swf"}


def _rels_name(part):
    d, b = posixpath.split(part)
    return posixpath.join(d, "_rels", b + ".rels")


def _resolve(source, target):
    if target.startswith("/"):
        return target.lstrip("/")
    return posixpath.normpath(posixpath.join(posixpath.dirname(source), target))


def _parse(z, name):
    try:
        return ET.fromstring(z.read(name))
    except Exception:
        return None


def _usage(root):
    """rId -> kind of the innermost telling ancestor: pic, bg, ole, fill."""
    out = {}

    def walk(el, ctx):
        tag = el.tag.rsplit("}", 1)[-1]
        if tag == "bg" and el.tag == "{%s}bg" % NS_P:
            ctx = "bg"
        elif tag == "oleObj":
            ctx = "ole"
        elif tag == "pic" and ctx not in ("ole",):
            ctx = "pic"
        elif tag in ("sp", "tc", "grpSpPr", "cxnSp") and ctx is None:
            ctx = "fill"
        for a in R_ATTRS:
            v = el.get(a)
            if v:
                out.setdefault(v, ctx or "fill")
        for c in el:
            walk(c, ctx)

    walk(root, None)
    return out


def _content_types(z):
    defaults, overrides = {}, {}
    root = _parse(z, "[Content_Types].xml")
    if root is not None:
        for el in root:
            if el.tag == "{%s}Default" % NS_CT:
                defaults[el.get("Extension", "").lower()] = el.get("ContentType", "")
            elif el.tag == "{%s}Override" % NS_CT:
                overrides[el.get("PartName", "").lstrip("/").lower()] = el.get("ContentType", "")
    return defaults, overrides


def categorize(path):
    """Category -> bytes, and part name -> category."""
    z = zipfile.ZipFile(path)
    infos = z.infolist()
    names = {i.filename for i in infos}
    lower = {n.lower(): n for n in names}
    defaults, overrides = _content_types(z)

    def ctype(n):
        return overrides.get(n.lower()) or defaults.get(n.rsplit(".", 1)[-1].lower(), "")

    def is_image(n):
        return ctype(n).startswith("image/") or n.rsplit(".", 1)[-1].lower() in IMAGE_EXT

    def is_media(n):
        c = ctype(n)
        return c.startswith(("audio/", "video/")) or n.rsplit(".", 1)[-1].lower() in MEDIA_EXT

    referenced = set()
    cat_of = {}
    # Lower number wins when a part is reached from several places.
    rank = {c: i for i, c in enumerate(CATEGORIES)}

    def assign(n, cat):
        if n not in cat_of or rank[cat] < rank[cat_of[n]]:
            cat_of[n] = cat

    for rels in [n for n in names if n.endswith(".rels")]:
        m = re.match(r"^(.*?)_rels/([^/]*)\.rels$", rels)
        if not m:
            continue
        source = m.group(1) + m.group(2)  # "" for the package's own relationships
        root = _parse(z, rels)
        if root is None:
            continue
        usage = None
        for rel in root:
            if rel.get("TargetMode") == "External":
                continue
            target = _resolve(source, rel.get("Target", ""))
            target = lower.get(target.lower(), target)
            if target not in names:
                continue
            referenced.add(target)
            if not is_image(target):
                continue
            rid = rel.get("Id")
            if re.match(r"^ppt/slides/slide\d+\.xml$", source):
                if usage is None:
                    sroot = _parse(z, source)
                    usage = _usage(sroot) if sroot is not None else {}
                kind = usage.get(rid, "fill")
                assign(target, {"pic": "slide pictures (p:pic)", "bg": "slide backgrounds (p:bg)",
                                "ole": "slide OLE previews", "fill": "slide shape/table fills"}[kind])
            elif source == "" or source.startswith("docProps/"):
                assign(target, "package thumbnail")
            elif re.match(r"^ppt/(slideLayouts|slideMasters|theme)/", source):
                assign(target, "layout/master/theme pictures")
            else:
                assign(target, "other pictures (notes, charts, diagrams)")

    sizes = collections.Counter()
    counts = collections.Counter()
    raw = collections.Counter()
    for i in infos:
        n = i.filename
        if n.endswith("/"):
            continue
        if n in cat_of:
            cat = cat_of[n]
        elif n.startswith("ppt/fonts/"):
            cat = "embedded fonts"
        elif n.startswith("ppt/embeddings/") or "oleObject" in ctype(n) or n.endswith(".bin") and "ole" in n.lower():
            cat = "OLE embeddings"
        elif is_media(n):
            cat = "media (audio/video)"
        elif n.endswith((".xml", ".rels")) and n != "docProps/thumbnail.xml":
            cat = "XML" if (n in referenced or n.endswith(".rels") or n == "[Content_Types].xml") \
                else "unreferenced parts"
        elif n not in referenced:
            cat = "unreferenced parts"
        else:
            cat = "other parts (printer settings, VBA, ...)"
        cat_of[n] = cat
        sizes[cat] += i.compress_size
        counts[cat] += 1
        raw[cat] += i.file_size
    # Local and central headers, data descriptors, the end record: whatever the entries do not hold.
    sizes["zip overhead"] = os.path.getsize(path) - sum(sizes.values())
    return sizes, cat_of, counts, raw


def _runlog(path):
    """deck name prefix -> {tool: size or None} from a bench run's per-deck lines."""
    out = {}
    for line in open(path):
        m = re.match(r"^(\S.{0,59}?)\s+(\d+)\s+quarnel (\d+)", line)
        if not m:
            continue
        row = {"in": int(m.group(2)), "quarnel": int(m.group(3))}
        for tool in ("libreoffice", "npm"):
            t = re.search(r"%s (\d+) \(" % tool, line)
            row[tool] = int(t.group(1)) if t else None
        out[m.group(1).strip()] = row
    return out


def _bench_outputs(tmp, n):
    d = "%03d" % n
    src = [os.path.join(tmp, "in", d, f) for f in os.listdir(os.path.join(tmp, "in", d))][0]
    name = os.path.basename(src)
    q = [os.path.join(tmp, "quarnel", d, f) for f in os.listdir(os.path.join(tmp, "quarnel", d))
         if f.lower().endswith((".pptx", ".pptm"))] if os.path.isdir(os.path.join(tmp, "quarnel", d)) else []
    lo = os.path.join(tmp, "lo", d, os.path.splitext(name)[0] + ".pptx")
    base, ext = os.path.splitext(name)
    npm = os.path.join(tmp, "npm", d, base + "_compressed" + ext)
    return name, src, (q[0] if q else src), {"libreoffice": lo, "npm": npm}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("files", nargs="*")
    ap.add_argument("--bench-dir")
    ap.add_argument("--peers", default="libreoffice,npm")
    ap.add_argument("--runlog")
    ap.add_argument("--per-deck", action="store_true")
    args = ap.parse_args()

    if args.files:
        a, _, _, _ = categorize(args.files[0])
        b = categorize(args.files[1])[0] if len(args.files) > 1 else collections.Counter()
        for c in CATEGORIES:
            print("%-42s %10d %10d %10d" % (c, a[c], b[c], a[c] - b[c]))
        print("%-42s %10d %10d %10d" % ("total", sum(a.values()), sum(b.values()), sum(a.values()) - sum(b.values())))
        return

    peers = args.peers.split(",")
    tmp = args.bench_dir
    decks = sorted(int(d) for d in os.listdir(os.path.join(tmp, "in")))
    totals = {p: collections.Counter() for p in peers}
    counts = {p: 0 for p in peers}
    check = {p: [0, 0] for p in peers}
    ncount = {p: collections.defaultdict(lambda: [0, 0]) for p in peers}
    nraw = {p: collections.defaultdict(lambda: [0, 0]) for p in peers}
    gone = {p: collections.Counter() for p in peers}
    for n in decks:
        name, src, qout, outs = _bench_outputs(tmp, n)
        qsize = os.path.getsize(qout)
        qcat = None
        for p in peers:
            po = outs[p]
            if not os.path.exists(po) or os.path.getsize(po) >= qsize:
                continue
            if qcat is None:
                qcat, qof, qcount, qraw = categorize(qout)
                assert sum(qcat.values()) == qsize, (qout, sum(qcat.values()), qsize)
            pcat, pof, pcount, praw = categorize(po)
            for c in CATEGORIES:
                ncount[p][c][0] += qcount[c]
                ncount[p][c][1] += pcount[c]
                nraw[p][c][0] += qraw[c]
                nraw[p][c][1] += praw[c]
            # Parts gone from the peer's output, where it keeps part names (npm does; LibreOffice renames).
            for part, c in qof.items():
                if part not in pof:
                    gone[p][c] += qof and zipfile.ZipFile(qout).getinfo(part).compress_size
            psize = os.path.getsize(po)
            assert sum(pcat.values()) == psize, (po, sum(pcat.values()), psize)
            diff = collections.Counter({c: qcat[c] - pcat[c] for c in CATEGORIES})
            totals[p].update(diff)
            counts[p] += 1
            check[p][0] += qsize
            check[p][1] += psize
            if args.per_deck:
                print("%-11s %-55s %9d  " % (p, name[:55], qsize - psize)
                      + " ".join("%s=%d" % (c.split(" ")[0] + ("/" + c.split(" ")[1] if c.startswith("slide") else ""),
                                            v) for c, v in diff.items() if v))
    print()
    print("| category (bytes quarnel minus peer) | " + " | ".join(
        "%s (%d decks)" % (p, counts[p]) for p in peers) + " |")
    print("|---|" + "---|" * len(peers))
    for c in CATEGORIES:
        print("| %s | " % c + " | ".join("%d" % totals[p][c] for p in peers) + " |")
    print("| **total** | " + " | ".join("%d" % sum(totals[p].values()) for p in peers) + " |")
    print("| (check: sum quarnel out - sum peer out) | " + " | ".join(
        "%d" % (check[p][0] - check[p][1]) for p in peers) + " |")
    print()
    print("| category: parts quarnel/peer, uncompressed KB quarnel/peer, KB of quarnel parts absent by name | "
          + " | ".join(peers) + " |")
    print("|---|" + "---|" * len(peers))
    for c in CATEGORIES[:-1]:
        print("| %s | " % c + " | ".join("%d/%d, %d/%d, %d" % (
            ncount[p][c][0], ncount[p][c][1], nraw[p][c][0] // 1024, nraw[p][c][1] // 1024, gone[p][c] // 1024)
            for p in peers) + " |")


if __name__ == "__main__":
    main()
