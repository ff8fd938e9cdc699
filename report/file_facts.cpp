#include "report/file_facts.h"

#include "platform/os/errors.h"
#include "platform/os/file.h"
#include "platform/os/file_query.h"
#include "report/report_labels.h"

#include <cerrno>
#include <optional>
#include <system_error>

namespace varnel {

namespace {

void MarkUnread(FileFacts& facts, ReadFailure kind, std::string reason) {
    facts.readOk = false;
    facts.failureKind = kind;
    facts.failure = std::move(reason);
    facts.crc32 = 0;
    facts.sha1.clear();
    facts.md5.clear();
    facts.sha256.clear();
    facts.sha512.clear();
    facts.blake2b.clear();
    facts.sha3_256.clear();
    facts.sha3_512.clear();
    facts.xxh3.clear();
    facts.xxh128.clear();
    facts.blake3.clear();
}

// Why path was not opened: the directory entry gives size and time, and
// tells a missing entry, a folder, a special file and a hidden one apart.
// openError is why the open failed; nothing when the open was not tried (a
// hidden name that is not to be read).
void DescribeUnopened(const std::filesystem::path& path,
                      const std::optional<platform::FileError>& openError, FileFacts& facts) {
    int queryError = 0;
    const std::optional<platform::EntryInfo> entry = platform::QueryEntry(path, &queryError);
    if (!entry) {
        // Missing, or present but out of reach: say which (a folder on the
        // way that cannot be searched, a name longer than the system allows).
        MarkUnread(facts, ReadFailure::NotFound,
                   queryError == ENOENT || queryError == ENOTDIR || queryError == 0
                       ? std::string("not found")
                       : SystemErrorMessage(queryError));
        return;
    }
    facts.size = entry->size;
    facts.modified = entry->modified;
    facts.modifiedNanoseconds = entry->modifiedNanoseconds;
    if (entry->directory) {
        MarkUnread(facts, ReadFailure::Folder, "is a folder");
        return;
    }
    if (entry->system) {
        MarkUnread(facts, ReadFailure::SystemEntry, "not a regular file, not read");
        return;
    }
    if (!openError) { // not tried: a hidden file
        MarkUnread(facts, ReadFailure::Hidden, "hidden file, not read");
        return;
    }
    // A regular file that could not be opened, or an entry that was swapped
    // between the open and the look-up: the open's own reason.
    switch (openError->failure()) {
    case platform::FileFailure::Folder:
        MarkUnread(facts, ReadFailure::Folder, "is a folder");
        break;
    case platform::FileFailure::NotRegular:
        MarkUnread(facts, ReadFailure::SystemEntry, "not a regular file, not read");
        break;
    default:
        MarkUnread(facts, ReadFailure::OpenFailed, SystemErrorMessage(openError->systemError()));
        break;
    }
}

} // namespace

DigestSelection ReportDigestSelection(const ReportOptions& options) {
    DigestSelection wanted{options.ShowCRC32, options.ShowSHA1, true};
    for (const ReportDigestLine& line : kReportDigestLines) {
        bool DigestSelection::*const member = DigestKindOf(line.kind).selected;
        wanted.*member = options.ShowDigests.*member;
    }
    return wanted;
}

FactsGatherer::FactsGatherer(bool allowHelperThread) : m_Hasher(allowHelperThread) {}

FactsGatherer::~FactsGatherer() = default;

FileFacts FactsGatherer::Gather(const std::filesystem::path& path, const ReportOptions& options,
                                const VersionQuery& versionQuery, const Control& run) {
    FileFacts facts;

    // The version query runs whatever the kind of entry: it answers empty for
    // anything that is not a file with a version record.
    if (options.ShowVersion && versionQuery) {
        try {
            facts.version = versionQuery(path);
        } catch (...) {
            // A failing query leaves the version line out.
            facts.version.clear();
        }
    }

    // A present, non-hidden regular file is opened straight away: the opened
    // file gives size and time, and refuses what is not a regular file. Only
    // a path that cannot be opened as one (or a hidden name that is not to be
    // read) is looked up, to say why.
    const bool hiddenRefused = !run.readHidden && platform::IsHiddenName(path);
    platform::ReadOnlyFile file;
    std::optional<platform::FileError> openError;
    if (!hiddenRefused) {
        file = platform::ReadOnlyFile::Open(path, openError);
    }
    if (!file.isOpen()) {
        DescribeUnopened(path, openError, facts);
        return facts;
    }

    // The block describes the file as it was opened: its size, time and
    // exactly that many bytes. A regular file whose size reads 0 may still
    // hold bytes (/proc, /sys, some FUSE file systems): it is read to its
    // end, streamed through the hasher like any other, and its size is the
    // count of bytes read.
    const platform::FileStamp opened = file.OpenedStamp();
    bool lengthUnknown = opened.size == 0;
    facts.size = opened.size;
    facts.modified = std::chrono::sys_seconds(std::chrono::seconds(opened.modifiedSeconds));
    facts.modifiedNanoseconds = opened.modifiedNanoseconds;

    const DigestSelection wanted = run.digests.value_or(ReportDigestSelection(options));
    if (run.bytesKnown != nullptr) {
        run.bytesKnown->fetch_add(file.Size(), std::memory_order_relaxed);
    }
    if (run.filesSized != nullptr) {
        run.filesSized->fetch_add(1, std::memory_order_relaxed);
    }
    HashControl control;
    control.cancel = run.cancel;
    control.bytesRead = run.bytesRead;
    if (!lengthUnknown) {
        control.limit = opened.size;
        control.expectExactly = true;
    }
    control.afterChunk = run.afterChunk;
    // Digests of bytes that were changing would be of neither version of the
    // file: a file that grew, was rewritten or was touched while it was read
    // gets no digest (a rewrite that sets the modification time back still
    // moves the change time). A file of unknown length that takes on a size
    // while it is read was being written: changed too.
    const auto unchanged = [&file, &opened] {
        try {
            return file.Stamp() == opened;
        } catch (const platform::FileError&) {
            return false;
        }
    };
    HashResult hashed = m_Hasher.Hash(file, wanted, control);
    if (hashed.outcome == HashOutcome::EndedEarly && unchanged()) {
        // Shorter than its size says, yet size and times are as they were
        // (a file cut while it is read takes a new size and change time): the
        // size was never its length (sysfs gives 4096 for every attribute).
        // Read it again, to its end, as a file of unknown length.
        try {
            file.Rewind();
            // Progress counts the bytes read again once, and the file's
            // length is what this pass reads, not the size it claimed.
            if (run.bytesRead != nullptr) {
                run.bytesRead->fetch_sub(hashed.bytes, std::memory_order_relaxed);
            }
            lengthUnknown = true;
            control.limit = HashControl{}.limit;
            control.expectExactly = false;
            hashed = m_Hasher.Hash(file, wanted, control);
            if (run.bytesKnown != nullptr) {
                run.bytesKnown->fetch_add(hashed.bytes, std::memory_order_relaxed);
                run.bytesKnown->fetch_sub(opened.size, std::memory_order_relaxed);
            }
        } catch (const platform::FileError&) {
            // Cannot go back: it stays a file that became shorter.
        }
    }
    if (hashed.outcome == HashOutcome::Done) {
        if (!unchanged()) {
            MarkUnread(facts, ReadFailure::Changed, "changed while it was read");
            return facts;
        }
    }
    switch (hashed.outcome) {
    case HashOutcome::Done:
        break;
    case HashOutcome::EndedEarly:
        MarkUnread(facts, ReadFailure::Changed, "changed while it was read (it became shorter)");
        return facts;
    case HashOutcome::Cancelled:
        MarkUnread(facts, ReadFailure::ReadFailed, "cancelled");
        return facts;
    case HashOutcome::ServiceFailed:
        // The digest service failed: no value can be given for either.
        MarkUnread(facts, ReadFailure::ReadFailed, "digest service failed");
        return facts;
    default:
        MarkUnread(facts, ReadFailure::ReadFailed,
                   "read error: " +
                       SystemErrorMessage(hashed.error ? hashed.error->systemError() : EIO));
        return facts;
    }
    if (lengthUnknown) {
        facts.size = hashed.bytes;
    }
    facts.crc32 = hashed.crc32;
    facts.sha1 = std::move(hashed.sha1);
    facts.md5 = std::move(hashed.md5);
    TakeOtherDigests(hashed, facts);
    return facts;
}

void TakeOtherDigests(HashResult& hashed, FileFacts& facts) {
    facts.sha256 = std::move(hashed.sha256);
    facts.sha512 = std::move(hashed.sha512);
    facts.blake2b = std::move(hashed.blake2b);
    facts.sha3_256 = std::move(hashed.sha3_256);
    facts.sha3_512 = std::move(hashed.sha3_512);
    facts.xxh3 = std::move(hashed.xxh3);
    facts.xxh128 = std::move(hashed.xxh128);
    facts.blake3 = std::move(hashed.blake3);
}

FileFacts GatherFileFacts(const std::filesystem::path& path, const ReportOptions& options,
                          const VersionQuery& versionQuery) {
    FactsGatherer gatherer;
    return gatherer.Gather(path, options, versionQuery);
}

} // namespace varnel
