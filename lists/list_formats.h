#pragma once

// The checksum-list formats of the common checksum tools, as varnel-report
// writes them with --format and reads them with --check.
//
//   md5sum, sha1sum, sha256sum, sha512sum, b2sum
//                    "<hex>  <name>" (text mark) or "<hex> *<name>" (binary
//                    mark); a name holding a backslash, a line feed or a
//                    carriage return is written as \\, \n, \r and its line
//                    starts with a backslash. Read also: blanks before the
//                    digest, a tab after it, and the single-space form
//                    "<hex> <name>", decided once per list by its first line
//                    of either form (after that, a name may start with a
//                    blank or "*")
//   bsd              "MD5 (<name>) = <hex>", also SHA1, SHA256, SHA512,
//                    BLAKE2b, SHA3-256, SHA3-512, BLAKE3, XXH3, XXH128 and
//                    CRC32, with the same escape and leading
//                    backslash. Read also: tags padded with blanks
//                    ("MD5   (<name>) = ") and the form "MD5(<name>)= <hex>"
//                    with the tags SHA2-256, SHA2-512 and BLAKE2B-512
//   sfv              "<name> <8 hex>", comment lines start with ";"; a name
//                    holding a line end or starting with ";" has no form
//   sha3-256sum, sha3-512sum
//                    the md5sum family's form and escape with a SHA3-256 or
//                    SHA3-512 digest (as rhash writes them); read also
//                    "SHA3-256(<name>)= <hex>" and "<hex> *<name>", the forms
//                    of openssl dgst and openssl dgst -r
//   b3sum            "<hex>  <name>" with BLAKE3, as b3sum writes it: only a
//                    backslash and a line feed are escaped (\\, \n, leading
//                    backslash); a carriage return stays as it is, and a name
//                    that ends in one has no form
//   xxh3sum          "XXH3 (<name>) = <hex>", as xxhsum -H3 writes it (0.8.1:
//                    its XXH3 lines are always tagged, an untagged 16-digit
//                    line is XXH64's); read also "XXH3_<hex>  <name>", the
//                    untagged form of later xxhsum
//   xxh128sum        "<hex>  <name>" with XXH128, as xxhsum -H128 writes it.
//                    xxhsum writes names as they are: no escape, so a name
//                    holding a line end has no form in either (a backslash
//                    is written as it is, and read so unless the line starts
//                    with one)
//   crc32 first      "<8 hex>  <name>" and "<8 hex> *<name>", the md5sum
//                    family's form with a CRC-32 (as rhash --simple writes
//                    it): told by content (no --format name). A line that
//                    is an SFV line as well ("<8 hex> x <8 hex>") tells SFV
//                    unless it has the mode mark ("  " or " *")
//
// Digests are told apart by tag and, in untagged lines, by length: 8 hex
// digits CRC-32, 32 MD5, 40 SHA-1, 64 SHA-256, 128 SHA-512 or BLAKE2b-512 (which of the
// two the list's named format says; unnamed, either may match). The newer
// kinds share their lengths with older ones (BLAKE3 and SHA3-256 have
// SHA-256's, XXH128 MD5's): their untagged lists are read only with their
// format named (--format b3sum, ...) or told by the list's file name
// (ListFormatOfListName).

#include "digest/digest_kinds.h"
#include "digest/file_hasher.h"
#include "report/file_facts.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

enum class ListFormat {
    Report,
    Md5sum,
    Sha1sum,
    Sha256sum,
    Sha512sum,
    B2sum,
    Bsd,
    Sfv,
    Crc32sum,
    Sha3_256sum,
    Sha3_512sum,
    B3sum,
    Xxh3sum,
    Xxh128sum,
};

// "report", "md5sum", "sha1sum", "sha256sum", "sha512sum", "b2sum",
// "sha3-256sum", "sha3-512sum", "b3sum", "xxh3sum", "xxh128sum", "bsd",
// "sfv"; nothing for anything else (Crc32sum has no name: it is told by
// content only).
std::optional<ListFormat> ListFormatNamed(std::string_view name);
// The format a list's file name tells, for the kinds whose untagged lines
// content cannot tell from older ones': B3SUMS or *.b3 (b3sum), XXH128SUMS or
// *.xxh128, SHA3-256SUMS or *.sha3-256, SHA3-512SUMS or *.sha3-512 (as the
// common lists of SHA256SUMS and *.sha256 are named); nothing for others.
// A --format given goes before it.
std::optional<ListFormat> ListFormatOfListName(std::string_view path);

// Those names, for messages: "report, md5sum, ... or sfv".
std::string_view ListFormatNames();

// The name results give a failed digest ("MD5", "SHA-256", ...): the
// kind's name in the table of digest kinds (digest/digest_kinds.h, where
// DigestKind is).
std::string_view DigestName(DigestKind kind);

// The md5sum-family format that carries one kind (Crc32sum for CRC-32);
// nothing for a kind that stands for more than one digest.
std::optional<ListFormat> SumFormatOf(DigestKind kind);

// Why a name has no line in the format, when AppendListLines says so.
std::string CannotHoldName(ListFormat format);

// The tags --format bsd writes besides MD5 and the report's own options
// (CRC-32, SHA-1 and ReportOptions::ShowDigests, the kinds after MD5).
struct BsdTags {
    bool sha256 = false;
    bool sha512 = false;
    bool blake2b = false;
};

// The digests --format writes for each file (Report: the report's own). For
// Bsd: MD5 always, SHA-1 unless switched off, CRC-32 when switched on, and
// the tags asked for.
DigestSelection ListDigests(ListFormat format, const ReportOptions& options,
                            const BsdTags& tags = {});

// The escape of md5sum-family and bsd lines: \\, \n and \r. The name needs
// it (and its line a leading backslash) when it holds any of those bytes.
bool NeedsListEscape(std::string_view name);
std::string EscapeListName(std::string_view name);
// Nothing when a backslash starts none of the three escapes.
std::optional<std::string> UnescapeListName(std::string_view text);

// Appends the lines of one file whose digests were read whole, for the
// digests selected (ListDigests). False, with nothing appended, when the
// format cannot hold the name (SFV and a name with a line end or a leading
// ";" or blank).
bool AppendListLines(std::string& out, ListFormat format, std::string_view name,
                     const FileFacts& facts, const DigestSelection& digests);

// One line of another tool's list, read.
struct ToolLine {
    DigestKind kind = DigestKind::Md5;
    std::string hex;  // upper case
    std::string name; // the file's bytes, escapes undone
    bool bsd = false;
};

// Reads the lines of one list in the tools' formats. format is the list's
// named or told format (not Report); told says whether it was told by
// content (then md5sum-family lines of every length, and bsd lines, mix).
// Keeps what the list's first md5sum-family line decided.
class ToolLineReader {
public:
    ToolLineReader(ListFormat format, bool told) : m_Format(format), m_Told(told) {}

    // Nothing when the line is not one of the format's (comments and empty
    // lines are the caller's).
    std::optional<ToolLine> Read(std::string_view line);

    // The format a line of the tools' formats tells, nothing for none. A
    // name line of a report is the caller's to tell first.
    static std::optional<ListFormat> Tell(std::string_view line);

private:
    std::optional<ToolLine> ReadSum(std::string_view line);

    ListFormat m_Format;
    bool m_Told;
    std::optional<bool> m_SingleSpace; // decided by the first sum line
};

// Lines of the sfv form ("<name> <8 hex>").
std::optional<ToolLine> ReadSfvLine(std::string_view line);
// Lines of the bsd form, any tag.
std::optional<ToolLine> ReadBsdLine(std::string_view line);

} // namespace varnel
