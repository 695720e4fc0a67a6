#!/usr/bin/env python3
"""Times one workload for run.sh: cat of the input files, cpgblocks and (when
given) the straightforward plain_cpgblocks, interleaved round by round in
the same run, after checking once that both programs write the same bytes.

    time_runs.py <name> <data dir> <rounds> <cpgblocks> [plain_cpgblocks]

Wall time is the median over the rounds. Peak resident memory is the
largest over the rounds of what /usr/bin/time -f %M reports, so every command
runs under /usr/bin/time (cat too, so the launch costs the same). Without it
the figure is wait4's ru_maxrss, which Linux keeps across exec: it then
includes this script's own memory, copied by the fork, and is only an upper
bound.
"""
import filecmp
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ARGS = ["cov/", "samples.txt", "yes", "sel/chrom", None, "0.5", "0.3", "2", "7"]
CHR = "chr7"

# The targets, checked against this run's figures.
TARGETS = {
    "io": dict(cat_ratio=2.0, rss_mb=40.0),
    "cor": dict(plain_speedup=25.0),
    "wide": dict(cat_ratio=3.0, rss_mb=200.0),
}


TIME = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None
RSS_FILE = os.path.join(tempfile.gettempdir(), "cpgblocks-bench-rss.%d" % os.getpid())


def run_once(argv, cwd, stdout=subprocess.DEVNULL):
    """Wall seconds and peak RSS in MB of one run; fails on a non-zero exit."""
    full = [TIME, "-f", "%M", "-o", RSS_FILE] + argv if TIME else argv
    start = time.perf_counter()
    p = subprocess.Popen(full, cwd=cwd, stdout=stdout, stderr=subprocess.STDOUT)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        sys.exit("%s exited with status %d" % (argv[0], p.returncode))
    if TIME:
        with open(RSS_FILE) as f:
            kb = float(f.read().split()[-1])
        os.remove(RSS_FILE)
    else:
        kb = usage.ru_maxrss
    return wall, kb / 1024.0


def program_argv(binary, out_root):
    args = list(ARGS)
    args[4] = out_root
    return [binary] + args


def fresh_out(data, out_root):
    path = os.path.join(data, out_root)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(os.path.join(path, CHR))


def masked_stdout(path):
    # The start and finish lines carry the clock; the output root is in two lines.
    keep = []
    with open(path) as f:
        for line in f:
            if line.startswith((" Start at ", " Finish at ")):
                continue
            keep.append(line.replace("out-plain/", "out/"))
    return keep


def verify(data, fast, plain):
    """cmp every output file and standard output (clock lines aside)."""
    fresh_out(data, "out/")
    fresh_out(data, "out-plain/")
    with open(os.path.join(data, "stdout-fast.txt"), "w") as f:
        run_once(program_argv(fast, "out/"), data, f)
    with open(os.path.join(data, "stdout-plain.txt"), "w") as f:
        t, _ = run_once(program_argv(plain, "out-plain/"), data, f)
    names = ["blockInfoChr7.csv"] + [os.path.join(CHR, n) for n in sorted(os.listdir(os.path.join(data, "out", CHR)))]
    plain_names = ["blockInfoChr7.csv"] + [os.path.join(CHR, n) for n in sorted(os.listdir(os.path.join(data, "out-plain", CHR)))]
    if names != plain_names:
        sys.exit("verify: the two programs wrote different sets of files")
    differ = [n for n in names if not filecmp.cmp(os.path.join(data, "out", n), os.path.join(data, "out-plain", n), shallow=False)]
    if differ:
        sys.exit("verify: %d output files differ, first %s" % (len(differ), differ[0]))
    if masked_stdout(os.path.join(data, "stdout-fast.txt")) != masked_stdout(os.path.join(data, "stdout-plain.txt")):
        sys.exit("verify: standard output differs (stdout-fast.txt, stdout-plain.txt)")
    return len(names), t


def block_summary(data):
    with open(os.path.join(data, "out", "blockInfoChr7.csv")) as f:
        rows = [line.rstrip("\n").split(",") for line in f][1:]
    sel = [int(r[4]) for r in rows]
    multi = [s for s in sel if s > 1]
    mean = statistics.mean(multi) if multi else 0.0
    return "%d blocks: %d one-site, %d multi-site of %.1f selected sites on average (largest %d)" % (
        len(sel), len(sel) - len(multi), len(multi), mean, max(sel) if sel else 0)


