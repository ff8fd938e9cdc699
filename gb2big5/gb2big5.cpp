// The conversion library: GB2312 <-> Big5 in place, by table.
//
// The tables come from gb2big5_table_gen at build time. A two-byte character
// of the source charset is replaced by the two-byte code of its converted form;
// where a word decides the form (复制 -> 複製, not 復制), the longest word of
// the phrase table that starts at the character is replaced as a whole. Every
// replacement has exactly the length of what it replaces.
#define GB2BIG5_BUILDING
#include "gb2big5/gb2big5.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

#include "gb2big5_tables.inc"

struct PhraseTable {
    const char* keys;
    const char* values;
    const std::uint32_t* offsets;
    std::size_t count;
    std::size_t maxBytes;

    std::string_view Key(std::size_t i) const {
        return {keys + offsets[i], offsets[i + 1] - offsets[i]};
    }
};

constexpr PhraseTable kStPhrases{kStPhraseKeys, kStPhraseValues, kStPhraseOffsets, kStPhraseCount,
                                 kStPhraseMaxBytes};
constexpr PhraseTable kTsPhrases{kTsPhraseKeys, kTsPhraseValues, kTsPhraseOffsets, kTsPhraseCount,
                                 kTsPhraseMaxBytes};

bool IsGbChar(unsigned lead, unsigned trail) {
    return lead >= 0xA1 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE;
}

bool IsBig5Char(unsigned lead, unsigned trail) {
    return lead >= 0xA1 && lead <= 0xF9 &&
           ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE));
}

// A trail byte of any double-byte code of the GBK / Big5 family. A lead byte
// followed by such a byte forms one character that is skipped as a whole, so
// that its trail byte is never taken for the lead of the next character.
bool IsDoubleByteTrail(unsigned trail) {
    return trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

// First index in [lo, hi) for which less(i) is false; less must be true for a
// prefix of the range and false for the rest.
template <typename Less> std::size_t PartitionPoint(std::size_t lo, std::size_t hi, Less less) {
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (less(mid)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// The index of the longest phrase that starts `text`, looking at no more than
// `available` bytes (whole characters of the source charset), or count when
// none does.
std::size_t LongestPhrase(const PhraseTable& table, const char* text, std::size_t available) {
    const std::string_view first(text, 2);
    const std::size_t lo = PartitionPoint(
        0, table.count, [&](std::size_t i) { return table.Key(i).substr(0, 2) < first; });
    const std::size_t hi = PartitionPoint(
        lo, table.count, [&](std::size_t i) { return table.Key(i).substr(0, 2) == first; });
    std::size_t length = available < table.maxBytes ? available : table.maxBytes;
    for (length -= length % 2; length >= 4; length -= 2) {
        const std::string_view probe(text, length);
        const std::size_t at =
            PartitionPoint(lo, hi, [&](std::size_t i) { return table.Key(i) < probe; });
        if (at < hi && table.Key(at) == probe) {
            return at;
        }
    }
    return table.count;
}

using IsCharFn = bool (*)(unsigned, unsigned);
using CodeFn = std::uint16_t (*)(unsigned, unsigned);

void Convert(char* text, const PhraseTable& phrases, IsCharFn isChar, CodeFn code) {
    if (text == nullptr) {
        return;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(text);
    const std::size_t n = std::strlen(text);
    std::size_t i = 0;
    while (i < n) {
        const unsigned lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (i + 1 >= n) {
            break; // a lone lead byte before the terminator stays as it is
        }
        const unsigned trail = bytes[i + 1];
        if (!isChar(lead, trail)) {
            i += IsDoubleByteTrail(trail) ? std::size_t{2} : std::size_t{1};
            continue;
        }
        std::size_t run = 2;
        while (run < phrases.maxBytes && i + run + 1 < n &&
               isChar(bytes[i + run], bytes[i + run + 1])) {
            run += 2;
        }
        if (run >= 4) {
            const std::size_t at = LongestPhrase(phrases, text + i, run);
            if (at < phrases.count) {
                const std::size_t length = phrases.offsets[at + 1] - phrases.offsets[at];
                std::memcpy(text + i, phrases.values + phrases.offsets[at], length);
                i += length;
                continue;
            }
        }
        if (const std::uint16_t to = code(lead, trail); to != 0) {
            bytes[i] = static_cast<unsigned char>(to >> 8);
            bytes[i + 1] = static_cast<unsigned char>(to & 0xFF);
        }
        i += 2;
    }
}

std::uint16_t GbToBig5Code(unsigned lead, unsigned trail) {
    return kGbToBig5[(lead - 0xA1) * 94 + (trail - 0xA1)];
}

std::uint16_t Big5ToGbCode(unsigned lead, unsigned trail) {
    const unsigned column = trail <= 0x7E ? trail - 0x40 : trail - 0xA1 + (0x7E - 0x40 + 1);
    return kBig5ToGb[(lead - 0xA1) * 157 + column];
}

} // namespace

extern "C" void GBToBig5(char* text) {
    Convert(text, kStPhrases, IsGbChar, GbToBig5Code);
}

extern "C" void Big5ToGB(char* text) {
    Convert(text, kTsPhrases, IsBig5Char, Big5ToGbCode);
}
