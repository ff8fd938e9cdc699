// Small files in the vector lanes: a report run gives the same facts whether
// its small files go through the lanes or one at a time (the latter forced
// here, so both ways are covered on any machine), and both are the
// independent oracle's; the files the lanes leave alone are named.

#include "formats/pe_version.h"
#include "report/report_run.h"
#include "report/small_file_lanes.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <tuple>

namespace varnel {
namespace {

using test::OracleDigestsOf;
using test::PseudoRandomBytes;
using test::ScratchDir;
using test::WriteFile;

auto FactsKey(const FileFacts& f) {
    return std::tuple(f.size, f.modified, f.version, f.crc32, f.sha1, f.md5, f.sha256, f.readOk,
                      f.failureKind, f.failure);
}

// Sizes on both sides of the padding edges and of the lanes' bound, empty
// files among them, and enough small files to fill and refill every lane.
struct SmallTree {
    ScratchDir dir;
    std::string folder;
    std::vector<std::size_t> sizes;

    SmallTree() {
        folder = (dir / "t").string();
        std::filesystem::create_directories(dir / "t" / "sub");
        const std::size_t bound = SmallFileLanes::kMaxSize;
        sizes = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 4096, bound - 1, bound, bound + 1, 300000};
        for (std::uint32_t i = 0; i < 60; ++i) {
            sizes.push_back(i * 997 % 5000);
        }
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const std::string name = (i % 3 == 0 ? "sub/f" : "f") + std::to_string(i);
            WriteFile(dir / "t" / name,
                      PseudoRandomBytes(sizes[i], static_cast<std::uint32_t>(i + 1)));
        }
        WriteFile(dir / "t" / ".hidden", std::string("not read"));
        ::mkfifo((dir / "t" / "pipe").c_str(), 0600);
    }
};

// The descriptors this process has open: a run, or lanes once gone, leave
// none of the files they read open.
std::size_t OpenDescriptors() {
    const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(
        std::distance(std::filesystem::begin(entries), std::filesystem::end(entries)));
}

std::vector<RunBlock> RunOver(const std::string& folder, bool lanes, unsigned workers,
                              std::size_t ahead, RunProgress& progress,
                              std::optional<DigestSelection> digests = std::nullopt) {
    ReportRun::Settings settings;
    settings.digests = digests;
    settings.options.ShowCRC32 = true;
    settings.workers = workers;
    settings.maxFilesAhead = ahead;
    settings.vectorLanes = lanes;
    ReportRun run({RunItem::Folder(folder)}, settings);
    std::vector<RunBlock> blocks;
    while (run.WaitReady(blocks)) {
    }
    progress = run.Progress();
    return blocks;
}

TEST(SmallFileLanes, BothWaysGiveTheOraclesFactsForEveryFile) {
    SmallTree tree;
    RunProgress progress;
    const std::vector<RunBlock> oneAtATime = RunOver(tree.folder, false, 1, 256, progress);
    std::uint64_t bytes = 0;
    for (const std::size_t size : tree.sizes) {
        bytes += size;
    }
    EXPECT_EQ(progress.bytesDone, bytes);
    // The oracle once per file, the FIFO left unread by both.
    std::vector<std::filesystem::path> read;
    for (const RunBlock& block : oneAtATime) {
        if (block.facts.readOk) {
            read.emplace_back(block.path);
        }
    }
    const std::vector<test::OracleDigests> digests = test::OracleDigestsOfAll(read);
    std::map<std::string, test::OracleDigests> oracle;
    for (std::size_t i = 0; i < read.size(); ++i) {
        oracle[read[i].string()] = digests[i];
    }
    ASSERT_EQ(oracle.size(), tree.sizes.size());

    for (const auto& [lanes, workers, ahead] :
         {std::tuple{true, 1u, std::size_t{256}}, std::tuple{true, 2u, std::size_t{3}},
          std::tuple{true, 3u, std::size_t{40}}, std::tuple{false, 2u, std::size_t{256}}}) {
        SCOPED_TRACE(std::string(lanes ? "lanes, " : "one at a time, ") + std::to_string(workers) +
                     " workers, " + std::to_string(ahead) + " ahead");
        const std::size_t open = OpenDescriptors();
        const std::vector<RunBlock> blocks = RunOver(tree.folder, lanes, workers, ahead, progress);
        EXPECT_EQ(OpenDescriptors(), open);
        ASSERT_EQ(blocks.size(), oneAtATime.size());
        EXPECT_EQ(progress.bytesDone, bytes);
        EXPECT_EQ(progress.bytesKnown, bytes);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const RunBlock& block = blocks[i];
            ASSERT_EQ(block.path, oneAtATime[i].path);
            EXPECT_EQ(FactsKey(block.facts), FactsKey(oneAtATime[i].facts)) << block.path;
            if (!block.facts.readOk) {
                continue;
            }
            const test::OracleDigests& expected = oracle[block.path];
            char crc[9];
            std::snprintf(crc, sizeof crc, "%08X", block.facts.crc32);
            EXPECT_EQ(crc, expected.crc32) << block.path;
            EXPECT_EQ(block.facts.sha1, expected.sha1) << block.path;
            EXPECT_EQ(block.facts.md5, expected.md5) << block.path;
        }
    }
}

