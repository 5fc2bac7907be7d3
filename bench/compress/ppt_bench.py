#!/usr/bin/python3
"""The .ppt decks of a corpus folder: quarnel-cli (which converts them with LibreOffice, compresses
and writes .pptx) against LibreOffice's own .ppt -> .pptx conversion as the peer.

Per deck: bytes in, bytes out and seconds of both; page counts of the input, the peer and our
output as LibreOffice renders them; per slide the SSIM of the .ppt's rendering against each
output, and the worst 32-pixel tile. A slide fails when our SSIM is more than 0.01 below the
peer's, or our worst tile is more than 0.05 below the peer's. Inputs are copied; nothing in the
corpus is written.

    nice /usr/bin/python3 bench/compress/ppt_bench.py [--cli build/cli/quarnel-cli] [--corpus DIR]
"""

import argparse
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import fidelity  # noqa: E402
from run_bench import find_cli, timed  # noqa: E402

REPO = os.path.dirname(os.path.dirname(HERE))
TILE = 32


def worst_tile(path_a, path_b):
    """The lowest SSIM over the 32-pixel tiles of two renderings of one slide."""
    a = np.asarray(Image.open(path_a).convert("L"), dtype=np.float64)
    b_img = Image.open(path_b).convert("L")
    if b_img.size != (a.shape[1], a.shape[0]):
        b_img = b_img.resize((a.shape[1], a.shape[0]), Image.BILINEAR)
    b = np.asarray(b_img, dtype=np.float64)
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    worst = 1.0
    for y in range(0, a.shape[0] - TILE + 1, TILE):
        for x in range(0, a.shape[1] - TILE + 1, TILE):
            p, q = a[y:y + TILE, x:x + TILE], b[y:y + TILE, x:x + TILE]
            mp, mq = p.mean(), q.mean()
            vp, vq = p.var(), q.var()
            cov = ((p - mp) * (q - mq)).mean()
            s = ((2 * mp * mq + c1) * (2 * cov + c2)) / ((mp * mp + mq * mq + c1) * (vp + vq + c2))
            worst = min(worst, s)
    return worst


