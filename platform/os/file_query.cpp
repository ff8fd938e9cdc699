#include "platform/os/file_query.h"

#include "platform/os/errors.h"
#include "platform/os/stat_stamp.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel::platform {

namespace {

// Whole seconds as the file system holds them: a count of nanoseconds in 64
// bits ends in 2262 and starts in 1677, while ext4 keeps times to 2446.
std::chrono::sys_seconds ToSeconds(const struct timespec& ts) {
    return std::chrono::sys_seconds(std::chrono::seconds(static_cast<std::int64_t>(ts.tv_sec)));
}

} // namespace

bool IsHiddenName(const std::filesystem::path& path) {
    // The entry's own name: the last component of the native text, trailing
    // separators ("dir/") cut off, so they name the folder itself. Read in
    // place: this runs once for every file of a run.
    std::string_view text = path.native();
    while (text.size() > 1 && text.back() == '/') {
        text.remove_suffix(1);
    }
    const std::size_t slash = text.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? text : text.substr(slash + 1);
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

std::optional<EntryInfo> QueryEntry(const std::filesystem::path& path, int* systemError) {
    if (systemError != nullptr) {
        *systemError = 0;
    }
    if (path.empty()) {
        if (systemError != nullptr) {
            *systemError = ENOENT;
        }
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (systemError != nullptr) {
            *systemError = errno;
        }
        return std::nullopt;
    }
    EntryInfo info;
    info.directory = S_ISDIR(st.st_mode);
    info.regularFile = S_ISREG(st.st_mode);
    info.system = !info.directory && !info.regularFile;
    info.hidden = IsHiddenName(path);
    info.size = info.regularFile && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    info.modified = ToSeconds(st.st_mtim);
    info.modifiedNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.stamp = StampOf(st);
    return info;
}

std::int32_t ErrorNumberFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return kErrFileNotFound;
    case EACCES:
    case EPERM:
        return kErrPermissionDenied;
    default:
        return kErrPathFileAccess;
    }
}

bool FindNormalFile(const std::filesystem::path& path, std::int32_t& errorNumber) {
    errorNumber = 0;
    if (path.empty()) {
        errorNumber = kErrFileNotFound;
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        // A missing entry is simply "not found"; other failures keep their number.
        errorNumber =
            (err == ENOENT || err == ENOTDIR) ? kErrFileNotFound : ErrorNumberFromErrno(err);
        return false;
    }
    if (!S_ISREG(st.st_mode) || IsHiddenName(path)) {
        errorNumber = kErrFileNotFound;
        return false;
    }
    return true;
}

int OpenReadOnly(const std::filesystem::path& path) {
    if (path.empty()) {
        return -ENOENT;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        return kNotOpenedSpecialEntry;
    }
    // O_NOCTTY: a terminal device must never become our controlling terminal.
    // O_NONBLOCK: an entry swapped for a FIFO after the existence test must not
    // stall the open waiting for a writer, nor a later read of it. Reads of
    // regular files ignore the flag, so it stays set; callers check the kind of
    // the opened file with fstat themselves.
    // POSIX has no deny-write share mode: other writers are not kept out.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return -errno;
    }
    return fd;
}

} // namespace varnel::platform
