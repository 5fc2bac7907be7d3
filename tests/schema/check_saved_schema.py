#!/usr/bin/env python3
"""Saves decks with quarnel-cli and checks that no saved XML part breaks the format's schemas
in a way its input did not.

Every XML part of an output (slides, rels, [Content_Types].xml ...) is validated against the
transitional schemas after markup compatibility is resolved as by a consumer that knows only the
namespaces those schemas define. Real decks already break the schemas here and there, so an
output part is judged against the errors of the input part of the same name: only messages the
input part does not have count. A part with no input counterpart has all its errors counted.

Exit status: 0 no new error, 1 new errors (or a broken run), 77 corpus or schemas absent.
"""

import argparse
from copy import deepcopy
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

try:
    from lxml import etree
except ImportError:
    sys.exit("python3-lxml is missing (scripts/install-deps.sh installs it)")

SKIP = 77
DECK_SUFFIXES = (".pptx", ".pptm", ".ppsx", ".potx")
NOTHING_TO_GAIN = ("not-effective", "not-smaller")
SETTINGS = {
    "default": [],
    "objects": ["--file-size", "10", "--expect-rate", "95", "--group-size", "10", "--objects"],
}

# "60000" where the 2016 schemas want "60%" (a:buSzPct and friends).
PERCENT_AS_THOUSANDTHS = re.compile(r"\[facet 'pattern'\] The value '-?\d+' is not accepted by the pattern '[^']*%'")

MC = "http://schemas.openxmlformats.org/markup-compatibility/2006"
MC_ATTRS = {f"{{{MC}}}{n}" for n in ("Ignorable", "ProcessContent", "MustUnderstand",
                                     "PreserveElements", "PreserveAttributes")}
P = "http://schemas.openxmlformats.org/presentationml/2006/main"
GRAPHIC_DATA = "{http://schemas.openxmlformats.org/drawingml/2006/main}graphicData"

# Schemas whose root elements a presentation package holds. The XML namespace comes first so that
# later imports of it (one points at the network) are skipped in favour of the local copy.
# Core properties are left out: their schema imports Dublin Core from the network.
ISO = "ISO-IEC29500-4_2016"
OPC = "ecma/fouth-edition"
SCHEMA_FILES = [
    f"{ISO}/xml.xsd", f"{ISO}/pml.xsd", f"{ISO}/dml-main.xsd", f"{ISO}/dml-chart.xsd",
    f"{ISO}/dml-chartDrawing.xsd", f"{ISO}/dml-diagram.xsd", f"{ISO}/dml-picture.xsd",
    f"{ISO}/dml-lockedCanvas.xsd", f"{ISO}/vml-main.xsd", f"{ISO}/vml-officeDrawing.xsd",
    f"{ISO}/vml-presentationDrawing.xsd", f"{ISO}/shared-documentPropertiesExtended.xsd",
    f"{ISO}/shared-documentPropertiesCustom.xsd", f"{ISO}/shared-customXmlDataProperties.xsd",
    f"{OPC}/opc-contentTypes.xsd", f"{OPC}/opc-relationships.xsd",
]

XML_PARSER = etree.XMLParser(resolve_entities=False, no_network=True, huge_tree=True)


def ns_of(tag):
    return tag[1:].split("}", 1)[0] if tag.startswith("{") else ""


class Schemas:
    """All schemas compiled once into one validator; the root element picks its declaration."""

    def __init__(self, folder):
        folder = Path(folder)
        imports = []
        self.namespaces = set()
        for rel in SCHEMA_FILES:
            path = folder / rel
            tns = etree.parse(str(path), XML_PARSER).getroot().get("targetNamespace")
            self.namespaces.add(tns)
            imports.append(f'<xsd:import namespace="{tns}" schemaLocation="{path.resolve().as_uri()}"/>')
        wrapper = ('<xsd:schema xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
                   'targetNamespace="urn:x-quarnel:schema-check">' + "".join(imports) + "</xsd:schema>")
        self.validator = etree.XMLSchema(etree.fromstring(wrapper))
        # Namespaces the schemas import are understood too (shared types, relationships ...).
        self.namespaces |= self._imported(folder)

    @staticmethod
    def _imported(folder):
        found = set()
        for rel in SCHEMA_FILES:
            root = etree.parse(str(folder / rel), XML_PARSER).getroot()
            for imp in root.iter("{http://www.w3.org/2001/XMLSchema}import"):
                if imp.get("schemaLocation", "").startswith("http"):
                    continue  # not available here, so not understood
                found.add(imp.get("namespace"))
        found.discard(MC)
        return found

    def errors(self, root):
        """Messages (with the first line each occurs on) of a resolved part, or None without schema."""
        if ns_of(root.tag) not in self.namespaces:
            return None
        if self.validator.validate(root.getroottree()):
            return {}
        found = {}
        for e in self.validator.error_log:
            found.setdefault(normalise(e.message), e.line)
        return found


