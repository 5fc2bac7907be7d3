#!/usr/bin/python3
"""Compression benchmark over the .pptx decks of a corpus folder.

Runs quarnel-cli with default settings (fresh settings store), LibreOffice's re-save, the npm
package pptx-image-compressor (max size 1600, quality 75) and a lossless repack (jpegoptim
--all-progressive and optipng -o2 on the pictures, every entry re-zipped at deflate 9, [Content_Types].xml
first) on the same files, and prints one table:
bytes in/out, ratio, files changed, median seconds per file, per-slide SSIM of the 96 dpi page
renderings against the input (mean and minimum), each slide's worst tile (the mean of the 7-pixel
SSIM map over 32 x 32 pixel squares, minimum over the slide: page SSIM hides a damaged picture that
a local measure shows), the same worst tile of poppler's Splash rendering (see fidelity.py for why
the pages are rasterised by cairo) and structural regressions of animation, build list, picture hyperlinks and
connector glue. The worst slides follow the table with their tile's top-left pixel. After the table
comes the bar Quarnel is held to: the smallest out/in of a peer whose run is intact (no failed deck,
no structural regression, no slide with a tile under 0.90); a peer that blackens a slide or fails on
a deck sets no ratio to beat. Inputs are copied; nothing in the corpus is written.

    /usr/bin/python3 bench/compress/run_bench.py   (the Debian python with python3-pil, python3-numpy)
    [--cli build-g/cli/quarnel-cli] [--corpus DIR] [--limit N] [--match NAME,...] [--tools quarnel,lossless] [--slides-csv FILE]
    [--quarnel-args "--file-size 10 --expect-rate 95 --group-size 10 --objects"]

The slides CSV has no header; its columns are deck number, deck file, slide, tool, SSIM, worst tile,
the worst tile's left and top pixel, and the worst tile of the Splash rendering.
"""

import argparse
import glob
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import fidelity  # noqa: E402
import structure  # noqa: E402

REPO = os.path.dirname(os.path.dirname(HERE))
NPM_PACKAGE = "pptx-image-compressor"


def find_cli(explicit):
    if explicit:
        return os.path.abspath(explicit)
    found = sorted(glob.glob(os.path.join(REPO, "build*", "cli", "quarnel-cli")), key=os.path.getmtime)
    if not found:
        sys.exit("quarnel-cli not found; build it or pass --cli")
    return found[-1]


def ensure_npm_tool():
    main = os.path.join(HERE, "node_modules", NPM_PACKAGE, "main.js")
    if not os.path.exists(main):
        subprocess.run(["npm", "install", "--no-save", "--no-audit", "--no-fund", "--prefix", HERE, NPM_PACKAGE],
                       check=True, stdout=subprocess.DEVNULL)
    return main


def timed(cmd, timeout, **kw):
    start = time.monotonic()
    try:
        proc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout, **kw)
        ok = proc.returncode == 0
    except subprocess.TimeoutExpired:
        ok = False
    return ok, time.monotonic() - start


def run_quarnel(cli, extra_args, src, outdir, env):
    os.makedirs(outdir, exist_ok=True)
    ok, secs = timed([cli] + extra_args + ["--overwrite", "--output-dir", outdir, src], 900, env=env)
    outputs = [p for p in glob.glob(os.path.join(outdir, "*")) if p.lower().endswith((".pptx", ".pptm"))]
    return (outputs[0] if outputs else None), secs


def run_libreoffice(src, outdir, profile):
    os.makedirs(outdir, exist_ok=True)
    ok, secs = timed(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", "pptx",
                      "--outdir", outdir, src], 600)
    out = os.path.join(outdir, os.path.splitext(os.path.basename(src))[0] + ".pptx")
    return (out if os.path.exists(out) else None), secs


def run_npm(main_js, src, workdir):
    os.makedirs(workdir, exist_ok=True)
    copy = os.path.join(workdir, os.path.basename(src))
    shutil.copy2(src, copy)
    ok, secs = timed(["node", main_js, copy, "1600", "75"], 600, cwd=workdir)
    base, ext = os.path.splitext(copy)
    out = base + "_compressed" + ext
    return (out if os.path.exists(out) else None), secs


