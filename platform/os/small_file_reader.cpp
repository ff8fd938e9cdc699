#include "platform/os/small_file_reader.h"

#include "platform/os/file_query.h"
#include "platform/os/stat_stamp.h"

#include <liburing.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace varnel::platform {

namespace {

constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// True when path names a regular file now (links followed), asked without
// opening it: a FIFO, socket or device is never opened, since opening one
// can have effects of its own.
bool NamesRegularFile(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The look-up before the read: a regular file of 1 to maxSize bytes. Its
// stamp goes to file.stamp, its length to dest and its file system's device
// to *device (when given).
bool ReadyToRead(int fd, SmallFileRead& file, dev_t* device = nullptr) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    if (device != nullptr) {
        *device = st.st_dev;
    }
    file.stamp = StampOf(st);
    if (file.stamp.size == 0 || file.stamp.size > file.maxSize) {
        return false;
    }
    file.dest->resize(static_cast<std::size_t>(file.stamp.size));
    return true;
}

// True when a read of a regular file on fd's file system returns every byte
// asked for up to the file's end: the local disk file systems and memory.
// A FUSE or network file system may return fewer, and a short read through
// the ring is not to be trusted (it has been seen to report the full count
// with the first chunk repeated in place of the rest). Anything not known is
// read by plain calls.
bool ReadsComeBackWhole(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) {
        return false;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // ext2, ext3 and ext4 alike
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        return true;
    default:
        return false;
    }
}

// The look-up after the read: the same length and time.
bool Unchanged(int fd, const SmallFileRead& file) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && StampOf(st) == file.stamp;
}