def normalise(message):
    return re.sub(r"\bline \d+", "line N", message.strip())


# --- markup compatibility ---------------------------------------------------------------------

def _uris(elem, prefixes):
    return {elem.nsmap[p] for p in prefixes.split() if p in elem.nsmap}


def _qnames(elem, names):
    out = set()
    for name in names.split():
        prefix, _, local = name.partition(":")
        if prefix in elem.nsmap:
            out.add((elem.nsmap[prefix], local))
    return out


def _replace(parent, child, kids):
    at = parent.index(child)
    parent.remove(child)
    for i, kid in enumerate(kids):
        parent.insert(at + i, kid)


def _scope(elem, ignorable, process, understood):
    value = elem.get(f"{{{MC}}}Ignorable")
    if value is not None:
        ignorable = ignorable | (_uris(elem, value) - understood)
    value = elem.get(f"{{{MC}}}ProcessContent")
    if value is not None:
        process = process | _qnames(elem, value)
    return ignorable, process


def _choose(alternate, understood):
    for branch in alternate:
        if branch.tag == f"{{{MC}}}Choice":
            needed = set(branch.get("Requires", "").split())
            if needed and all(branch.nsmap.get(p) in understood for p in needed):
                return branch
    for branch in alternate:
        if branch.tag == f"{{{MC}}}Fallback":
            return branch
    return None


def _resolve_child(parent, child, ignorable, process, understood):
    if not isinstance(child.tag, str):
        return  # comment or processing instruction
    if child.tag == f"{{{MC}}}AlternateContent":
        ignorable, process = _scope(child, ignorable, process, understood)
        chosen = _choose(child, understood)
        kids = []
        if chosen is not None:
            ignorable, process = _scope(chosen, ignorable, process, understood)
            kids = list(chosen)
        _replace(parent, child, kids)
        for kid in kids:
            _resolve_child(parent, kid, ignorable, process, understood)
        return
    ns = ns_of(child.tag)
    if ns in ignorable:
        local = etree.QName(child).localname
        kids = list(child) if (ns, local) in process or (ns, "*") in process else []
        _replace(parent, child, kids)
        for kid in kids:
            _resolve_child(parent, kid, ignorable, process, understood)
        return
    _resolve(child, ignorable, process, understood)


def _is_container(elem, understood):
    """Extension lists' entries and graphic data hold any namespace's markup."""
    name = etree.QName(elem)
    return (name.namespace in understood and name.localname == "ext") or elem.tag == GRAPHIC_DATA


def _resolve(elem, ignorable, process, understood):
    ignorable, process = _scope(elem, ignorable, process, understood)
    for name in list(elem.attrib):
        if name in MC_ATTRS or ns_of(name) in ignorable:
            del elem.attrib[name]
    if _is_container(elem, understood):
        # Markup of a namespace without schema is an extension only its own readers know.
        ignorable = ignorable | {ns_of(c.tag) for c in elem if isinstance(c.tag, str)
                                 and c.tag != f"{{{MC}}}AlternateContent" and ns_of(c.tag) not in understood}
    for child in list(elem):
        _resolve_child(elem, child, ignorable, process, understood)


def resolve_markup_compatibility(root, understood):
    """Alternate content becomes its first understood choice or its fallback (or nothing);
    elements and attributes of ignorable namespaces nobody here understands are dropped."""
    _resolve(root, frozenset(), frozenset(), frozenset(understood))
    return root


# --- packages ---------------------------------------------------------------------------------

def xml_part_names(package):
    """Names of the parts typed as XML or named .xml / .rels (a part missing from the types too)."""
    names = set(package.namelist())
    try:
        types = etree.fromstring(package.read("[Content_Types].xml"), XML_PARSER)
    except (KeyError, etree.XMLSyntaxError):
        return sorted(n for n in names if n.endswith((".xml", ".rels")))
    ct = "{http://schemas.openxmlformats.org/package/2006/content-types}"
    defaults = {d.get("Extension", "").lower(): d.get("ContentType", "") for d in types.iter(ct + "Default")}
    overrides = {o.get("PartName", "").lstrip("/"): o.get("ContentType", "") for o in types.iter(ct + "Override")}
    out = []
    for name in names:
        if name.endswith("/"):
            continue
        kind = overrides.get(name)
        if kind is None:
            kind = defaults.get(name.rsplit(".", 1)[-1].lower() if "." in name else "", "")
        if name.endswith((".xml", ".rels")) or kind.lower().endswith("xml"):
            out.append(name)
    return sorted(out)


