#pragma once

// A file opened for reading under an advisory lock for writing (flock), for
// the programs that rewrite a file they have read: two of them holding the
// lock in turn never replace each other's work, and a writer that takes the
// same lock (flock(1) SUMS -c '...') waits for the rewrite to end. Other
// writers are not kept out: the caller compares the file's identity before
// and after its work.
//
//     platform::LockedFile file = platform::LockedFile::Open(path); // throws FileError
//     if (file.TryLock() == platform::LockedFile::Lock::Busy) { refuse(); }
//     const platform::FileIdentity before = file.Identity();
//     while (const std::size_t n = file.Read(buffer)) { use(first n bytes); }

#include "platform/os/file.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace varnel::platform {

// Which file an entry names and in what state: its device and inode, its
// count of names (hard links) and its stamp.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t links = 1;
    FileStamp stamp;

    bool SameFile(const FileIdentity& other) const noexcept {
        return device == other.device && inode == other.inode;
    }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class LockedFile {
public:
    enum class Lock {
        Held,        // taken: held until the file is closed
        Busy,        // another open of the file holds it (another process, as a rule)
        Unavailable, // the file system keeps no such locks (some network file systems)
    };

    LockedFile() noexcept = default; // closed
    ~LockedFile();
    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Opens the regular file at path for reading; a symbolic link at path is
    // not followed, and the open never waits (on a FIFO's writer, say).
    // Throws FileError when path is missing, a link, or no regular file.
    static LockedFile Open(const std::filesystem::path& path);

    // Takes the lock without waiting. Throws FileError on any other failure.
    Lock TryLock();

    bool isOpen() const noexcept { return m_Handle >= 0; }

    // The open file's identity now, whatever has become of its name. Throws
    // FileError.
    FileIdentity Identity() const;

    // Sequential read: what the system gives, 0 at the end. Throws FileError.
    std::size_t Read(std::span<char> dest);
    // Positioned read, the sequential position kept: as much of dest as the
    // file holds from offset. Throws FileError.
    std::size_t ReadAt(std::uint64_t offset, std::span<char> dest) const;

private:
    explicit LockedFile(int handle) noexcept : m_Handle(handle) {}
    void Close() noexcept;

    int m_Handle = -1;
};

// The identity of the entry at path itself (a symbolic link is not
// followed), or of the entry name in the folder held open as folderHandle.
// Throws FileError.
FileIdentity IdentityOfEntry(const std::filesystem::path& path);
FileIdentity IdentityOfEntry(int folderHandle, const std::string& name);

} // namespace varnel::platform
