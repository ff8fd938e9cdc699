#include "platform/os/small_file_reader.h"

#include "platform/os/file_query.h"
#include "platform/os/win/wide_text.h"

#include <io.h>

#include <stdexcept>

namespace varnel::platform {

// Windows has no submission ring: every file takes its own plain calls (one
// open, one positioned read to its length, one close), each read going on
// from where the last one stopped.
struct SmallFileReader::Ring {};

SmallFileReader::SmallFileReader(bool /*useRing*/) {}

SmallFileReader::~SmallFileReader() = default;

namespace {

bool ReadWhole(HANDLE handle, SmallFileRead& file) {
    if (!win::StampOfHandle(handle, file.stamp) || file.stamp.size == 0 ||
        file.stamp.size > file.maxSize) {
        return false;
    }
    ReadBuffer& dest = *file.dest;
    dest.resize(static_cast<std::size_t>(file.stamp.size));
    std::size_t done = 0;
    while (done < dest.size()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(done) >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dest.size() - done, 1u << 30));
        if (!::ReadFile(handle, dest.data() + done, want, &got, &at) || got == 0) {
            return false;
        }
        done += got;
    }
    FileStamp after;
    return win::StampOfHandle(handle, after) && after == file.stamp;
}

} // namespace

void SmallFileReader::ReadAll(std::span<SmallFileRead> files) {
    if (files.size() > kMaxBatch) {
        throw std::invalid_argument("batch too large");
    }
    for (SmallFileRead& file : files) {
        file.whole = false;
        // OpenReadOnly looks at what it opens: regular files only.
        const int fd = OpenReadOnly(*file.path);
        if (fd < 0) {
            continue;
        }
        file.whole = ReadWhole(win::HandleOf(fd), file);
        ::_close(fd);
    }
}

} // namespace varnel::platform
