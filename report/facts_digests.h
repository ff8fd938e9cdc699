#pragma once

// Where FileFacts keeps the digest of each kind (digest/digest_kinds.h):
// the one mapping from a kind to the facts of a file.

#include "digest/digest_kinds.h"
#include "report/file_facts.h"

#include <string>

namespace varnel {

// The file's digest of one kind as upper-case hex, as FileFacts holds it:
// CRC-32 as its eight digits ("00000000" for a file not read), the others
// empty when not computed. Empty for a kind that stands for more than one
// digest (Wide512): ask for each of DigestKindOf(kind).standsFor.
std::string FactsDigest(const FileFacts& facts, DigestKind kind);

} // namespace varnel