def format_row(r):
    ours = r["q_out"] or r["in"]
    lo = r["lo_out"]
    return "| %s | %d | %s | %.3f | %.1f | %s | %s | %.1f | %d/%d/%d/%d | %s | %s | %.4f | %d |" % (
        r["name"], r["in"], r["q_out"] if r["q_out"] else "(none)", ours / r["in"], r["q_secs"],
        lo if lo else "(failed)", "%.3f" % (lo / r["in"]) if lo else "-", r["lo_secs"], r["pages_in"],
        r["walked"], r["q_pages"], r["lo_pages"],
        "%.4f (%.4f)" % (r["q_ssim"], r["q_min"]) if "q_ssim" in r else "-",
        "%.4f (%.4f)" % (r["lo_ssim"], r["lo_min"]) if "lo_ssim" in r else "-", r["drop"], r["tiles"])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli")
    ap.add_argument("--corpus", default=os.path.join(os.path.dirname(REPO), "shared", "corpus"))
    ap.add_argument("--keep", action="store_true")
    ap.add_argument("--match", default="", help="only decks whose name contains one of these (comma-separated)")
    ap.add_argument("--max-minutes", type=float, default=0, help="take no new deck after this long")
    args = ap.parse_args()
    cli = find_cli(args.cli)
    files = sorted(glob.glob(os.path.join(args.corpus, "*.ppt")))
    if args.match:
        files = [f for f in files if any(m in os.path.basename(f) for m in args.match.split(","))]
    if not files:
        sys.exit("no .ppt files in " + args.corpus)

    tmp = tempfile.mkdtemp(prefix="quarnel-ppt-bench-")
    profile = os.path.join(tmp, "lo-profile")
    env = dict(os.environ, QUARNEL_REGISTRY_DIR=os.path.join(tmp, "registry"), XDG_CONFIG_HOME=os.path.join(tmp, "cfg"))
    rows = []
    totals = {"q": [0, 0, []], "lo": [0, 0, []]}
    ssims = {"q": [], "lo": []}
    failures = []
    started = time.monotonic()
    for n, original in enumerate(files, 1):
        if args.max_minutes and time.monotonic() - started > args.max_minutes * 60:
            print("time budget spent; %d of %d decks measured" % (n - 1, len(files)))
            break
        name = os.path.basename(original)
        work = os.path.join(tmp, "%02d" % n)
        src = os.path.join(work, "in", name)
        os.makedirs(os.path.dirname(src))
        shutil.copy2(original, src)
        size_in = os.path.getsize(src)

        q_dir = os.path.join(work, "q")
        os.makedirs(q_dir)
        start = time.monotonic()
        proc = subprocess.run([cli, "--overwrite", "--output-dir", q_dir, src], env=env, capture_output=True,
                              text=True, timeout=1200)
        q_secs = time.monotonic() - start
        q_outs = glob.glob(os.path.join(q_dir, "*.pp*"))
        q_out = q_outs[0] if q_outs else None
        closing = [line for line in proc.stdout.splitlines() if line.startswith("▲")]
        # Slides the engine walked ("   ﾍﾟｰｼﾞ i/N"): the converted deck's page count even when no output is kept.
        walked = [line.rsplit("/", 1)[-1] for line in proc.stdout.splitlines() if line.startswith("   ﾍﾟｰｼﾞ ")]

        lo_dir = os.path.join(work, "lo")
        ok, lo_secs = timed(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to",
                             "pptx", "--outdir", lo_dir, src], 600)
        lo_out = os.path.join(lo_dir, os.path.splitext(name)[0] + ".pptx")
        lo_out = lo_out if os.path.exists(lo_out) else None

        named = {"input": src}
        if lo_out:
            named["lo"] = lo_out
        if q_out:
            named["q"] = q_out
        pages = fidelity.render_many(named, os.path.join(work, "png"), profile)
        n_in = len(pages["input"])
        row = {"name": name, "in": size_in, "q_secs": q_secs, "lo_secs": lo_secs, "pages_in": n_in,
               "q_out": os.path.getsize(q_out) if q_out else None, "lo_out": os.path.getsize(lo_out) if lo_out else None,
               "q_pages": len(pages.get("q", [])), "lo_pages": len(pages.get("lo", [])),
               "result": closing[-1] if closing else "(no closing line)",
               "walked": int(walked[-1]) if walked else 0}
        totals["q"][0] += size_in
        totals["q"][1] += row["q_out"] or size_in
        totals["q"][2].append(q_secs)
        if lo_out:
            totals["lo"][0] += size_in
            totals["lo"][1] += row["lo_out"]
            totals["lo"][2].append(lo_secs)
        worst_drop = 0.0
        tile_losses = 0
        if lo_out and n_in and row["walked"] != n_in:
            failures.append("%s: %d pages in, the engine walked %d" % (name, n_in, row["walked"]))
        if q_out and lo_out and n_in:
            if row["q_pages"] != n_in:
                failures.append("%s: %d pages in, %d out" % (name, n_in, row["q_pages"]))
            q_values = fidelity.deck_ssim(pages["input"], pages["q"])
            lo_values = fidelity.deck_ssim(pages["input"], pages["lo"])
            ssims["q"].extend(q_values)
            ssims["lo"].extend(lo_values)
            for i, (qv, lv) in enumerate(zip(q_values, lo_values), 1):
                worst_drop = max(worst_drop, lv - qv)
                if qv < lv - 0.01:
                    failures.append("%s slide %d: SSIM %.4f vs LibreOffice %.4f" % (name, i, qv, lv))
                if i <= len(pages["q"]) and i <= len(pages["lo"]):
                    qt = worst_tile(pages["input"][i - 1], pages["q"][i - 1])
                    lt = worst_tile(pages["input"][i - 1], pages["lo"][i - 1])
                    if qt < lt - 0.05:
                        tile_losses += 1
                        failures.append("%s slide %d: worst tile %.3f vs LibreOffice %.3f" % (name, i, qt, lt))
            row["q_ssim"] = statistics.mean(q_values)
            row["lo_ssim"] = statistics.mean(lo_values)
            row["q_min"] = min(q_values)
            row["lo_min"] = min(lo_values)
        row["drop"] = worst_drop
        row["tiles"] = tile_losses
        rows.append(row)
        print("%-48s %s" % (name[:48], row["result"]), flush=True)
        print("   " + format_row(row), flush=True)
        if not args.keep:
            fidelity.cleanup(os.path.join(work, "png"))

    print()
    print("| deck | bytes in | ours out | ratio | s | LO out | LO ratio | LO s | pages in/walked/ours/LO | SSIM ours (min) "
          "| SSIM LO (min) | worst drop | tile losses |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print(format_row(r))
    for tool, label in (("q", "quarnel"), ("lo", "LibreOffice")):
        b_in, b_out, secs = totals[tool]
        if b_in:
            print("%s: %d -> %d bytes (%.3f), median %.1f s, slide SSIM mean %s" % (
                label, b_in, b_out, b_out / b_in, statistics.median(secs),
                "%.4f" % statistics.mean(ssims[tool]) if ssims[tool] else "-"))
    print("failures: %d" % len(failures))
    for f in failures:
        print("  " + f)
    if args.keep:
        print("kept", tmp)
    else:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
