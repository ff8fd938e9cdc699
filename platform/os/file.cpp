#include "platform/os/file.h"

#include "platform/os/errors.h"
#include "platform/os/file_query.h"
#include "platform/os/stat_stamp.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace varnel::platform {

namespace {

FileFailure FailureFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return FileFailure::NotFound;
    case EACCES:
    case EPERM:
        return FileFailure::AccessDenied;
    case EISDIR:
        return FileFailure::Folder;
    default:
        return FileFailure::Other;
    }
}

FileError MakeError(FileFailure failure, int err, const std::string& context) {
    std::string what = context;
    if (err != 0) {
        what += ": " + std::generic_category().message(err);
    }
    return FileError(failure, err, what);
}

[[noreturn]] void Throw(FileFailure failure, int err, const std::string& context) {
    throw MakeError(failure, err, context);
}

[[noreturn]] void ThrowErrno(int err, const std::string& context) {
    Throw(FailureFromErrno(err), err, context);
}

} // namespace

FileError::FileError(FileFailure failure, int systemError, const std::string& what)
    : std::runtime_error(what), m_Failure(failure), m_SystemError(systemError) {}

std::int32_t FileError::RunTimeErrorNumber() const noexcept {
    switch (m_Failure) {
    case FileFailure::NotFound:
    case FileFailure::Folder:
    case FileFailure::NotRegular:
        return kErrFileNotFound;
    case FileFailure::AccessDenied:
        return kErrPermissionDenied;
    default:
        return kErrPathFileAccess;
    }
}

ReadOnlyFile::~ReadOnlyFile() {
    Close();
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : m_Handle(std::exchange(other.m_Handle, -1)), m_Size(std::exchange(other.m_Size, 0)),
      m_Opened(other.m_Opened) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_Handle = std::exchange(other.m_Handle, -1);
        m_Size = std::exchange(other.m_Size, 0);
        m_Opened = other.m_Opened;
    }
    return *this;
}

ReadOnlyFile ReadOnlyFile::Open(const std::filesystem::path& path) {
    std::optional<FileError> error;
    ReadOnlyFile file = Open(path, error);
    if (error) {
        throw *error;
    }
    return file;
}

ReadOnlyFile ReadOnlyFile::Open(const std::filesystem::path& path,
                                std::optional<FileError>& error) {
    error.reset();
    // OpenReadOnly never blocks, whatever the entry is (O_NONBLOCK, O_NOCTTY).
    const int fd = OpenReadOnly(path);
    if (fd < 0) {
        error = MakeError(FailureFromErrno(-fd), -fd, "cannot open");
        return {};
    }
    ReadOnlyFile file(fd, 0);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = MakeError(FailureFromErrno(errno), errno, "cannot open");
        return {};
    }
    if (S_ISDIR(st.st_mode)) {
        error = MakeError(FileFailure::Folder, 0, "is a folder");
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        error = MakeError(FileFailure::NotRegular, 0, "not a regular file");
        return {};
    }
    file.m_Opened = StampOf(st);
    file.m_Size = file.m_Opened.size;
    return file;
}

FileStamp ReadOnlyFile::Stamp() const {
    struct stat st {};
    if (m_Handle < 0 || ::fstat(m_Handle, &st) != 0) {
        ThrowErrno(m_Handle < 0 ? EBADF : errno, "cannot query");
    }
    return StampOf(st);
}

std::size_t ReadOnlyFile::ReadSome(std::span<std::uint8_t> dest) {
    if (m_Handle < 0 || dest.empty()) {
        return 0;
    }
    for (;;) {
        const ssize_t got = ::read(m_Handle, dest.data(), dest.size());
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            Throw(FileFailure::ReadFailed, errno, "read error");
        }
    }
}

std::size_t ReadOnlyFile::Read(std::span<std::uint8_t> dest) {
    std::size_t done = 0;
    while (done < dest.size()) {
        const std::size_t got = ReadSome(dest.subspan(done));
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) const {
    if (m_Handle < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < dest.size()) {
        const ssize_t got = ::pread(m_Handle, dest.data() + done, dest.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            Throw(FileFailure::ReadFailed, errno, "read error");
        }
    }
    return done;
}

void ReadOnlyFile::Rewind() {
    if (m_Handle < 0 || ::lseek(m_Handle, 0, SEEK_SET) != 0) {
        ThrowErrno(m_Handle < 0 ? EBADF : errno, "cannot go back to the start");
    }
}

void ReadOnlyFile::AdviseSequential() const noexcept {
    if (m_Handle >= 0) {
        ::posix_fadvise(m_Handle, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
}

void ReadOnlyFile::Close() noexcept {
    if (m_Handle >= 0) {
        ::close(m_Handle);
        m_Handle = -1;
    }
}

std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
    ReadOnlyFile file = ReadOnlyFile::Open(path);
    if (file.Size() > maxBytes) {
        Throw(FileFailure::TooLarge, 0, "file too large");
    }
    std::string bytes;
    std::uint8_t chunk[64 * 1024];
    // The file may grow while it is read: the limit holds for what is read.
    while (const std::size_t got = file.ReadSome(chunk)) {
        if (bytes.size() + got > maxBytes) {
            Throw(FileFailure::TooLarge, 0, "file too large");
        }
        bytes.append(reinterpret_cast<const char*>(chunk), got);
    }
    return bytes;
}

Replaced ReplaceFileContents(const std::filesystem::path& path, std::span<const char> bytes) {
    // What is there now, the name itself (a link is not followed).
    Replaced result;
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            Throw(FileFailure::Folder, 0, "is a folder, not replaced");
        }
        if (!S_ISREG(old.st_mode)) {
            Throw(FileFailure::NotRegular, 0,
                  S_ISLNK(old.st_mode) ? "is a symbolic link, not followed or replaced"
                                       : "exists and is not a regular file, not replaced");
        }
        result.existed = true;
        result.mode = static_cast<std::uint32_t>(old.st_mode & 07777);
    } else if (errno != ENOENT) {
        ThrowErrno(errno, "cannot look at");
    }
    // The path stays in its native bytes, so a name that is not valid UTF-8
    // is written as given. mkstemp creates the temporary file new
    // (O_CREAT | O_EXCL): it never opens an existing name or follows a link.
    std::string temp = path.native() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        ThrowErrno(errno, "cannot create a temporary file");
    }
    std::size_t done = 0;
    int err = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file 0600: a new data file is for all to read, a
    // replaced one keeps its permissions and, where allowed, its owner.
    if (err == 0 && (::fchmod(fd, static_cast<mode_t>(result.mode)) != 0 || ::fsync(fd) != 0)) {
        err = errno;
    }
    if (err == 0 && result.existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        result.ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(temp.c_str());
        ThrowErrno(err, "cannot write");
    }
    return result;
}

bool StandardErrorIsTerminal() noexcept {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace varnel::platform
