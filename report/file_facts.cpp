#include "report/file_facts.h"

#include "digest/crc32.h"
#include "digest/md5_sha1.h"
#include "platform/os/file_query.h"

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <span>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace varnel {

namespace {

// Inline reads: large enough that a small file takes one read() (plus the one
// that sees the end), small enough to stay in the CPU's caches.
constexpr std::size_t kInlineBufferSize = 256u << 10;

// The ring between the reader and the MD5 helper of a split file.
constexpr std::size_t kRingChunk = 1u << 20;
constexpr std::size_t kRingSlots = 8;

// Closes a descriptor when it goes out of scope (errors of close are ignored:
// the file was only read).
class FdCloser {
public:
    explicit FdCloser(int fd) : m_Fd(fd) {}
    ~FdCloser() { ::close(m_Fd); }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    int m_Fd;
};

// Fills dest as far as the file allows: returns the number of bytes read (less
// than dest.size() only at the end of the file), or -errno.
std::int64_t ReadUpTo(int fd, std::span<std::uint8_t> dest) {
    std::size_t done = 0;
    while (done < dest.size()) {
        const ssize_t got = ::read(fd, dest.data() + done, dest.size() - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            return -static_cast<std::int64_t>(errno);
        }
    }
    return static_cast<std::int64_t>(done);
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// The digests being computed for one file.
struct Digests {
    bool wantCrc = false;
    bool wantSha1 = false;
    std::uint32_t crc = Crc32Init();
    std::optional<DigestContext> sha1;
    DigestContext md5{CALG_MD5};

    explicit Digests(const ReportOptions& options)
        : wantCrc(options.ShowCRC32), wantSha1(options.ShowSHA1) {
        if (wantSha1) {
            sha1.emplace(CALG_SHA1);
        }
    }

    // Everything but MD5.
    void UpdateOthers(std::span<const std::uint8_t> data) {
        if (wantCrc) {
            crc = Crc32Update(crc, data);
        }
        if (sha1) {
            sha1->Update(data);
        }
    }
};

// Why a read stopped early, as an errno value (0: it did not).
struct ReadOutcome {
    int error = 0;
    bool cancelled = false;
};

// One read() of at most dest.size() bytes: the count, or -errno.
std::int64_t ReadOnce(int fd, std::span<std::uint8_t> dest) {
    for (;;) {
        const ssize_t got = ::read(fd, dest.data(), dest.size());
        if (got >= 0) {
            return static_cast<std::int64_t>(got);
        }
        if (errno != EINTR) {
            return -static_cast<std::int64_t>(errno);
        }
    }
}

// Reads the whole file on this thread, feeding every digest. The file is
// read to its end; when a read comes back short once the length the open
// file had is reached, that is taken for the end without asking again, so
// a small file costs a single read().
ReadOutcome HashInline(int fd, std::uint64_t length, std::vector<std::uint8_t>& buffer,
                       Digests& digests, const std::atomic<bool>* cancel) {
    if (buffer.size() != kInlineBufferSize) {
        buffer.resize(kInlineBufferSize);
    }
    std::uint64_t total = 0;
    for (;;) {
        if (Cancelled(cancel)) {
            return {0, true};
        }
        const std::int64_t got = ReadOnce(fd, buffer);
        if (got < 0) {
            return {static_cast<int>(-got), false};
        }
        if (got == 0) {
            return {};
        }
        const auto count = static_cast<std::size_t>(got);
        const std::span<const std::uint8_t> data(buffer.data(), count);
        digests.UpdateOthers(data);
        digests.md5.Update(data);
        total += count;
        if (count < buffer.size() && total >= length) {
            return {};
        }
    }
}

// Reads the file on this thread into a ring of chunks; a helper thread feeds
// MD5 from the ring while this thread feeds SHA-1 and CRC-32 from the same
// chunks. MD5 sets the pace: it is the slowest digest and cannot be split.
// Returns nothing, before reading anything, when the helper thread cannot be
// started.
std::optional<ReadOutcome> HashSplit(int fd, Digests& digests, const std::atomic<bool>* cancel) {
    struct Ring {
        std::mutex mutex;
        std::condition_variable changed;
        std::array<std::size_t, kRingSlots> length{};
        std::uint64_t published = 0; // chunks handed to the helper
        std::uint64_t consumed = 0;  // chunks the helper has finished with
        bool finished = false;       // no further chunk will be published
    } ring;
    std::vector<std::vector<std::uint8_t>> chunks(kRingSlots,
                                                  std::vector<std::uint8_t>(kRingChunk));

    auto md5Loop = [&ring, &chunks, &digests] {
        for (std::uint64_t j = 0;; ++j) {
            std::size_t length = 0;
            {
                std::unique_lock lock(ring.mutex);
                ring.changed.wait(lock, [&] { return ring.published > j || ring.finished; });
                if (ring.published <= j) {
                    return;
                }
                length = ring.length[j % kRingSlots];
            }
            digests.md5.Update(
                std::span<const std::uint8_t>(chunks[j % kRingSlots].data(), length));
            {
                std::lock_guard lock(ring.mutex);
                ring.consumed = j + 1;
            }
            ring.changed.notify_all();
        }
    };

    std::thread helper;
    try {
        helper = std::thread(md5Loop);
    } catch (const std::system_error&) {
        return std::nullopt;
    }

    ReadOutcome outcome;
    for (std::uint64_t i = 0;; ++i) {
        const std::size_t slot = i % kRingSlots;
        {
            // The slot is free once the helper is done with the chunk that
            // used it kRingSlots chunks ago (this thread finished it already).
            std::unique_lock lock(ring.mutex);
            ring.changed.wait(lock, [&] { return i - ring.consumed < kRingSlots; });
        }
        if (Cancelled(cancel)) {
            outcome.cancelled = true;
            break;
        }
        const std::int64_t got = ReadUpTo(fd, chunks[slot]);
        if (got < 0) {
            outcome.error = static_cast<int>(-got);
            break;
        }
        if (got == 0) {
            break;
        }
        const auto length = static_cast<std::size_t>(got);
        {
            std::lock_guard lock(ring.mutex);
            ring.length[slot] = length;
            ring.published = i + 1;
        }
        ring.changed.notify_all();
        digests.UpdateOthers(std::span<const std::uint8_t>(chunks[slot].data(), length));
        if (length < kRingChunk) {
            break;
        }
    }
    {
        std::lock_guard lock(ring.mutex);
        ring.finished = true;
    }
    ring.changed.notify_all();
    helper.join();
    return outcome;
}

std::string ErrnoText(int err) {
    return std::generic_category().message(err);
}

void MarkUnread(FileFacts& facts, ReadFailure kind, std::string reason) {
    facts.readOk = false;
    facts.failureKind = kind;
    facts.failure = std::move(reason);
    facts.crc32 = 0;
    facts.sha1.clear();
    facts.md5.clear();
}

} // namespace

FactsGatherer::FactsGatherer(bool allowHelperThread) : m_AllowHelperThread(allowHelperThread) {}

FactsGatherer::~FactsGatherer() = default;

FileFacts FactsGatherer::Gather(const std::filesystem::path& path, const ReportOptions& options,
                                const VersionQuery& versionQuery, const std::atomic<bool>* cancel) {
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

    // The directory entry gives size and time, and the existence test: a
    // present, non-hidden, regular file.
    const std::optional<platform::EntryInfo> entry = platform::QueryEntry(path);
    if (!entry) {
        MarkUnread(facts, ReadFailure::NotFound, "not found");
        return facts;
    }
    facts.size = entry->size;
    facts.modified = entry->modified;
    if (entry->directory) {
        MarkUnread(facts, ReadFailure::Folder, "is a folder");
        return facts;
    }
    if (entry->system) {
        MarkUnread(facts, ReadFailure::SystemEntry, "not a regular file, not read");
        return facts;
    }
    if (entry->hidden) {
        MarkUnread(facts, ReadFailure::Hidden, "hidden file, not read");
        return facts;
    }

    const int fd = platform::OpenReadOnly(path);
    if (fd < 0) {
        MarkUnread(facts, ReadFailure::OpenFailed, ErrnoText(-fd));
        return facts;
    }
    FdCloser closer(fd);
    // The entry may have been swapped since the test: judge the open file.
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        MarkUnread(facts, ReadFailure::OpenFailed, ErrnoText(errno));
        return facts;
    }
    if (!S_ISREG(st.st_mode)) {
        MarkUnread(facts, S_ISDIR(st.st_mode) ? ReadFailure::Folder : ReadFailure::SystemEntry,
                   S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file, not read");
        return facts;
    }
    const auto length = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;

    Digests digests(options);
    std::optional<ReadOutcome> outcome;
    if (length >= kSplitThreshold) {
        // Read ahead in large steps: the file is read once from start to end.
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        if (m_AllowHelperThread && (options.ShowSHA1 || options.ShowCRC32)) {
            // Nothing when no helper thread could be started; nothing was
            // read then, and the file is hashed inline below.
            outcome = HashSplit(fd, digests, cancel);
        }
    }
    if (!outcome) {
        outcome = HashInline(fd, length, m_Buffer, digests, cancel);
    }

    if (outcome->cancelled) {
        MarkUnread(facts, ReadFailure::ReadFailed, "cancelled");
        return facts;
    }
    if (outcome->error != 0) {
        MarkUnread(facts, ReadFailure::ReadFailed, "read error: " + ErrnoText(outcome->error));
        return facts;
    }

    facts.crc32 = digests.wantCrc ? Crc32Final(digests.crc) : 0;
    if (digests.sha1) {
        facts.sha1 = digests.sha1->FinalHex();
    }
    facts.md5 = digests.md5.FinalHex();
    if (facts.md5.empty() || (digests.sha1 && facts.sha1.empty())) {
        // The digest service failed: no value can be given for either.
        MarkUnread(facts, ReadFailure::ReadFailed, "digest service failed");
    }
    return facts;
}

FileFacts GatherFileFacts(const std::filesystem::path& path, const ReportOptions& options,
                          const VersionQuery& versionQuery) {
    FactsGatherer gatherer;
    return gatherer.Gather(path, options, versionQuery);
}

} // namespace varnel
