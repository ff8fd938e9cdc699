#include "platform/os/locked_file.h"

#include "platform/os/stat_stamp.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varnel::platform {

namespace {

FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::uint64_t>(st.st_nlink), StampOf(st)};
}

} // namespace

LockedFile::~LockedFile() {
    Close();
}

LockedFile::LockedFile(LockedFile&& other) noexcept : m_Handle(std::exchange(other.m_Handle, -1)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_Handle = std::exchange(other.m_Handle, -1);
    }
    return *this;
}

void LockedFile::Close() noexcept {
    if (m_Handle >= 0) {
        ::close(m_Handle); // the lock goes with the last descriptor of the open
        m_Handle = -1;
    }
}

LockedFile LockedFile::Open(const std::filesystem::path& path) {
    // O_NONBLOCK: a FIFO's open would wait for its writer; it is refused below.
    const int handle =
        ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (handle < 0) {
        if (errno == ELOOP) {
            throw FileError(FileFailure::NotRegular, ELOOP, "is a symbolic link");
        }
        throw FileErrorFromErrno(errno, "cannot open");
    }
    LockedFile file(handle);
    struct stat st {};
    if (::fstat(handle, &st) != 0) {
        throw FileErrorFromErrno(errno, "cannot look at");
    }
    if (S_ISDIR(st.st_mode)) {
        throw FileError(FileFailure::Folder, 0, "is a folder");
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileError(FileFailure::NotRegular, 0, "is not a regular file");
    }
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags >= 0) {
        ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK);
    }
    return file;
}

LockedFile::Lock LockedFile::TryLock() {
    while (::flock(m_Handle, LOCK_EX | LOCK_NB) != 0) {
        switch (errno) {
        case EINTR:
            continue;
        case EWOULDBLOCK:
            return Lock::Busy;
        case ENOLCK:
        case EOPNOTSUPP:
        case EBADF: // NFS takes an exclusive lock only on a file open for writing
            return Lock::Unavailable;
        default:
            throw FileErrorFromErrno(errno, "cannot lock");
        }
    }
    return Lock::Held;
}

FileIdentity LockedFile::Identity() const {
    struct stat st {};
    if (::fstat(m_Handle, &st) != 0) {
        throw FileErrorFromErrno(errno, "cannot look at");
    }
    return IdentityOf(st);
}

std::size_t LockedFile::Read(std::span<char> dest) {
    for (;;) {
        const ssize_t n = ::read(m_Handle, dest.data(), dest.size());
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            throw FileErrorFromErrno(errno, "cannot read");
        }
    }
}

std::size_t LockedFile::ReadAt(std::uint64_t offset, std::span<char> dest) const {
    std::size_t done = 0;
    while (done < dest.size()) {
        const ssize_t n = ::pread(m_Handle, dest.data() + done, dest.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw FileErrorFromErrno(errno, "cannot read");
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

FileIdentity IdentityOfEntry(const std::filesystem::path& path) {
    return IdentityOfEntry(AT_FDCWD, path.native());
}

FileIdentity IdentityOfEntry(int folderHandle, const std::string& name) {
    struct stat st {};
    if (::fstatat(folderHandle, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        throw FileErrorFromErrno(errno, "cannot look at");
    }
    return IdentityOf(st);
}

} // namespace varnel::platform
