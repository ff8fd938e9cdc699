#!/bin/sh
# Side-by-side wall times of varnel-report and its peers, measured with
# hyperfine on cached data (warm-up runs first). Benchmarks, not tests:
# nothing here passes or fails.
#
#   bench/run.sh [path/to/varnel-report [path/to/bench_window [path/to/walk_read]]]
#
# Data is made once under $VARNEL_BENCH_DATA (default /tmp/varnel-bench):
# a 512 MiB file, a folder of 20,000 files of 4 KiB and one of 100,000 files
# of 1 KiB, random content. The folders are also read by walk_read, which
# only lists and reads the same files with as many threads as varnel-report
# has workers (and with one): the floor a folder report stands on. The
# window's figures (bench_window) also use a folder of 100,000 files of 4 KiB
# and a sparse file of 4 GiB, which are removed at the end (keep them with
# VARNEL_BENCH_KEEP=1). Results go to bench/out/ (JSON and Markdown per
# comparison, window.txt, summary.txt).
#
# Checksum lists: varnel-report --check of an MD5 list of the 20,000 files,
# and of one of the 512 MiB file, against md5sum -c and rhash -c on the same
# lists; of a SHA-256 list of the 20,000 files against sha256sum -c; of a
# 1,000,000-line list of one small file against md5sum -c; and the peak
# memory of a 5,000,000-line list, from a file and from standard input.
# VARNEL_BENCH_ONLY=lists runs that part alone.
#
# Records for scripts: --format json and csv of the 100,000 files of 1 KiB
# against the report format (VARNEL_BENCH_ONLY=scripts runs that part alone).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
report=${1:-$here/../build/dist/Varnel/varnel-report}
window=${2:-$here/../build/bench/bench_window}
walk=${3:-$here/../build/bench/walk_read}
data=${VARNEL_BENCH_DATA:-/tmp/varnel-bench}
out=$here/out
runs=${VARNEL_BENCH_RUNS:-10}

for tool in hyperfine rhash openssl md5sum sha256sum python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
[ -x "$report" ] || { echo "run.sh: no varnel-report at $report" >&2; exit 1; }
[ -x "$walk" ] || { echo "run.sh: no walk_read at $walk" >&2; exit 1; }

mkdir -p "$data" "$out"
big=$data/big.bin
tree=$data/tree
if [ ! -f "$big" ] || [ "$(stat -c %s "$big")" != 536870912 ]; then
    echo "making $big"
    head -c 536870912 /dev/urandom > "$big"
    sync
fi
. "$here/trees.sh"
make_tree "$tree" 20
tree1k=$data/tree1k
make_tree "$tree1k" 100 1024
tree100k=$data/tree100k
huge=$data/huge4g.bin
only=${VARNEL_BENCH_ONLY:-all}

# Records for scripts: JSON Lines and CSV of 100,000 files of 1 KiB against
# the report blocks of the same files, with the same options (so the same
# digests are computed); JSON with SHA-256 added, against JSON alone and
# rhash's SHA-256. VARNEL_BENCH_ONLY=scripts runs that part alone.
if [ "$only" = all ] || [ "$only" = scripts ]; then
    "$report" --format json "$tree1k" | python3 -c 'import json, sys; [json.loads(l) for l in sys.stdin]' \
        || { echo "run.sh: varnel-report wrote JSON that Python cannot read" >&2; exit 1; }
    hyperfine --warmup 2 --runs "$runs" --style basic \
        --export-json "$out/scripts.json" --export-markdown "$out/scripts.md" \
        -n report "'$report' '$tree1k' > /dev/null" \
        -n json "'$report' --format json '$tree1k' > /dev/null" \
        -n csv "'$report' --format csv '$tree1k' > /dev/null" \
        -n json-sha256 "'$report' --format json --sha256 '$tree1k' > /dev/null" \
        -n rhash-sha256 "rhash -r --sha256 '$tree1k' > /dev/null"
    python3 - "$out" <<'PY' | tee "$out/scripts.txt"
import json, os, sys
with open(os.path.join(sys.argv[1], "scripts.json")) as f:
    m = {r["command"]: (r["mean"], r["stddev"]) for r in json.load(f)["results"]}
print("load average: %.2f %.2f %.2f (2 cores, shared)" % os.getloadavg())
print("100,000 files of 1 KiB (mean wall time, s):")
for k, (mean, sd) in m.items():
    print("  %-8s %.3f +- %.3f" % (k, mean, sd))
