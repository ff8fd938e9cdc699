// Throughput of the digest engine's inner loops on a 64 MiB buffer in memory:
// our CRC-32 (carry-less folding where the CPU has it, and the portable
// slicing-by-16 tables), next to MD5 and SHA-1 of OpenSSL's EVP service; and
// the conversion of a short label to Big5.

#include "digest/crc32.h"
#include "digest/md5_sha1.h"
#include "i18n/big5.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = std::size_t{64} << 20;

const std::vector<std::uint8_t>& Buffer() {
    static const std::vector<std::uint8_t> buffer = [] {
        std::vector<std::uint8_t> bytes(kBufferSize);
        std::mt19937 gen(42);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(gen());
        }
        return bytes;
    }();
    return buffer;
}

void SetThroughput(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kBufferSize));
}

void BM_Crc32(benchmark::State& state) {
    const auto& data = Buffer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(varnel::Crc32(data));
    }
    SetThroughput(state);
    state.SetLabel(varnel::detail::Crc32HardwareAvailable() ? "pclmul" : "tables");
}

void BM_Crc32Portable(benchmark::State& state) {
    const auto& data = Buffer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(varnel::detail::Crc32UpdatePortable(varnel::Crc32Init(), data));
    }
    SetThroughput(state);
}

// The calculator's own path: 8,192-byte pieces, as GetFileCrc32 feeds it.
void BM_Crc32In8KiBChunks(benchmark::State& state) {
    const auto& data = Buffer();
    const std::span<const std::uint8_t> all(data);
    for (auto _ : state) {
        std::uint32_t crc = varnel::Crc32Init();
        for (std::size_t at = 0; at < all.size(); at += 8192) {
            crc = varnel::Crc32Update(crc, all.subspan(at, 8192));
        }
        benchmark::DoNotOptimize(crc);
    }
    SetThroughput(state);
}

void BM_Digest(benchmark::State& state, std::int32_t algorithm) {
    const std::span<const std::uint8_t> all(Buffer());
    for (auto _ : state) {
        varnel::DigestContext context(algorithm);
        for (std::size_t at = 0; at < all.size(); at += 32768) {
            context.Update(all.subspan(at, 32768));
        }
        benchmark::DoNotOptimize(context.FinalHex());
    }
    SetThroughput(state);
}

// A short label through the conversion library, as hover hints and report
// labels convert it (about 1 µs per label here).
void BM_ConvertToBig5Label(benchmark::State& state) {
    varnel::detail::SetConversionLibraryPathForTesting(VARNEL_GB2BIG5_LIBRARY);
    for (auto _ : state) {
        benchmark::DoNotOptimize(varnel::ConvertToBig5("关闭退出"));
    }
    state.SetLabel(varnel::ConvertToBig5("关闭") == "關閉" ? "library" : "no library");
}

BENCHMARK(BM_ConvertToBig5Label);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Portable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32In8KiBChunks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Digest, MD5, varnel::CALG_MD5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Digest, SHA1, varnel::CALG_SHA1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