def machine_line():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, %d cores, Linux %s, load average %.2f at start" % (
        model, os.cpu_count() or 0, platform.release(), os.getloadavg()[0])


def main():
    name, data, rounds, fast = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    plain = sys.argv[5] if len(sys.argv) > 5 else None
    with open(os.path.join(data, "samples.txt")) as f:
        ids = f.read().split()
    samples = len(ids)
    with open(os.path.join(data, "sel", "chrom7.csv")) as f:
        sites = sum(1 for _ in f) - 1
    inputs = ["samples.txt", os.path.join("sel", "chrom7.csv")]
    inputs += [os.path.join("cov", CHR, s + ".csv") for s in ids]
    in_bytes = sum(os.path.getsize(os.path.join(data, p)) for p in inputs)
    mb = in_bytes / 1e6

    print("== %s: %d samples x %d sites, %d input files, %.1f MB; %d rounds" % (name, samples, sites, len(inputs), mb, rounds))
    print("   machine: %s; CPGBLOCKS_THREADS=%s" % (machine_line(), os.environ.get("CPGBLOCKS_THREADS", "(unset: every core)")))
    if not TIME:
        print("   no /usr/bin/time: peak RSS is wait4's figure, an upper bound that includes this script's memory")
    if plain:
        files, plain_first = verify(data, fast, plain)
        print("   verified: cpgblocks and plain_cpgblocks wrote the same bytes in all %d output files and on "
              "standard output (clock lines aside)" % files)
    else:
        fresh_out(data, "out/")
        run_once(program_argv(fast, "out/"), data)
        print("   not verified against plain_cpgblocks (skipped on request)")
    print("   " + block_summary(data))

    commands = [("cat", ["cat"] + inputs)]
    commands.append(("cpgblocks", program_argv(fast, "out/")))
    if plain and name == "cor":
        commands.append(("plain", program_argv(plain, "out-plain/")))
    times = {c: [] for c, _ in commands}
    rss = {c: 0.0 for c, _ in commands}
    run_once(["cat"] + inputs, data)  # the page cache holds the input for every round
    for _ in range(rounds):
        for label, argv in commands:
            # A fresh output folder each round, made outside the timing: the
            # run is measured, not the removal of the last round's files
            # (truncating them makes the file system flush them first).
            if label == "cpgblocks":
                fresh_out(data, "out/")
            elif label == "plain":
                fresh_out(data, "out-plain/")
            t, m = run_once(argv, data)
            times[label].append(t)
            rss[label] = max(rss[label], m)

    med = {c: statistics.median(v) for c, v in times.items()}
    print("   %-10s %9s %9s %9s %14s %8s %12s" % ("", "median s", "min s", "MB/s", "sample-sites/s", "x cat", "peak RSS MB"))
    for label, _ in commands:
        t = med[label]
        print("   %-10s %9.3f %9.3f %9.1f %14.3g %8.2f %12.1f" % (
            label, t, min(times[label]), mb / t, samples * sites / t, t / med["cat"], rss[label]))
    if "plain" in med:
        print("   cpgblocks is %.1fx faster than plain_cpgblocks (median wall times)" % (med["plain"] / med["cpgblocks"]))
    elif plain:
        print("   plain_cpgblocks, timed once in the check: %.3f s, %.1fx cpgblocks' median" % (plain_first, plain_first / med["cpgblocks"]))

    target = TARGETS.get(name, {})
    checks = []
    if "cat_ratio" in target:
        r = med["cpgblocks"] / med["cat"]
        checks.append("within %.0fx cat: %s (%.2fx)" % (target["cat_ratio"], "met" if r <= target["cat_ratio"] else "NOT met", r))
    if "rss_mb" in target:
        m = rss["cpgblocks"]
        checks.append("peak RSS <= %.0f MB: %s (%.1f MB)" % (target["rss_mb"], "met" if m <= target["rss_mb"] else "NOT met", m))
    if "plain_speedup" in target and "plain" in med:
        s = med["plain"] / med["cpgblocks"]
        checks.append(">= %.0fx faster than plain: %s (%.1fx)" % (target["plain_speedup"], "met" if s >= target["plain_speedup"] else "NOT met", s))
    if checks:
        print("   targets: " + "; ".join(checks))
    print("   load average %.2f at end" % os.getloadavg()[0])


if __name__ == "__main__":
    main()
