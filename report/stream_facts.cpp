#include "report/stream_facts.h"

#include "digest/crc32.h"
#include "digest/digest_context.h"

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace varnel {

namespace {

// Large enough that a pipe's contents come in few reads.
constexpr std::size_t kChunk = 256u << 10;

// A context for each digest wanted.
struct StreamDigest {
    bool wanted;
    std::int32_t algorithm;
    std::string FileFacts::*text;
};

} // namespace

FileFacts GatherStreamFacts(const StreamSource& source, const DigestSelection& wanted) {
    const StreamDigest kinds[] = {
        {wanted.sha1, CALG_SHA1, &FileFacts::sha1},
        {wanted.md5, CALG_MD5, &FileFacts::md5},
        {wanted.sha256, CALG_SHA_256, &FileFacts::sha256},
        {wanted.sha512, CALG_SHA_512, &FileFacts::sha512},
        {wanted.blake2b, kBlake2b512, &FileFacts::blake2b},
        {wanted.sha3_256, kSha3_256, &FileFacts::sha3_256},
        {wanted.sha3_512, kSha3_512, &FileFacts::sha3_512},
        {wanted.xxh3, kXxh3_64, &FileFacts::xxh3},
        {wanted.xxh128, kXxh3_128, &FileFacts::xxh128},
        {wanted.blake3, kBlake3_256, &FileFacts::blake3},
    };
    std::vector<std::pair<DigestContext, std::string FileFacts::*>> contexts;
    for (const StreamDigest& kind : kinds) {
        if (kind.wanted) {
            contexts.emplace_back(DigestContext(kind.algorithm), kind.text);
        }
    }
    FileFacts facts;
    std::uint32_t crc = Crc32Init();
    std::uint64_t count = 0;
    std::vector<char> buffer(kChunk);
    std::optional<std::string> failure;
    try {
        while (const std::size_t got = source(buffer)) {
            const std::span<const std::uint8_t> bytes(
                reinterpret_cast<const std::uint8_t*>(buffer.data()), got);
            count += got;
            if (wanted.crc32) {
                crc = Crc32Update(crc, bytes);
            }
            for (auto& [context, text] : contexts) {
                context.Update(bytes);
            }
        }
    } catch (const std::system_error& error) {
        failure = "read error: " + error.code().message();
    }
    if (!failure) {
        for (auto& [context, text] : contexts) {
            facts.*text = context.FinalHex();
            if ((facts.*text).empty()) {
                failure = "digest service failed";
            }
        }
    }
    if (failure) {
        facts.readOk = false;
        facts.failureKind = ReadFailure::ReadFailed;
        facts.failure = std::move(*failure);
        for (const StreamDigest& kind : kinds) {
            (facts.*(kind.text)).clear();
        }
        return facts;
    }
    // Only a whole read has a size: the count of a failed one is no size of
    // anything, as a file that cannot be read has none.
    facts.size = count;
    if (wanted.crc32) {
        facts.crc32 = Crc32Final(crc);
    }
    return facts;
}

} // namespace varnel
