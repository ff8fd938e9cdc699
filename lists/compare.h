#pragma once

// varnel-report --compare A B: two files, or two folders, compared line by
// line as their report blocks would show them.
//
// Two files give one verdict:
//
//   SAME
//   DIFFERENT (size, modified time, SHA-1, MD5)
//                        the lines of the block that differ, in the block's
//                        order: version, size, modified time, CRC-32, SHA-1,
//                        MD5, then the digests added after MD5; only the lines
//                        the report's options ask for (--crc32, --no-time, ...)
//   FAILED open or read  a file could not be read (said on the error stream)
//
// Two folders are walked as a folder report walks them (hidden entries left
// out, link loops ended, procfs and sysfs passed over, -x stays on one file
// system), and each name below either gives one result, the name relative to
// its folder:
//
//   <name>: SAME
//   <name>: DIFFERENT (size, SHA-1, MD5)
//   <name>: ONLY IN A
//   <name>: ONLY IN B
//   <name>: MOVED to <new name>
//                        only in A, and the same content (size and every
//                        digest compared) found under a name only in B: each
//                        such file of B stands for one file of A, the first
//                        by name order, as the audit matches moves
//   <name>: FAILED open or read
//
// Results come in name order: the walk's shape (a folder's files before the
// files of its subfolders), names of one folder in byte order, so that the
// two folders' listings, whatever order their file systems give, line up.
// A closing line on the error stream counts each kind:
//
//   compare: 1,204 same, 3 different, 2 only in A, 1 only in B, 1 moved
//
// Each file is read once, both folders on the report engine's workers at
// the same time. Memory: the names and compared values of both folders are
// held until the end (about the name's length and 200 bytes a file), since
// a name's counterpart and a move may be met last.
//
// Names are shown in the visible name escape (formats/name_escape.h). Exit
// status: 0 when everything is the same, 1 when anything differs, 2 on
// trouble: a path that cannot be found, a file and a folder, a file or
// folder that could not be read (the rest is still compared and written).

#include "report/file_facts.h"
#include "report/report_labels.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varnel {

// What became of a name (or of two files).
enum class CompareVerdict {
    Same,       // every line compared is equal
    Different,  // some line differs
    OnlyInA,    // folders: the name is below A only
    OnlyInB,    // folders: the name is below B only
    Moved,      // folders: only in A, its content found only in B under another name
    Unreadable, // a side's file could not be read: no verdict on its content
};

inline constexpr std::size_t kCompareVerdictCount = 6;

// varnel-report's word for a verdict: "SAME", "DIFFERENT", "ONLY IN A",
// "ONLY IN B", "MOVED", "FAILED open or read".
std::string_view CompareWord(CompareVerdict verdict);

// One line of the report block, on both sides. The values are those the
// block shows after its label, except that a size is its digits alone (no
// unit) and a version has no "V": digests upper-case hex, the time in the
// form CompareOptions::timeText gives. Empty where a side has no value (no
// such file, no version record, not read).
struct CompareLine {
    ReportLine line = ReportLine::Md5;
    std::string_view check; // as differs names it: "size", "modified time", "SHA-1", ...
    std::string_view a;
    std::string_view b;
    bool differs = false;
};

// One result. The views live only for the call.
struct CompareRow {
    // Folders: the name's bytes below A and B (A's for a move). Files: empty.
    std::string_view name;
    CompareVerdict verdict = CompareVerdict::Same;
    std::span<const std::string_view> differs; // Different: the checks, in line order
    std::optional<std::string_view> movedTo;   // Moved: the name below B
    std::span<const CompareLine> lines;        // every line compared, A's and B's values
    bool inA = true;                           // A has a file of this name
    bool inB = true;                           // B has one (for a move: under movedTo)
    std::string_view reason; // Unreadable: which side and why ("A: Permission denied")
    std::string_view text;   // the result as varnel-report writes it, without a line end
};

// Where the results go when they are not written as text: a window's table.
class CompareSink {
public:
    virtual ~CompareSink() = default;
    // Called in the order of the text results.
    virtual void Row(const CompareRow& row) = 0;
    // A word about a path or a folder, as varnel-report says it on the error
    // stream without its program's name: "b/x: Permission denied".
    virtual void Message(std::string_view text) = 0;
    // False once no more results are wanted: nothing more is read.
    virtual bool Open() const = 0;
};

struct CompareOptions {
    // The lines compared, as a report's options choose them (MD5 always).
    ReportOptions lines;
    bool oneFileSystem = false; // the folder walks stay on each folder's file system
    bool quiet = false;         // no SAME lines
    bool json = false;          // results as JSON Lines
    // The time text of CompareLine values; unset: the report's own (the
    // system locale's short date and long time).
    std::function<std::string(std::chrono::sys_seconds)> timeText;
    // Counts the bytes read as they are read, for a progress shown on
    // another thread (null: not counted).
    std::atomic<std::uint64_t>* bytesRead = nullptr;
};

// Compares a with b: results to out, reasons and the summary to err. Returns
// 0, 1 or 2 as above.
int RunCompare(const std::string& a, const std::string& b, const CompareOptions& options,
               std::FILE* out, std::FILE* err);

// The same compare with its results and messages handed to sink (quiet and
// json do not apply); no summary is said.
int RunCompare(const std::string& a, const std::string& b, const CompareOptions& options,
               CompareSink& sink);

// Whether the relative name x comes before y in the results: component by
// component, a file before any folder at the same level, bytes compared as
// unsigned values.
bool CompareNameBefore(std::string_view x, std::string_view y);

} // namespace varnel
