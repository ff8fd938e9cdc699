// The vector lanes against OpenSSL's one-message-at-a-time MD5 and SHA-1:
// every lane kind this processor runs, lengths on both sides of every padding
// edge, lanes of different lengths finishing at different times and being
// refilled while the others go on.

#include "digest/message_lanes.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <deque>
#include <map>
#include <random>
#include <vector>

namespace varnel {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
std::array<std::uint8_t, N> OpenSslDigest(const EVP_MD* md, const Bytes& message) {
    std::array<std::uint8_t, N> out{};
    unsigned int size = 0;
    EXPECT_EQ(EVP_Digest(message.data(), message.size(), out.data(), &size, md, nullptr), 1);
    EXPECT_EQ(size, N);
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

// Hashes every message through lanes, refilling a lane as soon as it is
// free, and checks each result against OpenSSL.
void HashAndCompare(LaneKind kind, LaneDigestSelection wanted, const std::vector<Bytes>& messages) {
    MessageLanes lanes(kind, wanted);
    std::map<std::size_t, LaneDone> results;
    std::vector<LaneDone> done;
    std::size_t next = 0;
    std::size_t runs = 0;
    while (next < messages.size() || lanes.Busy()) {
        while (lanes.FreeLanes() > 0 && next < messages.size()) {
            lanes.Start(messages[next], next);
            ++next;
        }
        lanes.Run(done);
        ASSERT_FALSE(done.empty()) << "a run finished nothing";
        for (const LaneDone& d : done) {
            ASSERT_TRUE(results.emplace(d.tag, d).second) << "message " << d.tag << " twice";
        }
        done.clear();
        ASSERT_LT(++runs, messages.size() + 1) << "more runs than messages";
    }
    ASSERT_EQ(results.size(), messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const LaneDone& d = results[i];
        if (wanted.md5) {
            EXPECT_EQ(d.md5, OpenSslDigest<16>(EVP_md5(), messages[i]))
                << "MD5 of message " << i << " (" << messages[i].size() << " bytes)";
        }
        if (wanted.sha1) {
            EXPECT_EQ(d.sha1, OpenSslDigest<20>(EVP_sha1(), messages[i]))
                << "SHA-1 of message " << i << " (" << messages[i].size() << " bytes)";
        }
    }
}

class MessageLanesTest : public ::testing::TestWithParam<LaneKind> {
protected:
    void SetUp() override {
        if (!LaneKindAvailable(GetParam())) {
            GTEST_SKIP() << "this processor lacks the lane kind";
        }
    }
};

TEST_P(MessageLanesTest, EveryLengthAroundThePaddingEdges) {
    // Each length modulo 64 around the edges where the padding takes one or
    // two blocks (55/56), where the message fills its block (63/64), and
    // empty, over several whole blocks.
    std::vector<Bytes> messages;
    for (const std::size_t blocks : {0u, 1u, 2u, 5u, 17u}) {
        for (const std::size_t rest : {0u, 1u, 3u, 54u, 55u, 56u, 57u, 62u, 63u}) {
            messages.push_back(
                Message(blocks * 64 + rest, static_cast<std::uint32_t>(blocks * 100 + rest)));
        }
    }
    HashAndCompare(GetParam(), {.sha1 = true, .md5 = true}, messages);
}

TEST_P(MessageLanesTest, LanesOfMixedLengthsAreRefilledAsTheyFinish) {
    // Many more messages than lanes, lengths from empty to a few blocks past
    // the small-file bound, in a shuffled order so that neighbouring lanes
    // finish at different times.
    std::mt19937 gen(7);
    std::vector<Bytes> messages;
    for (std::uint32_t i = 0; i < 300; ++i) {
        const std::size_t size = gen() % 4 == 0 ? gen() % 70000 : gen() % 700;
        messages.push_back(Message(size, i));
    }
    HashAndCompare(GetParam(), {.sha1 = true, .md5 = true}, messages);
}

TEST_P(MessageLanesTest, EachDigestAlone) {
    const std::vector<Bytes> messages = {Message(0, 1), Message(119, 2), Message(4096, 3),
                                         Message(1000, 4)};
    HashAndCompare(GetParam(), {.sha1 = false, .md5 = true}, messages);
    HashAndCompare(GetParam(), {.sha1 = true, .md5 = false}, messages);
}

TEST_P(MessageLanesTest, OneLongMessageAmongShortOnes) {
    // The long one keeps its lane while every other lane is refilled many
    // times; it must not be disturbed by them.
    std::vector<Bytes> messages = {Message(200000, 99)};
    for (std::uint32_t i = 0; i < 200; ++i) {
        messages.push_back(Message(i * 7 % 300, i));
    }
    HashAndCompare(GetParam(), {.sha1 = true, .md5 = true}, messages);
}

TEST_P(MessageLanesTest, AStartWithoutAFreeLaneIsRefused) {
    MessageLanes lanes(GetParam(), {.sha1 = true, .md5 = true});
    const Bytes message = Message(10, 1);
    for (unsigned i = 0; i < lanes.Lanes(); ++i) {
        lanes.Start(message, i);
    }
    EXPECT_EQ(lanes.FreeLanes(), 0u);
    EXPECT_THROW(lanes.Start(message, 99), std::logic_error);
    std::vector<LaneDone> done;
    lanes.Run(done);
    EXPECT_EQ(done.size(), lanes.Lanes()); // equal lengths finish together
    EXPECT_FALSE(lanes.Busy());
    lanes.Run(done); // nothing busy: nothing happens
    EXPECT_EQ(done.size(), lanes.Lanes());
}

INSTANTIATE_TEST_SUITE_P(Kinds, MessageLanesTest,
                         ::testing::Values(LaneKind::Avx2, LaneKind::Avx512), [](const auto& kind) {
                             return kind.param == LaneKind::Avx2 ? "Avx2" : "Avx512";
                         });

TEST(LaneKinds, TheBestKindIsAvailableAndNoWiderThanSixteen) {
    const std::optional<LaneKind> best = BestLaneKind();
    if (!best) {
        EXPECT_FALSE(LaneKindAvailable(LaneKind::Avx2));
        EXPECT_FALSE(LaneKindAvailable(LaneKind::Avx512));
        return;
    }
    EXPECT_TRUE(LaneKindAvailable(*best));
    EXPECT_EQ(LaneCount(LaneKind::Avx2), 16u);
    EXPECT_EQ(LaneCount(LaneKind::Avx512), 16u);
    if (LaneKindAvailable(LaneKind::Avx512)) {
        EXPECT_EQ(*best, LaneKind::Avx512);
    }
}

} // namespace
} // namespace varnel
