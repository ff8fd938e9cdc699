#include "platform/os/folder_listing.h"

#include "platform/os/file.h"

#include <cerrno>
#include <dirent.h>
#include <linux/magic.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>

namespace varnel::platform {

namespace {

DIR* AsDir(void* search) {
    return static_cast<DIR*>(search);
}

EntryKind KindOf(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return EntryKind::Folder;
    case DT_REG:
        return EntryKind::File;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
        return EntryKind::Special;
    default:
        return EntryKind::Unknown;
    }
}

} // namespace

FolderListing::FolderListing(const std::filesystem::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        const int err = errno;
        const FileFailure failure = err == EACCES || err == EPERM     ? FileFailure::AccessDenied
                                    : err == ENOENT || err == ENOTDIR ? FileFailure::NotFound
                                                                      : FileFailure::Other;
        throw FileError(failure, err, "cannot search: " + std::generic_category().message(err));
    }
    m_Search = dir;
}

FolderListing::~FolderListing() {
    if (m_Search != nullptr) {
        ::closedir(AsDir(m_Search));
    }
}

std::optional<FolderIdentity> FolderListing::identity() const {
    struct stat st {};
    if (::fstat(::dirfd(AsDir(m_Search)), &st) != 0) {
        return std::nullopt;
    }
    return FolderIdentity{static_cast<std::uint64_t>(st.st_dev),
                          static_cast<std::uint64_t>(st.st_ino)};
}

bool FolderListing::OnPseudoFileSystem() const {
    struct statfs fs {};
    if (::fstatfs(::dirfd(AsDir(m_Search)), &fs) != 0) {
        return false;
    }
    return fs.f_type == PROC_SUPER_MAGIC || fs.f_type == SYSFS_MAGIC;
}

std::optional<FolderEntry> FolderListing::Next() {
    while (const struct dirent* entry = ::readdir(AsDir(m_Search))) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        return FolderEntry{std::string(name), KindOf(entry->d_type)};
    }
    return std::nullopt;
}

} // namespace varnel::platform
