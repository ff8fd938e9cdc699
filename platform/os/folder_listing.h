#pragma once

// A folder listing: the names of a folder's entries, in the order the system
// gives them, with the kind of each entry when the listing knows it. One
// listing holds one search open until it is destroyed.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace varnel::platform {

enum class EntryKind {
    File,    // a regular file
    Folder,  // a folder
    Special, // FIFO, socket or device
    Unknown, // a link, or a kind the listing does not tell: ask QueryEntry
};

struct FolderEntry {
    std::string name; // the entry's own name, native bytes; never "." or ".."
    EntryKind kind = EntryKind::Unknown;
};

// The identity of a folder (device and inode), the same whichever path
// reached it.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // clang-tidy 14 takes the 0 of the defaulted comparison's result for a
    // null pointer constant.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend auto operator<=>(const FolderIdentity&, const FolderIdentity&) = default;
};

class FolderListing {
public:
    // Opens the search of folder. Throws FileError when it cannot be
    // searched (missing, not a folder, access denied).
    explicit FolderListing(const std::filesystem::path& folder);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // The folder's identity, when the system tells it.
    std::optional<FolderIdentity> identity() const;

    // True when the folder belongs to a file system the kernel makes up
    // (procfs, sysfs): its files describe the running system, some of them
    // endless or huge, and a walk has nothing to report in them.
    bool OnPseudoFileSystem() const;

    // The next entry, or nothing once the search is exhausted.
    std::optional<FolderEntry> Next();

private:
    void* m_Search = nullptr;
};

} // namespace varnel::platform
