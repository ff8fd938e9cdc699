#pragma once

// The file layer every other folder reads through: a read-only regular file
// that closes itself, one failure type that carries the reason, and the
// replacement of a file's contents for the tools that write data files.
//
//     platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path); // throws FileError
//     std::vector<std::uint8_t> buffer(1 << 16);
//     while (const std::size_t n = file.Read(buffer)) { use(first n bytes); }
//
// Only regular files are opened: a folder, FIFO, socket or device is refused
// before a byte is read, and the open never blocks whatever the path names.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace varnel::platform {

// Why a file could not be opened or read.
enum class FileFailure {
    NotFound,     // no such entry (or a component of its path is missing)
    Folder,       // the path names a folder
    NotRegular,   // neither a regular file nor a folder (FIFO, socket, device)
    AccessDenied, // permission denied
    ReadFailed,   // a read failed part way
    TooLarge,     // larger than the caller's limit
    Other,        // any other failure of the system
};

class FileError : public std::runtime_error {
public:
    FileError(FileFailure failure, int systemError, const std::string& what);

    FileFailure failure() const noexcept { return m_Failure; }
    // The system's own error code (errno on POSIX), 0 when there was none.
    int systemError() const noexcept { return m_SystemError; }
    // The nearest run-time error number: 53 not found (folders and special
    // files included), 70 permission denied, 75 any other failure.
    std::int32_t RunTimeErrorNumber() const noexcept;

private:
    FileFailure m_Failure;
    int m_SystemError;
};

// The error of a failed system call: its kind told from the error number,
// its text the context and the system's message ("cannot open: Permission
// denied").
FileError FileErrorFromErrno(int err, const std::string& context);

// What tells one state of a file from another: its length, its modification
// time and its change time, both to the nanosecond. The change time is kept
// because the modification time can be set back by anyone who may write the
// file (a rewrite of the same length followed by a touch to the old time),
// while the change time moves with every write and every such touch.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::uint32_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::uint32_t changedNanoseconds = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class ReadOnlyFile {
public:
    ReadOnlyFile() noexcept = default; // closed
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens path for reading only. Throws FileError when the path is missing,
    // not a regular file (judged on the opened file itself, so an entry
    // swapped after a test is still refused) or cannot be opened. Windows'
    // deny-write share mode has no POSIX counterpart: other writers are not
    // kept out.
    static ReadOnlyFile Open(const std::filesystem::path& path);
    // As Open, but a failure is given in error (and a closed file returned)
    // rather than thrown: for runs where many paths may fail.
    static ReadOnlyFile Open(const std::filesystem::path& path, std::optional<FileError>& error);

    bool isOpen() const noexcept { return m_Handle >= 0; }
    // The length the file had when it was opened. A regular file whose size
    // reads 0 may still hold bytes (most of /proc and /sys, some FUSE file
    // systems): its length is known only once it has been read to its end.
    std::uint64_t Size() const noexcept { return m_Size; }
    // Length and times when it was opened, and now (asked of the
    // open file, whatever has become of its name since). Stamp throws
    // FileError when the system cannot say.
    const FileStamp& OpenedStamp() const noexcept { return m_Opened; }
    FileStamp Stamp() const;

    // Sequential reads from the current position. Read fills dest as far as
    // the file allows (fewer bytes only at the end of the file); ReadSome
    // asks the system once and returns what it gave (0 at the end). Both
    // throw FileError (ReadFailed) when a read fails; a closed file gives 0.
    std::size_t Read(std::span<std::uint8_t> dest);
    std::size_t ReadSome(std::span<std::uint8_t> dest);

    // Positioned read: fills dest from offset as far as the file allows,
    // without moving the sequential position. Throws FileError on failure.
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) const;

    // Moves the sequential position back to the start of the file. Throws
    // FileError when the system cannot.
    void Rewind();

    // Tells the system the file will be read once from start to end, so it
    // reads ahead in large steps. Only advice: nothing fails.
    void AdviseSequential() const noexcept;

    // Closes the file (errors of close are ignored: it was only read).
    void Close() noexcept;

private:
    explicit ReadOnlyFile(int handle, std::uint64_t size) noexcept
        : m_Handle(handle), m_Size(size) {}

    int m_Handle = -1;
    std::uint64_t m_Size = 0;
    FileStamp m_Opened;
};

// The whole of a regular file of at most maxBytes. Throws FileError (with
// TooLarge for a file over the limit, also one that grows past it while it
// is read).
std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes);

// What ReplaceFileContents did.
struct Replaced {
    bool existed = false;      // a regular file was there and was replaced
    std::uint32_t mode = 0644; // permission bits the file has now
    bool ownerKept = true;     // false when the old owner could not be kept
};

// Replaces the contents of path with bytes, through a temporary file in the
// same folder renamed over it, so a reader never sees half a file. A new file
// is readable by everyone (0644); a regular file that was there keeps its
// permission bits, and its owner where the system allows. Nothing is written
// through a link or over what is not a regular file: a path that names a
// link, a device, a FIFO, a socket or a folder is refused (FileFailure
// NotRegular or Folder), and the temporary file is created new, never
// opened through a link. The temporary name is short whatever the length of
// path's, so every name the system takes can be written. Throws FileError on
// failure, leaving path as it was.
Replaced ReplaceFileContents(const std::filesystem::path& path, std::span<const char> bytes);

// A folder that files are written into, held open: it is opened by the name
// given, never through a link, so a link planted in a shared folder such as
// /tmp cannot send the files elsewhere, and every file goes into the folder
// opened, whatever becomes of its name meanwhile.
//
//     platform::OutputFolder out = platform::OutputFolder::Open(dir); // throws FileError
//     out.ReplaceFileContents("values.txt", bytes);
// A name for a temporary file of a folder (".varnel-" and eight letters or
// digits): short, whatever the length of the name it stands in for (a name
// near the system's limit would not take a suffix), and hard to guess. The
// caller creates the file new (O_EXCL), so a clash only costs another
// attempt, numbered by attempt.
std::string TemporaryFileName(int attempt);

class OutputFolder {
public:
    OutputFolder() noexcept = default; // closed
    ~OutputFolder();
    OutputFolder(OutputFolder&& other) noexcept;
    OutputFolder& operator=(OutputFolder&& other) noexcept;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Opens the folder path, making it (and the folders above it) when it is
    // missing. Links on the way to it are followed; path itself ("out",
    // "out/" and "out/." alike) is not: a symbolic link there is refused
    // (FileFailure NotRegular), as is an entry that is not a folder. Throws
    // FileError.
    static OutputFolder Open(const std::filesystem::path& path);

    bool isOpen() const noexcept { return m_Handle >= 0; }

    // ReplaceFileContents for the entry name of this folder: a name of one
    // component (no "/", not "." or ".."), with the same refusals and
    // results.
    Replaced ReplaceFileContents(const std::filesystem::path& name,
                                 std::span<const char> bytes) const;

private:
    friend Replaced ReplaceFileContents(const std::filesystem::path& path,
                                        std::span<const char> bytes);
    explicit OutputFolder(int handle) noexcept : m_Handle(handle) {}

    int m_Handle = -1;
};

// True when the process's standard error goes to a terminal.
bool StandardErrorIsTerminal() noexcept;

} // namespace varnel::platform
