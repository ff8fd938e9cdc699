#pragma once

// varnel-report --audit: what changed in a folder since its lists were made.
// The entries of checksum lists and saved reports (cli/checksum_list.h) are
// compared with the files as they are now, and the folder they describe is
// walked for the files no list names:
//
//   <name>: OK
//   <name>: EDITED (size, modified time, MD5)
//                        a saved report's entry whose size or modified time
//                        changed (with its content or not): the lines that
//                        differ
//   <name>: DAMAGED (MD5)
//                        content changed while size and modified time stayed:
//                        only a report block that records both can tell
//   <name>: FAILED (MD5) a digest differs where size and time are not both
//                        recorded (another tool's list), as --check says it
//   <name>: FAILED open or read
//   <name>: FAILED improperly formatted
//   <name>: MISSING
//   <name>: MOVED to <new name>
//                        gone from its place, and the same content and size
//                        found under a name no list records
//   <name>: NEW          a file below the root that no list names
//
// Results come in three parts: the entries whose file is there, in list
// order, as they are checked; then the entries whose file is gone (MISSING
// or MOVED), in list order; then the new files, in walk order. A closing
// line on the error stream counts each kind.
//
// Renames are judged by content and size, once: each file no list names
// stands in for at most one entry that is gone, and an entry only for a
// file that no list names (a copy beside its original is NEW). Entries that
// are gone take the new files of their content in walk order, one each.
//
// The root walked is the folder given, else the deepest folder that holds
// every entry (relative names relative to the working folder, as --check
// takes them). The walk is that of a folder report (hidden entries left
// out, link loops ended). The lists themselves are never new files.
//
// Memory: each entry costs its name once (in the set of recorded names) and,
// for an entry that is gone, its digest, size and name until the end; about
// 60 bytes beyond the name's length.

#include "lists/list_formats.h"
#include "lists/result_sink.h"

#include "formats/number_text.h" // GroupedCount, the summary's counts

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

struct AuditOptions {
    std::optional<ListFormat> format; // unset: told from each list's content
    std::optional<std::string> root;  // --root; unset: the folder holding the entries
    bool quiet = false;               // no OK lines
    bool json = false;                // results as JSON Lines (cli/result_json.h)
    bool oneFileSystem = false;       // the walk stays on the root's file system
    // Relative names (and --root) are taken below the first list's folder
    // (a window's way), not the working folder.
    bool namesBelowList = false;
    // Counts the bytes read as they are read, for a progress shown on
    // another thread (null: not counted).
    std::atomic<std::uint64_t>* bytesRead = nullptr;
};

// Audits the lists ("-" is standard input). Returns 0 when nothing differs,
// 1 when anything does (or a file or folder could not be read), 2 when a
// list cannot be read or holds no line of a known format; then no folder is
// walked, since every file would look new.
int RunAudit(const std::vector<std::string>& lists, const AuditOptions& options, std::FILE* out,
             std::FILE* err);

// The same audit with its results and the words about the lists and folders
// handed to sink instead (quiet and json do not apply); no summary is said.
// Stops reading and walking once the sink is no longer open.
int RunAudit(const std::vector<std::string>& lists, const AuditOptions& options, ResultSink& sink);

} // namespace varnel
