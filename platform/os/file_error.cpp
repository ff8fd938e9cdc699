#include "platform/os/errors.h"
#include "platform/os/file.h"

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

} // namespace varnel::platform
