#pragma once

// File queries that stand in for the Windows directory search with attribute
// filter. On POSIX: an entry is hidden when its own name begins with "."; an
// entry that is neither a regular file nor a directory (FIFO, socket, device)
// counts as a system entry, so it is never opened for reading.

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

// Opens path for reading only; returns a file descriptor, or -errno. The open
// never blocks, whatever kind of entry path names: callers fstat the
// descriptor and refuse what is not a regular file.
// Windows' deny-write share mode has no POSIX counterpart: other writers are
// not kept out.
int OpenReadOnly(const std::filesystem::path& path);

// Maps an errno value to the nearest run-time error number (53, 70, 75, ...).
std::int32_t ErrorNumberFromErrno(int err);

} // namespace varnel::platform
