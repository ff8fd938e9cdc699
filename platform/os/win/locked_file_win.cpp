#include "platform/os/locked_file.h"

#include "platform/os/path_text.h"
#include "platform/os/win/wide_text.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace varnel::platform {

namespace {

// The lock is taken on one byte far past any file's end: Windows' locks keep
// every other reader out of the bytes they cover, and the file itself is to
// stay readable to all while it is worked on. Two programs that take the same
// byte still exclude each other.
constexpr DWORD kLockOffsetLow = 0xFFFFFFF0u;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;

FileIdentity IdentityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION about{};
    FileIdentity identity;
    if (!::GetFileInformationByHandle(handle, &about) ||
        !win::StampOfHandle(handle, identity.stamp)) {
        throw win::FileErrorFromWin32(::GetLastError(), "cannot look at");
    }
    identity.device = about.dwVolumeSerialNumber;
    identity.inode = (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    identity.links = about.nNumberOfLinks;
    return identity;
}

FileIdentity IdentityOfName(const std::wstring& name) {
    const HANDLE handle = ::CreateFileW(
        name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw win::FileErrorFromWin32(::GetLastError(), "cannot look at");
    }
    try {
        FileIdentity identity = IdentityOfHandle(handle);
        ::CloseHandle(handle);
        return identity;
    } catch (...) {
        ::CloseHandle(handle);
        throw;
    }
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
        ::_close(m_Handle); // the lock goes with the handle
        m_Handle = -1;
    }
}

LockedFile LockedFile::Open(const std::filesystem::path& path) {
    // The link itself is opened, not what it points to, and refused below.
    // Others keep every right to the file, renaming it over included, so that
    // the replacement of the file can put the new one in its place.
    const HANDLE handle = ::CreateFileW(
        win::SystemPath(path).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw win::FileErrorFromWin32(::GetLastError(), "cannot open");
    }
    const int fd = win::DescriptorFor(handle);
    if (fd < 0) {
        throw FileError(FileFailure::Other, EMFILE, "cannot open");
    }
    LockedFile file(fd);
    FILE_BASIC_INFO basic{};
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        throw FileError(FileFailure::NotRegular, 0, "is not a regular file");
    }
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        throw win::FileErrorFromWin32(::GetLastError(), "cannot look at");
    }
    if (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        throw FileError(FileFailure::NotRegular, 0, "is a symbolic link");
    }
    if (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        throw FileError(FileFailure::Folder, 0, "is a folder");
    }
    return file;
}

LockedFile::Lock LockedFile::TryLock() {
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    if (::LockFileEx(win::HandleOf(m_Handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                     0, 1, 0, &at)) {
        return Lock::Held;
    }
    switch (const DWORD error = ::GetLastError()) {
    case ERROR_LOCK_VIOLATION:
    case ERROR_IO_PENDING:
        return Lock::Busy;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return Lock::Unavailable;
    default:
        throw win::FileErrorFromWin32(error, "cannot lock");
    }
}

FileIdentity LockedFile::Identity() const {
    return IdentityOfHandle(win::HandleOf(m_Handle));
}

std::size_t LockedFile::Read(std::span<char> dest) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dest.size(), 1u << 30));
    if (!::ReadFile(win::HandleOf(m_Handle), dest.data(), want, &got, nullptr)) {
        throw win::FileErrorFromWin32(::GetLastError(), "cannot read");
    }
    return got;
}

std::size_t LockedFile::ReadAt(std::uint64_t offset, std::span<char> dest) const {
    const HANDLE handle = win::HandleOf(m_Handle);
    LARGE_INTEGER position{};
    const LARGE_INTEGER none{};
    if (!::SetFilePointerEx(handle, none, &position, FILE_CURRENT)) {
        throw win::FileErrorFromWin32(::GetLastError(), "cannot read");
    }
    std::size_t done = 0;
    while (done < dest.size()) {
        OVERLAPPED at{};
        const std::uint64_t from = offset + done;
        at.Offset = static_cast<DWORD>(from & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dest.size() - done, 1u << 30));
        if (!::ReadFile(handle, dest.data() + done, want, &got, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            throw win::FileErrorFromWin32(error, "cannot read");
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    return done;
}

FileIdentity IdentityOfEntry(const std::filesystem::path& path) {
    return IdentityOfName(win::SystemPath(path));
}

FileIdentity IdentityOfEntry(int folderHandle, const std::string& name) {
    const std::wstring folder = win::FolderNameOf(win::HandleOf(folderHandle));
    if (folder.empty()) {
        throw win::FileErrorFromWin32(::GetLastError(), "cannot look at");
    }
    return IdentityOfName(folder + win::WideFromUtf8(name));
}

} // namespace varnel::platform
