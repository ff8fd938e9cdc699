// What the file layer does alike on every system: its errors, and a read-only
// file's lifetime (the opening and closing are each system's own).

#include "platform/os/errors.h"
#include "platform/os/file.h"

#include <utility>

namespace varnel::platform {

FileError::FileError(FileFailure failure, int systemError, const std::string& what)
    : std::runtime_error(what), m_Failure(failure), m_SystemError(systemError) {}

std::int32_t FileError::RunTimeErrorNumber() const noexcept {
    switch (m_Failure) {
    case FileFailure::NotFound:
    case FileFailure::Folder:
    case FileFailure::NotRegular:
        return kErrFileNotFound;
    case FileFailure::AccessDenied:
        return kErrPermissionDenied;
    default:
        return kErrPathFileAccess;
    }
}

ReadOnlyFile::~ReadOnlyFile() {
    Close();
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : m_Handle(std::exchange(other.m_Handle, -1)), m_Size(std::exchange(other.m_Size, 0)),
      m_Opened(other.m_Opened) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_Handle = std::exchange(other.m_Handle, -1);
        m_Size = std::exchange(other.m_Size, 0);
        m_Opened = other.m_Opened;
    }
    return *this;
}

ReadOnlyFile ReadOnlyFile::Open(const std::filesystem::path& path) {
    std::optional<FileError> error;
    ReadOnlyFile file = Open(path, error);
    if (error) {
        throw *error;
    }
    return file;
}

} // namespace varnel::platform