class PartResult:
    __slots__ = ("root", "errors")

    def __init__(self, root, errors):
        self.root, self.errors = root, errors  # errors None: no schema for the root


def check_package(schemas, path):
    """Part name -> PartResult for every XML part of a package."""
    results = {}
    with zipfile.ZipFile(path) as package:
        for name in xml_part_names(package):
            try:
                root = etree.fromstring(package.read(name), XML_PARSER)
            except etree.XMLSyntaxError as e:
                results[name] = PartResult("?", {normalise(f"not well-formed: {e.msg}"): e.lineno})
                continue
            resolve_markup_compatibility(root, schemas.namespaces)
            results[name] = PartResult(root.tag, schemas.errors(root))
    return results


class Comparison:
    def __init__(self):
        self.checked = 0
        self.unchecked = {}  # {namespace}root of parts without schema -> count
        self.new_errors = []  # (part, message, line, part is new)
        self.new_parts = []  # XML parts with no input part of the same name
        self.gone_parts = []  # input XML parts the output has not


def compare(saved, original):
    """Errors of the saved parts that the same-named original part does not have."""
    result = Comparison()
    for name, part in sorted(saved.items()):
        if part.errors is None:
            result.unchecked[part.root] = result.unchecked.get(part.root, 0) + 1
            continue
        result.checked += 1
        before = original.get(name)
        if before is None:
            result.new_parts.append(name)
        known = (before.errors or {}) if before is not None else {}
        for message, line in sorted(part.errors.items(), key=lambda kv: (kv[1] or 0, kv[0])):
            if message not in known:
                result.new_errors.append((name, message, line, before is None))
    result.gone_parts = sorted(set(original) - set(saved))
    return result


def is_package(path):
    # By content: a compound file can hold a zip's directory and pass zipfile.is_zipfile.
    with open(path, "rb") as f:
        return f.read(4) == b"PK\x03\x04"


# --- corpus run -------------------------------------------------------------------------------

# A Windows program under Wine names the files of this system's root as drive Z:.
RUNNER = []


def local_path(name):
    if not RUNNER:
        return name
    if len(name) > 2 and name[1] == ":":
        if name[0].upper() != "Z":
            raise SystemExit(f"a path outside this system's files: {name}")
        name = name[2:]
    return name.replace("\\", "/")


def run_cli(cli, decks, extra, scratch, jobs):
    for sub in ("registry", "config", "out"):
        (scratch / sub).mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, QUARNEL_REGISTRY_DIR=str(scratch / "registry"),
               XDG_CONFIG_HOME=str(scratch / "config"), QT_QPA_PLATFORM="offscreen")
    report = scratch / "report.json"
    cmd = RUNNER + [str(cli), "--output-dir", str(scratch / "out"), "--overwrite", "--report", str(report)]
    if jobs:
        cmd += ["--jobs", str(jobs)]
    cmd += extra + ["--"] + [str(d) for d in decks]
    proc = subprocess.run(cmd, env=env, stdin=subprocess.DEVNULL, capture_output=True)
    (scratch / "cli.log").write_bytes(proc.stdout + b"\n--- stderr\n" + proc.stderr)
    if proc.returncode not in (0, 1) or not report.exists():
        sys.stdout.write(proc.stdout.decode(errors="replace")[-4000:])
        sys.stdout.write(proc.stderr.decode(errors="replace")[-4000:])
        raise SystemExit(f"quarnel-cli exited {proc.returncode} without a report")
    entries = json.loads(report.read_text())
    for entry in entries:
        for key in ("input", "output"):
            if entry.get(key):
                entry[key] = local_path(entry[key])
    return entries


