// Throughput of the digest engine's inner loops on a 64 MiB buffer in memory:
// our CRC-32 (carry-less folding where the CPU has it, and the portable
// slicing-by-16 tables), next to MD5 and SHA-1 of OpenSSL's EVP service; and
// the conversion of a short label to Big5.

#include "digest/crc32.h"
#include "digest/digest_context.h"
#include "digest/message_lanes.h"
#include "digest/sha_ni.h"
#include "i18n/big5.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
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

// Many whole messages of one size (state.range(0) bytes) from the buffer:
// one at a time through OpenSSL (1 lane), or side by side in the vector
// lanes (8 with AVX2, 16 with AVX-512), each lane refilled as it finishes.
// Throughput per core: one thread.
void BM_Messages(benchmark::State& state, std::optional<varnel::LaneKind> kind,
                 varnel::LaneDigestSelection wanted) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::span<const std::uint8_t> all(Buffer());
    const std::size_t count = std::min<std::size_t>(all.size() / size, 4096);
    if (kind && !varnel::LaneKindAvailable(*kind)) {
        state.SkipWithError("this processor lacks the lane kind");
        return;
    }
    std::vector<varnel::LaneDone> done;
    for (auto _ : state) {
        if (!kind) {
            varnel::DigestContext context(wanted.md5 ? varnel::CALG_MD5 : varnel::CALG_SHA1);
            for (std::size_t i = 0; i < count; ++i) {
                context.Restart();
                context.Update(all.subspan(i * size, size));
                benchmark::DoNotOptimize(context.FinalHex());
            }
            continue;
        }
        varnel::MessageLanes lanes(*kind, wanted);
        std::size_t next = 0;
        while (next < count || lanes.Busy()) {
            while (lanes.FreeLanes() > 0 && next < count) {
                lanes.Start(all.subspan(next * size, size), next);
                ++next;
            }
            lanes.Run(done);
            done.clear();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count * size));
}

// CRC-32 of many whole messages of one size on one path (tables, 128-bit or
// 256-bit folding).
void BM_Crc32Messages(benchmark::State& state, varnel::detail::Crc32Path path) {
    if (!varnel::detail::Crc32PathAvailable(path)) {
        state.SkipWithError("this processor lacks the path");
        return;
    }
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::span<const std::uint8_t> all(Buffer());
    const std::size_t count = std::min<std::size_t>(all.size() / size, 4096);
    for (auto _ : state) {
        for (std::size_t i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(
                varnel::detail::Crc32UpdateOn(path, 0xFFFFFFFFu, all.subspan(i * size, size)));
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count * size));
}

// SHA-1 and SHA-256 of many whole messages of one size: the digest service
// one at a time, or the SHA instructions in one call (SHA-1 also two
// messages interleaved), as the small-file path takes them.
enum class ShaWay { Sha1Service, Sha1Own, Sha1OwnPairs, Sha256Service, Sha256Own, Sha256OwnPairs };

