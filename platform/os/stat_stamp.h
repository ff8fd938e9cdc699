#pragma once

// The stamp of a file as one fstat/stat call reports it; shared by the
// read-only file and the batch reader of small files so both compare alike.

#include "platform/os/file.h"

#include <cstdint>
#include <sys/stat.h>

namespace varnel::platform {

inline FileStamp StampOf(const struct stat& st) {
    return FileStamp{st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0,
                     static_cast<std::int64_t>(st.st_mtim.tv_sec),
                     static_cast<std::uint32_t>(st.st_mtim.tv_nsec),
                     static_cast<std::int64_t>(st.st_ctim.tv_sec),
                     static_cast<std::uint32_t>(st.st_ctim.tv_nsec)};
}

} // namespace varnel::platform