def corpus_run(args):
    corpus, schema_dir = Path(args.corpus), Path(args.schemas)
    if not corpus.is_dir():
        print(f"SKIP: no corpus at {corpus}")
        return SKIP
    if not all((schema_dir / rel).is_file() for rel in SCHEMA_FILES):
        print(f"SKIP: schemas incomplete at {schema_dir}")
        return SKIP
    suffixes = DECK_SUFFIXES + ((".ppt",) if args.with_ppt else ())
    decks = sorted(p for p in corpus.iterdir() if p.suffix.lower() in suffixes)
    if args.match:
        decks = [d for d in decks if any(m in d.name for m in args.match.split(","))]
    if not decks:
        print(f"SKIP: no decks in {corpus}")
        return SKIP

    started = time.monotonic()
    schemas = Schemas(schema_dir)
    inputs = {}
    failures = 0
    scratch_root = Path(tempfile.mkdtemp(prefix="quarnel-schema-"))
    try:
        for setting in args.settings.split(","):
            t0 = time.monotonic()
            report = run_cli(args.cli, decks, SETTINGS[setting], scratch_root / setting, args.jobs)
            t_save = time.monotonic() - t0
            written, no_gain, failed, parts, unchecked, bad = 0, 0, [], 0, {}, []
            for entry in report:
                deck = Path(entry["input"]).name
                if not entry.get("output"):
                    if entry.get("result") in NOTHING_TO_GAIN:
                        no_gain += 1
                    else:
                        failed.append(entry)
                    continue
                written += 1
                source = entry["input"]
                converted = not is_package(source)
                if source not in inputs:
                    inputs[source] = {} if converted else check_package(schemas, source)
                found = compare(check_package(schemas, entry["output"]), inputs[source])
                if converted:
                    # A binary deck has no parts to compare with: all are new. The converter writes
                    # percentages as PowerPoint does, which the 2016 schemas refuse; those alone pass.
                    found.new_parts = []
                    found.new_errors = [e for e in found.new_errors if not PERCENT_AS_THOUSANDTHS.search(e[1])]
                parts += found.checked
                for root, n in found.unchecked.items():
                    unchecked[root] = unchecked.get(root, 0) + n
                if found.new_parts:
                    print(f"  [{setting}] {deck}: XML parts not in the input: {', '.join(found.new_parts)}")
                if found.gone_parts:
                    print(f"  [{setting}] {deck}: input XML parts not in the output: {', '.join(found.gone_parts)}")
                for part, message, line, new_part in found.new_errors:
                    bad.append(f"  NEW [{setting}] {deck} {part}{' (part not in the input)' if new_part else ''}"
                               f" line {line}: {message}")
            print(f"[{setting}] {len(report)} decks: {written} saved, {no_gain} not written (nothing to gain),"
                  f" {len(failed)} not saved; {parts} XML parts validated, {len(bad)} new errors"
                  f" (save {t_save:.0f} s, total so far {time.monotonic() - started:.0f} s)")
            by_ns = {}
            for root, n in sorted(unchecked.items()):
                by_ns.setdefault(ns_of(root), []).append(f"{etree.QName(root).localname} x{n}")
            for ns, roots in sorted(by_ns.items()):
                print(f"  not validated, no schema for {ns or 'no namespace'}: {', '.join(roots)}")
            if failed:
                # Not this test's fault to judge, but shown with the log so that a run says why.
                print("  not saved: " + ", ".join(f"{Path(e['input']).name} ({e.get('result')})" for e in failed))
                log = (scratch_root / setting / "cli.log").read_text(errors="replace")
                for block in log.split("\n\n"):
                    if any(f"▼{e['input']}" in block for e in failed):
                        print("    " + block.strip().replace("\n", "\n    "))
            for line in bad:
                print(line)
            failures += len(bad)
    finally:
        if args.keep:
            print(f"outputs kept in {scratch_root}")
        else:
            shutil.rmtree(scratch_root, ignore_errors=True)
    print(f"{'FAIL' if failures else 'OK'}: {failures} new schema errors, {time.monotonic() - started:.0f} s")
    return 1 if failures else 0


# --- self-test --------------------------------------------------------------------------------

def rewrite(src, dst, changes):
    """Copies a package, replacing parts by name (bytes, or a function of the old bytes)."""
    with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, "w", zipfile.ZIP_DEFLATED) as zout:
        for item in zin.infolist():
            data = zin.read(item.filename)
            if item.filename in changes:
                change = changes[item.filename]
                data = change(data) if callable(change) else change
            zout.writestr(item, data)
        for name, change in changes.items():
            if name not in zin.namelist():
                zout.writestr(name, change)


def edit_xml(fn):
    def apply(data):
        root = etree.fromstring(data, XML_PARSER)
        fn(root)
        return etree.tostring(root, xml_declaration=True, encoding="UTF-8", standalone=True)
    return apply


