#!/bin/sh
# BLAKE3 throughput: our paths on 1 GiB in memory (bench_blake3), beside
# b3sum on a cached 1 GiB file, with one thread and with all. Benchmarks, not
# tests: nothing here passes or fails.
#
#   bench/blake3.sh [path/to/bench_blake3]
#
# The file is made once as $VARNEL_BENCH_DATA/blake3-1g.bin (default
# /tmp/varnel-bench) and read once before timing, so b3sum reads from the
# page cache as ours reads from memory.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/bench/bench_blake3}
data=${VARNEL_BENCH_DATA:-/tmp/varnel-bench}
runs=${VARNEL_BENCH_RUNS:-5}

for tool in b3sum hyperfine; do
    command -v "$tool" >/dev/null || { echo "blake3.sh: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
[ -x "$bench" ] || { echo "blake3.sh: no bench_blake3 at $bench" >&2; exit 1; }

mkdir -p "$data"
file=$data/blake3-1g.bin
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" != 1073741824 ]; then
    head -c 1073741824 /dev/urandom >"$file"
fi
cat "$file" >/dev/null

hyperfine --warmup 1 --runs "$runs" \
    "b3sum --num-threads 1 $file" \
    "b3sum $file"
"$bench" --benchmark_min_time=2
