#!/usr/bin/python3
"""Scale bench: quarnel-cli and the npm peer pptx-image-compressor over the large photo decks that
make_decks.py writes, then quarnel-cli --jobs 1 against --jobs 2 over the 8 largest .pptx decks of the corpus.

For every deck and tool it prints the wall seconds, the processor seconds of the whole process tree
(user + system, from os.wait4), the peak resident memory of the process tree (sampled from /proc every
50 ms) next to the largest single process's ru_maxrss, and the sizes. quarnel-cli runs with its default
settings on a fresh settings store each time; a run whose tree grows beyond --rss-limit-mib is killed and
reported as such. With --compare-cli a second build runs on the same decks right after the first, and
its outputs are compared byte for byte with the first build's. Inputs are never written: the npm peer
works on a copy. Nothing is asserted; the numbers are read.

    /usr/bin/python3 bench/scale/run_scale_bench.py --cli build/cli/quarnel-cli [--decks-dir /work/decks]
        [--skip-big] [--tools quarnel,npm] [--repeat 3] [--cli-args "--quality 3"] [--compare-cli OTHER]
"""

import argparse
import glob
import os
import shlex
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
BENCH = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(BENCH, "batch"))
sys.path.insert(0, os.path.join(BENCH, "compress"))

import run_bench  # noqa: E402
import run_jobs_bench  # noqa: E402

BIG_BYTES = 2**30
MB = 1e6
MIB = 2**20


@dataclass
class Run:
    wall: float
    cpu: float
    tree_peak_kib: int
    maxrss_kib: int
    code: int
    stopped: str  # why the bench stopped the run, empty when it ended by itself
    output: str  # None when the tool kept no output
    log_tail: str = ""  # the last lines the tool printed and complained, kept for a run that failed


def measure(cmd, cwd, env, log_path, rss_limit_kib, timeout):
    """Runs cmd in a session of its own and waits for it with wait4, sampling the tree's resident memory."""
    start = time.monotonic()
    with open(log_path + ".out", "wb") as out, open(log_path + ".err", "wb") as err:
        proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                start_new_session=True)
    peak, stopped = 0, ""
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid:
            break
        rss = run_jobs_bench.tree_rss_kib(proc.pid)
        peak = max(peak, rss)
        if not stopped and rss > rss_limit_kib:
            stopped = f"killed at {rss / 1024:.0f} MiB"
        elif not stopped and time.monotonic() - start > timeout:
            stopped = f"killed after {timeout:.0f} s"
        if stopped:
            os.killpg(proc.pid, signal.SIGKILL)
            _, status, usage = os.wait4(proc.pid, 0)
            break
        time.sleep(0.05)
    wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)  # reaped here; keeps Popen from waiting again
    run = Run(wall, usage.ru_utime + usage.ru_stime, peak, usage.ru_maxrss, proc.returncode, stopped, None)
    if proc.returncode:
        run.log_tail = " | ".join(filter(None, (_last_line(log_path + ".out"), _last_line(log_path + ".err"))))
    return run


def _last_line(path):
    with open(path, "rb") as f:
        lines = [line.strip() for line in f.read()[-4000:].decode(errors="replace").splitlines()]
    return next((line for line in reversed(lines) if line), "")


class Tools:
    def __init__(self, work, cli_args, rss_limit_kib, timeout):
        self.work, self.cli_args = work, cli_args
        self.rss_limit_kib, self.timeout = rss_limit_kib, timeout
        self.npm_main = None
        self.count = 0

    def _fresh_dir(self, label):
        self.count += 1
        path = os.path.join(self.work, f"{self.count:03d}-{label}")
        os.makedirs(path)
        return path

    def quarnel(self, cli, deck):
        run_dir = self._fresh_dir("quarnel")
        out_dir = os.path.join(run_dir, "out")
        os.makedirs(out_dir)
        env = dict(os.environ, QUARNEL_REGISTRY_DIR=os.path.join(run_dir, "registry"),
                   XDG_CONFIG_HOME=os.path.join(run_dir, "config"))
        cmd = ["nice", cli, *self.cli_args, "--overwrite", "--output-dir", out_dir, deck]
        run = measure(cmd, run_dir, env, os.path.join(run_dir, "log"), self.rss_limit_kib, self.timeout)
        outputs = sorted(glob.glob(os.path.join(out_dir, "*")))
        run.output = outputs[0] if outputs and not run.stopped else None
        return run

    def npm(self, deck):
        if self.npm_main is None:
            self.npm_main = run_bench.ensure_npm_tool()
        run_dir = self._fresh_dir("npm")
        copy = os.path.join(run_dir, os.path.basename(deck))
        shutil.copyfile(deck, copy)
        cmd = ["nice", "node", self.npm_main, copy, "1600", "75"]
        run = measure(cmd, run_dir, None, os.path.join(run_dir, "log"), self.rss_limit_kib, self.timeout)
        os.remove(copy)
        base, ext = os.path.splitext(copy)
        run.output = base + "_compressed" + ext if os.path.exists(base + "_compressed" + ext) else None
        return run


