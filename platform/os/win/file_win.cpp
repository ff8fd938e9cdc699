#include "platform/os/file.h"

#include "platform/os/file_query.h"
#include "platform/os/path_text.h"
#include "platform/os/win/wide_text.h"

#include <bcrypt.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace varnel::platform {

namespace {

// One ReadFile moves at most this much (its count is 32 bits).
constexpr DWORD kLargestRead = 1u << 30;

[[noreturn]] void ThrowLast(const std::string& context) {
    throw win::FileErrorFromWin32(::GetLastError(), context);
}

// Reads into dest from the file's pointer (offset null) or from *offset;
// what the system gave, 0 at the end of the file.
std::size_t ReadOnce(HANDLE handle, std::span<std::uint8_t> dest, const std::uint64_t* offset) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dest.size(), kLargestRead));
    DWORD got = 0;
    OVERLAPPED at{};
    if (offset != nullptr) {
        at.Offset = static_cast<DWORD>(*offset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(*offset >> 32);
    }
    if (!::ReadFile(handle, dest.data(), want, &got, offset != nullptr ? &at : nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) {
            return 0;
        }
        throw win::FileErrorFromWin32(error, "read error");
    }
    return got;
}

} // namespace

ReadOnlyFile ReadOnlyFile::Open(const std::filesystem::path& path,
                                std::optional<FileError>& error) {
    error.reset();
    const int fd = OpenReadOnly(path);
    if (fd == kNotOpenedSpecialEntry) {
        error = FileError(FileFailure::NotRegular, 0, "not a regular file");
        return {};
    }
    if (fd < 0) {
        if (-fd == EISDIR) {
            error = FileError(FileFailure::Folder, 0, "is a folder");
        } else {
            error = FileError(-fd == ENOENT                         ? FileFailure::NotFound
                              : -fd == EACCES || -fd == kErrnoInUse ? FileFailure::AccessDenied
                                                                    : FileFailure::Other,
                              -fd, "cannot open: " + SystemErrorMessage(-fd));
        }
        return {};
    }
    ReadOnlyFile file(fd, 0);
    if (!win::StampOfHandle(win::HandleOf(fd), file.m_Opened)) {
        error = win::FileErrorFromWin32(::GetLastError(), "cannot open");
        return {};
    }
    file.m_Size = file.m_Opened.size;
    return file;
}

FileStamp ReadOnlyFile::Stamp() const {
    FileStamp stamp;
    if (m_Handle < 0) {
        throw FileError(FileFailure::Other, EBADF, "cannot query");
    }
    if (!win::StampOfHandle(win::HandleOf(m_Handle), stamp)) {
        ThrowLast("cannot query");
    }
    return stamp;
}

std::size_t ReadOnlyFile::ReadSome(std::span<std::uint8_t> dest) {
    if (m_Handle < 0 || dest.empty()) {
        return 0;
    }
    return ReadOnce(win::HandleOf(m_Handle), dest, nullptr);
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
    // A positioned read of a handle opened for plain reads moves its
    // pointer: the sequential position is put back afterwards.
    const HANDLE handle = win::HandleOf(m_Handle);
    LARGE_INTEGER position{};
    const LARGE_INTEGER none{};
    if (!::SetFilePointerEx(handle, none, &position, FILE_CURRENT)) {
        ThrowLast("read error");
    }
    std::size_t done = 0;
    while (done < dest.size()) {
        const std::uint64_t at = offset + done;
        const std::size_t got = ReadOnce(handle, dest.subspan(done), &at);
        if (got == 0) {
            break;
        }
        done += got;
    }
    ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    return done;
}

void ReadOnlyFile::Rewind() {
    const LARGE_INTEGER start{};
    if (m_Handle < 0) {
        throw FileError(FileFailure::Other, EBADF, "cannot go back to the start");
    }
    if (!::SetFilePointerEx(win::HandleOf(m_Handle), start, nullptr, FILE_BEGIN)) {
        ThrowLast("cannot go back to the start");
    }
}

void ReadOnlyFile::AdviseSequential() const noexcept {
    // The system reads ahead of sequential reads by itself; the hint it takes
    // (FILE_FLAG_SEQUENTIAL_SCAN) is given at the open only.
}

void ReadOnlyFile::Close() noexcept {
    if (m_Handle >= 0) {
        ::_close(m_Handle);
        m_Handle = -1;
    }
}

std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
    ReadOnlyFile file = ReadOnlyFile::Open(path);
    if (file.Size() > maxBytes) {
        throw FileError(FileFailure::TooLarge, 0, "file too large");
    }
    std::string bytes;
    std::uint8_t chunk[64 * 1024];
    while (const std::size_t got = file.ReadSome(chunk)) {
        if (bytes.size() + got > maxBytes) {
            throw FileError(FileFailure::TooLarge, 0, "file too large");
        }
        bytes.append(reinterpret_cast<const char*>(chunk), got);
    }
    return bytes;
}

