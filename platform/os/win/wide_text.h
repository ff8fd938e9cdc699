#pragma once

// The seam between the program's text (UTF-8) and the system's (UTF-16), and
// the Windows pieces the files of this folder share.
//
// A name the system gives need not be valid UTF-16: a lone surrogate is kept
// as the three bytes UTF-8 would give its value (ED A0 80 to ED BF BF). Such
// bytes are not valid UTF-8, so the program's name escape shows them in its
// visible form, and they convert back to the same code unit, so the file
// still opens.

#include "platform/os/errors.h"
#include "platform/os/file.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

namespace varnel::platform::win {

// UTF-8 (with lone surrogates as above) to UTF-16. Bytes that are not UTF-8
// at all become U+FFFD each.
std::wstring WideFromUtf8(std::string_view text);

// UTF-16 to UTF-8, lone surrogates as above.
std::string Utf8FromWide(std::wstring_view text);

// The path as the system takes it: absolute paths longer than MAX_PATH get
// the \\?\ prefix, so that every name the file system holds can be reached.
std::wstring SystemPath(const std::filesystem::path& path);

// The errno value nearest a Win32 error code, for the program's messages
// (generic_category): not found, access denied, ...; a file another process
// opened without sharing it gives kErrnoInUse.
int ErrnoFromWin32(DWORD error);

// The failure kind of a Win32 error code.
FileFailure FailureFromWin32(DWORD error);

// A FileError for the Win32 error code: "context: message".
FileError FileErrorFromWin32(DWORD error, const std::string& context);

// 100-nanosecond ticks since 1601 to seconds and nanoseconds since 1970.
struct UnixTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
};
UnixTime UnixTimeFromTicks(std::int64_t ticks);

// The local date and time of a moment (the system's time zone), when the
// system's calendar holds it (1601 to 30827).
std::optional<SYSTEMTIME> LocalSystemTime(std::chrono::sys_seconds time);

// The stamp of an open file (size, write and change time), or false.
bool StampOfHandle(HANDLE handle, FileStamp& stamp);

// The HANDLE behind a C run-time descriptor of this layer, and a descriptor
// that owns handle (closing it closes the handle); -1 on failure, the handle
// then closed.
HANDLE HandleOf(int descriptor) noexcept;
int DescriptorFor(HANDLE handle) noexcept;

} // namespace varnel::platform::win

namespace varnel::platform::win {

// The full name of the folder held open as handle (\\?\C:\... form), with a
// separator after it; empty when the system cannot tell it.
std::wstring FolderNameOf(HANDLE handle);

} // namespace varnel::platform::win
