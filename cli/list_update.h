#pragma once

// varnel-report --update LIST: adds to a checksum list or saved report the
// files below its folder that it does not name, in its own format, leaving
// every byte already there as it was.
//
//   md5sum family    one line of the digest the list's first entry carries
//   bsd              the tags of the list's first entry
//   sfv              the CRC-32 line
//   report           a block with the lines of the list's first block, in its
//                    language form (converted or not)
//
// New lines take the list's line ends (LF or CR LF, as its first line ends).
// Names are written relative to the working folder, as the list's own names
// are read (absolute when the list's first name is), in walk order; the walk
// is that of a folder report (hidden entries left out, link loops ended). The
// list itself is never added to itself, and a file that cannot be read gets
// no line (it is named on the error stream).
//
// The new list is written beside the old one and put in its place only when
// whole (platform/os/file_replacement.h): a failure or a kill leaves the old
// list as it was. With nothing to add the list is not written at all. Each
// name added is printed ("NAME: ADDED"), and a count closes on the error
// stream.

#include "cli/list_formats.h"

#include <cstdio>
#include <optional>
#include <string>

namespace varnel {

struct ListUpdateOptions {
    std::optional<ListFormat> format; // unset: told from the list's content
    // The language mode of new report blocks whose labels are not converted
    // ("CHINESE" or "" for English: the date's form); unset: the system's.
    // Converted blocks take the Traditional mode, as the list's own do.
    std::optional<std::string> language;
};

// Returns 0 when the list is whole and up to date (lines added or not), 1
// when some file below its folder could not be read or listed, 2 when the
// list cannot be read, holds no entry, is no regular file, names no file
// below its folder (its names are relative to another folder), or cannot be
// replaced; the list is then untouched.
int RunListUpdate(const std::string& list, const ListUpdateOptions& options, std::FILE* out,
                  std::FILE* err);

} // namespace varnel
