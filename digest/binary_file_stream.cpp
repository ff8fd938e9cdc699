#include "digest/binary_file_stream.h"

#include "platform/os/errors.h"
#include "platform/os/file_query.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {

namespace {

// Source of the errors raised by the file setter: executable name + ".File".
constexpr const char* kFileErrorSource = "Varnel.File";

[[noreturn]] void RaiseFileError(std::int32_t number) {
    throw RuntimeError(number, kFileErrorSource, StandardErrorMessage(number));
}

// Reads exactly size bytes into dest, looping over short reads and signals.
// Returns 0 on success or the run-time error number: 62 when the file ends
// early (it shrank since it was opened), 75 for a failing read.
std::int32_t ReadFully(int fd, std::uint8_t* dest, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, dest, size);
        if (got > 0) {
            const auto n = static_cast<std::size_t>(got);
            dest += n;
            size -= n;
        } else if (got == 0) {
            return kErrInputPastEndOfFile;
        } else if (errno != EINTR) {
            return kErrPathFileAccess;
        }
    }
    return 0;
}

} // namespace

BinaryFileStream_Class::~BinaryFileStream_Class() {
    Dispose();
}

bool BinaryFileStream_Class::FileFound(const std::filesystem::path& path,
                                       std::int32_t& errorNumber) {
    return platform::FindNormalFile(path, errorNumber);
}

void BinaryFileStream_Class::setFile(const std::filesystem::path& path) {
    Dispose();
    m_Length = 0;
    m_Delivered = 0;
    m_ReadError = 0;
    m_FileName = path;

    std::int32_t errorNumber = 0;
    if (!FileFound(path, errorNumber)) {
        RaiseFileError(errorNumber != 0 ? errorNumber : kErrFileNotFound);
    }

    const int fd = platform::OpenReadOnly(path);
    if (fd < 0) {
        RaiseFileError(platform::ErrorNumberFromErrno(-fd));
    }
    // The entry may have been replaced between the test and the open: only a
    // regular file is served, judged on the descriptor itself.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        RaiseFileError(kErrFileNotFound);
    }
    m_FileHandle = fd;
    m_Length = st.st_size > 0 ? static_cast<std::int64_t>(st.st_size) : 0;
    // The file is read once from start to end: let the kernel read ahead.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

std::int32_t BinaryFileStream_Class::Read(std::span<std::uint8_t> buffer, std::int32_t readSize) {
    if (readSize < 1) {
        return 0;
    }
    if (buffer.size() < static_cast<std::size_t>(readSize)) {
        throw RuntimeError(kErrSubscriptOutOfRange, "Varnel.Read",
                           StandardErrorMessage(kErrSubscriptOutOfRange));
    }
    if (m_FileHandle < 0) {
        return 0;
    }

    std::int32_t count = readSize;
    if (m_Delivered + readSize >= m_Length) {
        const std::int64_t rest = m_Length - m_Delivered;
        if (rest < 1) {
            Dispose();
            return 0;
        }
        // rest <= readSize here, so it fits the chunk type.
        count = static_cast<std::int32_t>(rest);
    }

    // Straight into the caller's buffer; for the final partial chunk only the
    // first `count` bytes are written, the rest of the buffer keeps its bytes.
    const std::int32_t error =
        ReadFully(m_FileHandle, buffer.data(), static_cast<std::size_t>(count));
    if (error != 0) {
        m_ReadError = error;
        Dispose();
        return 0;
    }
    m_Delivered += count;
    return count;
}

void BinaryFileStream_Class::Dispose() noexcept {
    if (m_FileHandle >= 0) {
        // Errors of close are ignored: the file was only read.
        ::close(m_FileHandle);
        m_FileHandle = -1;
    }
}

} // namespace varnel