TILE_FLOOR = 0.90


def print_worst_slides(stats, tools, count):
    """The slides with the lowest worst tile per tool, and for Quarnel those under the floor where the
    npm tool stays above it (local damage the peer does not share)."""
    by_slide = {tool: {(name, i): v for name, i, v in stats[tool]["slides"]} for tool in tools}
    for tool in tools:
        ranked = sorted(stats[tool]["slides"], key=lambda r: r[2].tile)[:count]
        ranked = [r for r in ranked if r[2].tile < 1.0]
        if not ranked:
            continue
        print()
        print("Worst slides, %s (worst tile, its top-left pixel at 96 dpi, page SSIM):" % tool)
        for name, i, v in ranked:
            print("  %.4f  (%4d,%4d)  SSIM %.4f  %s slide %d" % (v.tile, v.tile_x, v.tile_y, v.ssim, name, i))
    if "quarnel" in tools and "npm" in tools:
        for label, tile_of, where in (("", lambda v: v.tile, lambda v: (v.tile_x, v.tile_y)),
                                      (" (Splash rendering)", lambda v: v.splash_tile,
                                       lambda v: (v.splash_x, v.splash_y))):
            own = [(key, v) for key, v in by_slide["quarnel"].items() if tile_of(v) < TILE_FLOOR]
            alone = [(key, v) for key, v in own
                     if key in by_slide["npm"] and tile_of(by_slide["npm"][key]) >= TILE_FLOOR]
            print()
            print("quarnel slides with a tile under %.2f where npm stays above it%s: %d" % (
                TILE_FLOOR, label, len(alone)))
            for (name, i), v in sorted(alone, key=lambda r: tile_of(r[1])):
                print("  %.4f  (%4d,%4d)  npm %.4f  %s slide %d" % (tile_of(v), *where(v),
                                                                     tile_of(by_slide["npm"][(name, i)]), name, i))


def intact(s, fidelity_measured):
    """Whether a tool's run left every deck whole: none that is a package failed, no structural
    regression and, when the pages were compared, no slide with a tile under the floor. Only such a run sets a ratio to beat."""
    if s["failed_readable"] or any(s["issues"].values()):
        return False
    return not fidelity_measured or all(v.tile >= TILE_FLOOR for _, _, v in s["slides"])


def print_bar(stats, tools, fidelity_measured):
    """The bar Quarnel is held to: the smallest total out/in of a peer whose run is intact. A peer that
    blackens a slide or fails on a deck reaches its ratio by losing what the user made, so it sets none."""
    ratio = {t: stats[t]["out"] / stats[t]["in"] for t in tools if stats[t]["in"]}
    peers = [t for t in tools if t != "quarnel" and t in ratio]
    if not peers:
        return
    print()
    whole = [t for t in peers if intact(stats[t], fidelity_measured)]
    for t in peers:
        print("peer %-12s out/in %.3f  %s" % (t, ratio[t], "intact" if t in whole else "not intact: sets no bar"))
    if not whole:
        print("the bar: none (no peer left every deck intact)")
        return
    best = min(whole, key=lambda t: ratio[t])
    line = "the bar: %s at %.3f" % (best, ratio[best])
    if "quarnel" in ratio:
        line += "; quarnel %.3f (%s)" % (ratio["quarnel"], "below the bar" if ratio["quarnel"] < ratio[best]
                                         else "NOT below the bar")
    print(line)


