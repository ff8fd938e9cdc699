#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// Converts Simplified Chinese text to its Traditional form through the outside
// conversion library (GB2312 in, Big5 out). Text in and out is UTF-8.
// Without the library the text comes back unchanged; never fails.
//
// Only characters that GB2312 can encode reach the library; everything else
// (Traditional-only characters, emoji, invalid UTF-8, NUL) is kept as it is,
// and so is any character whose conversion the library cannot express in Big5.
std::string ConvertToBig5(std::string_view text);

// Where the conversion library is looked for: the parent folder of the
// program's folder + "/Librarys/" + the library's file name. For a program in
// /opt/Tools/Hash that is /opt/Tools/Librarys/libGB2BIG5.so. Empty when the
// program's folder is empty (unknown).
std::filesystem::path ConversionLibraryPathFor(const std::filesystem::path& programDir);

namespace detail {

// Test seams; the program never calls them. Not to be called while another
// thread converts.

// Points the conversion library at another file (nullopt: back to the
// program's own location) and drops the current binding, so that the next
// ConvertToBig5 binds afresh.
void SetConversionLibraryPathForTesting(std::optional<std::filesystem::path> path);

// How many times the library has been opened (dlopen) since the process
// started: a failed or successful bind counts once.
std::uint64_t ConversionLibraryLoadAttemptsForTesting();

} // namespace detail

} // namespace varnel
