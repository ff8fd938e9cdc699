#pragma once

// BinaryFileStream_Class hands the bytes of one file to a consumer in chunks
// whose size the consumer chooses. It only reads: it never writes or creates
// a file. It is the way the CRC-32 calculator and the report builders read.

#include "digest/file_hasher.h"
#include "platform/os/file.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace varnel {

class CRC32_Class;

class BinaryFileStream_Class {
public:
    BinaryFileStream_Class() = default;
    ~BinaryFileStream_Class();

    BinaryFileStream_Class(const BinaryFileStream_Class&) = delete;
    BinaryFileStream_Class& operator=(const BinaryFileStream_Class&) = delete;

    // The path last assigned through setFile (kept even when opening it failed).
    const std::filesystem::path& file() const noexcept { return m_FileName; }

    // Points the stream at path and opens it for reading, from its first byte.
    // Any file open before is closed first. Hidden entries, system entries
    // (FIFO, socket, device), folders and missing paths throw RuntimeError 53
    // "File not found" with source "Varnel.File"; an open that fails throws
    // its own number (70 permission denied, 75 path/file access error, ...).
    // After a failure the stream is closed, Length() is 0 and Read returns 0.
    void setFile(const std::filesystem::path& path);

    // The file's length in bytes, taken when it was opened (0 while nothing
    // was opened). 64-bit: files of 2 GiB and more are served whole.
    std::int64_t Length() const noexcept { return m_Length; }

    // Places the next chunk of the file at the start of buffer and returns the
    // number of bytes placed: readSize while more than readSize bytes remain,
    // then the rest (the bytes of buffer beyond it keep their previous
    // contents), then 0, at which point the file is closed. Returns 0 at once
    // for a stream that is not open and for readSize < 1.
    //
    // buffer must hold at least readSize bytes (RuntimeError 9 "Subscript out
    // of range" otherwise; nothing is ever written past its end).
    //
    // A failing read, or a file that turns out shorter than it was when opened,
    // ends the stream: the file is closed, 0 is returned and ReadError() tells
    // the error number (75 or 62), so a consumer never takes a damaged read
    // for the end of the file.
    std::int32_t Read(std::span<std::uint8_t> buffer, std::int32_t readSize);

    // Number of bytes handed out by Read since the file was opened.
    std::int64_t Delivered() const noexcept { return m_Delivered; }

    // 0 while every read succeeded; otherwise the run-time error number of the
    // read that failed (reset by setFile).
    std::int32_t ReadError() const noexcept { return m_ReadError; }

    // Closes the open file, if any. May be called any number of times.
    // Length() and Delivered() keep their values.
    void Dispose() noexcept;

private:
    friend class CRC32_Class;
    friend std::string GetFileDigest(const std::filesystem::path& path, std::int32_t algorithmId);

    // Hashes every byte the stream has yet to deliver through the program's
    // one read loop, as if Read were called until it returned 0: the bytes
    // count as delivered, the file is closed, and a read that fails or a file
    // that turns out shorter sets ReadError.
    HashResult HashRest(FileHasher& hasher, DigestSelection wanted);

    // The existence test of setFile: a present, non-hidden regular file.
    // errorNumber receives 0 when found, 53 when not found, or the number of
    // the error that made the query fail.
    static bool FileFound(const std::filesystem::path& path, std::int32_t& errorNumber);

    std::filesystem::path m_FileName;
    platform::ReadOnlyFile m_FileHandle; // closed while no file is open
    std::int64_t m_Length = 0;
    std::int64_t m_Delivered = 0;
    std::int32_t m_ReadError = 0;
};

} // namespace varnel
