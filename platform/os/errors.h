#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace varnel {

// A run-time error as the program's procedures raise it: a number, the source
// that raised it ("Varnel.File", ...) and the standard message for the number.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(std::int32_t number, std::string source, const std::string& message)
        : std::runtime_error(message), m_Number(number), m_Source(std::move(source)) {}

    std::int32_t Number() const noexcept { return m_Number; }
    const std::string& Source() const noexcept { return m_Source; }

private:
    std::int32_t m_Number;
    std::string m_Source;
};

// Standard error numbers and their messages.
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrSubscriptOutOfRange = 9;
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrInputPastEndOfFile = 62;
inline constexpr std::int32_t kErrPermissionDenied = 70;
inline constexpr std::int32_t kErrPathFileAccess = 75;

// The standard message for an error number ("File not found" for 53).
std::string StandardErrorMessage(std::int32_t number);

// The system layer's code for a file that another process holds open and
// shares with no reader (Windows' sharing and lock violations); errno has
// none, and POSIX files are never held so.
inline constexpr int kErrnoInUse = 0x7F01;

// The message of a system error code of this layer (FileError's
// systemError): errno's text, "No such file or directory" for ENOENT, and
// a text of its own for kErrnoInUse.
std::string SystemErrorMessage(int code);

} // namespace varnel
