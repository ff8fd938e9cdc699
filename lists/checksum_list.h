#pragma once

// Checksum lists read for --check: the formats of the common checksum tools
// (lists/list_formats.h) and Varnel's own saved reports (report/saved_report.h),
// one reader choosing between them.
//
// A list is read as a stream, a line at a time, so its length costs no
// memory: a file, a FIFO, a pipe or standard input alike. Lines end in LF
// or CR LF; a UTF-8 byte order mark is skipped; a line longer than
// kMaxLineBytes is an improperly formatted line and is never held whole.
//
// Unless named, the format is told by the first line that is neither empty
// nor a comment: a report's name line, an SFV comment, a bsd line, an
// md5sum-family line, an SFV line. A report's name line that is an SFV line
// as well ("文件名称：x 1234ABCD") starts a report only when the line after it
// is a report line that no SFV line can be; otherwise the list is SFV.
//
// Reading never touches the files named; it only turns the list's text into
// entries, each saying what its file should show.

#include "lists/list_formats.h"
#include "report/saved_report.h"

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// One file a list names and what it should show. Digests are upper-case hex.
struct ListEntry {
    std::string name;  // the file's bytes, escapes undone
    std::string shown; // how results name it (the visible name escape)
    std::size_t line = 0;
    // The digest expected of each kind (by DigestKind). An empty value (a
    // report line of a file not read when the report was made) never
    // matches.
    std::array<std::optional<std::string>, kDigestKindCount> expected;
    // Begun but not read whole (a damaged report block): a failure naming
    // the file, whose file is not read.
    bool damaged = false;

    // Report blocks only: the values of the version, size and time lines as
    // written (after the label's colon), and whether the labels were
    // converted (the Traditional Chinese mode).
    bool report = false;
    bool converted = false;
    std::optional<std::string> version;
    std::optional<std::string> size;
    std::optional<std::string> time;

    const std::optional<std::string>& Expected(DigestKind kind) const {
        return expected[static_cast<std::size_t>(kind)];
    }
    std::optional<std::string>& Expected(DigestKind kind) {
        return expected[static_cast<std::size_t>(kind)];
    }
};

class ChecksumListReader {
public:
    static constexpr std::size_t kMaxLineBytes = 1u << 20;

    // Gives the next bytes of the list into dest, 0 at its end; may throw.
    using Source = std::function<std::size_t(std::span<char>)>;

    ChecksumListReader(Source source, std::optional<ListFormat> format);
    ~ChecksumListReader();
    ChecksumListReader(const ChecksumListReader&) = delete;
    ChecksumListReader& operator=(const ChecksumListReader&) = delete;

    // The next entry in list order; nothing once the list has ended. Reads
    // only as far as the entry needs (the bsd lines of one file are one
    // entry, so the line after them is read too).
    std::optional<ListEntry> Next();

    // Passes over up to most entries without making them, and says how many
    // it passed: fewer than most only at the list's end. For a list of one
    // entry a line (the md5sum family, SFV, CRC-32 lines) each line that is
    // neither empty nor a comment counts, well formed or not, so a count
    // taken so runs over by the list's bad lines (and a told list's bsd
    // lines of one file count one each); such lines are not looked into,
    // which makes passing them many times cheaper than reading them. Other
    // formats (reports, bsd) are read as Next reads them. Lines passed so
    // are not in badLines().
    std::size_t Skip(std::size_t most);

    // The format named, or told so far.
    std::optional<ListFormat> format() const { return m_Format; }
    std::size_t badLines() const { return m_BadLines; }
    std::size_t firstBadLine() const { return m_FirstBadLine; } // 1-based; 0 when none

private:
    struct Line;
    bool ReadLine(Line& line); // false at the end
    void Take(const Line& line);
    void TellFrom(const Line& line);
    void TakeToolLine(std::string_view text, std::size_t number);
    void TakeReportLine(std::string_view text, std::size_t number);
    void AddBlock(SavedBlock&& block);
    void NoteBad(std::size_t number);
    void Flush(); // the entry held back, if any, is ready

    Source m_Source;
    std::optional<ListFormat> m_Format;
    bool m_Named;
    std::string m_Buffer;
    std::vector<char> m_Piece; // what the source gives, before it joins m_Buffer
    std::size_t m_Start = 0;   // first byte of m_Buffer not read yet
    bool m_SourceEnded = false;
    std::size_t m_Number = 0;
    std::deque<std::optional<std::string>>
        m_Held; // read ahead to tell the format (nothing: overlong)
    std::deque<ListEntry> m_Ready;
    std::optional<ListEntry> m_Bsd; // the last bsd entry, while its next line may add to it
    std::optional<ToolLineReader> m_Tools;
    ReportLineDecoder m_Decoder;
    ReportBlockReader m_Blocks;
    std::size_t m_BadLines = 0;
    std::size_t m_FirstBadLine = 0;
    bool m_Ended = false;
};

// A list held in memory, read whole (tests, small lists).
struct ParsedList {
    std::vector<ListEntry> entries;
    ListFormat format = ListFormat::Md5sum; // as named or told
    std::size_t badLines = 0;
    std::size_t firstBadLine = 0;
};
ParsedList ParseChecksumList(std::string_view text, std::optional<ListFormat> format);

// The name as results show it for a list of the md5sum family or bsd: in the
// visible name escape, after a backslash when it needed one (as those tools
// mark an escaped name).
std::string ShownListName(std::string_view name);

} // namespace varnel