print("  json / report = %.2f   (target <= 1.10)" % (m["json"][0] / m["report"][0]))
print("  csv / report  = %.2f" % (m["csv"][0] / m["report"][0]))
# SHA-256 is hashed beside the small-file lanes: a record with it should cost
# about its hashing time more, not fall back to one file at a time.
print("  json-sha256 / json = %.2f" % (m["json-sha256"][0] / m["json"][0]))
print("  json-sha256 / rhash-sha256 = %.2f" % (m["json-sha256"][0] / m["rhash-sha256"][0]))
PY
fi
[ "$only" = scripts ] && exit 0

# Checksum lists: the same lists checked by varnel-report and by the tools
# that wrote them.
"$report" --format md5sum "$tree" > "$data/tree.md5"
"$report" --format sha256sum "$tree" > "$data/tree.sha256"
"$report" --format md5sum "$big" > "$data/big.md5"
md5sum -c --quiet "$data/tree.md5" "$data/big.md5" \
    || { echo "run.sh: md5sum rejects the lists varnel-report wrote" >&2; exit 1; }
sha256sum -c --quiet "$data/tree.sha256" \
    || { echo "run.sh: sha256sum rejects the list varnel-report wrote" >&2; exit 1; }
# Long lists of one small file: 1,000,000 lines for time, 5,000,000 for
# peak memory (which must not grow with the length).
small=$data/small.txt
[ -f "$small" ] || printf 'a small file\n' > "$small"
long_list() { # LINES FILE
    if [ ! -f "$2" ] || [ "$(wc -l < "$2")" != "$1" ]; then
        echo "making $2"
        yes "$(md5sum "$small" | cut -c1-32)  $small" | head -n "$1" > "$2"
    fi
}
long_list 1000000 "$data/long1m.md5"
long_list 5000000 "$data/long5m.md5"
for list in tree big; do
    hyperfine --warmup 2 --runs "$runs" --style basic \
        --export-json "$out/check-$list.json" --export-markdown "$out/check-$list.md" \
        -n varnel-report "'$report' --check '$data/$list.md5' > /dev/null" \
        -n md5sum "md5sum -c '$data/$list.md5' > /dev/null" \
        -n rhash "rhash -c '$data/$list.md5' > /dev/null"
done
hyperfine --warmup 2 --runs "$runs" --style basic \
    --export-json "$out/check-tree-sha256.json" --export-markdown "$out/check-tree-sha256.md" \
    -n varnel-report "'$report' --check '$data/tree.sha256' > /dev/null" \
    -n sha256sum "sha256sum -c '$data/tree.sha256' > /dev/null"
hyperfine --warmup 1 --runs "${VARNEL_BENCH_LONG_RUNS:-3}" --style basic \
    --export-json "$out/check-long1m.json" --export-markdown "$out/check-long1m.md" \
    -n varnel-report "'$report' --check --quiet '$data/long1m.md5'" \
    -n md5sum "md5sum -c --quiet '$data/long1m.md5'"
python3 - "$out" "$report" "$data/long5m.md5" <<'PY' | tee "$out/lists.txt"
import json, os, subprocess, sys
out, report, long5m = sys.argv[1:4]
def means(name):
    with open(os.path.join(out, name)) as f:
        return {r["command"]: r["mean"] for r in json.load(f)["results"]}
