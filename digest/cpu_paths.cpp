#include "digest/cpu_paths.h"

#include "digest/crc32.h"
#include "digest/sha_ni.h"

namespace varnel {

namespace {

std::string LanesText(LaneKind kind) {
    return std::to_string(LaneCount(kind)) +
           (kind == LaneKind::Avx512 ? " lanes (AVX-512)" : " lanes (AVX2)");
}

} // namespace

bool Sha1PaysInLanes(LaneKind kind) noexcept {
    return kind == LaneKind::Avx512 || !ShaExtensionsAvailable();
}

std::string HashingPathsText() {
    const std::optional<LaneKind> lanes = BestLaneKind();
    std::string text = "hashing: MD5 ";
    text += lanes ? LanesText(*lanes) : "OpenSSL";
    text += ", SHA-1 ";
    if (lanes && Sha1PaysInLanes(*lanes)) {
        text += LanesText(*lanes);
    } else {
        text += ShaExtensionsAvailable() ? "SHA extensions" : "OpenSSL";
    }
    text += ", SHA-256 ";
    text += ShaExtensionsAvailable() ? "SHA extensions" : "OpenSSL";
    text += ", CRC-32 ";
    text += Crc32PathName();
    return text;
}

} // namespace varnel