void BM_ShaMessages(benchmark::State& state, ShaWay way) {
    const bool own = way == ShaWay::Sha1Own || way == ShaWay::Sha1OwnPairs ||
                     way == ShaWay::Sha256Own || way == ShaWay::Sha256OwnPairs;
    if (own && !varnel::ShaExtensionsAvailable()) {
        state.SkipWithError("this processor lacks the SHA instructions");
        return;
    }
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::span<const std::uint8_t> all(Buffer());
    const std::size_t count = std::min<std::size_t>(all.size() / size, 4096) & ~std::size_t{1};
    std::array<std::uint8_t, 20> first{};
    std::array<std::uint8_t, 20> second{};
    std::array<std::uint8_t, 32> wide1{};
    std::array<std::uint8_t, 32> wide2{};
    for (auto _ : state) {
        std::optional<varnel::DigestContext> context;
        if (way == ShaWay::Sha1Service || way == ShaWay::Sha256Service) {
            context.emplace(way == ShaWay::Sha1Service ? varnel::CALG_SHA1 : varnel::CALG_SHA_256);
        }
        for (std::size_t i = 0; i < count; ++i) {
            const auto message = all.subspan(i * size, size);
            switch (way) {
            case ShaWay::Sha1Service:
            case ShaWay::Sha256Service:
                context->Restart();
                context->Update(message);
                benchmark::DoNotOptimize(context->FinalHex());
                break;
            case ShaWay::Sha1Own:
                benchmark::DoNotOptimize(varnel::Sha1WithShaExtensions(message));
                break;
            case ShaWay::Sha1OwnPairs:
                varnel::Sha1PairWithShaExtensions(message, all.subspan(++i * size, size), first,
                                                  second);
                benchmark::DoNotOptimize(first);
                benchmark::DoNotOptimize(second);
                break;
            case ShaWay::Sha256Own:
                benchmark::DoNotOptimize(varnel::Sha256WithShaExtensions(message));
                break;
            case ShaWay::Sha256OwnPairs:
                varnel::Sha256PairWithShaExtensions(message, all.subspan(++i * size, size), wide1,
                                                    wide2);
                benchmark::DoNotOptimize(wide1);
                benchmark::DoNotOptimize(wide2);
                break;
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count * size));
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

constexpr varnel::LaneDigestSelection kMd5Only{.sha1 = false, .md5 = true};
constexpr varnel::LaneDigestSelection kSha1Only{.sha1 = true, .md5 = false};
BENCHMARK_CAPTURE(BM_Messages, MD5_1lane, std::nullopt, kMd5Only)->Arg(1024)->Arg(4096)->Arg(65536);
BENCHMARK_CAPTURE(BM_Messages, MD5_lanes_AVX2, varnel::LaneKind::Avx2, kMd5Only)
    ->Arg(1024)
    ->Arg(4096)
    ->Arg(65536);
BENCHMARK_CAPTURE(BM_Messages, MD5_lanes_AVX512, varnel::LaneKind::Avx512, kMd5Only)
    ->Arg(1024)
    ->Arg(4096)
    ->Arg(65536);
BENCHMARK_CAPTURE(BM_Messages, SHA1_1lane, std::nullopt, kSha1Only)
    ->Arg(1024)
    ->Arg(4096)
    ->Arg(65536);
BENCHMARK_CAPTURE(BM_Messages, SHA1_lanes_AVX2, varnel::LaneKind::Avx2, kSha1Only)
    ->Arg(1024)
    ->Arg(4096)
    ->Arg(65536);
BENCHMARK_CAPTURE(BM_Messages, SHA1_lanes_AVX512, varnel::LaneKind::Avx512, kSha1Only)
    ->Arg(1024)
    ->Arg(4096)
    ->Arg(65536);

BENCHMARK_CAPTURE(BM_Crc32Messages, tables, varnel::detail::Crc32Path::Tables)
    ->Arg(1024)
    ->Arg(4096);
BENCHMARK_CAPTURE(BM_Crc32Messages, PCLMULQDQ, varnel::detail::Crc32Path::Clmul)
    ->Arg(1024)
    ->Arg(4096);
BENCHMARK_CAPTURE(BM_Crc32Messages, VPCLMULQDQ, varnel::detail::Crc32Path::WideClmul)
    ->Arg(1024)
    ->Arg(4096);
BENCHMARK_CAPTURE(BM_ShaMessages, SHA1_service, ShaWay::Sha1Service)->Arg(1024)->Arg(4096);
BENCHMARK_CAPTURE(BM_ShaMessages, SHA1_own, ShaWay::Sha1Own)->Arg(1024)->Arg(4096);
BENCHMARK_CAPTURE(BM_ShaMessages, SHA1_own_pairs, ShaWay::Sha1OwnPairs)->Arg(1024)->Arg(4096);
BENCHMARK_CAPTURE(BM_ShaMessages, SHA256_service, ShaWay::Sha256Service)->Arg(1024)->Arg(4096);
BENCHMARK_CAPTURE(BM_ShaMessages, SHA256_own, ShaWay::Sha256Own)->Arg(1024)->Arg(4096);
BENCHMARK_CAPTURE(BM_ShaMessages, SHA256_own_pairs, ShaWay::Sha256OwnPairs)->Arg(1024)->Arg(4096);

} // namespace

BENCHMARK_MAIN();
