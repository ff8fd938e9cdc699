#include "digest/binary_file_stream.h"

#include "platform/os/errors.h"
#include "platform/os/file_query.h"

#include <algorithm>

namespace varnel {

namespace {

// Source of the errors raised by the file setter: executable name + ".File".
constexpr const char* kFileErrorSource = "Varnel.File";

[[noreturn]] void RaiseFileError(std::int32_t number) {
    throw RuntimeError(number, kFileErrorSource, StandardErrorMessage(number));
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

    // The open refuses an entry replaced by a folder or special file
    // between the test and the open, judged on the opened file itself.
    try {
        m_FileHandle = platform::ReadOnlyFile::Open(path);
    } catch (const platform::FileError& error) {
        RaiseFileError(error.RunTimeErrorNumber());
    }
    m_Length = static_cast<std::int64_t>(m_FileHandle.Size());
    // The file is read once from start to end: let the system read ahead.
    m_FileHandle.AdviseSequential();
}

std::int32_t BinaryFileStream_Class::Read(std::span<std::uint8_t> buffer, std::int32_t readSize) {
    if (readSize < 1) {
        return 0;
    }
    if (buffer.size() < static_cast<std::size_t>(readSize)) {
        throw RuntimeError(kErrSubscriptOutOfRange, "Varnel.Read",
                           StandardErrorMessage(kErrSubscriptOutOfRange));
    }
    if (!m_FileHandle.isOpen()) {
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
    std::size_t got = 0;
    try {
        got = m_FileHandle.Read(buffer.first(static_cast<std::size_t>(count)));
    } catch (const platform::FileError&) {
        m_ReadError = kErrPathFileAccess;
        Dispose();
        return 0;
    }
    if (got < static_cast<std::size_t>(count)) {
        // The file shrank since it was opened.
        m_ReadError = kErrInputPastEndOfFile;
        Dispose();
        return 0;
    }
    m_Delivered += count;
    return count;
}

HashResult BinaryFileStream_Class::HashRest(FileHasher& hasher, DigestSelection wanted) {
    HashResult result;
    if (!m_FileHandle.isOpen()) {
        return result; // nothing left: the digests of no data
    }
    HashControl control;
    control.limit = static_cast<std::uint64_t>(std::max<std::int64_t>(m_Length - m_Delivered, 0));
    control.expectExactly = true;
    result = hasher.Hash(m_FileHandle, wanted, control);
    m_Delivered += static_cast<std::int64_t>(result.bytes);
    if (result.outcome == HashOutcome::EndedEarly) {
        m_ReadError = kErrInputPastEndOfFile;
    } else if (result.outcome == HashOutcome::ReadFailed) {
        m_ReadError = kErrPathFileAccess;
    }
    Dispose();
    return result;
}

void BinaryFileStream_Class::Dispose() noexcept {
    // Errors of close are ignored: the file was only read.
    m_FileHandle.Close();
}

} // namespace varnel
