#pragma once

// Small regular files opened, checked and read whole several at a time, with
// as few calls into the system as it allows: where the kernel offers a
// submission ring (io_uring), the opens and the reads of a batch go to it
// together, one call for each, and the batch's closes go with the next
// batch's opens (or when the reader ends); the look-ups of kind, size and time
// (before the read, to refuse what is not a regular file before a byte of it
// is read, and after, to catch a change during the read) stay plain calls,
// which the ring would hand to a worker thread of the kernel. Without a ring
// every file takes its own plain calls. Either way a file's bytes are the
// same.
//
// The ring reads a file whole only where a read of a regular file cannot come
// back short before the file's end (the local disk file systems and memory):
// a short read through the ring from anything else (a FUSE or network file
// system) may report the full count with the wrong bytes in it, so files
// there are read by plain calls, each read going on from where the last one
// stopped. An entry that is not known to be a regular file is looked up
// before it is opened: a FIFO, socket or device is never opened (opening one
// can release a waiting writer, reset a port or arm a watchdog).
//
//     SmallFileReader reader;
//     std::vector<SmallFileRead> files = ...; // path, dest, maxSize
//     reader.ReadAll(files);
//     for (const SmallFileRead& f : files) if (f.whole) use(*f.dest, f.stamp);

#include "platform/os/file.h"
#include "platform/os/read_buffer.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace varnel::platform {

struct SmallFileRead {
    // In.
    const std::filesystem::path* path = nullptr;
    ReadBuffer* dest = nullptr;
    std::uint64_t maxSize = 0;
    // True when the caller knows the entry to be a regular file (its folder's
    // listing said so): it is opened without a look-up first. An entry
    // swapped since is still refused, by the look-up of the opened file.
    bool listedRegular = false;
    // Out. whole: a regular file of 1 to maxSize bytes, read to its length
    // into dest, whose length and time did not change during the read.
    // Anything else (missing, not regular, empty, too large, a failed or
    // short read, a change) leaves whole false, and the caller reads the
    // file its usual way to say what became of it.
    bool whole = false;
    FileStamp stamp; // as opened, when whole
};

class SmallFileReader {
public:
    // useRing = false: plain calls only, even where the kernel has a ring.
    explicit SmallFileReader(bool useRing = true);
    ~SmallFileReader();
    SmallFileReader(const SmallFileReader&) = delete;
    SmallFileReader& operator=(const SmallFileReader&) = delete;

    // True when batches go through the kernel's submission ring.
    bool Batched() const noexcept { return m_Ring != nullptr; }

    // Reads every file of files (at most kMaxBatch at once).
    static constexpr std::size_t kMaxBatch = 32;
    void ReadAll(std::span<SmallFileRead> files);

private:
    struct Ring;
    std::unique_ptr<Ring> m_Ring;
};

} // namespace varnel::platform
