"""The opt-in deck savings (--subset-fonts --remove-unused-layouts) against the default run:
sizes, per-slide SSIM of the two outputs and structural regressions of the savings output.

/usr/bin/python3 bench/compress/deck_savings.py --cli build/cli/quarnel-cli DECK.pptx ...
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fidelity  # noqa: E402
import structure  # noqa: E402

OPTIONS = ["--subset-fonts", "--remove-unused-layouts"]


def run(cli, deck, outdir, extra):
    os.makedirs(outdir, exist_ok=True)
    subprocess.run([cli, "--output-dir", outdir, "--overwrite"] + extra + [deck],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=1800, check=False)
    found = glob.glob(os.path.join(glob.escape(outdir), "*.pptx"))
    return found[0] if found else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("decks", nargs="+")
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="quarnel-savings-")
    rows = []
    try:
        for i, deck in enumerate(args.decks):
            here = os.path.join(work, str(i))
            src = os.path.join(here, os.path.basename(deck))
            os.makedirs(here)
            shutil.copy2(deck, src)
            default = run(args.cli, src, os.path.join(here, "default"), [])
            opted = run(args.cli, src, os.path.join(here, "options"), OPTIONS)
            reference = default or src
            pages = fidelity.render_many({"ref": reference, "opt": opted or src}, os.path.join(here, "render"),
                                         os.path.join(here, "profile"))
            values = fidelity.deck_ssim(pages["ref"], pages["opt"])
            problems = structure.regressions(src, opted) if opted else {}
            rows.append((os.path.basename(deck), os.path.getsize(deck), os.path.getsize(default) if default else None,
                         os.path.getsize(opted) if opted else None, len(pages["ref"]), len(pages["opt"]),
                         min(values) if values else None, sum(problems.values()) if problems else 0))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("| deck | input KB | default KB | options KB | pages ref/opt | min slide SSIM | structural regressions |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for name, size, d, o, pr, po, s, p in rows:
        kb = lambda v: "-" if v is None else str(round(v / 1024))  # noqa: E731
        print(f"| {name} | {kb(size)} | {kb(d)} | {kb(o)} | {pr}/{po} | {'-' if s is None else f'{s:.4f}'} | {p} |")


if __name__ == "__main__":
    main()
