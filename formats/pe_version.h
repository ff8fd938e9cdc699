#pragma once

// The version query of the report: the file version of a Windows program or
// library (PE image), read from the fixed part of its version resource
// (VS_FIXEDFILEINFO), in the dotted form "major.minor.build.revision".
//
// It stands in for the scripting runtime's GetFileVersion and works on any
// PE file lying on any disk. Every other file (not a PE image, no version
// record, damaged, a folder, a FIFO or device, unreadable, missing) gives
// empty text. The input is untrusted: every offset and size is checked
// before use, and only the few structures on the way to the version record
// are read, never the whole file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace varnel::formats {

// Version text of the file at path, or empty text. Only regular files are
// opened, read-only; the file is never written.
std::string GetFileVersion(const std::filesystem::path& path);

// Version text of a PE image held in memory (the whole file, or a prefix of
// it: a truncated image gives empty text when the record lies past its end).
std::string GetFileVersionFromBytes(std::span<const std::uint8_t> bytes);

} // namespace varnel::formats
