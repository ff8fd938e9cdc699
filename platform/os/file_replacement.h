#pragma once

// A file's new contents written as a stream beside it and put in its place
// only when whole: a temporary file in the same folder, renamed over the
// file by Commit. Until then the file stays exactly as it was, whatever
// happens to the writer (a failed write, a full disk, a kill): a reader sees
// the old file or the new one, never half of either.
//
//     platform::FileReplacement next = platform::FileReplacement::Begin(path); // throws FileError
//     next.Write(oldBytes);
//     next.Write(newLines);
//     next.Commit(); // or let it go: the temporary file is removed
//
// Only an existing regular file is replaced, never through a link, and never
// one with more than one name (hard links): the rename would give the new
// contents to this name alone and leave the others on the old file. The new
// file keeps its permission bits and, where the system allows, its owner.
// A kill before Commit may leave the temporary file (a hidden name starting
// ".varnel-") in the folder; the file itself is untouched.

#include "platform/os/file.h"
#include "platform/os/locked_file.h"

#include <filesystem>
#include <span>
#include <string>

namespace varnel::platform {

class FileReplacement {
public:
    FileReplacement() noexcept = default; // nothing begun
    ~FileReplacement();                   // removes the temporary file unless committed
    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&& other) noexcept;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Begins the replacement of the regular file at path: its temporary file
    // is created, empty. Throws FileError when path is missing, a link, not a
    // regular file, has more than one name, or when its folder takes no new
    // file.
    static FileReplacement Begin(const std::filesystem::path& path);

    // Appends bytes to the new contents. Throws FileError when a write fails
    // (the file is then left as it was once this object goes).
    void Write(std::span<const char> bytes);

    // Writes what the new contents hold so far to the disk, with the old
    // file's permissions and owner, so that Commit has little left to do
    // before its rename: a caller may then look at the file a last time.
    // Throws FileError.
    void Sync();

    // Puts the new contents in the file's place: written to the disk (what
    // Sync has not written), given the old file's permissions and owner,
    // then renamed over it. Throws FileError, leaving the file as it was.
    void Commit();

    // The entry that Commit will rename over, as it is now (not followed if
    // a link). Throws FileError.
    FileIdentity Target() const;

    bool active() const noexcept { return m_Folder >= 0; }

private:
    void Abandon() noexcept;

    int m_Folder = -1; // the folder, held open
    int m_Handle = -1; // the temporary file
    std::string m_Name;
    std::string m_Temp;
    std::uint32_t m_Mode = 0644;
    std::uint32_t m_Owner = 0;
    std::uint32_t m_Group = 0;
    bool m_Synced = false; // nothing written since Sync
};

} // namespace varnel::platform
