#include "platform/os/win/wide_text.h"

#include "formats/utf8.h"
#include "platform/os/errors.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <system_error>

namespace varnel::platform::win {

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto continuation = [&](std::size_t i) {
        return i < text.size() && (byte(i) & 0xC0) == 0x80;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned lead = byte(i);
        char32_t code = 0xFFFD;
        std::size_t length = 1;
        if (lead < 0x80) {
            code = lead;
        } else if (lead >= 0xC2 && lead < 0xE0 && continuation(i + 1)) {
            code = ((lead & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
            length = 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
            code = ((lead & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
            length = 3;
            if (code < 0x800) {
                code = 0xFFFD; // an overlong form
                length = 1;
            }
        } else if (lead >= 0xF0 && lead < 0xF5 && continuation(i + 1) && continuation(i + 2) &&
                   continuation(i + 3)) {
            code = ((lead & 0x07u) << 18) | ((byte(i + 1) & 0x3Fu) << 12) |
                   ((byte(i + 2) & 0x3Fu) << 6) | (byte(i + 3) & 0x3Fu);
            length = 4;
            if (code < 0x10000 || code > 0x10FFFF) {
                code = 0xFFFD;
                length = 1;
            }
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (code >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            // A surrogate's three bytes stand for that lone code unit.
            wide += static_cast<wchar_t>(code);
        }
        i += length;
    }
    return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = static_cast<char16_t>(text[i]);
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() &&
            static_cast<char16_t>(text[i + 1]) >= 0xDC00 &&
            static_cast<char16_t>(text[i + 1]) < 0xE000) {
            code =
                0x10000 + ((code - 0xD800) << 10) + (static_cast<char16_t>(text[i + 1]) - 0xDC00);
            ++i;
        }
        formats::AppendUtf8(out, code);
    }
    return out;
}

std::wstring SystemPath(const std::filesystem::path& path) {
    std::wstring text = path.native();
    for (wchar_t& c : text) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (text.size() < MAX_PATH - 12 || text.starts_with(L"\\\\?\\") ||
        text.starts_with(L"\\\\.\\")) {
        return text;
    }
    // The prefix turns off the system's own clean-up of the name ("."
    // and ".." components, relative parts): a long path gets it only in its
    // full form.
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error).lexically_normal();
    if (error) {
        return text;
    }
    std::wstring absolute = full.native();
    for (wchar_t& c : absolute) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (absolute.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + absolute.substr(2);
    }
    return L"\\\\?\\" + absolute;
}

int ErrnoFromWin32(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_DIRECTORY:
        return ENOENT;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return varnel::kErrnoInUse;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return ENOSYS;
    default:
        return EIO;
    }
}

FileFailure FailureFromWin32(DWORD error) {
    switch (ErrnoFromWin32(error)) {
    case ENOENT:
    case ENAMETOOLONG:
        return FileFailure::NotFound;
    case EACCES:
        return FileFailure::AccessDenied;
    default:
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                   ? FileFailure::AccessDenied
                   : FileFailure::Other;
    }
}

FileError FileErrorFromWin32(DWORD error, const std::string& context) {
    const int err = ErrnoFromWin32(error);
    return FileError(FailureFromWin32(error), err,
                     context + ": " + varnel::SystemErrorMessage(err));
}

UnixTime UnixTimeFromTicks(std::int64_t ticks) {
    // 1601-01-01 to 1970-01-01: 11,644,473,600 seconds.
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kEpochTicks = 11'644'473'600LL * kTicksPerSecond;
    const std::int64_t since = ticks - kEpochTicks;
    std::int64_t seconds = since / kTicksPerSecond;
    std::int64_t rest = since % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    return UnixTime{seconds, static_cast<std::uint32_t>(rest * 100)};
}

bool StampOfHandle(HANDLE handle, FileStamp& stamp) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
        return false;
    }
    const UnixTime written = UnixTimeFromTicks(basic.LastWriteTime.QuadPart);
    const UnixTime changed = UnixTimeFromTicks(basic.ChangeTime.QuadPart);
    stamp = FileStamp{standard.EndOfFile.QuadPart > 0
                          ? static_cast<std::uint64_t>(standard.EndOfFile.QuadPart)
                          : 0,
                      written.seconds, written.nanoseconds, changed.seconds, changed.nanoseconds};
    return true;
}

HANDLE HandleOf(int descriptor) noexcept {
    return descriptor < 0 ? INVALID_HANDLE_VALUE
                          : reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

int DescriptorFor(HANDLE handle) noexcept {
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    if (descriptor < 0) {
        ::CloseHandle(handle);
    }
    return descriptor;
}

} // namespace varnel::platform::win

namespace varnel::platform::win {

std::wstring FolderNameOf(HANDLE handle) {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(
            handle, name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(length + 1);
    }
    if (name.back() != L'\\') {
        name += L'\\';
    }
    return name;
}

} // namespace varnel::platform::win
