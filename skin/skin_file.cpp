#include "skin/skin_file.h"

#include "platform/os/file_query.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {

namespace {

// Reads the whole of an open regular file of at most maxBytes. Nothing when
// the file is larger (it may grow while being read: the read stops one byte
// past the limit and refuses) or a read fails.
std::optional<QByteArray> ReadAll(int fd, qsizetype maxBytes) {
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        if (bytes.size() + n > maxBytes) {
            return std::nullopt;
        }
        bytes.append(chunk, static_cast<qsizetype>(n));
    }
}

} // namespace

std::optional<PropertyBag> ReadSkinFile(const std::filesystem::path& path) {
    const int fd = platform::OpenReadOnly(path);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<QByteArray> bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_size <= static_cast<off_t>(platform::PropertyBagLimits::kMaxContents)) {
        bytes = ReadAll(fd, platform::PropertyBagLimits::kMaxContents);
    }
    ::close(fd);
    if (!bytes) {
        return std::nullopt;
    }
    return PropertyBag::FromContents(*bytes);
}

bool WriteSkinFile(const std::filesystem::path& path, const PropertyBag& bag, QString* error) {
    const auto fail = [error](const QString& message) {
        if (error != nullptr) {
            *error = message;
        }
        return false;
    };
    const QByteArray bytes = bag.contents();
    if (bytes.isEmpty()) {
        return fail(QStringLiteral("a picture could not be encoded"));
    }
    // The path stays in its native bytes throughout, so a name that is not
    // valid UTF-8 is written as given.
    std::string temp = path.native() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    const int writeErrno = done == bytes.size() ? 0 : (errno != 0 ? errno : EIO);
    // mkstemp makes the file 0600; a skin is a plain data file for all to read.
    const bool ok = writeErrno == 0 && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    const int closeResult = ::close(fd);
    if (!ok || closeResult != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = writeErrno != 0 ? writeErrno : errno;
        ::unlink(temp.c_str());
        return fail(QString::fromLocal8Bit(std::strerror(err)));
    }
    return true;
}

} // namespace varnel
