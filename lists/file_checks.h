#pragma once

// Files checked one by one against a digest a user gave, or against their
// own checksum lists found beside them (lists/sidecar_lists.h): the engine of
// varnel-report --expect DIGEST FILE... and --check --for FILE...
//
//   setup.iso: OK (SHA-256)        --expect: the kind that matched
//   setup.iso: FAILED              no kind of the digest's length matched
//   setup.iso: FAILED open or read the file is missing or unreadable (its
//                                  reason on the error stream, as --check)
//
// Each file is read once for every kind the digest may be. --json writes
// {"name":...,"status":"OK","kind":"SHA-256"}; --for adds "list", the list
// its entry came from. The files are read on the report engine's workers,
// as a list's are (lists/check_scheduler.h); "-" is standard input, read to
// its end in its turn.

#include "lists/expected_digest.h"
#include "lists/list_check.h"
#include "lists/result_sink.h"

#include <cstdio>
#include <string>
#include <vector>

namespace varnel {

// Checks every file against digest. Returns 0 when every file matched, 1
// otherwise (or when output could not be written). quiet, status and json
// apply as for --check.
int RunExpectCheck(const ExpectedDigest& digest, const std::vector<std::string>& files,
                   const ListCheckOptions& options, std::FILE* out, std::FILE* err);

// The same, each result handed to sink: an OK names the kind that matched
// as its one check (ListResult::differs), as the text does after "OK".
int RunExpectCheck(const ExpectedDigest& digest, const std::vector<std::string>& files,
                   const ListCheckOptions& options, ResultSink& sink);

// Checks each file against its entry in the list chosen beside it, saying on
// err which list that was and which others were found. Returns as
// RunListCheck: 0 all matched, 1 some did not, 2 when a file has no list
// that names it (said on err).
int RunOwnListCheck(const std::vector<std::string>& files, const ListCheckOptions& options,
                    std::FILE* out, std::FILE* err);

// The same, each result handed to sink with its list (ListResult::list), and
// what is said of the lists found (which was chosen, which others were
// there, a file that none names) as its messages.
int RunOwnListCheck(const std::vector<std::string>& files, const ListCheckOptions& options,
                    ResultSink& sink);

} // namespace varnel
