// The readers of checksum lists and saved reports on arbitrary text: what
// --check reads from lists that come from anywhere. The first byte names the
// format (or leaves it to be told) and the size of the pieces the list is
// given in; the rest is the list.
//
// Besides the sanitizers' findings, it stops on:
// - a list read in small pieces giving other entries than read in one piece
//   (the reader keeps lines across the pieces it is given);
// - an entry without a name, a name holding a NUL, a shown name holding a
//   control character, a digest of a tool's list that is not upper-case hex
//   of its kind's length, a report's digest with a lower-case hex digit;
// - a saved size read as a count that is not the text it was read from;
// - more improperly formatted lines than lines.
#include "lists/checksum_list.h"
#include "report/saved_report.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using varnel::DigestKind;
using varnel::ListEntry;
using varnel::ListFormat;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Read {
    std::vector<ListEntry> entries;
    std::size_t badLines = 0;
    std::size_t firstBadLine = 0;
};

Read ReadInPieces(std::string_view text, std::optional<ListFormat> format, std::size_t piece) {
    varnel::ChecksumListReader reader(
        [&text, piece](std::span<char> dest) {
            const std::size_t n = std::min({dest.size(), text.size(), piece});
            std::memcpy(dest.data(), text.data(), n);
            text.remove_prefix(n);
            return n;
        },
        format);
    Read read;
    while (std::optional<ListEntry> entry = reader.Next()) {
        read.entries.push_back(std::move(*entry));
    }
    read.badLines = reader.badLines();
    read.firstBadLine = reader.firstBadLine();
    return read;
}

bool SameEntry(const ListEntry& a, const ListEntry& b) {
    return a.name == b.name && a.shown == b.shown && a.line == b.line && a.damaged == b.damaged &&
           a.expected == b.expected && a.report == b.report && a.converted == b.converted &&
           a.version == b.version && a.size == b.size && a.time == b.time;
}

void CheckEntry(const ListEntry& entry) {
    Check(!entry.name.empty());
    Check(entry.name.find('\0') == std::string::npos);
    for (const char c : entry.shown) {
        const auto u = static_cast<unsigned char>(c);
        Check(u >= 0x20 && u != 0x7F);
    }
    for (std::size_t kind = 0; kind < entry.expected.size(); ++kind) {
        const std::optional<std::string>& hex = entry.expected[kind];
        if (!hex || hex->empty()) {
            continue;
        }
        // A report's digest line is kept as written (its hex digits upper
        // case), whatever it holds: it then fails as any other difference.
        if (!entry.report) {
            Check(hex->size() == varnel::DigestKindOf(static_cast<DigestKind>(kind)).hexLength);
            Check(std::all_of(hex->begin(), hex->end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
            }));
        }
        Check(std::none_of(hex->begin(), hex->end(), [](char c) { return c >= 'a' && c <= 'f'; }));
    }
    if (entry.size) {
        for (const bool converted : {false, true}) {
            if (const std::optional<std::uint64_t> count =
                    varnel::ReadSavedSize(*entry.size, converted)) {
                const varnel::ReportText& unit = varnel::kSizeUnit;
                Check(*entry.size ==
                      std::to_string(*count) +
                          std::string(converted ? unit.traditional : unit.simplified));
            }
        }
    }
    if (entry.time) {
        // Any text against a time, at midnight and not: an answer, no fault.
        const varnel::LocalTime afternoon{2024, 3, 5, 14, 7, 9, "3/5/24 2:07:09 PM"};
        const varnel::LocalTime midnight{2024, 3, 5, 0, 0, 0, "2024/3/5"};
        (void)varnel::SavedTimeMatches(*entry.time, afternoon);
        (void)varnel::SavedTimeMatches(*entry.time, midnight);
    }
    if (entry.version) {
        (void)varnel::SavedVersionMatches(*entry.version, "1.2.3.4");
    }
}

} // namespace

// Each input makes and frees a reader's buffers: with the sanitizer's default
// quarantine of freed memory (256 MB) nearly every allocation lands on pages
// never touched, and the run spends its time in page faults. A smaller one
// still catches a use after free within the input and the next ones.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the sanitizer's hook is named so
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // Low four bits: the format (0 to 12 named, the rest told by content);
    // high four bits: the size of the pieces.
    constexpr std::array<ListFormat, 13> kNamed{
        ListFormat::Report,      ListFormat::Md5sum,    ListFormat::Sha1sum,
        ListFormat::Sha256sum,   ListFormat::Sha512sum, ListFormat::B2sum,
        ListFormat::Bsd,         ListFormat::Sfv,       ListFormat::Sha3_256sum,
        ListFormat::Sha3_512sum, ListFormat::B3sum,     ListFormat::Xxh3sum,
        ListFormat::Xxh128sum};
    const unsigned select = data[0] & 0x0Fu;
    const std::optional<ListFormat> format =
        select < kNamed.size() ? std::optional<ListFormat>(kNamed[select]) : std::nullopt;
    const std::size_t piece = 1 + (data[0] >> 4u);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const varnel::ParsedList whole = varnel::ParseChecksumList(text, format);
    const Read pieces = ReadInPieces(text, format, piece);
    Check(pieces.entries.size() == whole.entries.size());
    for (std::size_t i = 0; i < whole.entries.size(); ++i) {
        Check(SameEntry(pieces.entries[i], whole.entries[i]));
        CheckEntry(whole.entries[i]);
    }
    Check(pieces.badLines == whole.badLines && pieces.firstBadLine == whole.firstBadLine);
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    Check(whole.badLines <= lines);
    return 0;
}
