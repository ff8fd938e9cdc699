// SHA-1 and SHA-256 with the processor's SHA instructions against OpenSSL:
// random messages of every length around the block and padding edges, and
// pairs of messages of different lengths hashed side by side. Skipped, with
// a message, on a processor without the instructions.

#include "digest/sha_ni.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

namespace varnel {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N> std::array<std::uint8_t, N> OpenSsl(const EVP_MD* md, const Bytes& m) {
    std::array<std::uint8_t, N> out{};
    unsigned int size = 0;
    EXPECT_EQ(EVP_Digest(m.data(), m.size(), out.data(), &size, md, nullptr), 1);
    return out;
}

Bytes Message(std::size_t size, std::uint32_t seed) {
    std::mt19937 gen(seed);
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(gen());
    }
    return bytes;
}

// 0..200 bytes (every edge of one and two tail blocks), then lengths on both
// sides of larger block edges.
std::vector<std::size_t> Lengths() {
    std::vector<std::size_t> sizes;
    for (std::size_t n = 0; n <= 200; ++n) {
        sizes.push_back(n);
    }
    for (const std::size_t edge : {1024u, 4096u, 65536u, 262144u}) {
        for (const std::size_t n : {edge - 9, edge - 8, edge - 1, edge, edge + 1, edge + 55}) {
            sizes.push_back(n);
        }
    }
    return sizes;
}

class ShaExtensionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ShaExtensionsAvailable()) {
            GTEST_SKIP() << "this processor lacks the SHA instructions";
        }
    }
};

TEST_F(ShaExtensionsTest, OneMessageMatchesOpenSsl) {
    for (const std::size_t n : Lengths()) {
        const Bytes m = Message(n, static_cast<std::uint32_t>(n));
        EXPECT_EQ(Sha1WithShaExtensions(m), OpenSsl<20>(EVP_sha1(), m)) << n << " bytes";
        EXPECT_EQ(Sha256WithShaExtensions(m), OpenSsl<32>(EVP_sha256(), m)) << n << " bytes";
    }
}

TEST_F(ShaExtensionsTest, PairsOfAnyLengthsMatchOpenSsl) {
    const std::vector<std::size_t> sizes = Lengths();
    std::mt19937 gen(7);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        // Each length beside a shorter, an equal and a longer one.
        for (const std::size_t other : {sizes[gen() % sizes.size()], sizes[i], sizes[i] + 64}) {
            const Bytes a = Message(sizes[i], static_cast<std::uint32_t>(i));
            const Bytes b = Message(other, static_cast<std::uint32_t>(i + 1000));
            std::array<std::uint8_t, 20> da{};
            std::array<std::uint8_t, 20> db{};
            Sha1PairWithShaExtensions(a, b, da, db);
            EXPECT_EQ(da, OpenSsl<20>(EVP_sha1(), a)) << a.size() << " beside " << b.size();
            EXPECT_EQ(db, OpenSsl<20>(EVP_sha1(), b)) << b.size() << " beside " << a.size();
            std::array<std::uint8_t, 32> la{};
            std::array<std::uint8_t, 32> lb{};
            Sha256PairWithShaExtensions(a, b, la, lb);
            EXPECT_EQ(la, OpenSsl<32>(EVP_sha256(), a)) << a.size() << " beside " << b.size();
            EXPECT_EQ(lb, OpenSsl<32>(EVP_sha256(), b)) << b.size() << " beside " << a.size();
        }
    }
}

} // namespace
} // namespace varnel
