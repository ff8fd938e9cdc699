// BLAKE3 throughput on 1 GiB in memory: each compression path this
// processor runs, on one thread and on two; the streaming hasher fed 1 MiB
// pieces as the file reader feeds it, on one thread and on two.
// bench/blake3.sh prints b3sum's times on a cached 1 GiB file beside these.

#include "digest/blake3.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace {

using varnel::Blake3;
using varnel::detail::Blake3Path;

constexpr std::size_t kBufferSize = std::size_t{1} << 30;

const std::vector<std::uint8_t>& Buffer() {
    static const std::vector<std::uint8_t> buffer = [] {
        std::vector<std::uint8_t> bytes(kBufferSize);
        std::mt19937_64 gen(42);
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            const std::uint64_t word = gen();
            for (unsigned k = 0; k < 8; ++k) {
                bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
            }
        }
        return bytes;
    }();
    return buffer;
}

void SetThroughput(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kBufferSize));
}

// args: threads, piece size in bytes (0: the whole buffer in one Update).
void BM_Blake3(benchmark::State& state, Blake3Path path) {
    if (!varnel::detail::Blake3PathAvailable(path)) {
        state.SkipWithError("this processor does not run the path");
        return;
    }
    const std::span<const std::uint8_t> all(Buffer());
    const auto threads = static_cast<unsigned>(state.range(0));
    const auto piece = static_cast<std::size_t>(state.range(1));
    for (auto _ : state) {
        Blake3 hasher(path);
        hasher.SetThreads(threads);
        if (piece == 0) {
            hasher.Update(all);
        } else {
            for (std::size_t at = 0; at < all.size(); at += piece) {
                hasher.Update(all.subspan(at, std::min(piece, all.size() - at)));
            }
        }
        benchmark::DoNotOptimize(hasher.Final());
    }
    SetThroughput(state);
}

void Arguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"threads", "piece"});
    for (const std::int64_t piece : {std::int64_t{0}, std::int64_t{1} << 20}) {
        b->Args({1, piece});
        b->Args({2, piece});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
}

} // namespace

BENCHMARK_CAPTURE(BM_Blake3, avx512, Blake3Path::Avx512)->Apply(Arguments);
BENCHMARK_CAPTURE(BM_Blake3, avx2, Blake3Path::Avx2)->Apply(Arguments);
BENCHMARK_CAPTURE(BM_Blake3, portable, Blake3Path::Portable)
    ->Args({1, 0})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
