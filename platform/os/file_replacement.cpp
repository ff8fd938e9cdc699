#include "platform/os/file_replacement.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace varnel::platform {

namespace {

[[noreturn]] void ThrowErrno(int err, const std::string& context) {
    throw FileErrorFromErrno(err, context);
}

} // namespace

FileReplacement::~FileReplacement() {
    Abandon();
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : m_Folder(std::exchange(other.m_Folder, -1)), m_Handle(std::exchange(other.m_Handle, -1)),
      m_Name(std::move(other.m_Name)), m_Temp(std::move(other.m_Temp)), m_Mode(other.m_Mode),
      m_Owner(other.m_Owner), m_Group(other.m_Group), m_Synced(other.m_Synced) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    if (this != &other) {
        Abandon();
        m_Folder = std::exchange(other.m_Folder, -1);
        m_Handle = std::exchange(other.m_Handle, -1);
        m_Name = std::move(other.m_Name);
        m_Temp = std::move(other.m_Temp);
        m_Mode = other.m_Mode;
        m_Owner = other.m_Owner;
        m_Group = other.m_Group;
        m_Synced = other.m_Synced;
    }
    return *this;
}

void FileReplacement::Abandon() noexcept {
    if (m_Handle >= 0) {
        ::close(m_Handle);
        m_Handle = -1;
    }
    if (m_Folder >= 0) {
        if (!m_Temp.empty()) {
            ::unlinkat(m_Folder, m_Temp.c_str(), 0);
        }
        ::close(m_Folder);
        m_Folder = -1;
    }
    m_Temp.clear();
}

FileReplacement FileReplacement::Begin(const std::filesystem::path& path) {
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") {
        throw FileError(FileFailure::Folder, 0, "is a folder, not a file");
    }
    const std::filesystem::path parent = path.parent_path();
    FileReplacement next;
    next.m_Folder = ::open(parent.empty() ? "." : parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (next.m_Folder < 0) {
        ThrowErrno(errno, "cannot open its folder");
    }
    next.m_Name = name.native();
    // The entry itself, never through a link: what is renamed over is what
    // was looked at.
    struct stat old {};
    if (::fstatat(next.m_Folder, next.m_Name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
        ThrowErrno(errno, "cannot look at");
    }
    if (S_ISDIR(old.st_mode)) {
        throw FileError(FileFailure::Folder, 0, "is a folder, not a file");
    }
    if (!S_ISREG(old.st_mode)) {
        throw FileError(FileFailure::NotRegular, 0,
                        S_ISLNK(old.st_mode) ? "is a symbolic link, not replaced"
                                             : "is not a regular file, not replaced");
    }
    if (old.st_nlink > 1) {
        throw FileError(FileFailure::NotRegular, 0,
                        "has " + std::to_string(old.st_nlink) +
                            " names (hard links): replacing it would part them, not replaced");
    }
    next.m_Mode = static_cast<std::uint32_t>(old.st_mode & 07777);
    next.m_Owner = old.st_uid;
    next.m_Group = old.st_gid;
    for (int attempt = 0; attempt < 100 && next.m_Handle < 0; ++attempt) {
        std::string temp = TemporaryFileName(attempt);
        next.m_Handle = ::openat(next.m_Folder, temp.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (next.m_Handle >= 0) {
            next.m_Temp = std::move(temp);
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (next.m_Handle < 0) {
        ThrowErrno(errno, "cannot create a file beside it");
    }
    return next;
}

void FileReplacement::Write(std::span<const char> bytes) {
    if (m_Handle < 0) {
        ThrowErrno(EBADF, "cannot write");
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_Handle, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ThrowErrno(n < 0 ? errno : EIO, "cannot write beside it");
        }
        done += static_cast<std::size_t>(n);
        m_Synced = false;
    }
}

void FileReplacement::Sync() {
    if (m_Handle < 0) {
        ThrowErrno(EBADF, "cannot write");
    }
    if (::fchmod(m_Handle, static_cast<mode_t>(m_Mode)) != 0) {
        ThrowErrno(errno, "cannot write beside it");
    }
    if (m_Owner != ::geteuid() || m_Group != ::getegid()) {
        // Kept where the system allows; a file of another owner is still
        // replaced by one of ours, as an editor would.
        static_cast<void>(::fchown(m_Handle, m_Owner, m_Group));
    }
    if (::fsync(m_Handle) != 0) {
        ThrowErrno(errno, "cannot write beside it");
    }
    m_Synced = true;
}

FileIdentity FileReplacement::Target() const {
    if (m_Folder < 0) {
        ThrowErrno(EBADF, "cannot look at");
    }
    return IdentityOfEntry(m_Folder, m_Name);
}

void FileReplacement::Commit() {
    if (m_Handle < 0) {
        ThrowErrno(EBADF, "cannot write");
    }
    if (!m_Synced) {
        Sync();
    }
    const int handle = std::exchange(m_Handle, -1);
    if (::close(handle) != 0) {
        ThrowErrno(errno, "cannot write beside it");
    }
    if (::renameat(m_Folder, m_Temp.c_str(), m_Folder, m_Name.c_str()) != 0) {
        ThrowErrno(errno, "cannot put the new file in its place");
    }
    m_Temp.clear();
    // The rename itself reaches the disk.
    const int folder = ::openat(m_Folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    Abandon();
}

} // namespace varnel::platform
