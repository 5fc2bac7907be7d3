#!/usr/bin/python3
"""Size goals over the dev decks above 1 MB: quarnel-cli --target-size at 50 % and 25 % of each deck's
size, once with nothing allowed and once with --target-allow objects,media,fonts,layouts, against one
default run of the same deck.

For each goal and allowance it prints the share of decks that reached it, the mean slide SSIM and the
worst 32 x 32 tile of the results (LibreOffice rendering, cairo, as bench/compress does), and the time
against the default run. A deck that did not reach its goal is listed with the smallest size its allowed
steps can give (all of them at once), so that "could not" and "did not" can be told apart.
Nothing is asserted; the numbers are read.

    /usr/bin/python3 bench/goal/run_goal_bench.py [--cli build/cli/quarnel-cli] [--corpus DIR]
        [--min-mb 1] [--no-fidelity] [--limit N]
"""

import argparse
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "compress"))
import fidelity  # noqa: E402
from run_bench import find_cli  # noqa: E402

GOALS = (0.50, 0.25)
ALLOWANCES = (("nothing", []), ("all", ["--target-allow", "objects,media,fonts,layouts"]))


def run(cli, args, src, outdir, work):
    os.makedirs(outdir, exist_ok=True)
    report = os.path.join(outdir, "report.json")
    env = dict(os.environ, QUARNEL_REGISTRY_DIR=os.path.join(work, "registry"),
               XDG_CONFIG_HOME=os.path.join(work, "config"))
    start = time.monotonic()
    subprocess.run([cli] + args + ["--threads", "0", "--overwrite", "--output-dir", outdir, "--report", report,
                                   src], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, timeout=1800)
    secs = time.monotonic() - start
    try:
        with open(report) as f:
            entry = json.load(f)[0]
    except (OSError, ValueError, IndexError):
        entry = {}
    out = entry.get("output") or None
    return out, secs, entry


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli")
    ap.add_argument("--corpus", default=os.path.join(os.path.dirname(os.path.dirname(HERE)), "..", "shared", "corpus"))
    ap.add_argument("--min-mb", type=float, default=1.0)
    ap.add_argument("--no-fidelity", action="store_true")
    ap.add_argument("--limit", type=int, default=0)
    args = ap.parse_args()
    cli = find_cli(args.cli)
    decks = sorted(p for p in glob.glob(os.path.join(args.corpus, "*.pptx"))
                   if os.path.getsize(p) > args.min_mb * 1024 * 1024)
    if args.limit:
        decks = decks[:args.limit]
    work = tempfile.mkdtemp(prefix="quarnel-goal-bench-")
    profile = os.path.join(work, "lo-profile")
    rows = {}  # (goal, allowance) -> list of per-deck dicts
    try:
        for n, src in enumerate(decks):
            name = os.path.basename(src)
            size = os.path.getsize(src)
            _, base_secs, base = run(cli, [], src, os.path.join(work, "%03d-default" % n), work)
            # The smallest each allowance can give: every one of its steps at once.
            strongest = ["--quality", "0", "--expect-rate", "95", "--file-size", "10"]
            floors = {}
            for label, extra in (("nothing", []), ("all", ["--objects", "--media", "--subset-fonts",
                                                           "--remove-unused-layouts"])):
                floor_out, _, _ = run(cli, strongest + extra, src, os.path.join(work, "%03d-floor-%s" % (n, label)),
                                      work)
                floors[label] = os.path.getsize(floor_out) if floor_out else size
            line = ["%-58s %7.0f KB default %.1fs" % (name[:58], size / 1024, base_secs)]
            for share in GOALS:
                goal = int(size * share)
                for label, allow in ALLOWANCES:
                    outdir = os.path.join(work, "%03d-%d-%s" % (n, share * 100, label))
                    out, secs, entry = run(cli, ["--target-size", "%dKB" % (goal // 1024)] + allow, src, outdir, work)
                    got = os.path.getsize(out) if out else size
                    record = dict(name=name, src=src, out=out, reached=bool(entry.get("reached")),
                                  step=entry.get("target_step", ""), ratio=secs / max(base_secs, 1e-3),
                                  got=got, goal=goal, floor=floors[label], ssim=[], tile=[])
                    if out and not args.no_fidelity:
                        both = fidelity.render_many_with(dict(input=src, output=out), os.path.join(outdir, "png"),
                                                         profile, ("cairo",))
                        pages = both["cairo"]
                        if pages["input"]:
                            values = fidelity.deck_fidelity(pages["input"], pages["output"])
                            record["ssim"] = [v.ssim for v in values]
                            record["tile"] = [v.tile for v in values]
                    rows.setdefault((share, label), []).append(record)
                    line.append("%d%%/%s %s %.0fKB %s %.1fx" % (share * 100, label, "ok" if record["reached"] else "--",
                                                               got / 1024, record["step"], record["ratio"]))
            print("  ".join(line), flush=True)
        print()
        print("%-14s %7s %9s %9s %10s %10s" % ("goal/allowed", "decks", "reached", "SSIM", "worst tile",
                                               "time x"))
        for (share, label), records in sorted(rows.items(), key=lambda kv: (-kv[0][0], kv[0][1])):
            reached = sum(r["reached"] for r in records)
            ssims = [s for r in records for s in r["ssim"]]
            tiles = [t for r in records for t in r["tile"]]
            times = sorted(r["ratio"] for r in records)
            print("%-14s %7d %8.0f%% %9s %10s %9.2fx (median; max %.2fx)" % (
                "%d%% %s" % (share * 100, label), len(records), 100.0 * reached / len(records),
                "%.4f" % (sum(ssims) / len(ssims)) if ssims else "-", "%.4f" % min(tiles) if tiles else "-",
                times[len(times) // 2], times[-1]))
            for r in records:
                if not r["reached"]:
                    could = r["floor"] <= r["goal"]
                    print("    not reached: %s goal %.0f KB, kept %.0f KB, strongest %.0f KB%s" % (
                        r["name"], r["goal"] / 1024, r["got"] / 1024, r["floor"] / 1024,
                        "  <-- could have" if could else ""))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