def same_bytes(a, b):
    if a is None or b is None:
        return a is None and b is None
    return subprocess.run(["cmp", "-s", a, b]).returncode == 0


def summary(runs):
    """Median times and the largest memory of the repetitions; sizes and status from the last one."""
    last = runs[-1]
    return Run(statistics.median(r.wall for r in runs), statistics.median(r.cpu for r in runs),
               max(r.tree_peak_kib for r in runs), max(r.maxrss_kib for r in runs), last.code,
               next((r.stopped for r in runs if r.stopped), ""), last.output,
               next((r.log_tail for r in runs if r.log_tail), ""))


def print_table(headers, rows):
    """Names on the left, numbers on the right."""
    widths = [max(len(str(c)) for c in col) for col in zip(headers, *rows)]
    numeric = [all(str(r[i]).replace(".", "", 1).isdigit() for r in rows) for i in range(len(headers))]
    for line in [headers, ["-" * w for w in widths]] + rows:
        print("  ".join(str(c).rjust(w) if num else str(c).ljust(w)
                        for c, w, num in zip(line, widths, numeric)).rstrip())


def row(deck, tool, run, size_in):
    size_out = os.path.getsize(run.output) if run.output else size_in
    status = run.stopped or ("ok" if run.code == 0 else f"exit {run.code}")
    if run.output is None and not run.stopped:
        status += ", input kept" if tool.startswith("quarnel") and run.code == 0 else ", no output"
    return [os.path.basename(deck), tool, f"{run.wall:.1f}", f"{run.cpu:.1f}", f"{run.tree_peak_kib / 1024:.0f}",
            f"{run.maxrss_kib / 1024:.0f}", f"{size_in / MB:.1f}", f"{size_out / MB:.1f}",
            f"{size_out / size_in:.3f}", status]


def bench_decks(a, decks, tools, work):
    runner = Tools(work, shlex.split(a.cli_args), a.rss_limit_mib * 1024, a.timeout_min * 60)
    rows, comparisons, failures = [], [], []

    def add(deck, tool, run, size_in):
        rows.append(row(deck, tool, run, size_in))
        if run.log_tail:
            failures.append(f"{os.path.basename(deck)} {tool}: {run.log_tail}")

    for deck in decks:
        size_in = os.path.getsize(deck)
        big = size_in >= BIG_BYTES
        for tool in tools:
            if big and tool not in a.big_tools.split(","):
                continue
            if tool == "npm":
                runs = [runner.npm(deck) for _ in range(a.repeat)]
                add(deck, "npm", summary(runs), size_in)
                continue
            runs, others, identical = [], [], True
            for _ in range(a.repeat):
                runs.append(runner.quarnel(a.cli, deck))
                if a.compare_cli:
                    others.append(runner.quarnel(a.compare_cli, deck))
                    identical &= same_bytes(runs[-1].output, others[-1].output)
            mine = summary(runs)
            add(deck, "quarnel", mine, size_in)
            if a.compare_cli:
                theirs = summary(others)
                add(deck, "quarnel other", theirs, size_in)
                comparisons.append([os.path.basename(deck), f"{mine.wall:.1f}", f"{theirs.wall:.1f}",
                                    f"{theirs.wall / mine.wall:.2f}", f"{theirs.cpu / max(mine.cpu, 1e-9):.2f}",
                                    "yes" if identical else "NO"])
            print(f"  {os.path.basename(deck)} {tool}: {mine.wall:.0f} s", file=sys.stderr)
        shutil.rmtree(work, ignore_errors=True)  # outputs of a 2 GB deck fill the disk quickly
        os.makedirs(work)
    print("processor s: user + system of the process tree; tree MiB: sampled peak resident memory of the tree;")
    print("maxrss MiB: the largest single process's ru_maxrss; MB = 10^6 bytes; times are medians of", a.repeat)
    print_table(["deck", "tool", "wall s", "processor s", "tree MiB", "maxrss MiB", "in MB", "out MB", "out/in",
                 "status"], rows)
    for line in failures:
        print("  " + line)
    if comparisons:
        print()
        print("other build:", a.compare_cli)
        print_table(["deck", "wall s", "other wall s", "wall other/this", "processor other/this", "same bytes"],
                    comparisons)


