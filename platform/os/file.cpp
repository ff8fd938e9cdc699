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
    case EROFS: // a write on a read-only file system
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

} // namespace

FileError FileErrorFromErrno(int err, const std::string& context) {
    return MakeError(FailureFromErrno(err), err, context);
}

namespace {

[[noreturn]] void ThrowErrno(int err, const std::string& context) {
    throw FileErrorFromErrno(err, context);
}

} // namespace

ReadOnlyFile ReadOnlyFile::Open(const std::filesystem::path& path,
                                std::optional<FileError>& error) {
    error.reset();
    // OpenReadOnly never opens a FIFO, socket or device, and never blocks.
    const int fd = OpenReadOnly(path);
    if (fd == kNotOpenedSpecialEntry) {
        error = MakeError(FileFailure::NotRegular, 0, "not a regular file");
        return {};
    }
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
    // A path that ends in a folder's own name ("dir/", "dir/.") names no
    // file to replace.
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            ThrowErrno(errno, "cannot look at");
        }
        Throw(FileFailure::Folder, 0, "is a folder, not replaced");
    }
    // The folder as the path names it (links on the way are followed, as
    // the caller gave them); the entry itself is looked at and replaced in
    // the open folder, never through a link.
    const std::filesystem::path parent = path.parent_path();
    const int folder =
        ::open(parent.empty() ? "." : parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        ThrowErrno(errno, "cannot open its folder");
    }
    return OutputFolder(folder).ReplaceFileContents(name, bytes);
}

std::string TemporaryFileName(int attempt) {
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t random = 0;
    if (::getentropy(&random, sizeof random) != 0) {
        // No entropy to be had: the process and the attempt still tell the
        // names apart, and O_EXCL keeps any clash harmless.
        random =
            (static_cast<std::uint64_t>(::getpid()) << 16) ^ static_cast<std::uint64_t>(attempt);
    }
    std::string name = ".varnel-";
    for (int i = 0; i < 8; ++i) {
        name += kLetters[random % (sizeof kLetters - 1)];
        random /= sizeof kLetters - 1;
    }
    return name;
}

OutputFolder::~OutputFolder() {
    if (m_Handle >= 0) {
        ::close(m_Handle);
    }
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : m_Handle(std::exchange(other.m_Handle, -1)) {}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    if (this != &other) {
        if (m_Handle >= 0) {
            ::close(m_Handle);
        }
        m_Handle = std::exchange(other.m_Handle, -1);
    }
    return *this;
}

OutputFolder OutputFolder::Open(const std::filesystem::path& path) {
    // "out/" and "out/." name the folder out, and the system would follow a
    // link out for them: the last name is the one to open without following.
    std::filesystem::path folder = path;
    while (folder.has_relative_path() && (folder.filename().empty() || folder.filename() == ".")) {
        folder = folder.parent_path();
    }
    if (folder.empty()) {
        folder = ".";
    }
    const auto openFolder = [&folder] {
        return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    };
    int fd = openFolder();
    if (fd < 0 && errno == ENOENT) {
        // Made when missing, with the folders above it: mkdir never makes a
        // folder through a link, and the open below refuses one.
        std::error_code ignored;
        if (folder.has_parent_path()) {
            std::filesystem::create_directories(folder.parent_path(), ignored);
        }
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            ThrowErrno(errno, "cannot make the folder");
        }
        fd = openFolder();
    }
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        if ((err == ENOTDIR || err == ELOOP) && ::lstat(folder.c_str(), &st) == 0) {
            Throw(FileFailure::NotRegular, 0,
                  S_ISLNK(st.st_mode) ? "is a symbolic link, not followed" : "is not a folder");
        }
        ThrowErrno(err, "cannot open the folder");
    }
    OutputFolder opened(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ThrowErrno(errno, "cannot look at the folder");
    }
    if (!S_ISDIR(st.st_mode)) {
        Throw(FileFailure::NotRegular, 0, "is not a folder");
    }
    return opened;
}

Replaced OutputFolder::ReplaceFileContents(const std::filesystem::path& name,
                                           std::span<const char> bytes) const {
    // The name stays in its native bytes, so a name that is not valid UTF-8
    // is written as given.
    const std::string& entry = name.native();
    if (entry.empty() || entry == "." || entry == ".." || entry.find('/') != std::string::npos) {
        Throw(FileFailure::Other, 0, "is not a file name in the folder, not written");
    }
    if (m_Handle < 0) {
        ThrowErrno(EBADF, "cannot write");
    }
    // What is there now, the name itself (a link is not followed).
    Replaced result;
    struct stat old {};
    if (::fstatat(m_Handle, entry.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
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
    // The temporary file is created new (O_EXCL): it never opens an existing
    // name or follows a link.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = TemporaryFileName(attempt);
        fd = ::openat(m_Handle, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
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
    // The file is made 0600: a new data file is for all to read, a replaced
    // one keeps its permissions and, where allowed, its owner.
    if (err == 0 && (::fchmod(fd, static_cast<mode_t>(result.mode)) != 0 || ::fsync(fd) != 0)) {
        err = errno;
    }
    if (err == 0 && result.existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        result.ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0 && ::renameat(m_Handle, temp.c_str(), m_Handle, entry.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlinkat(m_Handle, temp.c_str(), 0);
        ThrowErrno(err, "cannot write");
    }
    return result;
}

bool StandardErrorIsTerminal() noexcept {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace varnel::platform
