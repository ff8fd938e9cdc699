#pragma once

// A byte stream read once from start to end: a regular file, a FIFO, a pipe
// (a process substitution's /dev/fd/N included) or the process's standard
// input. What cannot be such a stream (a folder, a device) is refused before
// a byte is read, with the true reason. Used for checksum lists, which are
// read as they come and never held whole.
//
//     std::string reason;
//     platform::InputStream in = platform::InputStream::Open(path, reason);
//     if (!in.isOpen()) { say(reason); }
//     char buffer[65536];
//     while (const std::size_t n = in.Read(buffer)) { use(first n bytes); }

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>

namespace varnel::platform {

class InputStream {
public:
    InputStream() noexcept = default; // closed
    ~InputStream();
    InputStream(InputStream&& other) noexcept;
    InputStream& operator=(InputStream&& other) noexcept;
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // Opens path for reading. A FIFO's open waits for its writer, as any
    // reader's does. On failure the stream is closed and reason says why
    // ("No such file or directory", "is a folder", "is a device, not a
    // stream of lines").
    static InputStream Open(const std::filesystem::path& path, std::string& reason);
    // The process's standard input, whatever it is (it is not closed).
    static InputStream StandardInput() noexcept;

    bool isOpen() const noexcept { return m_Handle >= 0; }
    // True for a regular file: reads never wait for a writer.
    bool isRegular() const noexcept { return m_Regular; }

    // True when a Read now would wait for a writer (a pipe with nothing in
    // it yet); never for a regular file.
    bool WouldWait() const noexcept;

    // Reads what is there, waiting for at least one byte; 0 at the end.
    // Throws std::system_error when a read fails.
    std::size_t Read(std::span<char> dest);

private:
    InputStream(int handle, bool owned, bool regular) noexcept
        : m_Handle(handle), m_Owned(owned), m_Regular(regular) {}
    void Close() noexcept;

    int m_Handle = -1;
    bool m_Owned = false;
    bool m_Regular = false;
};

} // namespace varnel::platform
