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
//
// Others writing the list meanwhile lose nothing. The list is held under an
// advisory lock (flock) while it is updated: a second update of it is
// refused at once, and a writer that takes the lock (flock(1)) waits. Just
// before the rename the list is looked at again: lines appended to it
// meanwhile (its bytes read still its first bytes, the lines added whole)
// are carried into the new list after the lines added; any other change
// leaves it as it is now, and the update fails. A list with more than one
// name (hard links) is refused, as a symbolic link is: replacing it would
// part its names.

#include "i18n/language.h"
#include "lists/list_formats.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace varnel {

struct ListUpdateOptions {
    std::optional<ListFormat> format; // unset: told from the list's content
    // The language mode of new report blocks whose labels are not converted
    // (Traditional is taken as Simplified); unset: the system's. Converted
    // blocks take the Traditional mode, as the list's own do.
    std::optional<LanguageMode> language;
    // Called when the new list is whole, before the last look at the list;
    // tests change the list there, as another process may.
    std::function<void()> beforeReplace;
};

// Returns 0 when the list is whole and up to date (lines added or not), 1
// when some file below its folder could not be read or listed, 2 when the
// list cannot be read, holds no entry, is no regular file or has more than
// one name, names no file below its folder (its names are relative to
// another folder), is being updated by another process, changed otherwise
// than by added lines while it was updated, or cannot be replaced; the list
// is then untouched (left as the other writer made it).
int RunListUpdate(const std::string& list, const ListUpdateOptions& options, std::FILE* out,
                  std::FILE* err);

} // namespace varnel
