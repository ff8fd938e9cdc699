#pragma once

// The facts of a stream of bytes read once to its end, such as standard
// input: the digests of its bytes and their count. A stream has no name on
// disk, so no modified time and no version.

#include "digest/file_hasher.h"
#include "report/file_facts.h"

#include <cstddef>
#include <functional>
#include <span>

namespace varnel {

// Gives the next bytes of the stream into dest, 0 at its end; throws
// std::system_error when a read fails.
using StreamSource = std::function<std::size_t(std::span<char>)>;

// Reads source to its end, feeding the digests wanted. A read that fails
// part way gives no digest (readOk false, ReadFailure::ReadFailed, "read
// error: <reason>"), as it does for a file; size is the count of bytes read
// either way.
FileFacts GatherStreamFacts(const StreamSource& source, const DigestSelection& wanted);

} // namespace varnel