def run_lossless(src, workdir):
    """The lossless peer: every JPEG and PNG optimised in place by the standard tools, then the package
    zipped again at the strongest zlib level in its original entry order."""
    import zipfile
    start = time.monotonic()
    unpacked = os.path.join(workdir, "parts")
    os.makedirs(unpacked, exist_ok=True)
    try:
        with zipfile.ZipFile(src) as z:
            names = [i.filename for i in z.infolist() if not i.is_dir()]
            z.extractall(unpacked)
    except zipfile.BadZipFile:
        return None, time.monotonic() - start  # not a package: the peer fails on it
    jpegs = [os.path.join(unpacked, n) for n in names if n.lower().endswith((".jpg", ".jpeg", ".jpe"))]
    pngs = [os.path.join(unpacked, n) for n in names if n.lower().endswith(".png")]
    for batch in range(0, len(jpegs), 50):
        subprocess.run(["jpegoptim", "-q", "--all-progressive"] + jpegs[batch:batch + 50],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    for batch in range(0, len(pngs), 50):
        subprocess.run(["optipng", "-quiet", "-o2"] + pngs[batch:batch + 50],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    out = os.path.join(workdir, os.path.basename(src))
    first = [n for n in names if n == "[Content_Types].xml"]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for n in first + [n for n in names if n != "[Content_Types].xml"]:
            z.write(os.path.join(unpacked, n), n)
    shutil.rmtree(unpacked, ignore_errors=True)
    return out, time.monotonic() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli")
    ap.add_argument("--corpus", default=os.path.join(os.path.dirname(REPO), "shared", "corpus"))
    ap.add_argument("--limit", type=int, default=0)
    ap.add_argument("--match", default="", help="only decks whose name contains one of these (comma-separated)")
    ap.add_argument("--no-fidelity", action="store_true")
    ap.add_argument("--max-minutes", type=float, default=0, help="take no new deck after this long")
    ap.add_argument("--keep", action="store_true", help="keep the temporary folder, page renderings included")
    ap.add_argument("--tools", default="quarnel,libreoffice,npm,lossless", help="comma-separated subset of the tools")
    ap.add_argument("--slides-csv", help="write every rendered slide's SSIM and worst tile here")
    ap.add_argument("--quarnel-args", default="", help="further quarnel-cli options, one shell-quoted string")
    ap.add_argument("--worst", type=int, default=10, help="how many worst slides to list per tool")
    args = ap.parse_args()

    cli = find_cli(args.cli)
    quarnel_args = shlex.split(args.quarnel_args)
    files = sorted(p for p in glob.glob(os.path.join(args.corpus, "*.pptx")))
    if args.match:
        files = [f for f in files if any(m and m in os.path.basename(f) for m in args.match.split(","))]
    if args.limit:
        files = files[: args.limit]
    if not files:
        sys.exit("no .pptx files in " + args.corpus)
    tools = [t for t in ["quarnel", "libreoffice", "npm", "lossless"] if t in args.tools.split(",")]
    if not tools:
        sys.exit("--tools names none of quarnel, libreoffice, npm, lossless")
    npm_main = ensure_npm_tool() if "npm" in tools else None
    slides_csv = open(args.slides_csv, "w") if args.slides_csv else None

    tmp = tempfile.mkdtemp(prefix="quarnel-bench-")
    profile = os.path.join(tmp, "lo-profile")
    env = dict(os.environ, QUARNEL_REGISTRY_DIR=os.path.join(tmp, "registry"), XDG_CONFIG_HOME=os.path.join(tmp, "cfg"))
    stats = {t: {"in": 0, "out": 0, "changed": 0, "secs": [], "ssim": [], "issues": {}, "failed": 0, "failed_readable": 0,
                 "slides": []} for t in tools}

    started = time.monotonic()
    done = 0
    for n, src_orig in enumerate(files, 1):
        if args.max_minutes and time.monotonic() - started > args.max_minutes * 60:
            print("time budget spent; %d of %d decks measured" % (done, len(files)))
            break
        done += 1
        name = os.path.basename(src_orig)
        src = os.path.join(tmp, "in", "%03d" % n, name)
        os.makedirs(os.path.dirname(src))
        shutil.copy2(src_orig, src)
        size_in = os.path.getsize(src)
        runners = {
            "quarnel": lambda: run_quarnel(cli, quarnel_args, src, os.path.join(tmp, "quarnel", "%03d" % n), env),
            "libreoffice": lambda: run_libreoffice(src, os.path.join(tmp, "lo", "%03d" % n), profile),
            "npm": lambda: run_npm(npm_main, src, os.path.join(tmp, "npm", "%03d" % n)),
            "lossless": lambda: run_lossless(src, os.path.join(tmp, "lossless", "%03d" % n)),
        }
        outs = {tool: runners[tool]() for tool in tools}
        resolved = {}
        line = ["%-60s %9d" % (name[:60], size_in)]
        for tool in tools:
            out, secs = outs[tool]
            s = stats[tool]
            s["in"] += size_in
            s["secs"].append(secs)
            if tool == "quarnel" and out is None:
                out = src  # nothing replaced: the deck stays as it is
            elif out is None:
                s["failed"] += 1
                # A file that is no package at all is no tool's failure.
                s["failed_readable"] += zipfile.is_zipfile(src)
                s["out"] += size_in
                line.append("%s: failed" % tool)
                continue
            size_out = os.path.getsize(out)
            s["out"] += size_out
            changed = out != src
            s["changed"] += changed
            if changed:
                resolved[tool] = out
                for key, value in structure.regressions(src, out).items():
                    s["issues"][key] = s["issues"].get(key, 0) + value
            line.append("%s %d (%.1fs)" % (tool, size_out, secs))
        if not args.no_fidelity:
            # One office start renders the input and every changed output of this deck.
            both = fidelity.render_many_with(dict(input=src, **resolved), os.path.join(tmp, "png", "%03d" % n),
                                             profile, ("cairo", "splash"))
            pages, splash = both["cairo"], both["splash"]
            if pages["input"]:
                tiles = []
                for tool in tools:
                    if tool in resolved:
                        values = fidelity.deck_fidelity(pages["input"], pages[tool], splash["input"], splash[tool])
                        if slides_csv:
                            for i, v in enumerate(values, 1):
                                slides_csv.write("%03d,%s,%d,%s,%.5f,%.5f,%d,%d,%.5f\n" % (
                                    n, name, i, tool, v.ssim, v.tile, v.tile_x, v.tile_y, v.splash_tile))
                            slides_csv.flush()
                    elif outs[tool][0] is not None or tool == "quarnel":
                        values = [fidelity.UNCHANGED] * len(pages["input"])
                    else:
                        continue
                    stats[tool]["ssim"].extend(v.ssim for v in values)
                    stats[tool]["slides"].extend((name, i, v) for i, v in enumerate(values, 1))
                    tiles.append("%s tile %.3f" % (tool, min(v.tile for v in values)))
                line.extend(tiles)
        print("  ".join(line), flush=True)
        if not args.keep:
            fidelity.cleanup(os.path.join(tmp, "png"))

    print()
    print("Decks: %d (.pptx of %s)" % (done, args.corpus))
    if quarnel_args:
        print("quarnel-cli options: %s" % " ".join(quarnel_args))
    header = ("tool", "bytes in", "bytes out", "out/in", "changed", "failed", "median s", "SSIM mean", "SSIM min",
              "worst tile", "tiles < %.2f" % TILE_FLOOR, "Splash: worst tile", "tiles < %.2f" % TILE_FLOOR,
              "struct regressions")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for tool in tools:
        s = stats[tool]
        ratio = s["out"] / s["in"] if s["in"] else 0
        mean = "%.4f" % statistics.mean(s["ssim"]) if s["ssim"] else "-"
        low = "%.4f" % min(s["ssim"]) if s["ssim"] else "-"
        issues = ", ".join("%s %d" % (k, v) for k, v in sorted(s["issues"].items()) if v) or "none"
        tiles = []
        for tile_values in ([v.tile for _, _, v in s["slides"]], [v.splash_tile for _, _, v in s["slides"]]):
            tiles.append("%.4f" % min(tile_values) if tile_values else "-")
            tiles.append("%d" % sum(t < TILE_FLOOR for t in tile_values) if tile_values else "-")
        print("| %s | %d | %d | %.3f | %d | %d | %.2f | %s | %s | %s | %s | %s | %s | %s |" % (
            tool, s["in"], s["out"], ratio, s["changed"], s["failed"], statistics.median(s["secs"]), mean, low,
            *tiles, issues))
    print_bar(stats, tools, fidelity_measured=not args.no_fidelity)
    print_worst_slides(stats, tools, args.worst)
    if args.keep:
        print("kept", tmp)
    else:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
