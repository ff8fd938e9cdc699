#pragma once

// MD5 and SHA-1 of several independent whole messages at once, one message
// per lane of the processor's vector registers (16 lanes: one AVX-512
// register, or two AVX2 registers whose chains the processor overlaps). A
// single MD5 or SHA-1 stream cannot go faster than its chain of dependent
// steps; side by side, the messages share every instruction. For
// many small files, each file being one message, this is where the time goes.
//
//     MessageLanes lanes(*BestLaneKind(), {.sha1 = true, .md5 = true});
//     std::vector<LaneDone> done;
//     while (have more messages || lanes.Busy()) {
//         while (lanes.FreeLanes() > 0 && have more) lanes.Start(next, tag);
//         lanes.Run(done); // hashes until at least one message is finished
//         for (LaneDone& d : done) use(d.tag, d.md5, d.sha1);
//         done.clear();
//     }
//
// Without a vector unit there is no lane kind (BestLaneKind is empty), and
// messages are hashed one at a time as before (OpenSSL).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace varnel {

enum class LaneKind {
    Avx2,   // 16 lanes of 32 bits, in two registers
    Avx512, // 16 lanes of 32 bits
};

// How many messages a kind hashes side by side.
unsigned LaneCount(LaneKind kind) noexcept;

// True when this processor (and the system, which must save the registers)
// can run the kind.
bool LaneKindAvailable(LaneKind kind) noexcept;

// The widest kind this processor runs; nothing when it has no vector unit of
// use.
std::optional<LaneKind> BestLaneKind() noexcept;

struct LaneDigestSelection {
    bool sha1 = false;
    bool md5 = false;
};

// A finished message.
struct LaneDone {
    std::size_t tag = 0; // as given to Start
    std::array<std::uint8_t, 20> sha1{};
    std::array<std::uint8_t, 16> md5{};
};

// One object serves one thread at a time. The lanes' messages are read in
// place: each must stay alive and unchanged until it is handed back by Run.
class MessageLanes {
public:
    // kind must be available (LaneKindAvailable).
    MessageLanes(LaneKind kind, LaneDigestSelection wanted);

    unsigned Lanes() const noexcept { return static_cast<unsigned>(m_Lanes.size()); }
    unsigned FreeLanes() const noexcept { return Lanes() - m_Busy; }
    bool Busy() const noexcept { return m_Busy > 0; }

    // Puts message into a free lane (there must be one).
    void Start(std::span<const std::uint8_t> message, std::size_t tag);

    // Hashes the busy lanes side by side until at least one message is
    // finished, and appends every finished one to done. Nothing when no lane
    // is busy.
    void Run(std::vector<LaneDone>& done);

private:
    struct Lane {
        const std::uint8_t* next = nullptr; // next whole block of the message
        std::size_t wholeBlocks = 0;        // whole blocks of the message still to hash
        unsigned tailBlocks = 0;            // padded blocks after them (1 or 2)
        unsigned tailDone = 0;
        bool busy = false;
        std::size_t tag = 0;
        // The message's last bytes, padded and with the bit length appended:
        // little-endian for MD5, big-endian for SHA-1.
        alignas(64) std::array<std::uint8_t, 128> md5Tail{};
        alignas(64) std::array<std::uint8_t, 128> sha1Tail{};
    };

    using BlockFunction = void (*)(std::uint32_t* state, const std::uint8_t* const* blocks);

    LaneDigestSelection m_Wanted;
    BlockFunction m_Md5Block = nullptr;
    BlockFunction m_Sha1Block = nullptr;
    std::vector<Lane> m_Lanes;
    unsigned m_Busy = 0;
    // Chaining values, word-major: word i of lane l at [i * lanes + l].
    std::vector<std::uint32_t> m_Md5State;
    std::vector<std::uint32_t> m_Sha1State;
};

} // namespace varnel
