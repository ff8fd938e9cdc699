#include "platform/os/file_query.h"

#include "platform/os/errors.h"
#include "platform/os/win/wide_text.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace varnel::platform {

namespace {

// A handle for looking at the entry at path (links followed; a folder too).
// Asking for its attributes alone never conflicts with another process's
// share mode, so a file held without sharing can still be looked at.
HANDLE OpenForQuery(const std::wstring& name) {
    return ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

bool IsHiddenName(const std::filesystem::path& path) {
    // Windows marks hidden entries with an attribute; the name says nothing.
    const DWORD attributes = ::GetFileAttributesW(win::SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

std::optional<EntryInfo> QueryEntry(const std::filesystem::path& path, int* systemError) {
    if (systemError != nullptr) {
        *systemError = 0;
    }
    const auto fail = [systemError](int err) {
        if (systemError != nullptr) {
            *systemError = err;
        }
        return std::nullopt;
    };
    if (path.empty()) {
        return fail(ENOENT);
    }
    const HANDLE handle = OpenForQuery(win::SystemPath(path));
    if (handle == INVALID_HANDLE_VALUE) {
        return fail(win::ErrnoFromWin32(::GetLastError()));
    }
    EntryInfo info;
    BY_HANDLE_FILE_INFORMATION about{};
    const bool disk = ::GetFileType(handle) == FILE_TYPE_DISK;
    if (!disk || !::GetFileInformationByHandle(handle, &about)) {
        // A device ("NUL", "COM1"), a pipe: never opened for reading.
        ::CloseHandle(handle);
        if (disk) {
            return fail(win::ErrnoFromWin32(::GetLastError()));
        }
        info.system = true;
        return info;
    }
    const bool stamped = win::StampOfHandle(handle, info.stamp);
    ::CloseHandle(handle);
    if (!stamped) {
        return fail(EIO);
    }
    info.directory = (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.regularFile = !info.directory;
    info.hidden = (about.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    info.size = info.regularFile ? info.stamp.size : 0;
    info.modified = std::chrono::sys_seconds(std::chrono::seconds(info.stamp.modifiedSeconds));
    info.modifiedNanoseconds = info.stamp.modifiedNanoseconds;
    info.device = about.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    if (!info.regularFile) {
        info.stamp.size = 0;
    }
    return info;
}

std::int32_t ErrorNumberFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return kErrFileNotFound;
    case EACCES:
    case EPERM:
    case kErrnoInUse:
        return kErrPermissionDenied;
    default:
        return kErrPathFileAccess;
    }
}

bool FindNormalFile(const std::filesystem::path& path, std::int32_t& errorNumber) {
    errorNumber = 0;
    int err = 0;
    const std::optional<EntryInfo> info = QueryEntry(path, &err);
    if (!info) {
        errorNumber =
            err == ENOENT || err == ENOTDIR ? kErrFileNotFound : ErrorNumberFromErrno(err);
        return false;
    }
    if (!info->regularFile || info->hidden) {
        errorNumber = kErrFileNotFound;
        return false;
    }
    return true;
}

int OpenReadOnly(const std::filesystem::path& path) {
    if (path.empty()) {
        return -ENOENT;
    }
    const std::wstring name = win::SystemPath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return -EISDIR;
    }
    // Others may go on reading, writing, renaming and deleting the file while
    // it is read: a report never stands in anyone's way. Whether it changed
    // meanwhile is told by its stamp, taken before and after the read.
    const HANDLE handle = ::CreateFileW(
        name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? -EISDIR
                   : -win::ErrnoFromWin32(error);
    }
    // A device or pipe behind the name ("NUL", "COM1", "\\.\pipe\x") is
    // closed unread. (Opening a serial port has effects of its own; the
    // system gives such names no attributes to tell them by beforehand.)
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return kNotOpenedSpecialEntry;
    }
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(handle);
        return -EISDIR;
    }
    const int fd = win::DescriptorFor(handle);
    return fd < 0 ? -EMFILE : fd;
}

} // namespace varnel::platform
