#include "platform/os/errors.h"

#include <system_error>

namespace varnel {

std::string StandardErrorMessage(std::int32_t number) {
    switch (number) {
    case kErrOverflow:
        return "Overflow";
    case kErrSubscriptOutOfRange:
        return "Subscript out of range";
    case kErrFileNotFound:
        return "File not found";
    case kErrInputPastEndOfFile:
        return "Input past end of file";
    case kErrPermissionDenied:
        return "Permission denied";
    case kErrPathFileAccess:
        return "Path/File access error";
    default:
        return "Application-defined or object-defined error";
    }
}

std::string SystemErrorMessage(int code) {
    if (code == kErrnoInUse) {
        return "Used by another process, which shares it with no reader";
    }
    return std::generic_category().message(code);
}

} // namespace varnel
