#!/bin/sh
# varnel-report --check -r over a thousand small lists against one --check
# of the same entries in one list, measured with hyperfine on cached data
# (warm-up runs first). A benchmark, not a test: nothing here passes or fails.
#
#   bench/check_tree.sh [path/to/varnel-report]
#
# 1,000 folders of 20 files of 4 KiB (VARNEL_BENCH_SIZE for another size),
# each folder with its own SHA256SUMS, and one ALL.sha256 at the top naming
# the same 20,000 files. Timed: varnel-report --check ALL.sha256 (run in the
# top folder), varnel-report --check -r on the top folder, and the same -r
# with a saved report in each folder besides (the lists found by their first
# line: every other file's first bytes are read to tell).
#
# Data is made under $VARNEL_BENCH_DATA (default /tmp/varnel-bench) in
# check_tree/ and removed at the end (kept with VARNEL_BENCH_KEEP=1). Figures
# go to bench/out/check_tree.txt and check_tree.md.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
report=${1:-$here/../build/dist/Varnel/varnel-report}
data=${VARNEL_BENCH_DATA:-/tmp/varnel-bench}/check_tree
out=$here/out
runs=${VARNEL_BENCH_RUNS:-10}
size=${VARNEL_BENCH_SIZE:-4096}

for tool in hyperfine python3 sha256sum; do
    command -v "$tool" >/dev/null || { echo "check_tree.sh: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
[ -x "$report" ] || { echo "check_tree.sh: no varnel-report at $report" >&2; exit 1; }
report=$(cd "$(dirname "$report")" && pwd)/$(basename "$report")

rm -rf "$data"
mkdir -p "$data" "$out"
trap '[ "${VARNEL_BENCH_KEEP:-0}" = 1 ] || rm -rf "$data"' EXIT

echo "making 1,000 folders of 20 files of $size bytes, a list in each"
python3 - "$data" "$size" <<'PY'
import hashlib, os, sys
root, size = sys.argv[1], int(sys.argv[2])
top = os.path.join(root, "lists")
with open(os.path.join(root, "ALL.sha256"), "w") as all_list:
    for d in range(1000):
        folder = os.path.join(top, "d%04d" % d)
        os.makedirs(folder)
        lines = []
        for f in range(20):
            name = "f%02d.bin" % f
            data = os.urandom(size)
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)
            digest = hashlib.sha256(data).hexdigest()
            lines.append("%s  %s\n" % (digest, name))
            all_list.write("%s  lists/d%04d/%s\n" % (digest, d, name))
        with open(os.path.join(folder, "SHA256SUMS"), "w") as out:
            out.writelines(lines)
PY
cd "$data"
"$report" --check ALL.sha256 > /dev/null
"$report" --check -r lists > /dev/null 2> summary.txt
tail -n 1 summary.txt

hyperfine --warmup 2 --runs "$runs" \
    --export-markdown "$out/check_tree.md" \
    -n "check of one list of 20,000 entries" "$report --check ALL.sha256 > /dev/null" \
    -n "check -r over 1,000 lists of 20 entries" "$report --check -r lists > /dev/null 2>&1" \
    | tee "$out/check_tree.txt"
