#pragma once

// A file's own checksum list, found beside it: for a download that came with
// setup.iso.sha256 or a SHA256SUMS, the entry that names it.
//
// The lists looked at are the regular files of the file's folder that
// list_names.h takes for checksum lists, in three groups:
//
//   1. the file's own lists: FILE.sha512, FILE.sha256, FILE.b3, FILE.md5, ...
//      (every suffix of ListSuffixes). Such a list may hold the digest alone,
//      without a name (as some sites publish them); a list of one entry is
//      taken for the file whatever name the entry gives;
//   2. the SUMS lists (SHA512SUMS, SHA256SUMS, B3SUMS, MD5SUMS, ...);
//   3. the other lists there (release.sha256, ...).
//
// Lists of groups 2 and 3 count only when an entry names the file: its name
// relative to the list's folder is the file's own name, or the name leads
// to the same file (an absolute name, "./" or "../" in it). A list is read
// only as far as that entry.
//
// The list chosen is the first found in the order: group; the strongest
// digest its entry carries (list_names.h's KindStrength: SHA-512 before
// SHA-256 before SHA-1 before MD5); the list's name. The others are named,
// in the same order, so that a user sees what else was there.

#include "lists/checksum_list.h"

#include <optional>
#include <string>
#include <vector>

namespace varnel {

// A list found that names the file, and its entry for it.
struct SidecarList {
    std::string list; // the list's path: the file's folder and the list's name
    ListEntry entry;  // as the list has it (its name relative to the list)
    int group = 0;    // 1, 2 or 3 as above
};

struct SidecarSearch {
    std::optional<SidecarList> chosen;
    std::vector<SidecarList> others; // after chosen, in the order of preference
    // Lists looked at that could not be read, each "LIST: reason".
    std::vector<std::string> problems;
};

// Looks beside the file at path for the lists that name it. Only regular
// files are opened; the file itself is never read.
SidecarSearch FindSidecarLists(const std::string& path);

} // namespace varnel