TEST(SmallFileLanes, EveryOtherDigestIsComputedBesideTheLanes) {
    if (!BestLaneKind()) {
        GTEST_SKIP() << "this processor has no vector lanes";
    }
    // The one-at-a-time way hashes each file through the digest service;
    // the lanes' way hashes what it read, with or without lanes in use.
    DigestSelection record{.crc32 = true, .sha1 = true, .md5 = true};
    record.sha256 = true;
    DigestSelection wide;
    wide.sha512 = true;
    wide.blake2b = true;
    DigestSelection newer{.crc32 = true};
    newer.sha3_256 = true;
    newer.sha3_512 = true;
    newer.xxh3 = true;
    newer.xxh128 = true;
    DigestSelection blake3;
    blake3.blake3 = true;
    DigestSelection sha256;
    sha256.sha256 = true;
    const auto key = [](const FileFacts& f) {
        return std::tuple(FactsKey(f), f.sha512, f.blake2b, f.sha3_256, f.sha3_512, f.xxh3,
                          f.xxh128, f.blake3);
    };
    SmallTree tree;
    RunProgress progress;
    for (const DigestSelection& wanted :
         {record, wide, newer, blake3, sha256, DigestSelection{.crc32 = true}}) {
        EXPECT_NE(SmallFileLanes::Make(wanted), nullptr);
        const std::vector<RunBlock> oneAtATime =
            RunOver(tree.folder, false, 1, 256, progress, wanted);
        const std::vector<RunBlock> blocks = RunOver(tree.folder, true, 2, 40, progress, wanted);
        ASSERT_EQ(blocks.size(), oneAtATime.size());
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            ASSERT_EQ(blocks[i].path, oneAtATime[i].path);
            EXPECT_EQ(key(blocks[i].facts), key(oneAtATime[i].facts)) << blocks[i].path;
            const bool read = blocks[i].facts.readOk;
            EXPECT_EQ(blocks[i].facts.sha256.size(), read && wanted.sha256 ? 64u : 0u);
            EXPECT_EQ(blocks[i].facts.blake3.size(), read && wanted.blake3 ? 64u : 0u);
            EXPECT_EQ(blocks[i].facts.xxh128.size(), read && wanted.xxh128 ? 32u : 0u);
        }
    }
}

