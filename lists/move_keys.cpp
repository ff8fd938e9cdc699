#include "lists/move_keys.h"

#include "formats/hex.h"
#include "report/facts_digests.h"

#include <algorithm>

namespace varnel {

std::optional<ContentKey> KeyFromHex(DigestKind kind, std::string_view hex,
                                     std::optional<std::uint64_t> size) {
    if (hex.size() < 2 || hex.size() % 2 != 0) {
        return std::nullopt; // an empty value: a file not read when the list was made
    }
    ContentKey key;
    key.kind = kind;
    key.size = size;
    key.length = static_cast<std::uint8_t>(std::min(hex.size() / 2, kMoveKeyBytes));
    for (std::size_t i = 0; i < key.length; ++i) {
        const int high = formats::HexDigitValue(hex[2 * i]);
        const int low = formats::HexDigitValue(hex[(2 * i) + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        key.digest[i] = static_cast<std::uint8_t>((high << 4) | low);
    }
    return key;
}

std::string PackKey(const ContentKey& key) {
    std::string packed;
    packed += static_cast<char>(key.kind);
    packed.append(reinterpret_cast<const char*>(key.digest.data()), key.length);
    if (key.size) {
        for (int i = 0; i < 8; ++i) {
            packed += static_cast<char>((*key.size >> (8 * i)) & 0xFF);
        }
    }
    return packed;
}

std::string DigestOf(DigestKind kind, const FileFacts& facts) {
    // Wide512: BLAKE2b, the last it stands for (the caller tries SHA-512 too).
    return FactsDigest(facts, DigestKindOf(kind).standsFor.back());
}

} // namespace varnel
