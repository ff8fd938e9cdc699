#!/bin/sh
# varnel-report --audit side by side, one run each on cached data: wall time
# and peak memory from /usr/bin/time. A benchmark, not a test: nothing here
# passes or fails.
#
#   bench/audit.sh [path/to/varnel-report]
#
# 1. A folder of 100,000 files of 4 KiB (100 folders of 1,000, random
#    content) and its saved report (size, time, SHA-1, MD5 lines) and
#    hashdeep's list of it; then 100 files changed, 100 removed and 100
#    added. Timed on the same data: hashdeep -c md5 -r -a -k (its audit),
#    varnel-report --check of the report, varnel-report --audit of it. The
#    files are read once first, so every run finds them in the page cache.
# 2. The peak memory of an audit against a report of 1,000,000 entries whose
#    files are all gone (every entry is then kept to the end for its
#    moves: the most an audit holds), and of one against an MD5 list of
#    1,000,000 empty files that are there (VARNEL_BENCH_PRESENT=1; making
#    them takes a few minutes).
#
# Data is made under $VARNEL_BENCH_DATA (default /tmp/varnel-bench) in
# audit/ and removed at the end (kept with VARNEL_BENCH_KEEP=1). Figures go
# to bench/out/audit.txt.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
report=${1:-$here/../build/dist/Varnel/varnel-report}
data=${VARNEL_BENCH_DATA:-/tmp/varnel-bench}/audit
out=$here/out

for tool in hashdeep python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "audit.sh: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
[ -x "$report" ] || { echo "audit.sh: no varnel-report at $report" >&2; exit 1; }
report=$(cd "$(dirname "$report")" && pwd)/$(basename "$report")

rm -rf "$data"
mkdir -p "$data" "$out"
trap '[ "${VARNEL_BENCH_KEEP:-0}" = 1 ] || rm -rf "$data"' EXIT
summary=$out/audit.txt
: > "$summary"

# timed LABEL COMMAND...: one run, its wall time and peak memory.
timed() {
    label=$1
    shift
    /usr/bin/time -f "%e %M" -o "$data/time" "$@" > /dev/null 2> "$data/err" || true
    # The last line: a failed command's status comes before it.
    set -- $(tail -n 1 "$data/time")
    seconds=$1
    kb=$2
    printf '%-44s %8s s %8s MB\n' "$label" "$seconds" "$((kb / 1024))" | tee -a "$summary"
    tail -n 1 "$data/err" | sed 's/^/    /' | tee -a "$summary"
}

echo "making 100,000 files of 4 KiB"
python3 - "$data/tree" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(100):
    folder = os.path.join(root, "d%03d" % d)
    os.makedirs(folder)
    for f in range(1000):
        with open(os.path.join(folder, "f%04d.bin" % f), "wb") as out:
            out.write(os.urandom(4096))
PY
cd "$data/tree"
"$report" . > "$data/report.txt"
hashdeep -c md5 -r -l . > "$data/known.txt"
python3 - <<'PY'
import os
for i in range(100):
    with open("d%03d/f0000.bin" % i, "wb") as out:   # changed
        out.write(os.urandom(4096))
    os.remove("d%03d/f0001.bin" % i)                 # removed
    with open("d%03d/new.bin" % i, "wb") as out:      # added
        out.write(os.urandom(4096))
PY
find . -type f -exec cat {} + > /dev/null

{
    echo
    echo "100,000 files of 4 KiB, 100 changed, 100 removed, 100 added (one run each, cached):"
} | tee -a "$summary"
timed "hashdeep -c md5 -r -a -k known.txt -l ." hashdeep -c md5 -r -a -k "$data/known.txt" -l .
timed "varnel-report --check report.txt" "$report" --check --quiet "$data/report.txt"
timed "varnel-report --audit report.txt" "$report" --audit --quiet "$data/report.txt"
cd "$data"
rm -rf "$data/tree"

{
    echo
    echo "peak memory, audits against lists of 1,000,000 entries:"
} | tee -a "$summary"
python3 - "$data/gone.txt" <<'PY'
import hashlib, sys
# Report blocks as varnel-report writes them, of files in 1,000 folders of
# 1,000 that are all gone.
with open(sys.argv[1], "w", encoding="utf-8", newline="") as out:
    for i in range(1000000):
        name = "gone/folder-%03d/photo-%07d.jpg" % (i // 1000, i)
        digest = hashlib.md5(name.encode()).hexdigest().upper()
        sha1 = hashlib.sha1(name.encode()).hexdigest().upper()
        out.write("文件名称：%s\r\n文件大小：%d 字节\r\n修改时间：1/2/26 3:04:05 AM\r\n"
                  "SHA1值   ：%s\r\nMD5值     ：%s\r\n\r\n" % (name, 4096 + i, sha1, digest))
PY
mkdir -p "$data/gone"
timed "report, every file gone" "$report" --audit --quiet "$data/gone.txt"
if [ "${VARNEL_BENCH_PRESENT:-0}" = 1 ]; then
    python3 - "$data" <<'PY'
import os, sys
root = sys.argv[1]
empty = "d41d8cd98f00b204e9800998ecf8427e"
with open(os.path.join(root, "present.txt"), "w") as out:
    for d in range(1000):
        folder = os.path.join(root, "present", "folder-%03d" % d)
        os.makedirs(folder)
        for f in range(1000):
            name = "present/folder-%03d/file-%07d" % (d, d * 1000 + f)
            open(os.path.join(root, name), "wb").close()
            out.write("%s  %s\n" % (empty, name))
PY
    timed "md5sum list, every file there" "$report" --audit --quiet "$data/present.txt"
fi
echo "figures in $summary"
