// The vector lanes on a batch of arbitrary messages: every digest must be
// OpenSSL's. The input picks the lane kind and the digests (first byte),
// then gives the messages, each as a two-byte header and its bytes: the
// header's low 14 bits are the length (cut to what is left), its top bit
// makes the lanes run before the message is started, so that messages start
// while others are half done.
#include "digest/message_lanes.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

using varnel::LaneDone;

void Check(const std::vector<std::span<const std::uint8_t>>& messages,
           const std::vector<LaneDone>& done, varnel::LaneDigestSelection wanted) {
    // Fetched once: an implicit fetch per digest would cost more than it.
    static EVP_MD* const md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
    static EVP_MD* const sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
    for (const LaneDone& d : done) {
        const std::span<const std::uint8_t> message = messages.at(d.tag);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (wanted.md5 &&
            (EVP_Digest(message.data(), message.size(), digest, &size, md5, nullptr) != 1 ||
             std::memcmp(digest, d.md5.data(), 16) != 0)) {
            std::abort();
        }
        if (wanted.sha1 &&
            (EVP_Digest(message.data(), message.size(), digest, &size, sha1, nullptr) != 1 ||
             std::memcmp(digest, d.sha1.data(), 20) != 0)) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const varnel::LaneKind kind =
        (data[0] & 1) != 0 && varnel::LaneKindAvailable(varnel::LaneKind::Avx512)
            ? varnel::LaneKind::Avx512
            : varnel::LaneKind::Avx2;
    if (!varnel::LaneKindAvailable(kind)) {
        return 0;
    }
    const unsigned choice = (data[0] >> 1) % 3;
    const varnel::LaneDigestSelection wanted{.sha1 = choice != 0, .md5 = choice != 1};
    varnel::MessageLanes lanes(kind, wanted);
    std::vector<std::span<const std::uint8_t>> messages;
    std::vector<LaneDone> done;
    const auto run = [&] {
        done.clear();
        lanes.Run(done);
        if (done.empty()) {
            std::abort(); // a run with busy lanes always finishes one
        }
        Check(messages, done, wanted);
    };
    std::size_t at = 1;
    while (at + 2 <= size) {
        const unsigned header = data[at] | (static_cast<unsigned>(data[at + 1]) << 8);
        at += 2;
        const std::size_t length = std::min<std::size_t>(header & 0x3FFF, size - at);
        if ((header & 0x8000) != 0 && lanes.Busy()) {
            run();
        }
        while (lanes.FreeLanes() == 0) {
            run();
        }
        messages.emplace_back(data + at, length);
        lanes.Start(messages.back(), messages.size() - 1);
        at += length;
    }
    while (lanes.Busy()) {
        run();
    }
    return 0;
}