std::string TemporaryFileName(int attempt) {
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t random = 0;
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random), sizeof random,
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        random = (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 16) ^
                 static_cast<std::uint64_t>(attempt);
    }
    std::string name = ".varnel-";
    for (int i = 0; i < 8; ++i) {
        name += kLetters[random % (sizeof kLetters - 1)];
        random /= sizeof kLetters - 1;
    }
    return name;
}

namespace {

// Writes bytes to a new file beside target and puts it in target's place
// (replacing what is there, through the disk: MOVEFILE_WRITE_THROUGH).
Replaced WriteInPlaceOf(const std::filesystem::path& target, std::span<const char> bytes) {
    Replaced result;
    const std::wstring name = win::SystemPath(target);
    WIN32_FILE_ATTRIBUTE_DATA old{};
    if (::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &old)) {
        if (old.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            throw FileError(FileFailure::Folder, 0, "is a folder, not replaced");
        }
        if (old.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            throw FileError(FileFailure::NotRegular, 0,
                            "is a symbolic link, not followed or replaced");
        }
        result.existed = true;
        result.mode = (old.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    } else if (const DWORD error = ::GetLastError();
               error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        throw win::FileErrorFromWin32(error, "cannot look at");
    }
    const std::filesystem::path folder = target.parent_path();
    HANDLE out = INVALID_HANDLE_VALUE;
    std::wstring temp;
    for (int attempt = 0; attempt < 100 && out == INVALID_HANDLE_VALUE; ++attempt) {
        temp = win::SystemPath(folder / PathFromText(TemporaryFileName(attempt)));
        out = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (out == INVALID_HANDLE_VALUE) {
        ThrowLast("cannot create a temporary file");
    }
    std::size_t done = 0;
    DWORD error = 0;
    while (done < bytes.size() && error == 0) {
        DWORD wrote = 0;
        const DWORD want =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kLargestRead));
        if (!::WriteFile(out, bytes.data() + done, want, &wrote, nullptr) || wrote == 0) {
            error = ::GetLastError();
        }
        done += wrote;
    }
    if (error == 0 && !::FlushFileBuffers(out)) {
        error = ::GetLastError();
    }
    ::CloseHandle(out);
    if (error == 0 && !::MoveFileExW(temp.c_str(), name.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != 0) {
        ::DeleteFileW(temp.c_str());
        throw win::FileErrorFromWin32(error, "cannot write");
    }
    return result;
}

} // namespace

Replaced ReplaceFileContents(const std::filesystem::path& path, std::span<const char> bytes) {
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") {
        throw FileError(FileFailure::Folder, 0, "is a folder, not replaced");
    }
    return WriteInPlaceOf(path, bytes);
}

// The folder is held open as a handle (no one may delete or rename it while
// it is), and its files are written by its full name as the system gives it.
OutputFolder::~OutputFolder() {
    if (m_Handle >= 0) {
        ::_close(m_Handle);
    }
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : m_Handle(std::exchange(other.m_Handle, -1)) {}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    if (this != &other) {
        if (m_Handle >= 0) {
            ::_close(m_Handle);
        }
        m_Handle = std::exchange(other.m_Handle, -1);
    }
    return *this;
}

OutputFolder OutputFolder::Open(const std::filesystem::path& path) {
    std::filesystem::path folder = path.empty() ? std::filesystem::path(".") : path;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::wstring name = win::SystemPath(folder);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        throw FileError(FileFailure::NotRegular, 0, "is a symbolic link, not followed");
    }
    const HANDLE handle = ::CreateFileW(
        name.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ThrowLast("cannot open the folder");
    }
    const int fd = win::DescriptorFor(handle);
    if (fd < 0) {
        throw FileError(FileFailure::Other, EMFILE, "cannot open the folder");
    }
    OutputFolder opened(fd);
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        ThrowLast("cannot look at the folder");
    }
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw FileError(FileFailure::NotRegular, 0, "is not a folder");
    }
    return opened;
}

Replaced OutputFolder::ReplaceFileContents(const std::filesystem::path& name,
                                           std::span<const char> bytes) const {
    const std::wstring& entry = name.native();
    if (entry.empty() || entry == L"." || entry == L".." ||
        entry.find_first_of(L"/\\:") != std::wstring::npos) {
        throw FileError(FileFailure::Other, 0, "is not a file name in the folder, not written");
    }
    if (m_Handle < 0) {
        throw FileError(FileFailure::Other, EBADF, "cannot write");
    }
    wchar_t folder[32768];
    const DWORD length =
        ::GetFinalPathNameByHandleW(win::HandleOf(m_Handle), folder,
                                    static_cast<DWORD>(std::size(folder)), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= std::size(folder)) {
        ThrowLast("cannot look at the folder");
    }
    return WriteInPlaceOf(std::filesystem::path(std::wstring(folder, length)) / name, bytes);
}

bool StandardErrorIsTerminal() noexcept {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

} // namespace varnel::platform