def shape_props_first(root):
    """Moves the first shape's p:spPr in front of its non-visual properties."""
    shape = next(e for e in root.iter() if e.find(f"{{{P}}}spPr") is not None
                 and etree.QName(e).localname in ("sp", "pic", "cxnSp"))
    shape.insert(0, shape.find(f"{{{P}}}spPr"))


def self_test(args):
    schema_dir = Path(args.schemas)
    if not all((schema_dir / rel).is_file() for rel in SCHEMA_FILES):
        print(f"SKIP: schemas incomplete at {schema_dir}")
        return SKIP
    schemas = Schemas(schema_dir)
    tmp = Path(tempfile.mkdtemp(prefix="quarnel-schema-selftest-"))
    failed = []

    def expect(label, condition, detail=""):
        print(f"{'ok  ' if condition else 'FAIL'} {label}{': ' + detail if detail and not condition else ''}")
        if not condition:
            failed.append(label)

    try:
        source = Path(args.sample)
        report = run_cli(args.cli, [source], [], tmp / "save", 1)
        saved = Path(report[0]["output"]) if report and report[0].get("output") else source
        original = check_package(schemas, source)
        slide = "ppt/slides/slide1.xml"

        clean = compare(check_package(schemas, saved), original)
        expect("the saved sample adds no error", not clean.new_errors, str(clean.new_errors))
        expect("slides, rels and content types are validated",
               clean.checked >= 10 and {slide, "[Content_Types].xml", "_rels/.rels"} <= set(original)
               and all(original[n].errors is not None for n in (slide, "[Content_Types].xml", "_rels/.rels")))

        broken = tmp / "broken.pptx"
        rewrite(saved, broken, {slide: edit_xml(shape_props_first)})
        found = compare(check_package(schemas, broken), original)
        parts = {part for part, *_ in found.new_errors}
        expect("p:spPr moved before the non-visual properties is a new error of that slide only",
               parts == {slide} and any("spPr" in m for _, m, *_ in found.new_errors), str(found.new_errors))

        # The same fault in input and output, moved down a few lines, is not new.
        both_in = tmp / "both-in.pptx"
        rewrite(source, both_in, {slide: edit_xml(shape_props_first)})
        shifted = lambda data: edit_xml(shape_props_first)(data).replace(b"?>", b"?>\n\n\n", 1)
        both_out = tmp / "both-out.pptx"
        rewrite(saved, both_out, {slide: shifted})
        found = compare(check_package(schemas, both_out), check_package(schemas, both_in))
        expect("an error the input part has already is not counted", not found.new_errors, str(found.new_errors))

        # A part the input has not: all its errors count.
        extra = tmp / "extra.pptx"
        bad_slide = edit_xml(shape_props_first)(zipfile.ZipFile(saved).read(slide))
        rewrite(saved, extra, {"ppt/slides/slide99.xml": bad_slide})
        found = compare(check_package(schemas, extra), original)
        expect("a broken new part counts, marked as new",
               {(p, n) for p, _, _, n in found.new_errors} == {("ppt/slides/slide99.xml", True)},
               str(found.new_errors))

        def bad_rel(root):
            root[0].set("Extra", "1")
        rels = tmp / "rels.pptx"
        rewrite(saved, rels, {"_rels/.rels": edit_xml(bad_rel)})
        found = compare(check_package(schemas, rels), original)
        expect("a rels part is validated", {p for p, *_ in found.new_errors} == {"_rels/.rels"}, str(found.new_errors))

        x14 = "http://schemas.microsoft.com/office/powerpoint/2010/main"

        def wrap(fallback_broken, declare_ignorable, understood_choice=False):
            """Puts the slide's second shape in alternate content: a choice needing p14 and
            the drawing namespace, then optionally one needing only the drawing namespace."""
            def apply(root):
                if declare_ignorable:
                    root.set(f"{{{MC}}}Ignorable", "p14")
                tree = root.find(f"{{{P}}}cSld/{{{P}}}spTree")
                shape = tree[2]
                shape.set(f"{{{x14}}}flag", "1")
                alternate = etree.Element(f"{{{MC}}}AlternateContent")
                choice = etree.SubElement(alternate, f"{{{MC}}}Choice", Requires="p14 a")
                etree.SubElement(choice, f"{{{x14}}}shape")
                if understood_choice:
                    etree.SubElement(alternate, f"{{{MC}}}Choice", Requires="a").append(deepcopy(shape))
                fallback = etree.SubElement(alternate, f"{{{MC}}}Fallback")
                tree.replace(shape, alternate)
                fallback.append(shape)
                etree.SubElement(tree, f"{{{x14}}}extra")
                if fallback_broken:
                    shape.insert(0, shape.find(f"{{{P}}}spPr"))
            return apply

        def nsmapped(fn):
            # Declares the extension namespaces on the root, where writers put them.
            def apply(data):
                root = etree.fromstring(data, XML_PARSER)
                fresh = etree.Element(root.tag, nsmap={**root.nsmap, "mc": MC, "p14": x14})
                fresh.attrib.update(root.attrib)
                fresh.extend(list(root))
                fn(fresh)
                return etree.tostring(fresh, xml_declaration=True, encoding="UTF-8", standalone=True)
            return apply

        for change, expect_errors, label in (
                (wrap(False, True), False, "alternate content and ignorable markup resolve to a valid slide"),
                (wrap(True, True), True, "a broken fallback is validated"),
                (wrap(True, True, True), False, "a choice needing only known namespaces wins over the fallback"),
                (wrap(False, False), True, "undeclared extension markup is an error")):
            mce = tmp / "mce.pptx"
            rewrite(saved, mce, {slide: nsmapped(change)})
            found = compare(check_package(schemas, mce), original)
            parts = {p for p, *_ in found.new_errors}
            expect(label, parts == ({slide} if expect_errors else set()), str(found.new_errors))

        def frame(content_tag):
            """Adds a graphic frame whose graphic data holds one element of the given name."""
            def apply(root):
                a = "http://schemas.openxmlformats.org/drawingml/2006/main"
                tree = root.find(f"{{{P}}}cSld/{{{P}}}spTree")
                shape = etree.SubElement(tree, f"{{{P}}}graphicFrame")
                nv = etree.SubElement(shape, f"{{{P}}}nvGraphicFramePr")
                etree.SubElement(nv, f"{{{P}}}cNvPr", id="90", name="frame")
                etree.SubElement(nv, f"{{{P}}}cNvGraphicFramePr")
                etree.SubElement(nv, f"{{{P}}}nvPr")
                xfrm = etree.SubElement(shape, f"{{{P}}}xfrm")
                etree.SubElement(xfrm, f"{{{a}}}off", x="0", y="0")
                etree.SubElement(xfrm, f"{{{a}}}ext", cx="1", cy="1")
                data = etree.SubElement(etree.SubElement(shape, f"{{{a}}}graphic"), f"{{{a}}}graphicData",
                                        uri="urn:x-test")
                etree.SubElement(data, content_tag, spid="_x0000_s1")
            return apply

        compat = "{http://schemas.openxmlformats.org/drawingml/2006/compatibility}legacyDrawing"
        for tag, expect_errors, label in (
                (compat, False, "graphic data of a namespace without schema is left alone"),
                (f"{{{P}}}bogus", True, "graphic data of a known namespace is validated")):
            gd = tmp / "graphicdata.pptx"
            rewrite(saved, gd, {slide: edit_xml(frame(tag))})
            found = compare(check_package(schemas, gd), original)
            parts = {p for p, *_ in found.new_errors}
            expect(label, parts == ({slide} if expect_errors else set()), str(found.new_errors))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"{'FAIL' if failed else 'OK'}: {len(failed)} self-test checks failed")
    return 1 if failed else 0


def main():
    here = Path(__file__).resolve().parent
    top = here.parent.parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="quarnel-cli")
    parser.add_argument("--runner", default="", help="a command that runs the CLI (a Windows one: Wine)")
    parser.add_argument("--corpus", default=str(top.parent / "shared" / "corpus"))
    parser.add_argument("--schemas", default=str(top.parent / "shared" / "schemas"))
    parser.add_argument("--settings", default="default,objects", help="of: " + ",".join(SETTINGS))
    parser.add_argument("--match", help="only decks whose names contain one of these, comma-separated")
    parser.add_argument("--with-ppt", action="store_true", help="binary .ppt decks too (slow)")
    parser.add_argument("--jobs", type=int, default=0, help="quarnel-cli --jobs (default: its own)")
    parser.add_argument("--keep", action="store_true", help="keep the outputs")
    parser.add_argument("--self-test", action="store_true", help="check the checker on the sample deck")
    parser.add_argument("--sample", default=str(top / "samples" / "sample.pptx"))
    args = parser.parse_args()
    RUNNER[:] = shlex.split(args.runner)
    return self_test(args) if args.self_test else corpus_run(args)


if __name__ == "__main__":
    sys.exit(main())
