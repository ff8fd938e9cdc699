#pragma once

// Which code hashes on this processor, chosen once at start from what it
// has: MD5 (and SHA-1 when it pays) in vector lanes, SHA-1 and SHA-256 with
// the SHA instructions, CRC-32 by carry-less multiplication. The small-file
// path follows these choices, and the command line's --version names them.

#include <string>

#include "digest/message_lanes.h"

namespace varnel {

// SHA-1 in 8 lanes is slower than one message at a time with the SHA
// instructions; in 16 lanes it is faster. Without the SHA instructions any
// lanes beat the digest service.
bool Sha1PaysInLanes(LaneKind kind) noexcept;

// One line naming the chosen paths, e.g. "hashing: MD5 8 lanes (AVX2), SHA-1
// SHA extensions, SHA-256 SHA extensions, CRC-32 PCLMULQDQ".
std::string HashingPathsText();

} // namespace varnel
