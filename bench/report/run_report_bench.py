#!/usr/bin/env python3
"""What the visual report costs: quarnel-cli over the .pptx decks of a corpus folder with and without
--report-html, one deck per process as the compression bench runs it, in one run.

Each deck runs `--rounds` times each way, the two ways alternating so that drift of the machine falls on
both alike; the table gives the median wall seconds of each, the added wall time, the added processor
time (user and system, the drawings' thread included), the pictures the page lists and its size. The
total line is the sum of the medians. Inputs are copied; the corpus is never written.

    /usr/bin/python3 bench/report/run_report_bench.py [--cli build/cli/quarnel-cli] [--corpus DIR]
        [--rounds 3] [--match NAME,...] [--keep DIR]
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

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "bench", "compress"))

from run_bench import find_cli  # noqa: E402


def run(cli, deck, outdir, env, html):
    shutil.rmtree(outdir, ignore_errors=True)
    os.makedirs(outdir)
    cmd = [cli, "--overwrite", "--output-dir", outdir]
    if html:
        cmd += ["--report-html", html]
    start = time.monotonic()
    proc = subprocess.Popen(cmd + [deck], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, _, usage = os.wait4(proc.pid, 0)
    return time.monotonic() - start, usage.ru_utime + usage.ru_stime


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli")
    ap.add_argument("--corpus", default=os.path.join(os.path.dirname(REPO), "shared", "corpus"))
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--match", default="")
    ap.add_argument("--keep", help="folder to keep every deck's report page in")
    args = ap.parse_args()
    cli = find_cli(args.cli)
    decks = sorted(glob.glob(os.path.join(args.corpus, "*.pptx")))
    if args.match:
        wanted = args.match.split(",")
        decks = [d for d in decks if any(w in os.path.basename(d) for w in wanted)]
    if not decks:
        sys.exit("no .pptx files in " + args.corpus)
    tmp = tempfile.mkdtemp(prefix="quarnel-report-bench-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QUARNEL_REGISTRY_DIR=os.path.join(tmp, "registry"),
               XDG_CONFIG_HOME=os.path.join(tmp, "cfg"))
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
    print("quarnel-cli: %s, %d rounds each way" % (cli, args.rounds))
    print("%-52s %8s %8s %7s %7s %5s %9s" % ("deck", "plain s", "report s", "added", "cpu+", "pics", "html KB"))
    total_plain = total_report = total_html = cpu_plain = cpu_report = 0.0
    pictures = 0
    try:
        for deck in decks:
            copy = os.path.join(tmp, os.path.basename(deck))
            shutil.copy2(deck, copy)
            html = os.path.join(tmp, "report.html")
            plain, report = [], []
            for _ in range(args.rounds):
                plain.append(run(cli, copy, os.path.join(tmp, "out"), env, None))
                report.append(run(cli, copy, os.path.join(tmp, "out"), env, html))
            p, r = statistics.median(t for t, _ in plain), statistics.median(t for t, _ in report)
            cp, cr = statistics.median(c for _, c in plain), statistics.median(c for _, c in report)
            size = os.path.getsize(html) if os.path.exists(html) else 0
            with open(html, encoding="utf-8") as f:
                listed = f.read().count('<tr class="picture')
            if args.keep:
                shutil.copy2(html, os.path.join(args.keep, os.path.basename(deck) + ".html"))
            total_plain += p
            total_report += r
            cpu_plain += cp
            cpu_report += cr
            total_html += size
            pictures += listed
            print("%-52s %8.2f %8.2f %+6.1f%% %+6.1f%% %5d %9.1f" %
                  (os.path.basename(deck)[:52], p, r, 100 * (r / p - 1) if p else 0,
                   100 * (cr / cp - 1) if cp else 0, listed, size / 1024))
            os.remove(copy)
        print("%-52s %8.2f %8.2f %+6.1f%% %+6.1f%% %5d %9.1f" %
              ("total (%d decks)" % len(decks), total_plain, total_report, 100 * (total_report / total_plain - 1),
               100 * (cpu_report / cpu_plain - 1), pictures, total_html / 1024))
        print("processor seconds: %.2f without the report, %.2f with it" % (cpu_plain, cpu_report))
        print("HTML per listed picture: %.1f KB; per deck without pictures: see the rows with 0" %
              (total_html / 1024 / max(1, pictures)))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
