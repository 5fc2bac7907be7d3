#!/usr/bin/python3
"""The Windows build against the Linux build: every .pptx deck of the corpus compressed by
quarnel-cli.exe under Wine and by the Linux quarnel-cli at the same (default) settings, the outputs
compared byte for byte. Prints one line per deck and the count of identical outputs; with
--require-identical it exits with 1 when any output differs (scripts/test-windows.sh), else it
asserts nothing.

    /usr/bin/python3 bench/windows/run_wine_identity.py --linux-cli build/cli/quarnel-cli \
        --windows-cli build-windows/cli/quarnel-cli.exe [--match NAME] [--cli-args "--threads 0"]

The Windows program runs in a Wine prefix of its own (made once under --work), so that settings
other runs left in a registry cannot change its choices.
"""

import argparse
import glob
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(BENCH, os.pardir, os.pardir))
sys.path.insert(0, os.path.join(BENCH, os.pardir, "scale"))
import run_scale_bench as scale  # noqa: E402


def windows_path(path):
    """Wine shows the Linux root as drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(cmd, env, log):
    start = time.monotonic()
    with open(log, "wb") as out:
        code = subprocess.run(cmd, env=env, stdout=out, stderr=subprocess.STDOUT, timeout=3600).returncode
    return code, time.monotonic() - start


def only_output(folder):
    outputs = sorted(glob.glob(os.path.join(folder, "*")))
    return outputs[0] if len(outputs) == 1 else None


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--linux-cli", required=True)
    ap.add_argument("--windows-cli", required=True)
    ap.add_argument("--corpus", default=os.path.join(ROOT, os.pardir, "shared", "corpus"))
    ap.add_argument("--cli-args", default="", help="further options for both builds, one shell-quoted string")
    ap.add_argument("--match", default="", help="only decks whose name contains this")
    ap.add_argument("--work", default=tempfile.gettempdir())
    ap.add_argument("--require-identical", action="store_true", help="exit with 1 when any output differs")
    a = ap.parse_args()

    decks = sorted(p for p in glob.glob(os.path.join(a.corpus, "*.pptx")) if a.match in os.path.basename(p))
    if not decks:
        raise SystemExit(f"no .pptx decks in {a.corpus}")
    work = tempfile.mkdtemp(prefix="quarnel-wine-identity-", dir=a.work)
    wine_env = dict(os.environ, WINEPREFIX=os.path.join(work, "wine"))
    wine_run = os.path.join(ROOT, "cmake", "windows", "wine-run.sh")
    extra = shlex.split(a.cli_args)
    rows, same_count = [], 0
    try:
        for n, deck in enumerate(decks):
            run_dir = os.path.join(work, f"{n:03d}")
            linux_out, windows_out = os.path.join(run_dir, "linux"), os.path.join(run_dir, "windows")
            os.makedirs(linux_out)
            os.makedirs(windows_out)
            linux_env = dict(os.environ, QUARNEL_REGISTRY_DIR=os.path.join(run_dir, "registry"),
                             XDG_CONFIG_HOME=os.path.join(run_dir, "config"))
            linux_code, linux_wall = run([a.linux_cli, *extra, "--overwrite", "--output-dir", linux_out, deck],
                                         linux_env, os.path.join(run_dir, "linux.log"))
            windows_code, windows_wall = run(
                [wine_run, os.path.abspath(a.windows_cli), *extra, "--overwrite", "--output-dir",
                 windows_path(windows_out), windows_path(deck)],
                wine_env, os.path.join(run_dir, "windows.log"))
            a_out, b_out = only_output(linux_out), only_output(windows_out)
            same = linux_code == windows_code and scale.same_bytes(a_out, b_out)
            same_count += same
            size = lambda p: str(os.path.getsize(p)) if p else "-"  # noqa: E731
            rows.append([os.path.basename(deck)[:44], str(linux_code), str(windows_code), size(a_out), size(b_out),
                         f"{linux_wall:.1f}", f"{windows_wall:.1f}", "yes" if same else "NO"])
            print("  ".join(rows[-1]), flush=True)
            if same:
                shutil.rmtree(run_dir)
    finally:
        print()
        scale.print_table(["deck", "exit linux", "exit windows", "bytes linux", "bytes windows", "wall linux",
                           "wall wine", "identical"], rows)
        print()
        if same_count == len(rows):
            print(f"{same_count} of {len(rows)} decks identical.")
            shutil.rmtree(work, ignore_errors=True)
        else:
            print(f"{same_count} of {len(rows)} decks identical. Differing runs are kept in {work}.")
    if a.require_identical and same_count != len(decks):
        sys.exit(1)


if __name__ == "__main__":
    main()