TEST(SmallFileLanes, OnlyPlainSmallFilesAreTakenWithOrWithoutTheRing) {
    const DigestSelection all{.crc32 = true, .sha1 = true, .md5 = true};
    const std::optional<LaneKind> kind = BestLaneKind();
    if (!kind) {
        GTEST_SKIP() << "this processor has no vector lanes";
    }

    ScratchDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(5000, 3));
    WriteFile(dir / "bound", PseudoRandomBytes(SmallFileLanes::kMaxSize, 5));
    WriteFile(dir / "empty", std::string());
    WriteFile(dir / ".hidden", std::string("h"));
    WriteFile(dir / "large", PseudoRandomBytes(SmallFileLanes::kMaxSize + 1, 4));
    std::filesystem::create_directory(dir / "folder");
    ::mkfifo((dir / "pipe").c_str(), 0600);

    ReportOptions options;
    options.ShowCRC32 = true;
    options.ShowVersion = true;
    const VersionQuery version = [](const std::filesystem::path& path) {
        return path.filename().string() == "plain" ? std::string("1.2.3.4") : std::string();
    };
    // One batch: the names, whether each goes into a lane.
    const std::vector<std::pair<std::string, bool>> batch = {
        {"plain", true},   {"empty", false}, {".hidden", false}, {"large", false},
        {"folder", false}, {"pipe", false},  {"missing", false}, {"bound", true}};
    // Both kinds: with AVX2 lanes SHA-1 is computed one file at a time.
    for (const auto& [laneKind, ring, readHidden] :
         {std::tuple{LaneKind::Avx512, true, false}, std::tuple{LaneKind::Avx512, false, true},
          std::tuple{LaneKind::Avx2, true, true}, std::tuple{LaneKind::Avx2, false, false}}) {
        if (!LaneKindAvailable(laneKind)) {
            continue;
        }
        const std::size_t open = OpenDescriptors();
        {
            SCOPED_TRACE(std::to_string(LaneCount(laneKind)) + " lanes, " +
                         (ring ? "ring" : "plain calls") + (readHidden ? ", hidden read" : ""));
            SmallFileLanes lanes(laneKind, all, ring);
            FactsGatherer::Control control;
            control.readHidden = readHidden;
            std::vector<SmallFileLanes::File> files;
            for (std::size_t i = 0; i < batch.size(); ++i) {
                files.push_back({.tag = i, .path = dir / batch[i].first});
            }
            lanes.Start(files, options, version, control);
            std::vector<SmallFileLanes::Done> done;
            while (lanes.Busy()) {
                lanes.Run(done);
            }
            std::size_t taken = 0;
            for (std::size_t i = 0; i < batch.size(); ++i) {
                const bool expected =
                    batch[i].second || (readHidden && batch[i].first == ".hidden");
                EXPECT_EQ(files[i].taken, expected) << batch[i].first;
                taken += expected ? 1 : 0;
            }
            ASSERT_EQ(done.size(), taken);
            FactsGatherer gatherer;
            for (const SmallFileLanes::Done& d : done) {
                EXPECT_EQ(FactsKey(d.facts),
                          FactsKey(gatherer.Gather(files[d.tag].path, options, version, control)))
                    << files[d.tag].path;
            }
        }
        EXPECT_EQ(OpenDescriptors(), open);
    }
}

TEST(SmallFileLanes, VersionFromTheBytesReadIsTheVersionOfThePath) {
    const std::optional<LaneKind> kind = BestLaneKind();
    if (!kind) {
        GTEST_SKIP() << "this processor has no vector lanes";
    }
    ReportOptions options;
    options.ShowVersion = true;
    const VersionQuery byPath = [](const std::filesystem::path& path) {
        return formats::GetFileVersion(path);
    };
    const VersionOfBytes byBytes = [](std::span<const std::uint8_t> bytes) {
        return formats::GetFileVersionFromBytes(bytes);
    };
    SmallFileLanes lanes(*kind, {.crc32 = false, .sha1 = true, .md5 = true});
    std::vector<SmallFileLanes::File> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(VARNEL_TEST_DATA_DIR) + "/pe")) {
        if (entry.file_size() <= SmallFileLanes::kMaxSize && files.size() < lanes.FreeLanes()) {
            files.push_back({.tag = files.size(), .path = entry.path()});
        }
    }
    ASSERT_FALSE(files.empty());
    lanes.Start(files, options, byPath, {}, byBytes);
    std::vector<SmallFileLanes::Done> done;
    while (lanes.Busy()) {
        lanes.Run(done);
    }
    ASSERT_EQ(done.size(), files.size());
    FactsGatherer gatherer;
    std::size_t withVersion = 0;
    for (const SmallFileLanes::Done& d : done) {
        const FileFacts expected = gatherer.Gather(files[d.tag].path, options, byPath);
        EXPECT_EQ(FactsKey(d.facts), FactsKey(expected)) << files[d.tag].path;
        withVersion += d.facts.version.empty() ? 0u : 1u;
    }
    EXPECT_GT(withVersion, 0u) << "no file with a version record among the samples";
}

} // namespace
} // namespace varnel
