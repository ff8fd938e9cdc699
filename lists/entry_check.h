#pragma once

// The comparison of one list entry with the facts of its file: which of the
// entry's checks fail. It depends on nothing but its arguments, so every
// kind of entry can be tried against facts made up for it.

#include "lists/checksum_list.h"
#include "report/file_facts.h"
#include "report/report_services.h"
#include "report/saved_report.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace varnel {

// The checks of entry that fail for facts, named as results name them: a
// report block's lines first ("version", "size", "modified time"), each
// value read as what it stands for (report/saved_report.h), then the digests
// in the order CRC-32, SHA-1, MD5, SHA-256, SHA-512, BLAKE2b (DigestName).
// An empty expected digest never matches. time is the file's modified time
// as the checking machine tells it, in the entry's form; nothing when the
// file has none or the locale cannot put it into words (a time line then
// fails). A saved time of another time zone (SavedTimeAgreement::OtherZone)
// is the file's time seen from that zone, and does not fail. A saved time
// that reads as no time at all is not a check that can fail either: the
// audit asks TimeAgreementOf before it calls a change damage.
std::vector<std::string_view> FailedChecks(const ListEntry& entry, const FileFacts& facts,
                                           const std::optional<LocalTime>& time);

// How the entry's saved time stands to the file's: nothing for an entry
// without a time line; Differs when the file's time cannot be told.
std::optional<SavedTimeAgreement> TimeAgreementOf(const ListEntry& entry,
                                                  const std::optional<LocalTime>& time);

// The file's modified time as this machine tells it, in the entry's form:
// the services' text (converted for a converted block) and the local date
// and time; nothing when the file has none or the locale cannot put it into
// words. What FailedChecks compares a saved time with.
std::optional<LocalTime> LocalTimeOf(const FileFacts& facts, const ReportServices& services);

// The file's modified time for an entry's saved time line, as LocalTimeOf
// tells it, with the report services of the entry's form (plain or
// converted) made once, on the thread that asks.
class EntryTimes {
public:
    // Nothing for an entry without a time line.
    std::optional<LocalTime> Of(const ListEntry& entry, const FileFacts& facts);

private:
    std::optional<ReportServices> m_Plain;
    std::optional<ReportServices> m_Converted;
};

// How many checks an entry carries: its digests, and a report block's
// version, size and time lines.
std::size_t ChecksOf(const ListEntry& entry);

} // namespace varnel
