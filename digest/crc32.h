#pragma once

// CRC-32 of IEEE 802.3 (the ZIP checksum): reflected polynomial 0xEDB88320,
// register preset to all ones, result complemented. "123456789" gives
// 0xCBF43926.

#include <array>
#include <cstdint>
#include <span>

namespace varnel {

class BinaryFileStream_Class;

// Streaming interface, for a reader that feeds CRC-32 with the same bytes it
// feeds the other digests:
//
//     std::uint32_t crc = Crc32Init();
//     crc = Crc32Update(crc, chunk1);
//     crc = Crc32Update(crc, chunk2);
//     std::uint32_t value = Crc32Final(crc);
//
// The register passed between calls is the raw (uncomplemented) register.
constexpr std::uint32_t Crc32Init() noexcept {
    return 0xFFFFFFFFu;
}
constexpr std::uint32_t Crc32Final(std::uint32_t crc) noexcept {
    return crc ^ 0xFFFFFFFFu;
}
std::uint32_t Crc32Update(std::uint32_t crc, std::span<const std::uint8_t> data) noexcept;

// The CRC-32 of data in one call.
std::uint32_t Crc32(std::span<const std::uint8_t> data) noexcept;

namespace detail {

// Row 0: entry i is the CRC remainder of the single byte i. Row k: the
// remainder of byte i followed by k zero bytes, so that sixteen bytes can be
// folded into the register with sixteen independent lookups.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 16>;

// The table-driven update alone, without carry-less multiplication; the
// result is the same as Crc32Update's on every machine.
std::uint32_t Crc32UpdatePortable(std::uint32_t crc, std::span<const std::uint8_t> data) noexcept;

// True when this CPU has carry-less multiplication (PCLMULQDQ, SSE4.1) and
// Crc32Update folds long inputs with it.
bool Crc32HardwareAvailable() noexcept;

// The ways of the update: tables alone, folding 128 bits at a time
// (PCLMULQDQ), or 256 bits at a time (VPCLMULQDQ, AVX2). Crc32Update takes
// the fastest this processor has.
enum class Crc32Path { Tables, Clmul, WideClmul };
bool Crc32PathAvailable(Crc32Path path) noexcept;

// The update on a given path (on the tables when the processor lacks it);
// the result is the same as Crc32Update's.
std::uint32_t Crc32UpdateOn(Crc32Path path, std::uint32_t crc,
                            std::span<const std::uint8_t> data) noexcept;

} // namespace detail

// The way Crc32Update takes on this processor: "VPCLMULQDQ", "PCLMULQDQ" or
// "tables".
const char* Crc32PathName() noexcept;

// Calculator object of the report builders. The value is handed back as an
// unsigned 32-bit number; callers format the bit pattern as hexadecimal.
class CRC32_Class {
public:
    CRC32_Class();

    // The CRC-32 of every element of bytes. Arrays are indexed with 16-bit
    // signed bounds, so 32,768 elements or more throw RuntimeError 6
    // "Overflow" and no partial result is returned. An empty array gives 0,
    // the CRC-32 of no data.
    std::uint32_t GetByteArrayCrc32(std::span<const std::uint8_t> bytes) const;

    // Reads stream (already pointed at a file) to its end in 8,192-byte chunks
    // and returns the CRC-32 of every byte delivered. A stream whose setFile
    // failed delivers nothing: the result is 0. A read that fails part way
    // ends the stream early; the caller sees that in stream.ReadError().
    std::uint32_t GetFileCrc32(BinaryFileStream_Class& stream) const;

private:
    // m_CrcTable[0][i] is the CRC remainder of the single byte i, built in the
    // constructor; the further rows are derived from it (see Crc32Tables).
    detail::Crc32Tables m_CrcTable{};
};

} // namespace varnel