def corpus_decks(corpus, count):
    """The largest .pptx decks of the corpus, by size then name, so that the choice does not move."""
    paths = glob.glob(os.path.join(corpus, "*.pptx"))
    return sorted(paths, key=lambda p: (-os.path.getsize(p), os.path.basename(p)))[:count]


def bench_jobs(a, work):
    decks = corpus_decks(a.corpus, a.jobs_decks)
    cli_args = shlex.split(a.cli_args)
    results = {1: [], 2: []}
    for n in range(a.repeat):
        for jobs in results:
            run_work = os.path.join(work, f"jobs-{n}-{jobs}")
            os.makedirs(run_work)
            results[jobs].append(run_jobs_bench.run(a.cli, decks, jobs, run_work, cli_args))
    one, two = results[1][0], results[2][0]
    wall = {jobs: statistics.median(r[0] for r in runs) for jobs, runs in results.items()}
    print()
    print(f"--jobs 1 against --jobs 2 over {len(decks)} corpus decks ({sum(map(os.path.getsize, decks)) / MB:.1f} MB):",
          ", ".join(os.path.basename(d) for d in decks))
    rows = [[str(jobs), f"{wall[jobs]:.1f}", f"{max(r[1] for r in runs) / 1024:.0f}", str(runs[-1][2])]
            for jobs, runs in results.items()]
    print_table(["jobs", "wall s", "tree MiB", "exit"], rows)
    print(f"speed-up {wall[1] / wall[2]:.2f} on {os.cpu_count()} cores; same log: {one[3] == two[3]}; "
          f"same outputs: {run_jobs_bench.same_outputs(one[4], two[4])}")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", help="quarnel-cli to measure [the newest build*/cli/quarnel-cli of the checkout]")
    ap.add_argument("--decks-dir", default="/work/decks", help="the decks of make_decks.py")
    ap.add_argument("--skip-big", action="store_true", help="leave out the decks of 1 GiB and more")
    ap.add_argument("--tools", default="quarnel,npm", help="comma-separated subset of quarnel,npm")
    ap.add_argument("--big-tools", default="quarnel", help="the tools that also run on the decks of 1 GiB and more")
    ap.add_argument("--repeat", type=int, default=1, help="runs per deck and tool; times are medians")
    ap.add_argument("--cli-args", default="", help="further quarnel-cli options, one shell-quoted string")
    ap.add_argument("--compare-cli", help="a second quarnel-cli whose outputs must match the first's byte for byte")
    ap.add_argument("--corpus", default=os.path.normpath(os.path.join(BENCH, os.pardir, os.pardir, "shared", "corpus")))
    ap.add_argument("--jobs-decks", type=int, default=8, help="corpus decks of the --jobs part (0: no --jobs part)")
    ap.add_argument("--rss-limit-mib", type=int, default=8192, help="kill a run whose process tree grows beyond this")
    ap.add_argument("--timeout-min", type=float, default=60, help="kill a run that takes longer")
    ap.add_argument("--work", default=tempfile.gettempdir(), help="where the outputs go while they are compared")
    a = ap.parse_args()

    a.cli = run_bench.find_cli(a.cli)
    if a.compare_cli:
        a.compare_cli = os.path.abspath(a.compare_cli)
    tools = [t for t in ("quarnel", "npm") if t in a.tools.split(",")]
    decks = sorted((p for p in glob.glob(os.path.join(a.decks_dir, "*.pptx"))), key=os.path.getsize)
    if a.skip_big:
        decks = [d for d in decks if os.path.getsize(d) < BIG_BYTES]
    if not decks and not a.jobs_decks:
        sys.exit(f"no .pptx in {a.decks_dir}; run bench/scale/make_decks.py")
    version = subprocess.run([a.cli, "--version"], capture_output=True, text=True).stdout.strip()
    print(f"{a.cli} ({version}); {os.cpu_count()} cores; extra options: {a.cli_args or 'none'}")
    work = tempfile.mkdtemp(prefix="quarnel-scale-", dir=a.work)
    try:
        if decks and tools:
            os.makedirs(os.path.join(work, "decks"))
            bench_decks(a, decks, tools, os.path.join(work, "decks"))
        if a.jobs_decks:
            bench_jobs(a, os.path.join(work, "jobs"))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
