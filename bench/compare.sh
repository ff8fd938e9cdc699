#!/bin/sh
# varnel-report --compare of two folders against reporting both, on cached
# data (a warm-up round first). A benchmark, not a test: nothing here passes
# or fails.
#
#   bench/compare.sh [path/to/varnel-report]
#
# Two folders of 20,000 files (20 folders of 1,000), A of random content and
# B a copy of it (times kept) with 100 files changed, 100 moved to another
# folder, 100 removed and 100 added. Timed: varnel-report A B (both folders
# reported in one run, blocks written to /dev/null), the same as SHA-1 and
# MD5 lines only (--format bsd, what --compare reads), and varnel-report
# --compare A B. Files of 4 KiB (the small-file lanes) and, with
# VARNEL_BENCH_SIZE, any other size.
#
# Data is made under $VARNEL_BENCH_DATA (default /tmp/varnel-bench) in
# compare/ and removed at the end (kept with VARNEL_BENCH_KEEP=1). Figures go
# to bench/out/compare.txt; VARNEL_BENCH_RUNS rounds (default 10).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
report=${1:-$here/../build/dist/Varnel/varnel-report}
data=${VARNEL_BENCH_DATA:-/tmp/varnel-bench}/compare
out=$here/out
runs=${VARNEL_BENCH_RUNS:-10}
size=${VARNEL_BENCH_SIZE:-4096}

for tool in python3; do
    command -v "$tool" >/dev/null || { echo "compare.sh: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
[ -x "$report" ] || { echo "compare.sh: no varnel-report at $report" >&2; exit 1; }
report=$(cd "$(dirname "$report")" && pwd)/$(basename "$report")

rm -rf "$data"
mkdir -p "$data" "$out"
trap '[ "${VARNEL_BENCH_KEEP:-0}" = 1 ] || rm -rf "$data"' EXIT

echo "making two folders of 20,000 files of $size bytes"
python3 - "$data" "$size" <<'PY'
import os, shutil, sys
root, size = sys.argv[1], int(sys.argv[2])
a = os.path.join(root, "A")
for d in range(20):
    folder = os.path.join(a, "d%02d" % d)
    os.makedirs(folder)
    for f in range(1000):
        with open(os.path.join(folder, "f%04d.bin" % f), "wb") as out:
            out.write(os.urandom(size))
b = os.path.join(root, "B")
shutil.copytree(a, b)  # times kept
os.makedirs(os.path.join(b, "moved"))
for d in range(20):
    folder = os.path.join(b, "d%02d" % d)
    for f in range(5):
        with open(os.path.join(folder, "f%04d.bin" % f), "r+b") as out:  # changed
            out.write(os.urandom(16))
        os.rename(os.path.join(folder, "f%04d.bin" % (10 + f)),
                  os.path.join(b, "moved", "d%02d-f%04d.bin" % (d, 10 + f)))
        os.remove(os.path.join(folder, "f%04d.bin" % (20 + f)))
        with open(os.path.join(folder, "new%d.bin" % f), "wb") as out:
            out.write(os.urandom(size))
PY
cd "$data"
"$report" --compare A B > compare.txt 2> summary.txt || true
cat summary.txt

# The commands take turns, round after round, so that a load that comes and
# goes on the machine falls on each alike; medians of wall and CPU time.
python3 - "$runs" "$report" <<'PY' | tee "$out/compare.txt"
import os, statistics, subprocess, sys, time
runs, report = int(sys.argv[1]), sys.argv[2]
commands = [
    ("report A and B", [report, "A", "B"]),
    ("report A and B, --format bsd (SHA-1, MD5)", [report, "--format", "bsd", "A", "B"]),
    ("varnel-report --compare A B", [report, "--compare", "A", "B"]),
]
times = {name: ([], []) for name, _ in commands}
for round in range(runs + 1):
    for name, args in commands:
        start = time.monotonic()
        with open(os.devnull, "wb") as null:
            child = subprocess.Popen(args, stdout=null, stderr=null)
            _, _, usage = os.wait4(child.pid, 0)
        if round > 0:  # the first round warms the caches
            times[name][0].append(time.monotonic() - start)
            times[name][1].append(usage.ru_utime + usage.ru_stime)
base = statistics.median(times[commands[0][0]][0])
print("%d rounds, medians:" % runs)
for name, _ in commands:
    wall, cpu = (statistics.median(t) for t in times[name])
    print("  %-44s %6.0f ms wall (%.2fx)  %6.0f ms CPU" % (name, wall * 1000, wall / base, cpu * 1000))
PY
