#pragma once

// Checksum lists: the line formats varnel-report writes with --format and
// reads back with --check, and the reading of Varnel's own saved reports.
//
//   md5sum, sha1sum  "<hex>  <name>" (text mark) or "<hex> *<name>" (binary
//                    mark); a name holding a backslash, a line feed or a
//                    carriage return is written as \\, \n, \r and its line
//                    starts with a backslash
//   bsd              "MD5 (<name>) = <hex>", also SHA1 and CRC32, with the
//                    same escape and leading backslash
//   sfv              "<name> <8 hex>", comment lines start with ";"; a name
//                    holding a line end or starting with ";" has no form
//   report           the report blocks themselves: the name line in the
//                    name escape (platform/formats/name_escape.h), every other
//                    line a value to compare; labels as written in any of the
//                    language modes (converted ones included), CR LF or LF
//
// Reading never touches the files named; it only turns the list's text into
// entries, each saying what its file should show.

#include "digest/file_hasher.h"
#include "report/file_facts.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

enum class ListFormat { Report, Md5sum, Sha1sum, Bsd, Sfv };

// "report", "md5sum", "sha1sum", "bsd", "sfv"; nothing for anything else.
std::optional<ListFormat> ListFormatNamed(std::string_view name);

// The digests a list of this format carries for each file (Report: none, the
// report's own options decide). For Bsd, SHA-1 and CRC-32 lines follow the
// options: MD5 always, SHA-1 unless switched off, CRC-32 when switched on.
DigestSelection ListDigests(ListFormat format, const ReportOptions& options);

// The escape of md5sum, sha1sum and bsd lines: \\, \n and \r. The name needs
// it (and its line a leading backslash) when it holds any of those bytes.
bool NeedsListEscape(std::string_view name);
std::string EscapeListName(std::string_view name);
// Nothing when a backslash starts none of the three escapes.
std::optional<std::string> UnescapeListName(std::string_view text);

// Appends the lines of one file whose digests were read whole. False, with
// nothing appended, when the format cannot hold the name (SFV and a name with
// a line end or a leading ";").
bool AppendListLines(std::string& out, ListFormat format, std::string_view name,
                     const FileFacts& facts, const ReportOptions& options);

// What one line of a report block shows.
enum class ReportLine { Name, Version, Size, Time, Crc32, Sha1, Md5 };

// The word a failed check is named with: "version", "size", "modified time",
// "CRC-32", "SHA-1", "MD5".
std::string_view CheckName(ReportLine line);

// One file a list names and what it should show. Digests are upper-case hex.
struct ListEntry {
    std::string name;  // the file's bytes, escapes undone
    std::string shown; // how results name it (in the list's own escape)
    std::size_t line = 0;
    std::optional<std::string> crc32;
    std::optional<std::string> sha1;
    std::optional<std::string> md5;

    // Report blocks only: the values of the version, size and time lines as
    // written (after the label's colon), and whether the labels were
    // converted (the Traditional Chinese mode).
    bool report = false;
    bool converted = false;
    std::optional<std::string> version;
    std::optional<std::string> size;
    std::optional<std::string> time;
};

struct ParsedList {
    std::vector<ListEntry> entries;
    ListFormat format = ListFormat::Md5sum; // as told from the content
    std::size_t badLines = 0;               // improperly formatted lines (or blocks)
    std::size_t firstBadLine = 0;           // 1-based; 0 when none
};

// Reads a list. With format unset the format is told from the first line
// that is neither empty nor a comment: a report's name label, an SFV comment,
// a bsd line, an md5sum or sha1sum line (the hex length tells which), an SFV
// line. md5sum, sha1sum and bsd lines may stand in one list; consecutive bsd
// lines of one name make one entry (its file is read once). Lines may end in
// LF or CR LF; a UTF-8 byte order mark is skipped.
ParsedList ParseChecksumList(std::string_view text, std::optional<ListFormat> format);

// Reads a list a piece at a time, as ParseChecksumList reads it whole, so
// the first files can be checked while the rest of a long list is read.
//
//     ChecksumListReader reader(text, std::nullopt);
//     ParsedList list;
//     bool more = true;
//     while (more) {
//         more = reader.ReadSome(list, 1024);
//         check(the entries added);
//     }
//
// The format is told (or taken as given) when the reader is made; entries
// and bad lines are added to the caller's list.
class ChecksumListReader {
public:
    // text must outlive the reader; a recoded legacy report is kept inside.
    ChecksumListReader(std::string_view text, std::optional<ListFormat> format);

    // Reads at least lines further lines: a report block, and the bsd lines
    // of one file, are read whole, so the entries added are complete. False
    // once the whole text has been read.
    bool ReadSome(ParsedList& list, std::size_t lines);

private:
    bool ContinuesLastEntry(const ParsedList& list) const;
    void ReadLine(ParsedList& list);
    void ReadReportBlock(ParsedList& list);

    std::optional<std::string> m_Recoded;
    std::string_view m_Rest;     // the text not read yet
    std::size_t m_Number = 0;    // lines read so far
    std::size_t m_LineCount = 0; // lines of the whole text
    std::optional<ListFormat> m_Format;
    bool m_Told = false;       // the format was given, not told from the text
    bool m_LastWasBsd = false; // the last line read was a bsd line
};

// Splits a report block's text (or a whole report) into lines with their
// kinds and values (the text after the label's full-width colon). Lines that
// carry no known label come back as nothing.
struct ReportLineValue {
    ReportLine kind;
    bool converted; // the label was the converted one
    std::string value;
};
std::optional<ReportLineValue> ReadReportLine(std::string_view line);

} // namespace varnel
