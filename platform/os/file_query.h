#pragma once

// File queries that stand in for the Windows directory search with attribute
// filter. On POSIX: an entry is hidden when its own name begins with "."; an
// entry that is neither a regular file nor a directory (FIFO, socket, device)
// counts as a system entry, so it is never opened for reading.

#include "platform/os/file.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace varnel::platform {

struct EntryInfo {
    bool directory = false;
    bool regularFile = false;
    bool hidden = false;
    bool system = false;                   // neither regular file nor directory
    std::uint64_t size = 0;                // bytes, from the directory entry (0 for non-files)
    std::chrono::sys_seconds modified{};   // whole seconds: any time the file system holds
    std::uint32_t modifiedNanoseconds = 0; // the fraction of the second
    std::uint64_t device = 0;              // identity of the entry: device and inode
    std::uint64_t inode = 0;
    // Length, modified and change times, as a report compares them to tell
    // one state of a file from another (the change time moves also when the
    // modified time is set back).
    FileStamp stamp;
};

// Attributes of the entry at path (links followed), or nothing when it cannot
// be read (missing, permission denied, dangling link, name too long); then
// *systemError, when given, says why (an errno value).
std::optional<EntryInfo> QueryEntry(const std::filesystem::path& path, int* systemError = nullptr);

// True when the entry's own name (last path component) begins with ".".
bool IsHiddenName(const std::filesystem::path& path);

// The existence test of the file stream and the digests: a "normal" entry,
// i.e. present, a regular file and not hidden. Sets errorNumber to 0 when found,
// 53 when not found, or another run-time error number when the query failed
// for another reason.
bool FindNormalFile(const std::filesystem::path& path, std::int32_t& errorNumber);

// What OpenReadOnly returns for an entry it did not open because it is
// neither a regular file nor a folder.
inline constexpr int kNotOpenedSpecialEntry = -0x10000;

// Opens path for reading only; returns a file descriptor, or -errno. The
// entry is looked up first (links followed): a FIFO, socket or device is
// never opened (opening one can release a waiting writer, reset a serial
// port or arm a watchdog), and kNotOpenedSpecialEntry is returned for it.
// The open never blocks, whatever the path names by then: callers fstat the
// descriptor and refuse what is not a regular file (an entry swapped after
// the look-up).
// Windows' deny-write share mode has no POSIX counterpart: other writers are
// not kept out.
int OpenReadOnly(const std::filesystem::path& path);

// Maps an errno value to the nearest run-time error number (53, 70, 75, ...).
std::int32_t ErrorNumberFromErrno(int err);

} // namespace varnel::platform
