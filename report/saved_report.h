#pragma once

// Varnel's own saved reports read back as lists to check: the report blocks
// themselves (report/report.h writes them), in any of the language modes
// (converted labels included), CR LF or LF, in UTF-8 or in the legacy
// encoding of their language (GBK, Big5), a line at a time.
//
// A block is a name line (the name in the name escape), the lines it carries
// in their order up to the MD5 line, the lines of the later digests it
// carries (SHA3-256, ..., BLAKE3) in theirs, then an empty line. A name line always
// starts a new block. A block whose name was read but whose lines were not
// read whole (a line without a label or out of order, no MD5 line) is a
// damaged block: it stays an entry, so its file is named as a failure, and
// is never passed over. Lines outside any block, and a block whose name
// cannot be read, are improperly formatted lines.

#include "report/report_labels.h"
#include "report/saved_time.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// The word a failed check is named with: "version", "size", "modified time",
// "CRC-32", "SHA-1", "MD5", and for the later digests the names of the table
// of digest kinds ("SHA3-256", ...).
std::string_view CheckName(ReportLine line);

// A report line's kind and value (the text after the label's full-width
// colon), by the labels of report_labels.h; nothing for a line that carries
// no known label.
struct ReportLineValue {
    ReportLine kind;
    bool converted; // the label was the converted one
    std::string value;
};
std::optional<ReportLineValue> ReadReportLine(std::string_view line);

// One block read back: the values as written (after the label). Digests are
// upper case.
struct SavedBlock {
    std::string name; // the file's bytes, escapes undone
    std::size_t line = 0;
    bool damaged = false;
    bool converted = false;
    std::optional<std::string> version;
    std::optional<std::string> size;
    std::optional<std::string> time;
    std::optional<std::string> crc32;
    std::optional<std::string> sha1;
    std::optional<std::string> md5;
    // The lines after MD5 (report_labels.h's kReportDigestLines), by kind:
    // laterDigests[static_cast<std::size_t>(DigestKind::Blake3)], ...
    std::array<std::optional<std::string>, kDigestKindCount> laterDigests;

    const std::optional<std::string>& LaterDigest(DigestKind kind) const {
        return laterDigests[static_cast<std::size_t>(kind)];
    }
};

// Lines of a report as UTF-8: a line that is UTF-8 already stays as it is;
// any other is recoded from the report's legacy encoding, which the first
// such line that recodes into a labelled line decides (Big5, or GBK and its
// successor GB18030). Each line on its own, so one bad byte costs its line
// only.
class ReportLineDecoder {
public:
    ReportLineDecoder();
    ~ReportLineDecoder();
    ReportLineDecoder(const ReportLineDecoder&) = delete;
    ReportLineDecoder& operator=(const ReportLineDecoder&) = delete;

    // The line as UTF-8; nothing when it cannot be read.
    std::optional<std::string_view> Decode(std::string_view line);

private:
    struct Converters;
    std::unique_ptr<Converters> m_Converters; // made at the first line that needs them
    int m_Family = -1;                        // the legacy encoding decided, -1 none yet
    std::string m_Recoded;
};

// Assembles blocks from a report's lines.
class ReportBlockReader {
public:
    // What one line finished: a block (whole or damaged), and the number of
    // an improperly formatted line (0 for none).
    struct Step {
        std::optional<SavedBlock> block;
        std::size_t badLine = 0;
    };

    // line is the decoded line (nothing for one that could not be decoded).
    Step Feed(std::optional<std::string_view> line, std::size_t number);
    // The end of the report: the block still open, if any.
    std::optional<SavedBlock> Finish();

private:
    enum class State { Between, InBlock, Nameless };
    std::optional<SavedBlock> Close();

    State m_State = State::Between;
    SavedBlock m_Block;
    int m_Last = 0;       // the kind of the block's last line
    bool m_Ended = false; // the block's MD5 line was read
};

// A saved block's lines are compared with the file's facts as they are now,
// value by value, each read as what it stands for, never by writing a block
// again.

// A version line's value: the mark and the version ("V1.2.3.4"). A file
// without a version (empty) matches none.
bool SavedVersionMatches(std::string_view value, std::string_view version);

// A size line's value read as the count of bytes it gives: decimal digits as
// the writer writes them (no sign, no leading zero), then the unit of the
// block's form (Traditional when converted). Nothing for any other value.
std::optional<std::uint64_t> ReadSavedSize(std::string_view value, bool converted);

// A time line's value: report/saved_time.h.

} // namespace varnel
