#!/usr/bin/python3
"""quarnel-cli over a folder of decks at several --jobs values in one run: wall time, the peak
resident memory of the whole process tree (sampled), and whether the outputs and logs match."""

import argparse
import filecmp
import os
import subprocess
import tempfile
import time


def tree_rss_kib(root_pid):
    children = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(pid))
        except OSError:
            pass
    total, todo = 0, [root_pid]
    while todo:
        pid = todo.pop()
        todo.extend(children.get(pid, []))
        try:
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def same_outputs(dir_a, dir_b):
    names = sorted(os.listdir(dir_a))
    return names == sorted(os.listdir(dir_b)) and all(
        filecmp.cmp(os.path.join(dir_a, n), os.path.join(dir_b, n), shallow=False) for n in names)


def run(cli, decks, jobs, work, extra_args=()):
    out_dir = os.path.join(work, f"jobs{jobs}")
    os.makedirs(out_dir)
    env = dict(os.environ, QUARNEL_REGISTRY_DIR=os.path.join(work, "registry"),
               XDG_CONFIG_HOME=os.path.join(work, "config"))
    args = ["nice", cli, *extra_args, "--jobs", str(jobs), "--overwrite", "--output-dir", out_dir] + decks
    start = time.monotonic()
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                            env=env)
    peak = 0
    import threading
    log = []
    reader = threading.Thread(target=lambda: log.append(proc.stdout.read()))
    reader.start()
    while proc.poll() is None:
        peak = max(peak, tree_rss_kib(proc.pid))
        time.sleep(0.05)
    reader.join()
    wall = time.monotonic() - start
    return wall, peak, proc.returncode, log[0].decode().replace(out_dir, "OUT"), out_dir


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default="build/cli/quarnel-cli")
    parser.add_argument("--decks", default="../shared/corpus")
    parser.add_argument("--jobs", default="1,2")
    a = parser.parse_args()
    decks = sorted(os.path.join(a.decks, n) for n in os.listdir(a.decks) if n.lower().endswith((".pptx", ".ppt")))
    with tempfile.TemporaryDirectory() as work:
        results = {int(j): run(os.path.abspath(a.cli), decks, int(j), work) for j in a.jobs.split(",")}
        first = results[min(results)]
        print(f"{len(decks)} decks, {os.cpu_count()} cores")
        print("| jobs | wall s | peak RSS of the tree MiB | exit | same log | same outputs |")
        print("|---|---|---|---|---|---|")
        for jobs, (wall, peak, code, log, out_dir) in sorted(results.items()):
            same = same_outputs(first[4], out_dir)
            print(f"| {jobs} | {wall:.1f} | {peak / 1024:.0f} | {code} | {log == first[3]} | {same} |")


if __name__ == "__main__":
    main()
