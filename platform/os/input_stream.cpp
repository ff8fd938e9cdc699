#include "platform/os/input_stream.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace varnel::platform {

namespace {

// Why an entry of this kind is not read as a stream; empty when it is.
std::string RefusalFor(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "is a folder";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        // A device may never end (/dev/zero) or never end a line.
        return "is a device, not a stream of lines";
    }
    if (!S_ISREG(mode) && !S_ISFIFO(mode) && !S_ISSOCK(mode)) {
        return "not a regular file, FIFO or pipe";
    }
    return {};
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
        ::close(m_Handle);
    }
    m_Handle = -1;
    m_Owned = false;
}

InputStream InputStream::Open(const std::filesystem::path& path, std::string& reason) {
    // The kind is judged before the open, so that a device or a folder is
    // never opened at all, and again on the opened entry, so that an entry
    // swapped in between is still refused.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        reason = std::generic_category().message(errno);
        return {};
    }
    if (reason = RefusalFor(st.st_mode); !reason.empty()) {
        return {};
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = std::generic_category().message(errno);
        return {};
    }
    InputStream stream(fd, true, false);
    if (::fstat(fd, &st) != 0) {
        reason = std::generic_category().message(errno);
        return {};
    }
    if (reason = RefusalFor(st.st_mode); !reason.empty()) {
        return {};
    }
    stream.m_Regular = S_ISREG(st.st_mode);
    if (stream.m_Regular) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return stream;
}

InputStream InputStream::StandardInput() noexcept {
    struct stat st {};
    const bool regular = ::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
    return InputStream(STDIN_FILENO, false, regular);
}

bool InputStream::WouldWait() const noexcept {
    if (m_Handle < 0 || m_Regular) {
        return false;
    }
    pollfd entry{m_Handle, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 0;
}

std::size_t InputStream::Read(std::span<char> dest) {
    if (m_Handle < 0 || dest.empty()) {
        return 0;
    }
    for (;;) {
        const ssize_t got = ::read(m_Handle, dest.data(), dest.size());
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throw std::system_error(errno, std::generic_category());
        }
    }
}

} // namespace varnel::platform
