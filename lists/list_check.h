#pragma once

// varnel-report --check: verifies the files named in checksum lists and in
// Varnel's own saved reports (cli/checksum_list.h).
//
// Each entry's file is read once for every digest the entry carries, on the
// report engine's workers (cli/check_scheduler.h); each entry is compared
// with its file's facts (cli/entry_check.h) and its result written in list
// order:
//
//   <name>: OK
//   <name>: FAILED                    a digest differs
//   <name>: FAILED (size, MD5)        a report block: the lines that differ
//   <name>: FAILED open or read       the file is missing or unreadable
//   <name>: FAILED improperly formatted
//                                     a report block begun but not read whole
//
// With json, each result is a line of JSON instead (cli/result_json.h): the
// name's bytes as they are, the status as the text results word it ("OK",
// "FAILED", "FAILED open or read", "FAILED improperly formatted") and, for
// "FAILED", what differs:
//
//   {"name":"a.bin","status":"FAILED","differs":["size","MD5"]}
//
// Names are shown in the visible name escape. Lists are read as they come
// (a FIFO, a pipe, standard input alike), a window of entries at a time, so
// memory does not grow with a list's length. Relative names are taken
// relative to the working folder (not the list's folder), as the common
// checksum tools take them.

#include "lists/checksum_list.h"
#include "lists/result_sink.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

struct ListCheckOptions {
    std::optional<ListFormat> format; // unset: told from each list's content
    bool quiet = false;               // no OK lines
    bool status = false;              // nothing written; the exit status only
    bool strict = false;              // improperly formatted lines make the status 1
    bool ignoreMissing = false;       // files that do not exist are passed over
    bool json = false;                // results as JSON Lines
    // Relative names are read below the folder of the list that names them
    // (a window's way: it has no working folder the user chose), not below
    // the working folder.
    bool namesBelowList = false;
    // Counts the bytes read as they are read, for a progress shown on
    // another thread (null: not counted).
    std::atomic<std::uint64_t>* bytesRead = nullptr;
};

// Checks every list in turn ("-" is standard input). Results go to out,
// reasons and the summary of failures to err. Returns 0 when every entry
// matched, 1 when some did not (or could not be read, or was damaged, or a
// saved report holds a line outside its blocks, or with --strict a line was
// improperly formatted, or --ignore-missing left nothing verified), 2 when a
// list could not be read or holds no line of a known format.
int RunListCheck(const std::vector<std::string>& lists, const ListCheckOptions& options,
                 std::FILE* out, std::FILE* err);

// The same check with its results and the words about the lists handed to
// sink instead (quiet, status and json do not apply); no summary is said.
// Stops reading once the sink is no longer open.
int RunListCheck(const std::vector<std::string>& lists, const ListCheckOptions& options,
                 ResultSink& sink);

} // namespace varnel