def peak_mb(args, stdin=None):
    # The peak resident memory of the program itself, in MB, as GNU time
    # reports it (a child forked from here would count this process's pages).
    with open(stdin or os.devnull, "rb") as source:
        run = subprocess.run(["/usr/bin/time", "-f", "%M"] + args, stdin=source,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        sys.exit("run.sh: %s exited with %d" % (args[0], run.returncode))
    return int(run.stderr.strip().splitlines()[-1]) / 1024
print("load average at the start: %.2f %.2f %.2f (2 cores, shared)" % os.getloadavg())
for name, title, peer in (
        ("check-tree.json", "--check of an MD5 list of 20,000 files of 4 KiB", "md5sum"),
        ("check-tree-sha256.json", "--check of a SHA-256 list of the same files", "sha256sum"),
        ("check-big.json", "--check of an MD5 list of one 512 MiB file", "md5sum"),
        ("check-long1m.json", "--check of a 1,000,000-line MD5 list of one small file", "md5sum")):
    m = means(name)
    print(title + " (mean wall time, s):")
    for k, v in m.items():
        print("  %-14s %.3f" % (k, v))
    print("  %s -c / varnel-report = %.2f" % (peer, m[peer] / m["varnel-report"]))
    if "rhash" in m:
        print("  rhash -c / varnel-report  = %.2f" % (m["rhash"] / m["varnel-report"]))
print("peak memory of --check on a 5,000,000-line MD5 list (MB):")
print("  md5sum -c          %.1f" % peak_mb(["md5sum", "-c", "--quiet", long5m]))
print("  varnel-report      %.1f" % peak_mb([report, "--check", "--quiet", long5m]))
print("  varnel-report -    %.1f (standard input)" % peak_mb([report, "--check", "--quiet", "-"], long5m))
print("load average at the end: %.2f %.2f %.2f" % os.getloadavg())
print("targets: >= 1.50 on the many files (MD5 and SHA-256); >= 1.00 on the long list;")
print("         md5sum -c / varnel-report >= 0.91 on the big file; peak memory <= 64 MB")
PY
[ "$only" = lists ] && exit 0

# The same report is checked against rhash once, so the comparison is fair.
"$report" --crc32 --no-time --no-size "$big" | tr -d '\r' | grep -q "$(md5sum "$big" | cut -c1-32 | tr a-f A-F)" \
    || { echo "run.sh: varnel-report and md5sum disagree" >&2; exit 1; }

hyperfine --warmup 2 --runs "$runs" --style basic \
    --export-json "$out/big.json" --export-markdown "$out/big.md" \
    -n varnel-report "'$report' --crc32 '$big' > /dev/null" \
    -n openssl-md5 "openssl dgst -md5 '$big' > /dev/null" \
    -n md5sum "md5sum '$big' > /dev/null" \
    -n rhash "rhash --crc32 --sha1 --md5 '$big' > /dev/null"

# The full block (CRC-32, SHA-1, MD5, version) of every file, against rhash
# with the same three sums and against the bare walk-and-read.
for name in tree tree1k; do
    eval "folder=\$$name"
    hyperfine --warmup 2 --runs "$runs" --style basic \
        --export-json "$out/$name.json" --export-markdown "$out/$name.md" \
        -n varnel-report "'$report' --crc32 --file-version '$folder' > /dev/null" \
        -n rhash "rhash -r --crc32 --sha1 --md5 '$folder' > /dev/null" \
        -n walk-read "'$walk' '$folder' > /dev/null" \
        -n walk-read-1 "'$walk' '$folder' 1 > /dev/null"
done

# The window: 20,000 files against varnel-report (with the longest gap
# between event-loop turns), 100,000 files in a process of its own (for its
# peak memory), and a 4 GiB file (event-loop gaps, then Stop after a second).
if [ -x "$window" ]; then
    make_tree "$tree100k" 100
    truncate -s 4G "$huge"
    {
        echo "20,000 files:"
        "$window" tree "$tree" "$report" 2>/dev/null
        echo "100,000 files:"
        "$report" "$tree100k" > /dev/null # warm the cache
        "$window" once "$tree100k" "$report" 2>/dev/null
        echo "4 GiB sparse file:"
        "$window" big "$huge" 2>/dev/null
    } | tee "$out/window.txt"
    if [ "${VARNEL_BENCH_KEEP:-0}" != 1 ]; then
        rm -rf "$tree100k" "$huge"
    fi
fi

python3 - "$out" <<'PY' | tee "$out/summary.txt"
import json, os, sys
out = sys.argv[1]
def means(name):
    with open(os.path.join(out, name)) as f:
        return {r["command"]: r["mean"] for r in json.load(f)["results"]}
big = means("big.json")
tree = means("tree.json")
tree1k = means("tree1k.json")
print("512 MiB file (mean wall time, s):")
for k, v in big.items():
    print("  %-14s %.3f" % (k, v))
print("  rhash / varnel-report             = %.2f" % (big["rhash"] / big["varnel-report"]))
print("  varnel-report / openssl dgst -md5 = %.2f   (target <= 1.00)" % (big["varnel-report"] / big["openssl-md5"]))
for m, title, goal in ((tree, "20,000 files of 4 KiB", 0.25), (tree1k, "100,000 files of 1 KiB", 0.35)):
    print(title + " (mean wall time, s):")
    for k, v in m.items():
        print("  %-14s %.3f" % (k, v))
    print("  varnel-report / rhash             = %.2f   (target <= %.2f)" % (m["varnel-report"] / m["rhash"], goal))
    print("  varnel-report / walk-read         = %.2f   (target <= 1.50)" % (m["varnel-report"] / m["walk-read"]))
PY
