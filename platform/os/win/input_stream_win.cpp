#include "platform/os/input_stream.h"

#include "platform/os/errors.h"
#include "platform/os/win/wide_text.h"

#include <io.h>

#include <algorithm>
#include <system_error>
#include <utility>

namespace varnel::platform {

namespace {

// The kind of handle: a file on a disk, a pipe, a console or other device.
std::string RefusalFor(HANDLE handle) {
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK: {
        FILE_BASIC_INFO basic{};
        if (::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
            (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return "is a folder";
        }
        return {};
    }
    case FILE_TYPE_PIPE:
        return {};
    default:
        return "is a device, not a stream of lines";
    }
}

} // namespace

InputStream::~InputStream() {
    Close();
}

InputStream::InputStream(InputStream&& other) noexcept
    : m_Handle(std::exchange(other.m_Handle, -1)), m_Owned(std::exchange(other.m_Owned, false)),
      m_Regular(other.m_Regular) {}

InputStream& InputStream::operator=(InputStream&& other) noexcept {
    if (this != &other) {
        Close();
        m_Handle = std::exchange(other.m_Handle, -1);
        m_Owned = std::exchange(other.m_Owned, false);
        m_Regular = other.m_Regular;
    }
    return *this;
}

void InputStream::Close() noexcept {
    if (m_Handle >= 0 && m_Owned) {
        ::_close(m_Handle);
    }
    m_Handle = -1;
    m_Owned = false;
}

InputStream InputStream::Open(const std::filesystem::path& path, std::string& reason) {
    const std::wstring name = win::SystemPath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a folder";
        return {};
    }
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = SystemErrorMessage(win::ErrnoFromWin32(::GetLastError()));
        return {};
    }
    if (reason = RefusalFor(handle); !reason.empty()) {
        ::CloseHandle(handle);
        return {};
    }
    const bool regular = ::GetFileType(handle) == FILE_TYPE_DISK;
    const int fd = win::DescriptorFor(handle);
    if (fd < 0) {
        reason = SystemErrorMessage(EMFILE);
        return {};
    }
    return InputStream(fd, true, regular);
}

InputStream InputStream::StandardInput() noexcept {
    const HANDLE handle = ::GetStdHandle(STD_INPUT_HANDLE);
    const int fd = ::_fileno(stdin);
    const bool regular = handle != nullptr && handle != INVALID_HANDLE_VALUE &&
                         ::GetFileType(handle) == FILE_TYPE_DISK;
    return InputStream(fd, false, regular);
}

bool InputStream::WouldWait() const noexcept {
    if (m_Handle < 0 || m_Regular) {
        return false;
    }
    const HANDLE handle = win::HandleOf(m_Handle);
    if (::GetFileType(handle) != FILE_TYPE_PIPE) {
        return false; // a console waits for its line; it is not told apart
    }
    DWORD available = 0;
    if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
        return false; // the writer is gone: the read gives the end at once
    }
    return available == 0;
}

std::size_t InputStream::Read(std::span<char> dest) {
    if (m_Handle < 0 || dest.empty()) {
        return 0;
    }
    const HANDLE handle = win::HandleOf(m_Handle);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dest.size(), 1u << 30));
    if (!::ReadFile(handle, dest.data(), want, &got, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
            return 0; // the writer closed its end
        }
        throw std::system_error(win::ErrnoFromWin32(error), std::generic_category());
    }
    return got;
}

} // namespace varnel::platform