// Reads what the first read left, if anything (a read may come back short).
bool ReadRest(int fd, ReadBuffer& dest, std::size_t done) {
    while (done < dest.size()) {
        const ssize_t got =
            ::pread(fd, dest.data() + done, dest.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// The next submission entry. The ring holds twice the largest batch: a
// batch's closes wait in it for the next batch's opens, and each phase is
// submitted whole, so it always has one.
io_uring_sqe* NextEntry(io_uring* ring) {
    io_uring_sqe* sqe = io_uring_get_sqe(ring);
    if (sqe == nullptr) {
        throw std::logic_error("submission ring full");
    }
    return sqe;
}

} // namespace

// The tag of a close's completion: its result is not wanted.
constexpr std::uint64_t kCloseEntry = ~std::uint64_t{0};

struct SmallFileReader::Ring {
    io_uring ring{};
    // The descriptors of the last batch, their closes prepared but not yet
    // submitted: they go to the kernel with the next batch's opens, or when
    // the reader ends, which spares a call into the system for each batch.
    std::vector<int> closing;
    // Whether reads through the ring come back whole, by device: a run's
    // files lie on few file systems, each asked about once.
    std::vector<std::pair<dev_t, bool>> wholeReads;

    bool ReadsWhole(dev_t device, int fd) {
        for (const auto& [known, whole] : wholeReads) {
            if (known == device) {
                return whole;
            }
        }
        const bool whole = ReadsComeBackWhole(fd);
        wholeReads.emplace_back(device, whole);
        return whole;
    }
    ~Ring() {
        if (!closing.empty()) {
            const std::vector<int> left = std::move(closing);
            closing.clear();
            const int submitted =
                io_uring_submit_and_wait(&ring, static_cast<unsigned>(left.size()));
            if (submitted < 0) {
                // Never submitted: the plain calls close them.
                for (const int fd : left) {
                    ::close(fd);
                }
            } else if (static_cast<std::size_t>(submitted) == left.size()) {
                std::array<int, 1> unused{};
                Complete(unused, 0, left.size());
            }
        }
        io_uring_queue_exit(&ring);
    }

    // Submits the count entries prepared (behind the closes waiting in the
    // queue) and collects their results, each in results at the entry's
    // index. False when the ring itself failed.
    bool Complete(std::span<int> results, std::size_t count) {
        const std::size_t closes = closing.size();
        // Whatever comes of the submission, those closes were handed to it:
        // one that failed part way may have closed some, and closing them
        // again could close another thread's newer descriptor.
        closing.clear();
        const int submitted =
            io_uring_submit_and_wait(&ring, static_cast<unsigned>(count + closes));
        if (submitted < 0 || static_cast<std::size_t>(submitted) != count + closes) {
            return false;
        }
        return Complete(results, count, closes);
    }

    // Collects the results of count entries and of closes closes already
    // submitted.
    bool Complete(std::span<int> results, std::size_t count, std::size_t closes) {
        for (std::size_t i = 0; i < count + closes; ++i) {
            io_uring_cqe* cqe = nullptr;
            int waited = 0;
            do {
                waited = io_uring_wait_cqe(&ring, &cqe);
            } while (waited == -EINTR);
            if (waited != 0) {
                return false;
            }
            const std::uint64_t entry = io_uring_cqe_get_data64(cqe);
            if (entry == kCloseEntry) {
                io_uring_cqe_seen(&ring, cqe);
                continue;
            }
            if (entry >= results.size()) {
                return false;
            }
            results[static_cast<std::size_t>(entry)] = cqe->res;
            io_uring_cqe_seen(&ring, cqe);
        }
        return true;
    }
};

SmallFileReader::SmallFileReader(bool useRing) {
#if defined(__SANITIZE_THREAD__)
    // The thread sanitizer cannot see the opens and closes the kernel does
    // for the ring, so a descriptor number the ring reuses looks to it like
    // one shared between threads. Under it the plain calls are used; the
    // other builds cover the ring.
    useRing = false;
#endif
    if (!useRing) {
        return;
    }
    auto ring = std::make_unique<Ring>();
    // A kernel without rings, or one that forbids them to this process,
    // leaves the plain calls.
    if (io_uring_queue_init(2 * kMaxBatch, &ring->ring, 0) == 0) {
        m_Ring = std::move(ring);
    }
}

SmallFileReader::~SmallFileReader() = default;

void SmallFileReader::ReadAll(std::span<SmallFileRead> files) {
    if (files.size() > kMaxBatch) {
        throw std::invalid_argument("batch too large");
    }
    for (SmallFileRead& file : files) {
        file.whole = false;
    }
    if (!m_Ring) {
        // OpenReadOnly looks up what it opens: it opens regular files only.
        for (SmallFileRead& file : files) {
            const int fd = OpenReadOnly(*file.path);
            if (fd < 0) {
                continue;
            }
            file.whole =
                ReadyToRead(fd, file) && ReadRest(fd, *file.dest, 0) && Unchanged(fd, file);
            ::close(fd);
        }
        return;
    }

    // What is not known to be a regular file is looked up first, and only a
    // regular file goes to the ring to be opened.
    bool toOpen[kMaxBatch];
    for (std::size_t i = 0; i < files.size(); ++i) {
        toOpen[i] = files[i].listedRegular || NamesRegularFile(*files[i].path);
    }
    io_uring* ring = &m_Ring->ring;
    int fds[kMaxBatch];
    int got[kMaxBatch];
    std::size_t opens = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        fds[i] = -1;
        if (toOpen[i]) {
            io_uring_sqe* sqe = NextEntry(ring);
            io_uring_prep_openat(sqe, AT_FDCWD, files[i].path->c_str(), kOpenFlags, 0);
            io_uring_sqe_set_data64(sqe, i);
            ++opens;
        }
    }
    if (opens > 0 && !m_Ring->Complete(std::span<int>(fds, files.size()), opens)) {
        // A ring that fails mid-way is left for plain calls from now on;
        // descriptors it may have opened are unknown and stay open
        // (close-on-exec, never passed on).
        m_Ring.reset();
        ReadAll(files);
        return;
    }
    std::size_t reads = 0;
    std::size_t index[kMaxBatch];
    for (std::size_t i = 0; i < files.size(); ++i) {
        dev_t device = 0;
        if (!ReadyToRead(fds[i], files[i], &device)) {
            continue;
        }
        ReadBuffer& dest = *files[i].dest;
        if (!m_Ring->ReadsWhole(device, fds[i])) {
            // Read by plain calls, each going on where the last one stopped.
            files[i].whole = ReadRest(fds[i], dest, 0) && Unchanged(fds[i], files[i]);
            continue;
        }
        io_uring_sqe* sqe = NextEntry(ring);
        io_uring_prep_read(sqe, fds[i], dest.data(), static_cast<unsigned>(dest.size()), 0);
        io_uring_sqe_set_data64(sqe, reads);
        index[reads++] = i;
    }
    if (reads > 0 && !m_Ring->Complete(std::span<int>(got, reads), reads)) {
        // The ring failed mid-way: the files are closed by plain calls, the
        // ring is given up (its exit cancels what is still in flight) and
        // the files are read the usual way by the caller.
        for (std::size_t i = 0; i < files.size(); ++i) {
            files[i].whole = false;
            if (fds[i] >= 0) {
                ::close(fds[i]);
            }
        }
        m_Ring.reset();
        return;
    }
    for (std::size_t r = 0; r < reads; ++r) {
        const std::size_t i = index[r];
        files[i].whole = got[r] >= 0 &&
                         ReadRest(fds[i], *files[i].dest, static_cast<std::size_t>(got[r])) &&
                         Unchanged(fds[i], files[i]);
    }
    // The closes of the batch go to the ring together, with the next
    // batch's opens; their results say nothing of interest (the files were
    // only read). Should the ring fail then, a descriptor may stay open
    // (never passed on: close-on-exec).
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (fds[i] >= 0) {
            io_uring_sqe* sqe = NextEntry(ring);
            io_uring_prep_close(sqe, fds[i]);
            io_uring_sqe_set_data64(sqe, kCloseEntry);
            m_Ring->closing.push_back(fds[i]);
        }
    }
}

} // namespace varnel::platform
