#!/bin/sh
# The digest kinds against the tools that publish them, side by side with
# hyperfine on cached data. Benchmarks, not tests: nothing here passes or
# fails. The processor's paths are named first (varnel-report --version).
#
#   bench/digests.sh [path/to/varnel-report [path/to/walk_read]]
#
# Data under $VARNEL_BENCH_DATA (default /tmp/varnel-bench), made once and
# shared with run.sh: 20,000 files of 4 KiB, 100,000 of 1 KiB and a 1 GiB
# file. Timed, each as a ratio to its peer:
#   the full block of both folders against rhash -r --crc32 --sha1 --md5 and
#   against walk_read (listing and reading only, on as many threads);
#   the 4 KiB files as a SHA-256 list against rhash -r --sha256, and the full
#   block plus SHA-256 in JSON against the full block alone;
#   --check of BLAKE3, XXH128 and XXH3 lists of the 4 KiB files against
#   b3sum --check and xxhsum -c (the lists written by those tools);
#   the 1 GiB file's XXH3 and XXH128 against xxhsum, SHA3-256 and SHA-256
#   against openssl dgst, BLAKE3 against b3sum.
# Figures go to bench/out/digests.txt.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
report=$(realpath "${1:-$here/../build/dist/Varnel/varnel-report}")
walk=$(realpath "${2:-$here/../build/bench/walk_read}")
data=${VARNEL_BENCH_DATA:-/tmp/varnel-bench}
out=$here/out
runs=${VARNEL_BENCH_RUNS:-10}

for tool in hyperfine rhash openssl b3sum xxhsum python3; do
    command -v "$tool" >/dev/null || { echo "digests.sh: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
[ -x "$report" ] || { echo "digests.sh: no varnel-report at $report" >&2; exit 1; }
[ -x "$walk" ] || { echo "digests.sh: no walk_read at $walk" >&2; exit 1; }

. "$here/trees.sh"
mkdir -p "$data" "$out"
make_tree "$data/tree" 20
make_tree "$data/tree1k" 100 1024
big=$data/blake3-1g.bin
make_random "$big" 1073741824
threads=$(nproc)

# The lists, written by the peers from the tree's own folder and named as
# they name them (a name is how a list of 64 or 32 hex digits tells its kind).
lists=$out/digests
mkdir -p "$lists"
cd "$data/tree"
b3sum d*/* >"$lists/B3SUMS"
xxhsum -H128 d*/* >"$lists/XXH128SUMS"
xxhsum -H3 d*/* >"$lists/XXH3SUMS"
cat "$big" >/dev/null

# compare NAME OURS PEER: both timed, the ratio of their mean wall times.
compare() {
    hyperfine -N --warmup 2 --runs "$runs" --style none --export-json "$out/digests-run.json" \
        -n ours "$2" -n peer "$3" >/dev/null
    python3 - "$out/digests-run.json" "$1" <<'PY'
import json, sys
with open(sys.argv[1]) as f:
    m = {r["command"]: r for r in json.load(f)["results"]}
o, p = m["ours"], m["peer"]
print("%-58s %7.3f s %7.3f s  %.2f   (CPU %.3f / %.3f s)" % (sys.argv[2], o["mean"], p["mean"],
      o["mean"] / p["mean"], o["user"] + o["system"], p["user"] + p["system"]))
PY
}

{
    "$report" --version | sed -n 's/^hashing: /paths: /p'
    grep -m1 "model name" /proc/cpuinfo | sed 's/.*: /processor: /'
    echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $threads cores"
    printf '%-58s %9s %9s  %s\n' "" ours peer ratio
    compare "4 KiB files, full block / rhash" "$report $data/tree" \
        "rhash -r --crc32 --sha1 --md5 $data/tree"
    compare "4 KiB files, full block / walk_read" "$report $data/tree" "$walk $data/tree $threads"
    compare "1 KiB files, full block / rhash" "$report $data/tree1k" \
        "rhash -r --crc32 --sha1 --md5 $data/tree1k"
    compare "1 KiB files, full block / walk_read" "$report $data/tree1k" \
        "$walk $data/tree1k $threads"
    compare "4 KiB files, SHA-256 list / rhash --sha256" "$report --format sha256sum $data/tree" \
        "rhash -r --sha256 $data/tree"
    compare "4 KiB files, JSON with SHA-256 / full block" \
        "$report --format json --sha256 $data/tree" "$report $data/tree"
    compare "--check of 20,000 BLAKE3 entries / b3sum --check" \
        "$report --check $lists/B3SUMS" "b3sum --check $lists/B3SUMS"
    compare "--check of 20,000 XXH128 entries / xxhsum -c" \
        "$report --check $lists/XXH128SUMS" "xxhsum -c $lists/XXH128SUMS"
    compare "--check of 20,000 XXH3 entries / xxhsum -c" \
        "$report --check $lists/XXH3SUMS" "xxhsum -c $lists/XXH3SUMS"
    compare "1 GiB, XXH3 / xxhsum -H3" "$report --format xxh3sum $big" "xxhsum -H3 $big"
    compare "1 GiB, XXH128 / xxhsum -H128" "$report --format xxh128sum $big" "xxhsum -H128 $big"
    compare "1 GiB, SHA3-256 / openssl dgst -sha3-256" "$report --format sha3-256sum $big" \
        "openssl dgst -sha3-256 $big"
    compare "1 GiB, SHA-256 / openssl dgst -sha256" "$report --format sha256sum $big" \
        "openssl dgst -sha256 $big"
    compare "1 GiB, BLAKE3 / b3sum (both on every core)" "$report --format b3sum $big" "b3sum $big"
} | tee "$out/digests.txt"
rm -rf "$out/digests-run.json" "$lists"
