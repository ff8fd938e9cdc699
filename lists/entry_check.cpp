#include "lists/entry_check.h"

#include "platform/os/local_time.h"
#include "report/facts_digests.h"

#include <algorithm>
#include <array>

namespace varnel {

namespace {

bool DigestMatches(DigestKind kind, const std::string& expected, const FileFacts& facts) {
    // Both upper-case already; an empty value (a file not read when the
    // report was made) never matches. A kind that stands for more than one
    // digest (Wide512) matches either.
    if (expected.empty()) {
        return false;
    }
    const std::array<DigestKind, 2>& digests = DigestKindOf(kind).standsFor;
    return std::any_of(digests.begin(), digests.end(),
                       [&](DigestKind digest) { return expected == FactsDigest(facts, digest); });
}

} // namespace

std::vector<std::string_view> FailedChecks(const ListEntry& entry, const FileFacts& facts,
                                           const std::optional<LocalTime>& time) {
    std::vector<std::string_view> failed;
    if (entry.report) {
        if (entry.version && !SavedVersionMatches(*entry.version, facts.version)) {
            failed.push_back(CheckName(ReportLine::Version));
        }
        if (entry.size) {
            const std::optional<std::uint64_t> size = ReadSavedSize(*entry.size, entry.converted);
            if (!size || size != facts.size) {
                failed.push_back(CheckName(ReportLine::Size));
            }
        }
        if (TimeAgreementOf(entry, time) == SavedTimeAgreement::Differs) {
            failed.push_back(CheckName(ReportLine::Time));
        }
    }
    for (const DigestKind kind : DigestKindsInResultOrder()) {
        if (const std::optional<std::string>& expected = entry.Expected(kind);
            expected && !DigestMatches(kind, *expected, facts)) {
            failed.push_back(DigestName(kind));
        }
    }
    return failed;
}

std::optional<SavedTimeAgreement> TimeAgreementOf(const ListEntry& entry,
                                                  const std::optional<LocalTime>& time) {
    if (!entry.report || !entry.time) {
        return std::nullopt;
    }
    if (!time) {
        return SavedTimeAgreement::Differs;
    }
    return CompareSavedTime(*entry.time, *time);
}

std::size_t ChecksOf(const ListEntry& entry) {
    std::size_t checks = static_cast<std::size_t>(entry.version.has_value()) +
                         entry.size.has_value() + entry.time.has_value();
    for (const std::optional<std::string>& expected : entry.expected) {
        checks += expected.has_value();
    }
    return checks;
}

std::optional<LocalTime> LocalTimeOf(const FileFacts& facts, const ReportServices& services) {
    if (!facts.modified || !services.formatTime) {
        return std::nullopt;
    }
    LocalTime time;
    time.text = services.formatTime(*facts.modified);
    if (time.text.empty()) {
        return std::nullopt;
    }
    if (services.convert) {
        time.text = services.convert(time.text);
    }
    const std::optional<platform::CivilTime> local = platform::LocalCivilTime(*facts.modified);
    if (!local) {
        return std::nullopt;
    }
    time.year = local->year;
    time.month = local->month;
    time.day = local->day;
    time.hour = local->hour;
    time.minute = local->minute;
    time.second = local->second;
    return time;
}

std::optional<LocalTime> EntryTimes::Of(const ListEntry& entry, const FileFacts& facts) {
    if (!entry.report || !entry.time) {
        return std::nullopt;
    }
    if (!m_Plain) {
        m_Plain = MakeReportServices(LanguageMode::English);
        m_Converted = MakeReportServices(LanguageMode::Traditional);
    }
    return LocalTimeOf(facts, entry.converted ? *m_Converted : *m_Plain);
}

} // namespace varnel
