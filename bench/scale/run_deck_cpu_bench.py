#!/usr/bin/python3
"""Processor time per deck: quarnel-cli against another build over every .pptx deck of the corpus,
one process per deck, the two builds alternating so that both see the same machine.

For each deck it prints the median wall and processor seconds (user + system of the process tree,
from os.wait4) of --repeat runs of each build, their ratio and whether the outputs match byte for
byte; then the totals and the median of the per-deck processor ratios. Nothing is asserted.

    /usr/bin/python3 bench/scale/run_deck_cpu_bench.py --cli build/cli/quarnel-cli --other OLD/quarnel-cli
        [--repeat 3] [--cli-args "--threads 0"] [--match NAME]
"""

import argparse
import glob
import os
import shlex
import shutil
import statistics
import tempfile

import run_scale_bench as scale


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", required=True, help="the build to measure")
    ap.add_argument("--other", required=True, help="the build to measure it against")
    ap.add_argument("--corpus", default=os.path.normpath(os.path.join(scale.BENCH, os.pardir, os.pardir,
                                                                       "shared", "corpus")))
    ap.add_argument("--repeat", type=int, default=3, help="runs per deck and build; times are medians")
    ap.add_argument("--cli-args", default="", help="further options for both builds, one shell-quoted string")
    ap.add_argument("--match", default="", help="only decks whose name contains this")
    ap.add_argument("--work", default=tempfile.gettempdir())
    a = ap.parse_args()

    decks = sorted(p for p in glob.glob(os.path.join(a.corpus, "*.pptx")) if a.match in os.path.basename(p))
    if not decks:
        raise SystemExit(f"no .pptx decks in {a.corpus}")
    work = tempfile.mkdtemp(prefix="quarnel-cpu-bench-", dir=a.work)
    tools = scale.Tools(work, shlex.split(a.cli_args), rss_limit_kib=8 << 20, timeout=3600)
    builds = {"this": os.path.abspath(a.cli), "other": os.path.abspath(a.other)}
    rows, ratios, totals = [], [], {name: [0.0, 0.0] for name in builds}
    try:
        for deck in decks:
            runs = {name: [] for name in builds}
            for _ in range(a.repeat):
                for name, cli in builds.items():
                    runs[name].append(tools.quarnel(cli, deck))
            cpu = {name: statistics.median(r.cpu for r in rs) for name, rs in runs.items()}
            wall = {name: statistics.median(r.wall for r in rs) for name, rs in runs.items()}
            for name in builds:
                totals[name][0] += wall[name]
                totals[name][1] += cpu[name]
            ratio = cpu["this"] / cpu["other"] if cpu["other"] else float("nan")
            ratios.append(ratio)
            same = scale.same_bytes(runs["this"][0].output, runs["other"][0].output)
            rows.append([os.path.basename(deck)[:44], f"{wall['other']:.2f}", f"{wall['this']:.2f}",
                         f"{cpu['other']:.2f}", f"{cpu['this']:.2f}", f"{ratio:.2f}", "yes" if same else "NO"])
            print("  ".join(rows[-1]), flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print()
    scale.print_table(["deck", "wall other", "wall this", "cpu other", "cpu this", "cpu this/other", "same bytes"],
                      rows)
    print()
    print(f"{len(decks)} decks, {a.repeat} runs each. Totals: wall {totals['other'][0]:.1f} s -> "
          f"{totals['this'][0]:.1f} s ({totals['this'][0] / totals['other'][0]:.2f}), processor "
          f"{totals['other'][1]:.1f} s -> {totals['this'][1]:.1f} s ({totals['this'][1] / totals['other'][1]:.2f}).")
    print(f"Median per-deck processor ratio this/other: {statistics.median(ratios):.3f}")


if __name__ == "__main__":
    main()
