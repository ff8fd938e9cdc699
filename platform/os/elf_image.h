#pragma once

// The check made before a shared library is handed to the system's loader.
// The loader maps the library's segments straight from the file: a library
// cut short (a copy that stopped part way, a full disk) maps pages past the
// end of the file, and the first touch of them kills the process with a bus
// error. So a library is loaded only when it is a whole object of this
// machine's kind: its header is sane, and its program header table, every
// segment's bytes, its section header table and every section's bytes lie
// inside the file.

#include "platform/os/file.h"

namespace varnel::platform {

// True when the open file is a whole shared object of this process's class
// (64- or 32-bit) and byte order, as described above. Reads only headers;
// never throws (a read that fails gives false).
bool IsWholeSharedObject(const ReadOnlyFile& file) noexcept;

} // namespace varnel::platform
